#include "guidedcalibrationdialog.h"

#include "calibrationuicommon.h"
#include "controlmanette.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPainterPath>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

#include <cmath>

using namespace GamepadCalibration;

// One stick's travel as the calibrated stick will see it: the unit circle, the farthest point
// reached in each sector, and where the stick is now.
class StickTraceWidget : public QWidget
{
public:
    StickTraceWidget(const GuidedCalibration& guide, int pair, QWidget* parent)
        : QWidget(parent), m_guide(guide), m_pair(pair)
    {
        setFixedSize(150, 150);
    }
    void setCurrent(const QPointF& point)
    {
        m_current = point;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QPointF centre = QRectF(rect()).center();
        const double unit = width() / 2.0 / 1.5; // room for a square stick's corners
        const QPalette pal = palette();
        p.setPen(QPen(pal.color(QPalette::Mid), 1));
        p.setBrush(pal.color(QPalette::Base));
        p.drawEllipse(centre, unit, unit);
        p.drawLine(QPointF(centre.x() - unit, centre.y()), QPointF(centre.x() + unit, centre.y()));
        p.drawLine(QPointF(centre.x(), centre.y() - unit), QPointF(centre.x(), centre.y() + unit));

        const QVector<double> radii = m_guide.sectorRadii(m_pair);
        QPainterPath reached;
        for (int s = 0; s < radii.size(); ++s) {
            const double angle = (s + 0.5) * 2 * M_PI / radii.size();
            // Screen y grows downwards; the stick's up is negative raw on most pads, drawn as read.
            const QPointF point =
                centre + QPointF(std::cos(angle), std::sin(angle)) * unit * std::min(1.5, radii.at(s));
            s == 0 ? reached.moveTo(point) : reached.lineTo(point);
        }
        reached.closeSubpath();
        QColor fill = pal.color(QPalette::Highlight);
        fill.setAlpha(90);
        p.setPen(QPen(pal.color(QPalette::Highlight), 1.5));
        p.setBrush(fill);
        p.drawPath(reached);

        const QPointF now(std::clamp(m_current.x(), -1.5, 1.5), std::clamp(m_current.y(), -1.5, 1.5));
        p.setPen(Qt::NoPen);
        p.setBrush(pal.color(QPalette::BrightText));
        p.drawEllipse(centre + now * unit, 4, 4);
    }

private:
    const GuidedCalibration& m_guide;
    int m_pair;
    QPointF m_current;
};

namespace {

QString number(double value)
{
    const double tenth = std::round(value * 10) / 10;
    return QString::number(tenth == 0 ? 0.0 : tenth, 'f', 1); // never "-0.0"
}

QLabel* cell(QGridLayout* grid, int row, int column, const QString& text = QString())
{
    auto* label = new QLabel(text);
    label->setAlignment(column == 0 ? Qt::AlignLeft | Qt::AlignVCenter : Qt::AlignRight | Qt::AlignVCenter);
    grid->addWidget(label, row, column);
    return label;
}

QLabel* header(QGridLayout* grid, int column, const QString& text)
{
    QLabel* label = cell(grid, 0, column, text);
    QFont font = label->font();
    font.setBold(true);
    label->setFont(font);
    return label;
}

QList<bool> presentAxes(ControlManette* device)
{
    QList<bool> present;
    for (int i = 0; i < kAxisCount; ++i)
        present.append(device && device->axisPresent(i));
    return present;
}

} // namespace

