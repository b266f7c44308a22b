#include "actionengine.h"

#include <QJsonValue>

#include <cmath>

namespace {

bool isRest(const QVariant& v)
{
    if (!v.isValid())
        return true;
    if (v.userType() == QMetaType::Bool)
        return !v.toBool();
    return std::abs(v.toDouble()) < 1e-9;
}

QJsonValue toJson(const QVariant& v)
{
    if (!v.isValid())
        return QJsonValue(0);
    if (v.userType() == QMetaType::Double || v.userType() == QMetaType::Float)
        return std::round(v.toDouble() * 1000.0) / 1000.0; // axis values carry no more than 0.001
    return QJsonValue::fromVariant(v);
}

} // namespace

void ActionEngine::setBridges(const QList<Bridge>& bridges)
{
    m_bridges = bridges;
    m_states = QList<BridgeState>(bridges.size());
}

QVariant ActionEngine::valueOf(const QString& key) const
{
    const QVariant v = m_values.value(key);
    if (v.isValid())
        return v;
    return key.startsWith(QLatin1String("joy_")) ? QVariant(0.0) : QVariant(false);
}

bool ActionEngine::offRest(const Bridge& b) const
{
    if (b.isCombined())
        return !isRest(m_values.value(b.joyXKey)) || !isRest(m_values.value(b.joyYKey));
    return !isRest(m_values.value(b.key));
}

TriggeredAction ActionEngine::fire(int index, qint64 nowMs, bool repeat)
{
    const Bridge& b = m_bridges.at(index);
    m_states[index].lastFireMs = nowMs;
    TriggeredAction t;
    t.action = b.action;
    t.mode = b.mode;
    t.repeat = repeat;
    QVariant first;
    QVariant second;
    if (b.isCombined()) {
        first = valueOf(b.joyXKey);
        second = valueOf(b.joyYKey);
        t.key = b.joyXKey + QLatin1Char('+') + b.joyYKey;
        t.value = QVariantList{first, second};
    } else {
        first = valueOf(b.key);
        t.key = b.key;
        t.value = first;
    }
    for (auto it = b.args.constBegin(); it != b.args.constEnd(); ++it) {
        const QString text = it.value().toString().trimmed();
        if (!it.value().isString()) {
            t.args.insert(it.key(), it.value());
        } else if (text.compare(QLatin1String("arg_0"), Qt::CaseInsensitive) == 0) {
            t.args.insert(it.key(), toJson(first));
        } else if (text.compare(QLatin1String("arg_1"), Qt::CaseInsensitive) == 0 && b.isCombined()) {
            t.args.insert(it.key(), toJson(second));
        } else if (text.startsWith(QLatin1String("param:"), Qt::CaseInsensitive)) {
            t.args.insert(it.key(), toJson(valueOf(text.mid(6).trimmed().toLower())));
        } else {
            t.args.insert(it.key(), it.value());
        }
    }
    return t;
}

QList<TriggeredAction> ActionEngine::feed(const QStringList& keys, const QVariantList& values, qint64 nowMs)
{
    QStringList touched;
    for (int i = 0; i < keys.size() && i < values.size(); ++i) {
        const QString key = keys.at(i).trimmed().toLower();
        m_values.insert(key, values.at(i));
        touched.append(key);
    }
    QList<TriggeredAction> fired;
    for (int i = 0; i < m_bridges.size(); ++i) {
        const Bridge& b = m_bridges.at(i);
        const bool hit = b.isCombined() ? (touched.contains(b.joyXKey) || touched.contains(b.joyYKey))
                                        : touched.contains(b.key);
        if (!hit)
            continue;
        BridgeState& s = m_states[i];
        switch (b.mode) {
        case Bridge::Mode::OnChange:
        case Bridge::Mode::Always:
            fired.append(fire(i, nowMs, false));
            break;
        case Bridge::Mode::ActiveOnly:
            if (offRest(b)) {
                s.active = true;
                fired.append(fire(i, nowMs, false));
            } else if (s.active) {
                // The return to rest is reported once.
                s.active = false;
                fired.append(fire(i, nowMs, false));
            }
            break;
        }
    }
    return fired;
}

QList<TriggeredAction> ActionEngine::tick(qint64 nowMs)
{
    QList<TriggeredAction> fired;
    for (int i = 0; i < m_bridges.size(); ++i) {
        const Bridge& b = m_bridges.at(i);
        const BridgeState& s = m_states.at(i);
        const bool due = nowMs - s.lastFireMs >= RepeatIntervalMs;
        if (!due)
            continue;
        if (b.mode == Bridge::Mode::Always || (b.mode == Bridge::Mode::ActiveOnly && s.active))
            fired.append(fire(i, nowMs, true));
    }
    return fired;
}
