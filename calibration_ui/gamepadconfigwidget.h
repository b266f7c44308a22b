#pragma once

#include "calibrationfiles.h"
#include "calibrationsettings.h"
#include "gatesource2d.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QWidget>

#include <functional>

class ControlManette;
class GamepadAxisCalibrationWidget;
class GamepadButtonCalibrationWidget;
class GamepadGateCalibrationWidget;
class QComboBox;
class QFrame;
class QLabel;
class QScrollArea;
class QToolButton;
class QVBoxLayout;

// The calibration page of the definition editor. For the gamepad linked to the selected definition
// it edits either the base calibration of that controller model (shared by every profile using it)
// or the override of the selected profile, shows the device's live readings in every card, and
// saves each edit 220 ms after the last one. Under a fixed header (target, identity, source, tool
// buttons) a scroll area holds one card per axis, the gates and one card per button.
//
// The editor hands it the device (held weakly: a device that goes away reads as disconnected), the
// profile context and the definition's two-axis pastilles, and listens to calibrationSaved() and
// profileCalibrationMetadataChanged() to keep the definition's meta data in step. Both are emitted
// once the page has finished its own change, while profileContext() still names the definition
// they belong to; a listener may hand the page a new context from its slot.
class GamepadConfigWidget : public QWidget
{
    Q_OBJECT

public:
    static constexpr int LiveIntervalMs = 30;
    static constexpr int SaveDelayMs = 220;
    // After a failed save (a full disk, a folder made read-only) the pending edit is tried again.
    static constexpr int SaveRetryMs = 2000;

    Q_INVOKABLE explicit GamepadConfigWidget(QWidget* parent = nullptr);
    ~GamepadConfigWidget() override;

    // Reloads only when the device differs from the current one.
    void setDevice(ControlManette* device);
    ControlManette* device() const;
    void setProfileContext(const GamepadCalibration::ProfileCalibrationContext& context);
    void clearProfileContext();
    GamepadCalibration::ProfileCalibrationContext profileContext() const { return m_profile; }
    // The definition's two-axis pastilles, offered as gate sources; gates pointing at a moved
    // pastille are repaired (and saved).
    void setGateSources(const QList<GateSource2D>& sources);
    QList<GateSource2D> gateSources() const { return m_gateSources; }

    // Reads the base and override files again and rebuilds the cards; a pending edit is saved first.
    void reload();

    // Runs before the page writes or deletes a file in the profile folder, so the owner can make
    // the definition writable for this user first (a copy of a shared one), which may move the
    // context's folder and scope. False, with an error text, stops the write.
    using WriteGuard =
        std::function<bool(GamepadCalibration::ProfileCalibrationContext* context, QString* error)>;
    void setWriteGuard(WriteGuard guard) { m_writeGuard = std::move(guard); }
    // Saves a pending edit now; false when that save failed (the edit stays pending and the header
    // shows why).
    bool savePending(QString* error = nullptr);
    bool hasPendingEdit() const { return m_dirty; }

    // 0 Base, 1 Profil.
    int editScope() const { return m_editScope; }
    // The set being edited (base or profile).
    GamepadCalibration::CalibrationSet currentCalibration() const;
    // Where an edit is saved; empty when there is nothing to save into.
    QString targetPath() const;
    // The identity base files are indexed by: the device's, else the profile's, as of the last
    // reload (a device that goes away or renames itself reloads the page at the next refresh).
    GamepadCalibration::DeviceIdentity identity() const;

    // Opens "Calibration guidée…" over the connected pad; its Apply saves once into the target
    // in force when it was opened, and only if that is still the target.
    void startGuidedCalibration();

Q_SIGNALS:
    void calibrationSaved();
    void profileCalibrationMetadataChanged(QString mode, QString overrideFile, quint32 vendorId,
                                           quint32 productId);

public Q_SLOTS:
    void updateLiveValues();
    void onScopeComboChanged(int index);
    void captureRestForAll();
    void copyBaseToProfile();
    void deleteOverride();
    void resetCurrentCalibration();
    void flushSave();

protected:
    // Live values refresh only while the page is on screen: a hidden page costs the sampler nothing.
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    // gamepadconfigwidget_ui.cpp
    void buildUi();
    QString styleSheetText() const;
    void refreshHeader();
    void refreshHeader(const QString& target, bool connected);
    QWidget* makeSectionHeader(const QString& title, const QString& toolTip, QToolButton* tool = nullptr);

    // gamepadconfigwidget.cpp
    void rebuildAxisCards();
    void buildCards();
    GamepadGateCalibrationWidget* makeGateCard();
    void scheduleSave();
    bool save(QString* error);
    bool ensureOverride(QString* error);
    void addGate();
    void removeGate(GamepadGateCalibrationWidget* card);
    void captureGateCentre(GamepadGateCalibrationWidget* card);
    bool repairGateSources(GamepadCalibration::CalibrationSet& set) const;
    void setCurrentSet(const GamepadCalibration::CalibrationSet& set);
    GamepadCalibration::CalibrationSet& currentSetRef();
    bool profileUsable() const { return m_profile.isUsable(); }
    bool isConnected() const;
    GamepadCalibration::DeviceIdentity liveIdentity() const;
    QString profileIdText() const;
    // Tells the editor what changed: the metadata, then calibrationSaved() when a file changed.
    void report(bool fileChanged);
    bool prepareProfileWrite(QString* error);
    void showError(const QString& error);
    void saveBeforeLeaving();
    // The header's reset, delete and copy buttons ask first; the slots act at once.
    void confirmThen(const QString& question, void (GamepadConfigWidget::*action)());
    QString profileTitle() const;

    GamepadCalibration::ProfileCalibrationContext m_profile;
    QPointer<ControlManette> m_device;
    GamepadCalibration::DeviceIdentity m_identity; // fixed at reload: what the sets were loaded for
    GamepadCalibration::ResolvedCalibration m_runtime;
    GamepadCalibration::CalibrationSet m_baseSet;
    GamepadCalibration::CalibrationSet m_profileSet;
    int m_editScope = 0;

    QFrame* m_header = nullptr;
    QComboBox* m_scopeCombo = nullptr;
    QToolButton* m_captureRestButton = nullptr;
    QToolButton* m_guidedButton = nullptr;
    QToolButton* m_resetButton = nullptr;
    QToolButton* m_copyButton = nullptr;
    QToolButton* m_deleteButton = nullptr;
    QToolButton* m_addGateButton = nullptr;
    QLabel* m_profileLabel = nullptr;
    QLabel* m_deviceLabel = nullptr;
    QLabel* m_sourceLabel = nullptr;
    QLabel* m_hintLabel = nullptr;
    QLabel* m_targetLabel = nullptr;
    QScrollArea* m_scroll = nullptr;
    QVBoxLayout* m_cardsLayout = nullptr;
    QWidget* m_buttonsHeader = nullptr;
    QList<GamepadAxisCalibrationWidget*> m_axisCards;
    QList<GamepadGateCalibrationWidget*> m_gateCards;
    QList<GamepadButtonCalibrationWidget*> m_buttonCards;
    QList<GateSource2D> m_gateSources;

    QTimer m_liveTimer;
    QTimer m_saveTimer;
    bool m_dirty = false;
    WriteGuard m_writeGuard;
    QString m_loadedFor; // the profile and identity the cards were last loaded for

    // An error stays in the hint line until the next reload or successful save, so the 30 ms
    // refresh does not wipe it before anyone can read it.
    QString m_error;
};