GuidedCalibrationDialog::GuidedCalibrationDialog(ControlManette* device, const CalibrationSet& current,
                                                 const QList<GuidedCalibration::Pair>& sticks,
                                                 const QString& target, QWidget* parent)
    : QDialog(parent), m_device(device), m_before(current), m_guide(presentAxes(device), sticks)
{
    setObjectName(QStringLiteral("guidedCalibrationDialog"));
    setWindowTitle(tr("Calibration guidée"));
    // A dialog of its own over the page, whose style sheet would otherwise make it transparent.
    // Colours are the host theme's placeholders; the host resolves them.
    setStyleSheet(
        QStringLiteral("QDialog#guidedCalibrationDialog { background: @color.tfxBackdropDark@; }"
                       "QLabel { color: @color.tfxText@; }"
                       "QLabel#guidedHint { color: @color.tfxMutedStrong@; }"
                       "QProgressBar { border: 1px solid @color.tfxBorder@; border-radius: 4px; background: "
                       "@color.tfxInputBg@;"
                       " color: @color.tfxText@; text-align: center; min-height: 18px; }"
                       "QProgressBar::chunk { background: @color.tfxAccent@; border-radius: 3px; }"));
    setMinimumWidth(520);
    auto* root = new QVBoxLayout(this);
    m_title = new QLabel(this);
    m_title->setObjectName(QStringLiteral("guidedStepTitle"));
    QFont font = m_title->font();
    font.setBold(true);
    font.setPointSizeF(font.pointSizeF() * 1.2);
    m_title->setFont(font);
    m_instructions = new QLabel(this);
    m_instructions->setWordWrap(true);
    m_pages = new QStackedWidget(this);
    m_status = new QLabel(this);
    m_status->setObjectName(QStringLiteral("guidedStatus"));
    m_status->setWordWrap(true);
    auto* target_ = new QLabel(tr("Appliquer enregistre dans : %1").arg(target), this);
    target_->setWordWrap(true);
    target_->setObjectName(QStringLiteral("guidedHint")); // a quieter line
    root->addWidget(m_title);
    root->addWidget(m_instructions);
    root->addWidget(m_pages, 1);
    root->addWidget(m_status);
    root->addWidget(target_);

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    m_next = m_buttons->addButton(tr("Suivant"), QDialogButtonBox::ActionRole);
    m_next->setObjectName(QStringLiteral("guidedNextButton"));
    m_next->setDefault(true);
    connect(m_next, &QPushButton::clicked, this, &GuidedCalibrationDialog::goNext);
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    root->addWidget(m_buttons);

    buildStepPages();
    m_timer.setInterval(SampleIntervalMs);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &GuidedCalibrationDialog::sample);
    connect(this, &QDialog::finished, &m_timer, &QTimer::stop);
    m_timer.start();
    refresh();
}

void GuidedCalibrationDialog::buildStepPages()
{
    // 1. Rest: one row per axis the pad has.
    auto* rest = new QWidget(m_pages);
    auto* restLayout = new QVBoxLayout(rest);
    m_restProgress = new QProgressBar(rest);
    m_restProgress->setObjectName(QStringLiteral("guidedRestProgress"));
    m_restProgress->setRange(0, 100);
    restLayout->addWidget(m_restProgress);
    m_restGrid = new QGridLayout;
    header(m_restGrid, 0, tr("Axe"));
    header(m_restGrid, 1, tr("Repos"));
    header(m_restGrid, 2, tr("Bruit"));
    header(m_restGrid, 3, tr("Zone morte proposée"));
    restLayout->addLayout(m_restGrid);
    restLayout->addStretch(1);

    // 2. Travel: the sticks' traces, then each axis's ends.
    auto* travel = new QWidget(m_pages);
    auto* travelLayout = new QVBoxLayout(travel);
    auto* traces = new QHBoxLayout;
    for (int p = 0; p < m_guide.pairs().size(); ++p) {
        auto* column = new QVBoxLayout;
        auto* trace = new StickTraceWidget(m_guide, p, travel);
        auto* label = new QLabel(travel);
        label->setObjectName(QStringLiteral("guidedCircularity"));
        label->setAlignment(Qt::AlignHCenter);
        label->setWordWrap(true);
        label->setFixedWidth(170);
        column->addWidget(trace, 0, Qt::AlignHCenter);
        column->addWidget(label);
        traces->addLayout(column);
        m_traces.append(trace);
        m_traceLabels.append(label);
    }
    traces->addStretch(1);
    travelLayout->addLayout(traces);
    m_travelGrid = new QGridLayout;
    header(m_travelGrid, 0, tr("Axe"));
    header(m_travelGrid, 1, tr("Minimum"));
    header(m_travelGrid, 2, tr("Maximum"));
    travelLayout->addLayout(m_travelGrid);
    travelLayout->addStretch(1);

    int row = 1;
    for (int i = 0; i < kAxisCount; ++i) {
        if (!m_guide.axis(i).present)
            continue;
        cell(m_restGrid, row, 0, CalibrationUi::axisLabel(i));
        cell(m_travelGrid, row, 0, CalibrationUi::axisLabel(i));
        for (int c = 0; c < 3; ++c)
            m_restCells[size_t(i)][size_t(c)] = cell(m_restGrid, row, c + 1);
        for (int c = 0; c < 2; ++c)
            m_travelCells[size_t(i)][size_t(c)] = cell(m_travelGrid, row, c + 1);
        ++row;
    }

    // 3. Triggers, 4. the summary.
    m_triggers = new QLabel(m_pages);
    m_triggers->setObjectName(QStringLiteral("guidedTriggers"));
    m_triggers->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_triggers->setWordWrap(true);
    auto* summary = new QWidget(m_pages);
    auto* summaryLayout = new QVBoxLayout(summary);
    m_summaryGrid = new QGridLayout;
    summaryLayout->addLayout(m_summaryGrid);
    summaryLayout->addStretch(1);
    for (QWidget* page : {rest, travel, static_cast<QWidget*>(m_triggers), summary})
        m_pages->addWidget(page);
}

