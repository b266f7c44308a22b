#include "gamepadaxiscalibrationwidget.h"

#include "axiscalibrationpreviewwidget.h"
#include "calibrationuicommon.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QToolButton>
#include <QVBoxLayout>

#include <vector>

using namespace GamepadCalibration;

namespace {

// A titled group frame of the details row; the grid starts at row 1, under the title.
QGridLayout* makeGroup(QWidget* parent, QHBoxLayout* row, const char* name, const QString& title,
                       const char* titleName)
{
    auto* group = new QFrame(parent);
    group->setObjectName(QLatin1String(name));
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(5);
    auto* label = new QLabel(title, group);
    label->setObjectName(QLatin1String(titleName));
    grid->addWidget(label, 0, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    row->addWidget(group, 1, Qt::AlignTop);
    return grid;
}

QDoubleSpinBox* makeSpin(QWidget* parent, const char* name, double lo, double hi, int decimals, double step,
                         const QString& toolTip)
{
    auto* spin = new QDoubleSpinBox(parent);
    spin->setObjectName(QLatin1String(name));
    spin->setRange(lo, hi);
    spin->setDecimals(decimals);
    spin->setSingleStep(step);
    spin->setToolTip(toolTip);
    spin->setMinimumWidth(84);
    CalibrationUi::setUpSpin(spin);
    return spin;
}

QString metricText(const char* prefix, double value)
{
    return QLatin1String(prefix) + QStringLiteral("%1").arg(value, 6, 'f', 1);
}

} // namespace

GamepadAxisCalibrationWidget::GamepadAxisCalibrationWidget(QWidget* parent) : QWidget(parent)
{
    registerCalibrationMetaTypes();
    qRegisterMetaType<CaptureTarget>();
    buildUi();
    fillWidgets();
    updateTitle();
    updateModeRules();
    updateLiveLabels();
    setExpanded(false);
}

void GamepadAxisCalibrationWidget::buildUi()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new QFrame(this);
    card->setObjectName(QStringLiteral("axisCard"));
    outer->addWidget(card);
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setObjectName(QStringLiteral("cardLayout"));
    cardLayout->setContentsMargins(8, 6, 8, 6);
    cardLayout->setSpacing(6);

    auto* header = new QWidget(card);
    header->setObjectName(QStringLiteral("headerWidget"));
    auto* titleLayout = new QHBoxLayout(header);
    titleLayout->setObjectName(QStringLiteral("titleLayout"));
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleLayout->setSpacing(8);
    m_expandButton = new QToolButton(header);
    m_expandButton->setObjectName(QStringLiteral("expandButton"));
    m_expandButton->setCheckable(true);
    m_expandButton->setFixedSize(26, 26);
    m_expandButton->setProperty("compact", true);
    m_expandButton->setCursor(Qt::PointingHandCursor);
    m_expandButton->setToolTip(tr("Afficher ou masquer les reglages de cet axe."));
    connect(m_expandButton, &QToolButton::clicked, this, [this]() { setExpanded(!m_expanded); });
    m_title = new QLabel(header);
    m_title->setObjectName(QStringLiteral("axisTitle"));
    m_title->setMinimumWidth(96);
    auto* previewHost = new QWidget(header);
    previewHost->setObjectName(QStringLiteral("previewHost"));
    auto* previewLayout = new QVBoxLayout(previewHost);
    previewLayout->setContentsMargins(0, 0, 0, 0);
    m_preview = new AxisCalibrationPreviewWidget(previewHost);
    m_preview->setToolTip(tr("Apercu live de l'entree brute, du repos et de la zone morte."));
    previewLayout->addWidget(m_preview);
    m_rawLabel = new QLabel(header);
    m_rawLabel->setObjectName(QStringLiteral("metricLabel"));
    m_rawLabel->setMinimumWidth(78);
    m_outputLabel = new QLabel(header);
    m_outputLabel->setObjectName(QStringLiteral("metricLabel"));
    m_outputLabel->setMinimumWidth(78);
    titleLayout->addWidget(m_expandButton);
    titleLayout->addWidget(m_title);
    m_absentMark = CalibrationUi::makeAbsentMark(
        header, tr("La manette connectee n'a pas cet axe ; ses reglages restent ceux du fichier."));
    titleLayout->addWidget(m_absentMark);
    titleLayout->addWidget(previewHost, 1);
    titleLayout->addWidget(m_rawLabel);
    titleLayout->addWidget(m_outputLabel);
    cardLayout->addWidget(header);

    auto* watcher = new CalibrationUi::ReleaseWatcher(this, [this]() { setExpanded(!m_expanded); });
    for (QWidget* w : {header, static_cast<QWidget*>(m_title), static_cast<QWidget*>(m_preview),
                       static_cast<QWidget*>(m_rawLabel), static_cast<QWidget*>(m_outputLabel)})
        watcher->watch(w);

