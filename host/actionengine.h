#pragma once

#include "mappingfile.h"

#include <QHash>
#include <QJsonObject>
#include <QList>
#include <QStringList>
#include <QVariant>

// One action the host runs, with its arguments resolved from the input values.
struct TriggeredAction
{
    QString action;
    QJsonObject args;
    QString key;    // input key, "x+y" keys for a combined stick
    QVariant value; // the input value, a two-element list for a combined stick
    Bridge::Mode mode = Bridge::Mode::OnChange;
    bool repeat = false; // fired by the steady-rate clock rather than by a change
};

// The host's action machinery for one mapping file: matches the device's change sets to bridges.
//   onChange   - fires on every reported change of the key;
//   activeOnly - fires while the input is off rest (non-zero axis, pressed button), again every
//                RepeatIntervalMs, and once more when it returns to rest;
//   always     - fires on every change and every RepeatIntervalMs, at rest too.
// Time is a parameter (ms, any monotonic origin) so the rules can be fed timed sequences.
// Argument strings "arg_0" (and "arg_1", the y of a combined stick) become the input value;
// "param:<key>" becomes the last value of that key.
class ActionEngine
{
public:
    static constexpr int RepeatIntervalMs = 100;

    void setBridges(const QList<Bridge>& bridges);
    const QList<Bridge>& bridges() const { return m_bridges; }

    QList<TriggeredAction> feed(const QStringList& keys, const QVariantList& values, qint64 nowMs);
    QList<TriggeredAction> tick(qint64 nowMs);

private:
    struct BridgeState
    {
        bool active = false;
        qint64 lastFireMs = 0;
    };

    QVariant valueOf(const QString& key) const;
    bool offRest(const Bridge& bridge) const;
    TriggeredAction fire(int index, qint64 nowMs, bool repeat);

    QList<Bridge> m_bridges;
    QList<BridgeState> m_states;
    QHash<QString, QVariant> m_values; // last value per lower-cased key
};
