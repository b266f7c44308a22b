#pragma once

#include <QJsonObject>
#include <QRectF>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QVector>

// Widget-free model of the pastilles laid over a controller picture. The widgets
// (InteractiveOverlay, TouchArea) keep their own Q_ENUM copies of these enumerations with the same values.
namespace Overlay {

enum class Kind
{
    SingleJoy = 0,
    DualJoyCross = 1,
    Button = 2
};
enum class PublishMode
{
    OnChange = 0,
    ActiveOnly = 1,
    Always = 2
};
enum ScaleMode
{
    Stretch = 0,
    Contain = 1,
    Cover = 2,
    Center = 3
};

bool isJoystickKind(Kind kind);
// Size of a newly created pastille in pixels (122, 180 or 72 square).
QSize newPastilleSize(Kind kind);
// Smallest side a pastille of this kind may be resized to, in pixels.
int minimumSide(Kind kind);
QStringList slotNames(Kind kind);
QStringList slotLabels(Kind kind);
PublishMode defaultPublishMode(Kind kind);
// "Joy %1", "Double Joy %1" or "Bouton %1" with the running title number.
QString defaultTitle(Kind kind, int number);

// Where one pastille slot reads its value from; the same record is a bridge's "src".
struct InputSource
{
    bool isJoy = true;
    QString deviceType = QStringLiteral("gamepade");
    qint32 deviceId = 0;
    qint32 packetId = 1;
    QString stringKey;

    static InputSource forKind(Kind kind);
    QJsonObject toJson() const;
    bool operator==(const InputSource& other) const;
    bool operator!=(const InputSource& other) const { return !(*this == other); }
};

// Integer read that forgives hand-written files: a number is truncated toward zero, a decimal
// string is parsed, anything else (or an out-of-range value) keeps the fallback.
qint32 lenientInt(const QJsonValue& value, qint32 fallback);

// One pastille as the overlay keeps it, without its widget.
struct OverlayNode
{
    Kind kind = Kind::SingleJoy;
    bool split = false;
    // Fractions of the background rectangle; invalid until placed.
    QRectF rect;
    QStringList slotNames;
    QStringList slotLabels;
    QVector<InputSource> sources;
    QVector<QJsonObject> bindings;
    PublishMode publishMode = PublishMode::ActiveOnly;
    QStringList gateNames;
    QVector<QJsonObject> gateBindings;

    static OverlayNode create(Kind kind);
    bool isCombinedStick() const { return kind == Kind::DualJoyCross && !split; }
    // Slot position by name without regard to case, -1 when absent.
    int slotIndex(const QString& name) const;
    int gateIndex(const QString& name) const;
    // True when every source has a non-empty key (and there is at least one).
    bool isBound() const;
};

} // namespace Overlay