    m_details = new QFrame(card);
    m_details->setObjectName(QStringLiteral("detailsFrame"));
    auto* detailsLayout = new QHBoxLayout(m_details);
    detailsLayout->setObjectName(QStringLiteral("detailsLayout"));
    detailsLayout->setContentsMargins(0, 2, 0, 0);
    detailsLayout->setSpacing(8);
    cardLayout->addWidget(m_details);

    // Traitement
    QGridLayout* g =
        makeGroup(m_details, detailsLayout, "processingGroup", tr("Traitement"), "processingTitleLabel");
    QWidget* group = g->parentWidget();
    m_modeCombo = new QComboBox(group);
    m_modeCombo->setObjectName(QStringLiteral("modeCombo"));
    m_modeCombo->addItem(tr("Stick"), int(AxisMode::Bidirectional));
    m_modeCombo->addItem(tr("Trigger"), int(AxisMode::Trigger));
    m_modeCombo->setToolTip(tr("Stick: axe centre avec une valeur negative et positive.\nTrigger: axe a un "
                               "seul sens depuis le repos."));
    m_curveCombo = new QComboBox(group);
    m_curveCombo->setObjectName(QStringLiteral("curveCombo"));
    m_curveCombo->addItem(tr("Lineaire"), int(CurvePreset::Linear));
    m_curveCombo->addItem(tr("Soft"), int(CurvePreset::Soft));
    m_curveCombo->addItem(tr("Agressive"), int(CurvePreset::Aggressive));
    m_curveCombo->addItem(tr("Gamma"), int(CurvePreset::Custom));
    m_curveCombo->setToolTip(tr("Courbe appliquee apres normalisation."));
    CalibrationUi::guardWheel(m_modeCombo);
    CalibrationUi::guardWheel(m_curveCombo);
    m_deadzoneSpin = makeSpin(group, "deadzoneSpin", 0, 50, 1, 0.5,
                              tr("Zone ignoree autour du repos pour eviter le bruit."));
    m_gammaSpin = makeSpin(group, "gammaSpin", 0.05, 6, 2, 0.05, tr("Puissance de la courbe custom."));
    const QList<QPair<QString, QWidget*>> processing{{tr("Mode"), m_modeCombo},
                                                     {tr("Courbe"), m_curveCombo},
                                                     {tr("Deadzone"), m_deadzoneSpin},
                                                     {tr("Gamma"), m_gammaSpin}};
    for (int i = 0; i < processing.size(); ++i) {
        g->addWidget(new QLabel(processing[i].first, group), i + 1, 0);
        g->addWidget(processing[i].second, i + 1, 1, 1, 2);
    }

    // Points bruts
    g = makeGroup(m_details, detailsLayout, "rawPointsGroup", tr("Points bruts"), "rawPointsTitleLabel");
    group = g->parentWidget();
    struct RawRow
    {
        QString label;
        const char* spinName;
        QString spinTip;
        const char* buttonName;
        QString buttonTip;
        CaptureTarget target;
        QDoubleSpinBox** spin;
    };
    const RawRow rows[] = {
        {tr("Repos"), "restSpin", tr("Valeur brute quand l'axe est au neutre."), "captureRestButton",
         tr("Capturer la valeur courante comme repos de l'axe."), Rest, &m_restSpin},
        {tr("Min"), "negativeSpin", tr("Valeur brute atteinte en butee negative."), "captureNegativeButton",
         tr("Capturer la valeur courante comme minimum de l'axe."), Negative, &m_negativeSpin},
        {tr("Max"), "positiveSpin", tr("Valeur brute atteinte en butee positive."), "capturePositiveButton",
         tr("Capturer la valeur courante comme maximum de l'axe."), Positive, &m_positiveSpin},
        {tr("Fin"), "activeSpin", tr("Valeur brute atteinte quand la gachette est totalement active."),
         "captureActiveButton", tr("Capturer la valeur courante comme fin de course de la gachette."), Active,
         &m_activeSpin},
    };
    for (int i = 0; i < 4; ++i) {
        const RawRow& row = rows[i];
        auto* label = new QLabel(row.label, group);
        *row.spin = makeSpin(group, row.spinName, -100, 100, 1, 1, row.spinTip);
        QToolButton* button = makeCaptureButton(QLatin1String(row.buttonName), row.buttonTip, row.target);
        button->setParent(group);
        g->addWidget(label, i + 1, 0);
        g->addWidget(*row.spin, i + 1, 1);
        g->addWidget(button, i + 1, 2);
        if (row.target == Negative || row.target == Positive)
            m_minMaxRow << label << *row.spin << button;
        else if (row.target == Active)
            m_endRow << label << *row.spin << button;
    }

