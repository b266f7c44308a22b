#pragma once

#include <QHash>
#include <QString>

// Tells a gate crossed by the user from a gate announced again. A device starts every gate from
// outside after each calibration reload (every save asks the devices for one), so the stick at
// rest inside a gate reports "inside" anew without anyone touching it: learning and quick mapping
// must not take that for the user's input.
class GateCrossingFilter
{
public:
    // The states known when a device starts being listened to (its gateStates()).
    void reset(const QHash<QString, bool>& states = {}) { m_seen = states; }

    // True when the state differs from the one last seen; a gate never seen before counts only when
    // it reports the stick outside (inside is where a restarted gate finds a stick at rest).
    bool isCrossing(const QString& key, bool inside)
    {
        const auto seen = m_seen.constFind(key);
        const bool crossing = seen == m_seen.cend() ? !inside : *seen != inside;
        m_seen.insert(key, inside);
        return crossing;
    }

private:
    QHash<QString, bool> m_seen;
};
