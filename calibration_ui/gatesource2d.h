#pragma once

#include <QList>
#include <QMetaType>
#include <QString>

// A two-axis input a gate can sit on: one per two-axis pastille of the definition's overlay,
// handed to the calibration page by the editor.
struct GateSource2D
{
    QString key;         // the pastille's source key, stored in a gate's source2dKey
    QString displayName; // the pastille's title
    int xAxis = -1;      // axis number 0..7; negative when the pastille has none
    int yAxis = -1;

    // A gate can only use a source with a key and two axes.
    bool isUsable() const { return !key.trimmed().isEmpty() && xAxis >= 0 && yAxis >= 0; }

    friend bool operator==(const GateSource2D& a, const GateSource2D& b)
    {
        return a.key == b.key && a.displayName == b.displayName && a.xAxis == b.xAxis && a.yAxis == b.yAxis;
    }
    friend bool operator!=(const GateSource2D& a, const GateSource2D& b) { return !(a == b); }
};

Q_DECLARE_METATYPE(GateSource2D)
