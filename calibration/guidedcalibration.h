#pragma once

#include "calibrationsettings.h"

#include <QList>
#include <QPointF>
#include <QVector>

#include <array>

namespace GamepadCalibration {

// The arithmetic of a guided calibration: it is fed the raw axes (-100..100) step by step and
// proposes rest points, dead zones, ends and trigger modes. No widgets and no timers: the caller
// samples and tells the time (the joystick backend's clock), so the same readings always give
// the same proposal.
//
// Steps: Rest (let go of everything for RestDurationMs: rest point and noise), Travel (sticks to
// their ends and round: minimum and maximum, circularity of two-axis sticks), Triggers (press each
// fully: axes resting at an end that travel across are triggers), then Summary.
class GuidedCalibration
{
public:
    enum class Step
    {
        Rest,
        Travel,
        Triggers,
        Summary
    };
    struct Pair
    {
        int x = 0;
        int y = 1;
    };
    using Reading = std::array<double, kAxisCount>;

    static constexpr qint64 RestDurationMs = 2000;
    // A dead zone covers the noise seen at rest plus this many raw units.
    static constexpr double DeadZoneMargin = 2.0;
    // An axis resting this far from the middle rests at an end (a trigger, or a stick held).
    static constexpr double TriggerRestMin = 70.0;
    // A trigger is proposed once it has travelled this far from its rest.
    static constexpr double TriggerTravelMin = 100.0;
    // An end is measured only when the axis went at least this far from its rest on that side.
    static constexpr double EndTravelMin = 30.0;
    static constexpr int Sectors = 36;
    // Points kept per stick for its circularity; a steady stick adds none. Enough for minutes of
    // turning, and few enough to go through on the GUI thread at each reading.
    static constexpr int MaxPointsPerPair = 4000;

    // present: the axes the pad has (absent ones are neither measured nor changed); pairs: the
    // two-axis sticks whose circularity is followed.
    explicit GuidedCalibration(const QList<bool>& present = {}, const QList<Pair>& pairs = {});

    Step step() const { return m_step; }
    // Moves to the following step; the rest step moves on only once complete.
    bool next();
    void addSample(qint64 ms, const Reading& raw);

    // Share of the rest step done, 0..1.
    double restProgress() const;
    bool restComplete() const { return restProgress() >= 1.0; }

    struct AxisMeasure
    {
        bool present = false;
        int restSamples = 0;
        double rest = 0.0;
        double noise = 0.0; // largest distance from the rest point while at rest
        double min = 0.0;   // over the travel and trigger steps, starting at the rest point
        double max = 0.0;
    };
    AxisMeasure axis(int index) const;
    double suggestedDeadZone(int index) const;
    bool isTrigger(int index) const;

    const QList<Pair>& pairs() const { return m_pairs; }
    // Per sector (counter-clockwise from +x), the largest normalised radius reached; 0 for none.
    QVector<double> sectorRadii(int pair) const;
    int sectorsReached(int pair) const;
    // Smallest over largest sector radius once every sector was reached, else -1: 1 for a round
    // travel, about 0.71 for a square one.
    double circularity(int pair) const;
    // The raw point normalised against the measured rest and ends, as the calibrated stick sees it.
    QPointF normalised(int pair, double x, double y) const;

    // current with every measured value replaced; what was not measured stays as it was.
    CalibrationSet proposed(const CalibrationSet& current) const;

private:
    struct Stats
    {
        int count = 0;
        double sum = 0.0;
        double low = 0.0;
        double high = 0.0;
    };
    double restOf(int index) const;
    double normalisedAxis(int index, double value) const;
    QVector<double> computeSectorRadii(int pair) const;

    Step m_step = Step::Rest;
    QList<bool> m_present;
    QList<Pair> m_pairs;
    std::array<Stats, kAxisCount> m_rest{};
    std::array<Stats, kAxisCount> m_travel{};
    qint64 m_restStart = -1;
    qint64 m_restLast = -1;
    QVector<QVector<QPointF>> m_points; // per pair, raw
    // sectorRadii() per pair, computed once per reading: the labels and traces all ask for it.
    mutable QVector<QVector<double>> m_radii;
    mutable bool m_radiiValid = false;
};

} // namespace GamepadCalibration