    // Sortie
    g = makeGroup(m_details, detailsLayout, "outputGroup", tr("Sortie"), "outputTitleLabel");
    group = g->parentWidget();
    m_scaleSpin =
        makeSpin(group, "outputScaleSpin", 0.001, 1000, 3, 0.1, tr("Multiplie la valeur de sortie."));
    m_offsetSpin =
        makeSpin(group, "outputOffsetSpin", -1000, 1000, 3, 0.1, tr("Decale la valeur de sortie."));
    m_invertCheck = new QCheckBox(tr("Inverser"), group);
    m_invertCheck->setObjectName(QStringLiteral("invertCheck"));
    m_invertCheck->setToolTip(tr("Inverse le sens de sortie pour les axes de type stick."));
    g->addWidget(new QLabel(tr("Gain"), group), 1, 0);
    g->addWidget(m_scaleSpin, 1, 1, 1, 2);
    g->addWidget(new QLabel(tr("Offset"), group), 2, 0);
    g->addWidget(m_offsetSpin, 2, 1, 1, 2);
    g->addWidget(m_invertCheck, 3, 0, 1, 3);

    for (QComboBox* combo : {m_modeCombo, m_curveCombo})
        connect(combo, &QComboBox::currentIndexChanged, this, &GamepadAxisCalibrationWidget::onWidgetEdited);
    for (QDoubleSpinBox* spin : {m_deadzoneSpin, m_gammaSpin, m_restSpin, m_negativeSpin, m_positiveSpin,
                                 m_activeSpin, m_scaleSpin, m_offsetSpin})
        connect(spin, &QDoubleSpinBox::valueChanged, this, &GamepadAxisCalibrationWidget::onWidgetEdited);
    connect(m_invertCheck, &QCheckBox::toggled, this, &GamepadAxisCalibrationWidget::onWidgetEdited);
}

QToolButton* GamepadAxisCalibrationWidget::makeCaptureButton(const QString& name, const QString& toolTip,
                                                             CaptureTarget target)
{
    static const CalibrationUi::Icon icons[] = {
        CalibrationUi::Icon::CaptureRest, CalibrationUi::Icon::CaptureNegative,
        CalibrationUi::Icon::CapturePositive, CalibrationUi::Icon::CaptureActive};
    auto* button = new QToolButton(this);
    button->setObjectName(name);
    button->setIcon(CalibrationUi::icon(icons[target]));
    button->setIconSize(QSize(18, 18));
    button->setFixedSize(28, 28);
    button->setCursor(Qt::PointingHandCursor);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    connect(button, &QToolButton::clicked, this, [this, target]() { emit captureRequested(target); });
    m_captureButtons[target] = button;
    return button;
}

void GamepadAxisCalibrationWidget::setAxis(int index, const QString& name)
{
    m_axisIndex = index;
    m_axisName = name.trimmed();
    updateTitle();
}

void GamepadAxisCalibrationWidget::setSettings(const AxisSettings& settings)
{
    m_settings = sanitizedAxis(settings);
    fillWidgets();
    updateModeRules();
    updateLiveLabels();
}

void GamepadAxisCalibrationWidget::fillWidgets()
{
    m_updating = true;
    const AxisSettings& s = m_settings;
    const QList<QWidget*> inputs{m_modeCombo, m_curveCombo,   m_deadzoneSpin, m_gammaSpin,
                                 m_restSpin,  m_negativeSpin, m_positiveSpin, m_activeSpin,
                                 m_scaleSpin, m_offsetSpin,   m_invertCheck};
    std::vector<QSignalBlocker> blockers;
    blockers.reserve(inputs.size());
    for (QWidget* w : inputs)
        blockers.emplace_back(w);
    m_modeCombo->setCurrentIndex(qMax(0, m_modeCombo->findData(int(s.mode))));
    m_curveCombo->setCurrentIndex(qMax(0, m_curveCombo->findData(int(s.curvePreset))));
    // The spins clamp to their own ranges (dead zone at most 50); the stored value stays as set.
    CalibrationUi::setSpinValue(m_deadzoneSpin, s.deadzoneRadius);
    CalibrationUi::setSpinValue(m_gammaSpin, s.gamma);
    CalibrationUi::setSpinValue(m_restSpin, s.restRaw);
    CalibrationUi::setSpinValue(m_negativeSpin, s.negativeRaw);
    CalibrationUi::setSpinValue(m_positiveSpin, s.positiveRaw);
    CalibrationUi::setSpinValue(m_activeSpin, s.activeRaw);
    CalibrationUi::setSpinValue(m_scaleSpin, s.outputScale);
    CalibrationUi::setSpinValue(m_offsetSpin, s.outputOffset);
    m_invertCheck->setChecked(s.invert);
    m_updating = false;
}

