#include "guidedcalibration.h"

#include <QtMath>

#include <algorithm>
#include <cmath>

namespace GamepadCalibration {

namespace {

// Values a user reads and types: a tenth of a raw unit.
double tenth(double value)
{
    return std::round(value * 10.0) / 10.0;
}

double tenthUp(double value)
{
    return std::ceil(value * 10.0 - 1e-9) / 10.0;
}

} // namespace

GuidedCalibration::GuidedCalibration(const QList<bool>& present, const QList<Pair>& pairs)
    : m_present(present)
{
    while (m_present.size() < kAxisCount)
        m_present.append(present.isEmpty());
    for (const Pair& pair : pairs) {
        const bool valid = pair.x >= 0 && pair.x < kAxisCount && pair.y >= 0 && pair.y < kAxisCount &&
                           pair.x != pair.y && m_present.at(pair.x) && m_present.at(pair.y);
        if (valid)
            m_pairs.append(pair);
    }
    m_points.resize(m_pairs.size());
}

bool GuidedCalibration::next()
{
    switch (m_step) {
    case Step::Rest:
        if (!restComplete())
            return false;
        m_step = Step::Travel;
        return true;
    case Step::Travel:
        m_step = Step::Triggers;
        return true;
    case Step::Triggers:
        m_step = Step::Summary;
        return true;
    case Step::Summary:
        break;
    }
    return false;
}

void GuidedCalibration::addSample(qint64 ms, const Reading& raw)
{
    if (m_step == Step::Summary)
        return;
    if (m_step == Step::Rest) {
        if (restComplete())
            return;
        if (m_restStart < 0)
            m_restStart = ms;
        m_restLast = std::max(m_restLast, ms);
    }
    std::array<Stats, kAxisCount>& stats = m_step == Step::Rest ? m_rest : m_travel;
    for (int i = 0; i < kAxisCount; ++i) {
        if (!m_present.at(i))
            continue;
        const double value = std::clamp(raw[size_t(i)], -100.0, 100.0);
        Stats& s = stats[size_t(i)];
        if (s.count == 0) {
            // The travel starts from the rest point, so an axis never moved has no ends.
            s.low = s.high = m_step == Step::Rest ? value : restOf(i);
        }
        ++s.count;
        s.sum += value;
        s.low = std::min(s.low, value);
        s.high = std::max(s.high, value);
    }
    if (m_step == Step::Rest)
        return;
    m_radiiValid = false; // the ends may have moved: every point is normalised anew
    for (int p = 0; p < m_pairs.size(); ++p) {
        QVector<QPointF>& points = m_points[p];
        const QPointF point(raw[size_t(m_pairs.at(p).x)], raw[size_t(m_pairs.at(p).y)]);
        // A stick held still adds nothing; a long session keeps a bounded trace.
        if (points.size() >= MaxPointsPerPair ||
            (!points.isEmpty() && (points.constLast() - point).manhattanLength() < 0.5))
            continue;
        points.append(point);
    }
}

double GuidedCalibration::restProgress() const
{
    if (m_restStart < 0)
        return 0.0;
    return std::min(1.0, double(m_restLast - m_restStart) / double(RestDurationMs));
}

double GuidedCalibration::restOf(int index) const
{
    const Stats& s = m_rest[size_t(index)];
    return s.count > 0 ? s.sum / s.count : 0.0;
}

GuidedCalibration::AxisMeasure GuidedCalibration::axis(int index) const
{
    AxisMeasure m;
    if (index < 0 || index >= kAxisCount || !m_present.at(index))
        return m;
    m.present = true;
    const Stats& rest = m_rest[size_t(index)];
    m.restSamples = rest.count;
    m.rest = restOf(index);
    if (rest.count > 0)
        m.noise = std::max(rest.high - m.rest, m.rest - rest.low);
    const Stats& travel = m_travel[size_t(index)];
    m.min = travel.count > 0 ? travel.low : m.rest;
    m.max = travel.count > 0 ? travel.high : m.rest;
    return m;
}

double GuidedCalibration::suggestedDeadZone(int index) const
{
    const AxisMeasure m = axis(index);
    return std::clamp(tenthUp(m.noise + DeadZoneMargin), 0.0, 99.0);
}

bool GuidedCalibration::isTrigger(int index) const
{
    const AxisMeasure m = axis(index);
    if (!m.present || m.restSamples == 0 || std::fabs(m.rest) < TriggerRestMin)
        return false;
    const double travelled = m.rest < 0 ? m.max - m.rest : m.rest - m.min;
    return travelled >= TriggerTravelMin;
}

double GuidedCalibration::normalisedAxis(int index, double value) const
{
    const AxisMeasure m = axis(index);
    const double span = value >= m.rest ? m.max - m.rest : m.rest - m.min;
    return span < 1.0 ? 0.0 : (value - m.rest) / span;
}

QPointF GuidedCalibration::normalised(int pair, double x, double y) const
{
    if (pair < 0 || pair >= m_pairs.size())
        return {};
    return {normalisedAxis(m_pairs.at(pair).x, x), normalisedAxis(m_pairs.at(pair).y, y)};
}

QVector<double> GuidedCalibration::sectorRadii(int pair) const
{
    if (pair < 0 || pair >= m_pairs.size())
        return QVector<double>(Sectors, 0.0);
    if (!m_radiiValid) {
        m_radii.clear();
        for (int p = 0; p < m_pairs.size(); ++p)
            m_radii.append(computeSectorRadii(p));
        m_radiiValid = true;
    }
    return m_radii.at(pair);
}

QVector<double> GuidedCalibration::computeSectorRadii(int pair) const
{
    QVector<double> radii(Sectors, 0.0);
    for (const QPointF& raw : m_points.at(pair)) {
        const QPointF p = normalised(pair, raw.x(), raw.y());
        const double radius = std::hypot(p.x(), p.y());
        // Near the centre the angle means nothing: only travel towards the ends counts.
        if (radius < 0.5)
            continue;
        double angle = std::atan2(p.y(), p.x());
        if (angle < 0)
            angle += 2 * M_PI;
        const int sector = std::min(Sectors - 1, int(angle / (2 * M_PI) * Sectors));
        radii[sector] = std::max(radii[sector], radius);
    }
    return radii;
}

int GuidedCalibration::sectorsReached(int pair) const
{
    const QVector<double> radii = sectorRadii(pair);
    return int(std::count_if(radii.begin(), radii.end(), [](double r) { return r > 0; }));
}

double GuidedCalibration::circularity(int pair) const
{
    const QVector<double> radii = sectorRadii(pair);
    const auto [low, high] = std::minmax_element(radii.begin(), radii.end());
    if (*low <= 0)
        return -1.0;
    return *low / *high;
}

CalibrationSet GuidedCalibration::proposed(const CalibrationSet& current) const
{
    CalibrationSet set = current;
    for (int i = 0; i < std::min<int>(kAxisCount, set.axes.size()); ++i) {
        const AxisMeasure m = axis(i);
        if (!m.present || m.restSamples == 0)
            continue;
        AxisSettings& a = set.axes[i];
        a.restRaw = tenth(m.rest);
        a.deadzoneRadius = suggestedDeadZone(i);
        if (isTrigger(i)) {
            a.mode = AxisMode::Trigger;
            a.activeRaw = tenth(m.rest < 0 ? m.max : m.min);
            continue;
        }
        const bool negative = m.rest - m.min >= EndTravelMin;
        const bool positive = m.max - m.rest >= EndTravelMin;
        // Resting in the middle and travelling both ways: a stick axis, whatever it was before.
        if (std::fabs(m.rest) < TriggerRestMin && negative && positive)
            a.mode = AxisMode::Bidirectional;
        if (a.mode != AxisMode::Bidirectional)
            continue;
        if (negative)
            a.negativeRaw = tenth(m.min);
        if (positive)
            a.positiveRaw = tenth(m.max);
    }
    return sanitized(set, set.axes.size(), set.buttons.size());
}

} // namespace GamepadCalibration