CalibrationSet GuidedCalibrationDialog::proposed() const
{
    return m_guide.proposed(m_before);
}

void GuidedCalibrationDialog::sample()
{
    if (m_stopped)
        return;
    ControlManette* device = m_device.data();
    if (!device || !device->isConnected() || !device->backend()) {
        stop(tr("La manette a été déconnectée : la calibration guidée est interrompue, rien n'a été "
                "modifié."));
        return;
    }
    GuidedCalibration::Reading raw;
    for (int i = 0; i < kAxisCount; ++i)
        raw[size_t(i)] = device->rawAxisValue(i);
    m_guide.addSample(device->backend()->nowMs(), raw);
    for (int p = 0; p < m_traces.size(); ++p) {
        const GuidedCalibration::Pair pair = m_guide.pairs().at(p);
        m_traces.at(p)->setCurrent(m_guide.normalised(p, raw[size_t(pair.x)], raw[size_t(pair.y)]));
    }
    refresh();
}

void GuidedCalibrationDialog::goNext()
{
    if (m_stopped || !m_guide.next())
        return;
    if (m_guide.step() == GuidedCalibration::Step::Summary) {
        // The timer goes on: a pad pulled out now still stops the guide.
        refreshSummary();
        // Offered only here: nothing can be applied before the summary was seen.
        m_buttons->removeButton(m_next);
        m_next->deleteLater();
        m_next = nullptr;
        QPushButton* apply = m_buttons->addButton(tr("Appliquer"), QDialogButtonBox::AcceptRole);
        apply->setObjectName(QStringLiteral("guidedApplyButton"));
        apply->setDefault(true);
        apply->setFocus();
    }
    refresh();
}

void GuidedCalibrationDialog::stop(const QString& reason)
{
    m_stopped = true;
    m_timer.stop();
    m_status->setText(reason);
    for (QAbstractButton* button : m_buttons->buttons()) {
        if (m_buttons->buttonRole(button) != QDialogButtonBox::RejectRole)
            button->setEnabled(false);
    }
}

