#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

#include <functional>

class QAbstractSpinBox;
class QWidget;

// Small pieces shared by the calibration page and its cards.
class QLabel;

namespace CalibrationUi {

// Icons drawn in code on a transparent 32 x 32 pixmap.
enum class Icon
{
    AddGate = 0,
    CaptureRest = 1,
    CaptureCentre = 2,
    Reset = 3,
    Copy = 4,
    Delete = 5,
    RemoveGate = 6,
    CaptureNegative = 7,
    CapturePositive = 8,
    CaptureActive = 9,
};

QIcon icon(Icon which);

// Joystick axis letters for 0..7: X, Y, Z, R, U, V, PovX, PovY; empty for any other number.
QString axisLetter(int axis);
// "joy_<n> (<letter>)" for 0..7, else "joy_<n>".
QString axisLabel(int axis);

// Right-aligned, without arrow buttons, wheel-guarded: the cards' spin boxes.
void setUpSpin(QAbstractSpinBox* spin);
// The wheel turns a value only once the input has the focus; until then it scrolls the page, so
// scrolling through the cards never edits what passes under the pointer.
void guardWheel(QWidget* input);

// Sets a boolean dynamic property the style sheet reads and re-applies the style, only on a change.
void setStyleFlag(QWidget* widget, const char* name, bool value);

// A spin box's setValue formats its text again even for the value it holds: a page reloaded
// with forty cards mostly holds those values already.
template <typename Spin, typename Value> void setSpinValue(Spin* spin, Value value)
{
    if (spin->value() != value)
        spin->setValue(value);
}

// The mark a card shows beside its title when the connected controller has no such input (the
// page always shows 8 axis and 32 button cards); hidden until then.
QLabel* makeAbsentMark(QWidget* parent, const QString& toolTip);

// Calls onRelease when a mouse button is released over one of the watched widgets (a card's header
// parts), and swallows the release so a parent watched as well does not toggle a second time.
class ReleaseWatcher : public QObject
{
public:
    ReleaseWatcher(QObject* parent, std::function<void()> onRelease);
    void watch(QWidget* widget);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    std::function<void()> m_onRelease;
};

} // namespace CalibrationUi
