#include "overlaynode.h"

#include <QCoreApplication>
#include <QJsonValue>

#include <cmath>
#include <limits>

namespace Overlay {

bool isJoystickKind(Kind kind)
{
    return kind == Kind::SingleJoy || kind == Kind::DualJoyCross;
}

QSize newPastilleSize(Kind kind)
{
    switch (kind) {
    case Kind::DualJoyCross:
        return {180, 180};
    case Kind::Button:
        return {72, 72};
    case Kind::SingleJoy:
        break;
    }
    return {122, 122};
}

int minimumSide(Kind kind)
{
    switch (kind) {
    case Kind::DualJoyCross:
        return 90;
    case Kind::Button:
        return 44;
    case Kind::SingleJoy:
        break;
    }
    return 56;
}

QStringList slotNames(Kind kind)
{
    if (kind == Kind::DualJoyCross)
        return {QStringLiteral("x"), QStringLiteral("y")};
    return {QStringLiteral("main")};
}

QStringList slotLabels(Kind kind)
{
    switch (kind) {
    case Kind::DualJoyCross:
        return {QCoreApplication::translate("InteractiveOverlay", "Axe X"),
                QCoreApplication::translate("InteractiveOverlay", "Axe Y")};
    case Kind::Button:
        return {QCoreApplication::translate("InteractiveOverlay", "Bouton")};
    case Kind::SingleJoy:
        break;
    }
    return {QCoreApplication::translate("InteractiveOverlay", "Joystick")};
}

PublishMode defaultPublishMode(Kind kind)
{
    return isJoystickKind(kind) ? PublishMode::ActiveOnly : PublishMode::OnChange;
}

QString defaultTitle(Kind kind, int number)
{
    switch (kind) {
    case Kind::DualJoyCross:
        return QCoreApplication::translate("InteractiveOverlay", "Double Joy %1").arg(number);
    case Kind::Button:
        return QCoreApplication::translate("InteractiveOverlay", "Bouton %1").arg(number);
    case Kind::SingleJoy:
        break;
    }
    return QCoreApplication::translate("InteractiveOverlay", "Joy %1").arg(number);
}

InputSource InputSource::forKind(Kind kind)
{
    InputSource source;
    source.isJoy = isJoystickKind(kind);
    return source;
}

QJsonObject InputSource::toJson() const
{
    return QJsonObject{{QStringLiteral("deviceType"), deviceType},
                       {QStringLiteral("deviceId"), deviceId},
                       {QStringLiteral("packetId"), packetId},
                       {QStringLiteral("stringKey"), stringKey},
                       {QStringLiteral("isJoy"), isJoy}};
}

bool InputSource::operator==(const InputSource& other) const
{
    return isJoy == other.isJoy && deviceType == other.deviceType && deviceId == other.deviceId &&
           packetId == other.packetId && stringKey == other.stringKey;
}

qint32 lenientInt(const QJsonValue& value, qint32 fallback)
{
    if (value.isDouble()) {
        const double number = std::trunc(value.toDouble());
        if (!std::isfinite(number) || number < std::numeric_limits<qint32>::min() ||
            number > std::numeric_limits<qint32>::max())
            return fallback;
        return static_cast<qint32>(number);
    }
    if (value.isString()) {
        bool ok = false;
        const int parsed = value.toString().trimmed().toInt(&ok, 10);
        return ok ? parsed : fallback;
    }
    return fallback;
}

OverlayNode OverlayNode::create(Kind kind)
{
    OverlayNode node;
    node.kind = kind;
    node.slotNames = Overlay::slotNames(kind);
    node.slotLabels = Overlay::slotLabels(kind);
    for (int i = 0; i < node.slotNames.size(); ++i) {
        node.sources.append(InputSource::forKind(kind));
        node.bindings.append(QJsonObject());
    }
    node.publishMode = defaultPublishMode(kind);
    return node;
}

int OverlayNode::slotIndex(const QString& name) const
{
    for (int i = 0; i < slotNames.size(); ++i) {
        if (slotNames.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

int OverlayNode::gateIndex(const QString& name) const
{
    for (int i = 0; i < gateNames.size(); ++i) {
        if (gateNames.at(i).compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

bool OverlayNode::isBound() const
{
    if (sources.isEmpty())
        return false;
    for (const InputSource& source : sources) {
        if (source.stringKey.trimmed().isEmpty())
            return false;
    }
    return true;
}

} // namespace Overlay