void GuidedCalibrationDialog::refresh()
{
    const GuidedCalibration::Step step = m_guide.step();
    m_pages->setCurrentIndex(int(step));
    // Called at every reading: the cells are kept, not looked up.
    const auto set = [](QLabel* label, const QString& text) {
        if (label)
            label->setText(text);
    };
    switch (step) {
    case GuidedCalibration::Step::Rest:
        m_title->setText(tr("1 / 4 · Lâchez tout"));
        m_instructions->setText(tr("Ne touchez ni aux sticks ni aux gâchettes pendant deux secondes : le "
                                   "repos et le bruit de chaque axe sont mesurés."));
        m_restProgress->setValue(int(m_guide.restProgress() * 100));
        for (int i = 0; i < kAxisCount; ++i) {
            const GuidedCalibration::AxisMeasure m = m_guide.axis(i);
            if (!m.present || m.restSamples == 0)
                continue;
            const auto& cells = m_restCells[size_t(i)];
            set(cells[0], number(m.rest));
            set(cells[1], QStringLiteral("± %1").arg(number(m.noise)));
            set(cells[2], number(m_guide.suggestedDeadZone(i)));
        }
        if (m_next)
            m_next->setEnabled(m_guide.restComplete() && !m_stopped);
        if (!m_stopped)
            m_status->setText(m_guide.restComplete() ? tr("Mesure terminée.") : tr("Mesure en cours…"));
        break;
    case GuidedCalibration::Step::Travel:
        m_title->setText(tr("2 / 4 · Sticks en butée"));
        m_instructions->setText(tr("Poussez chaque stick jusqu'en butée et faites-lui faire plusieurs tours "
                                   "complets, lentement."));
        for (int i = 0; i < kAxisCount; ++i) {
            const GuidedCalibration::AxisMeasure m = m_guide.axis(i);
            if (!m.present)
                continue;
            set(m_travelCells[size_t(i)][0], number(m.min));
            set(m_travelCells[size_t(i)][1], number(m.max));
        }
        for (int p = 0; p < m_traceLabels.size(); ++p) {
            const GuidedCalibration::Pair pair = m_guide.pairs().at(p);
            const double round = m_guide.circularity(p);
            const QString sticks = QStringLiteral("%1 / %2").arg(CalibrationUi::axisLetter(pair.x),
                                                                 CalibrationUi::axisLetter(pair.y));
            m_traceLabels.at(p)->setText(
                round < 0 ? tr("%1 : %2 secteurs sur %3")
                                .arg(sticks)
                                .arg(m_guide.sectorsReached(p))
                                .arg(GuidedCalibration::Sectors)
                          : tr("%1 : circularité %2 %").arg(sticks).arg(qRound(round * 100)));
            m_traces.at(p)->update();
        }
        if (!m_stopped)
            m_status->clear();
        break;
    case GuidedCalibration::Step::Triggers: {
        m_title->setText(tr("3 / 4 · Gâchettes"));
        m_instructions->setText(tr("Enfoncez chaque gâchette jusqu'au bout, puis relâchez-la."));
        QStringList lines;
        for (int i = 0; i < kAxisCount; ++i) {
            const GuidedCalibration::AxisMeasure m = m_guide.axis(i);
            if (!m.present || std::fabs(m.rest) < GuidedCalibration::TriggerRestMin)
                continue;
            lines << (m_guide.isTrigger(i) ? tr("%1 : gâchette détectée (repos %2, enfoncée %3)")
                                                 .arg(CalibrationUi::axisLabel(i), number(m.rest),
                                                      number(m.rest < 0 ? m.max : m.min))
                                           : tr("%1 : repose en butée (%2), enfoncez-la à fond")
                                                 .arg(CalibrationUi::axisLabel(i), number(m.rest)));
        }
        m_triggers->setText(lines.isEmpty() ? tr("Aucun axe ne repose en butée : cette manette n'a pas de "
                                                 "gâchette analogique.")
                                            : lines.join(QLatin1Char('\n')));
        break;
    }
    case GuidedCalibration::Step::Summary:
        m_title->setText(tr("4 / 4 · Résumé"));
        m_instructions->setText(
            tr("Les valeurs mesurées, avant et après. Appliquer les enregistre en une fois ; Annuler ne "
               "change rien."));
        break;
    }
}

void GuidedCalibrationDialog::refreshSummary()
{
    const CalibrationSet after = proposed();
    header(m_summaryGrid, 0, tr("Axe"));
    header(m_summaryGrid, 1, tr("Repos"));
    header(m_summaryGrid, 2, tr("Zone morte"));
    header(m_summaryGrid, 3, tr("Course"));
    const auto travel = [](const AxisSettings& a) {
        return a.mode == AxisMode::Trigger
                   ? tr("gâchette, enfoncée %1").arg(number(a.activeRaw))
                   : QStringLiteral("%1 / %2").arg(number(a.negativeRaw), number(a.positiveRaw));
    };
    // "before → after" in bold where the value changes, the value alone where it stays.
    const auto change = [](QLabel* label, const QString& before, const QString& after) {
        label->setText(before == after ? before : QStringLiteral("%1 → <b>%2</b>").arg(before, after));
    };
    int row = 1;
    for (int i = 0; i < std::min<int>(kAxisCount, after.axes.size()); ++i) {
        if (!m_guide.axis(i).present || i >= m_before.axes.size())
            continue;
        const AxisSettings& was = m_before.axes.at(i);
        const AxisSettings& will = after.axes.at(i);
        cell(m_summaryGrid, row, 0, CalibrationUi::axisLabel(i));
        change(cell(m_summaryGrid, row, 1), number(was.restRaw), number(will.restRaw));
        change(cell(m_summaryGrid, row, 2), number(was.deadzoneRadius), number(will.deadzoneRadius));
        QLabel* course = cell(m_summaryGrid, row, 3);
        course->setObjectName(QStringLiteral("summary_%1").arg(i));
        change(course, travel(was), travel(will));
        ++row;
    }
    // The new cells are shown by a queued call of their layout; the size follows once they are.
    QMetaObject::invokeMethod(this, &QWidget::adjustSize, Qt::QueuedConnection);
}