void GamepadAxisCalibrationWidget::onWidgetEdited()
{
    if (m_updating)
        return;
    AxisSettings s = m_settings; // enabled is kept
    s.mode = AxisMode(m_modeCombo->currentData().toInt());
    s.curvePreset = CurvePreset(m_curveCombo->currentData().toInt());
    s.deadzoneRadius = m_deadzoneSpin->value();
    s.gamma = m_gammaSpin->value();
    s.restRaw = m_restSpin->value();
    s.negativeRaw = m_negativeSpin->value();
    s.positiveRaw = m_positiveSpin->value();
    s.activeRaw = m_activeSpin->value();
    s.outputScale = m_scaleSpin->value();
    s.outputOffset = m_offsetSpin->value();
    s.invert = m_invertCheck->isChecked();
    m_settings = sanitizedAxis(s);
    updateModeRules();
    updateLiveLabels();
    emit settingsChanged(m_settings);
}

void GamepadAxisCalibrationWidget::setLiveRaw(double value)
{
    if (value == m_liveRaw)
        return;
    m_liveRaw = value;
    updateLiveLabels();
}

void GamepadAxisCalibrationWidget::setCaptureEnabled(bool enabled)
{
    if (enabled == m_captureEnabled)
        return;
    m_captureEnabled = enabled;
    updateModeRules();
}

void GamepadAxisCalibrationWidget::setEditable(bool editable)
{
    if (editable == m_editable)
        return;
    m_editable = editable;
    updateModeRules();
}

void GamepadAxisCalibrationWidget::setExpanded(bool expanded)
{
    m_expanded = expanded;
    m_details->setVisible(expanded);
    m_expandButton->setChecked(expanded);
    m_expandButton->setText(expanded ? QStringLiteral("v") : QStringLiteral(">"));
}

void GamepadAxisCalibrationWidget::applyCapture(CaptureTarget target, double raw)
{
    AxisSettings s = m_settings;
    switch (target) {
    case Rest:
        s.restRaw = raw;
        break;
    case Negative:
        s.negativeRaw = raw;
        break;
    case Positive:
        s.positiveRaw = raw;
        break;
    case Active:
        s.activeRaw = raw;
        break;
    }
    setSettings(s);
    emit settingsChanged(m_settings);
}

void GamepadAxisCalibrationWidget::updateTitle()
{
    m_title->setText(m_axisName.isEmpty() ? QStringLiteral("joy_%1").arg(m_axisIndex)
                                          : QStringLiteral("joy_%1 (%2)").arg(m_axisIndex).arg(m_axisName));
}

void GamepadAxisCalibrationWidget::updateModeRules()
{
    const bool trigger = m_settings.mode == AxisMode::Trigger;
    for (QWidget* w : std::as_const(m_minMaxRow))
        w->setVisible(!trigger);
    for (QWidget* w : std::as_const(m_endRow))
        w->setVisible(trigger);
    for (QWidget* w : {static_cast<QWidget*>(m_modeCombo), static_cast<QWidget*>(m_curveCombo),
                       static_cast<QWidget*>(m_deadzoneSpin), static_cast<QWidget*>(m_restSpin),
                       static_cast<QWidget*>(m_negativeSpin), static_cast<QWidget*>(m_positiveSpin),
                       static_cast<QWidget*>(m_activeSpin), static_cast<QWidget*>(m_scaleSpin),
                       static_cast<QWidget*>(m_offsetSpin)})
        w->setEnabled(m_editable);
    m_gammaSpin->setEnabled(m_editable && m_settings.curvePreset == CurvePreset::Custom);
    m_invertCheck->setEnabled(m_editable && !trigger);
    for (QToolButton* button : m_captureButtons)
        button->setEnabled(m_captureEnabled && m_editable);
}

void GamepadAxisCalibrationWidget::updateLiveLabels()
{
    const AxisProcessResult result = processAxis(m_settings, m_liveRaw);
    const QString raw = metricText("raw: ", m_liveRaw);
    if (m_rawLabel->text() != raw)
        m_rawLabel->setText(raw);
    const QString out = metricText("out: ", result.value);
    if (m_outputLabel->text() != out)
        m_outputLabel->setText(out);
    m_preview->setState(m_settings, m_liveRaw, result);
}

void GamepadAxisCalibrationWidget::setAbsent(bool absent)
{
    if (m_absentMark->isVisibleTo(this) != absent)
        m_absentMark->setVisible(absent);
}
