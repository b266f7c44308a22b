#pragma once

#include "calibrationsettings.h"

#include <QWidget>

class QCheckBox;
class QFrame;
class QLabel;
class QSpinBox;
class QToolButton;

// Collapsible card editing which events one button sends (press, release), its debounce and its
// auto-repeat, with the live pressed state. It reports every change; its owner stores and saves.
class GamepadButtonCalibrationWidget : public QWidget
{
    Q_OBJECT

public:
    explicit GamepadButtonCalibrationWidget(QWidget* parent = nullptr);

    // Title "but_<index>".
    void setIndex(int index);
    int index() const { return m_index; }

    // Sanitises, stores and shows the settings; emits nothing.
    void setSettings(const GamepadCalibration::ButtonSettings& settings);
    GamepadCalibration::ButtonSettings settings() const { return m_settings; }

    void setPressed(bool pressed);
    bool isPressed() const { return m_pressed; }
    void setEditable(bool editable);
    // Marks the card when the connected controller has no such input.
    void setAbsent(bool absent);
    bool isEditable() const { return m_editable; }
    void setExpanded(bool expanded);
    bool isExpanded() const { return m_expanded; }

    // "press | release  debounce 50 ms  repeat press / 120 ms": what the button sends, in one line.
    static QString summaryText(const GamepadCalibration::ButtonSettings& settings);

Q_SIGNALS:
    void settingsChanged(const GamepadCalibration::ButtonSettings& settings);

private:
    void buildUi();
    void fillWidgets();
    void onWidgetEdited();
    void updateEnabling();
    void updateState();

    GamepadCalibration::ButtonSettings m_settings;
    int m_index = 0;
    bool m_pressed = false;
    bool m_expanded = false;
    bool m_editable = true;
    bool m_updating = false;

    QToolButton* m_expandButton = nullptr;
    QLabel* m_title = nullptr;
    QLabel* m_absentMark = nullptr;
    QLabel* m_stateLabel = nullptr;
    QLabel* m_summaryLabel = nullptr;
    QFrame* m_details = nullptr;
    QCheckBox* m_enabledCheck = nullptr;
    QCheckBox* m_pressCheck = nullptr;
    QCheckBox* m_releaseCheck = nullptr;
    QSpinBox* m_debounceSpin = nullptr;
    QCheckBox* m_repeatPressCheck = nullptr;
    QCheckBox* m_repeatReleaseCheck = nullptr;
    QSpinBox* m_delaySpin = nullptr;
    QSpinBox* m_intervalSpin = nullptr;
};
