#include "gamepadgatecalibrationwidget.h"

#include "calibrationuicommon.h"
#include "gatepreviewwidget.h"

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

// A label named "gateFieldLabel" above its input.
QWidget* makeField(QWidget* parent, const QString& label, QWidget* input)
{
    auto* field = new QWidget(parent);
    auto* layout = new QVBoxLayout(field);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(3);
    auto* title = new QLabel(label, field);
    title->setObjectName(QStringLiteral("gateFieldLabel"));
    layout->addWidget(title);
    input->setParent(field);
    layout->addWidget(input);
    return field;
}

QDoubleSpinBox* makeSpin(double lo, double hi, double step)
{
    auto* spin = new QDoubleSpinBox;
    spin->setRange(lo, hi);
    spin->setSingleStep(step);
    spin->setDecimals(1);
    spin->setKeyboardTracking(false);
    spin->setMinimumWidth(90);
    CalibrationUi::setUpSpin(spin);
    return spin;
}

QToolButton* makeToolButton(QWidget* parent, CalibrationUi::Icon icon, const QString& toolTip)
{
    auto* button = new QToolButton(parent);
    button->setIcon(CalibrationUi::icon(icon));
    button->setFixedSize(28, 28);
    button->setIconSize(QSize(18, 18));
    button->setCursor(Qt::PointingHandCursor);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip);
    return button;
}

QString axisNumber(int axis)
{
    return axis < 0 ? QStringLiteral("?") : QString::number(axis);
}

} // namespace

GamepadGateCalibrationWidget::GamepadGateCalibrationWidget(QWidget* parent) : QWidget(parent)
{
    registerCalibrationMetaTypes();
    buildUi();
    setSettings(m_settings);
}

void GamepadGateCalibrationWidget::buildUi()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new QFrame(this);
    card->setObjectName(QStringLiteral("gateCard"));
    outer->addWidget(card);
    auto* grid = new QGridLayout(card);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(6);
    grid->setColumnStretch(0, 0);
    grid->setColumnStretch(1, 0);
    grid->setColumnStretch(2, 1);
    grid->setColumnStretch(3, 1);

    m_title = new QLabel(card);
    m_title->setObjectName(QStringLiteral("gateTitle"));
    m_stateLabel = new QLabel(card);
    m_stateLabel->setObjectName(QStringLiteral("gateStateLabel"));
    auto* tools = new QWidget(card);
    auto* toolsLayout = new QHBoxLayout(tools);
    toolsLayout->setContentsMargins(0, 0, 0, 0);
    toolsLayout->setSpacing(6);
    m_captureButton = makeToolButton(tools, CalibrationUi::Icon::CaptureCentre,
                                     tr("Capturer le centre depuis la position live du stick."));
    m_captureButton->setObjectName(QStringLiteral("captureCentreButton"));
    m_removeButton = makeToolButton(tools, CalibrationUi::Icon::RemoveGate, tr("Supprimer cette gate."));
    m_removeButton->setObjectName(QStringLiteral("removeGateButton"));
    toolsLayout->addWidget(m_captureButton);
    toolsLayout->addWidget(m_removeButton);
    grid->addWidget(m_title, 0, 0);
    grid->addWidget(m_stateLabel, 0, 1);
    grid->addWidget(tools, 0, 3, Qt::AlignRight);

    m_sourceCombo = new QComboBox;
    m_sourceCombo->setObjectName(QStringLiteral("sourceCombo"));
    m_sourceCombo->setMinimumWidth(220);
    CalibrationUi::guardWheel(m_sourceCombo);
    m_centerXSpin = makeSpin(-100000, 100000, 1);
    m_centerXSpin->setObjectName(QStringLiteral("centerXSpin"));
    m_centerYSpin = makeSpin(-100000, 100000, 1);
    m_centerYSpin->setObjectName(QStringLiteral("centerYSpin"));
    m_radiusSpin = makeSpin(0, 200000, 1);
    m_radiusSpin->setObjectName(QStringLiteral("radiusSpin"));
    m_hysteresisSpin = makeSpin(0, 100000, 0.5);
    m_hysteresisSpin->setObjectName(QStringLiteral("hysteresisSpin"));
    m_edgeCombo = new QComboBox;
    m_edgeCombo->setObjectName(QStringLiteral("edgeCombo"));
    m_edgeCombo->addItem(tr("Les deux"), 3);
    m_edgeCombo->addItem(tr("Front montant"), 1);
    m_edgeCombo->addItem(tr("Front descendant"), 2);
    CalibrationUi::guardWheel(m_edgeCombo);
    m_invertCheck = new QCheckBox(tr("Inverser"), card);
    m_invertCheck->setObjectName(QStringLiteral("invertCheck"));

    grid->addWidget(makeField(card, tr("Pastille"), m_sourceCombo), 1, 0, 1, 2);
    // The centre spins keep a field's width; the wide columns are there for the preview.
    m_centerXSpin->setMaximumWidth(200);
    m_centerYSpin->setMaximumWidth(200);
    grid->addWidget(makeField(card, tr("Centre X"), m_centerXSpin), 1, 2, Qt::AlignLeft);
    grid->addWidget(makeField(card, tr("Centre Y"), m_centerYSpin), 1, 3, Qt::AlignLeft);
    grid->addWidget(makeField(card, tr("Rayon"), m_radiusSpin), 2, 0, Qt::AlignTop);
    grid->addWidget(makeField(card, tr("Hysteresis"), m_hysteresisSpin), 2, 1, Qt::AlignTop);
    m_preview = new GatePreviewWidget(card);
    grid->addWidget(m_preview, 2, 2, 2, 2);
    // Rows tall enough for a circle that can be read, not just the preview's minimum.
    grid->setRowMinimumHeight(2, 84);
    grid->setRowMinimumHeight(3, 84);
    grid->addWidget(makeField(card, tr("Front"), m_edgeCombo), 3, 0, Qt::AlignBottom);
    grid->addWidget(m_invertCheck, 3, 1, Qt::AlignLeft | Qt::AlignBottom);

    connect(m_captureButton, &QToolButton::clicked, this, [this]() {
        if (m_captureCentre)
            m_captureCentre();
    });
    connect(m_removeButton, &QToolButton::clicked, this, [this]() {
        if (m_remove)
            m_remove();
    });
    for (QComboBox* combo : {m_sourceCombo, m_edgeCombo})
        connect(combo, &QComboBox::currentIndexChanged, this, &GamepadGateCalibrationWidget::onWidgetEdited);
    for (QDoubleSpinBox* spin : {m_centerXSpin, m_centerYSpin, m_radiusSpin, m_hysteresisSpin})
        connect(spin, &QDoubleSpinBox::valueChanged, this, &GamepadGateCalibrationWidget::onWidgetEdited);
    connect(m_invertCheck, &QCheckBox::toggled, this, &GamepadGateCalibrationWidget::onWidgetEdited);
}

int GamepadGateCalibrationWidget::edgeData(bool emitOnEnter, bool emitOnExit)
{
    if (emitOnEnter == emitOnExit)
        return 3;
    return emitOnEnter ? 1 : 2;
}

void GamepadGateCalibrationWidget::setSettings(const GateSettings& settings)
{
    m_settings = settings;
    fillWidgets();
    m_preview->setSettings(m_settings);
    updateTitleAndState();
    updateEnabling();
}

void GamepadGateCalibrationWidget::setSources(const QList<GateSource2D>& sources)
{
    m_sources = sources;
    m_updating = true;
    fillSourceCombo();
    m_updating = false;
    updateEnabling();
}

void GamepadGateCalibrationWidget::fillSourceCombo()
{
    const QSignalBlocker blocker(m_sourceCombo);
    m_sourceCombo->clear();
    const QString wanted = m_settings.source2dKey.trimmed();
    QString chosen;
    bool byKey = false;
    for (const GateSource2D& source : std::as_const(m_sources)) {
        if (!source.isUsable())
            continue;
        const int row = m_sourceCombo->count();
        m_sourceCombo->addItem(
            QStringLiteral("Joy %1/%2").arg(axisNumber(source.xAxis), axisNumber(source.yAxis)), source.key);
        m_sourceCombo->setItemData(row,
                                   tr("Source technique : %1\nX : %2\nY : %3")
                                       .arg(source.key, CalibrationUi::axisLabel(source.xAxis),
                                            CalibrationUi::axisLabel(source.yAxis)),
                                   Qt::ToolTipRole);
        if (!byKey && source.key == wanted) {
            chosen = source.key;
            byKey = true;
        } else if (chosen.isNull() && source.xAxis == m_settings.xAxis && source.yAxis == m_settings.yAxis) {
            chosen = source.key;
        }
    }
    if (chosen.isNull()) {
        // The gate names a pastille the definition no longer has: keep it visible as it is.
        const int row = m_sourceCombo->count();
        m_sourceCombo->addItem(
            QStringLiteral("Joy %1/%2").arg(axisNumber(m_settings.xAxis), axisNumber(m_settings.yAxis)),
            m_settings.source2dKey);
        m_sourceCombo->setItemData(
            row,
            tr("Source historique sans pastille\nX : %1\nY : %2")
                .arg(CalibrationUi::axisLabel(m_settings.xAxis), CalibrationUi::axisLabel(m_settings.yAxis)),
            Qt::ToolTipRole);
        chosen = m_settings.source2dKey;
    }
    int index = -1;
    for (int i = 0; i < m_sourceCombo->count() && index < 0; ++i) {
        if (m_sourceCombo->itemData(i).toString() == chosen)
            index = i;
    }
    m_sourceCombo->setCurrentIndex(qMax(0, index));
}

void GamepadGateCalibrationWidget::fillWidgets()
{
    m_updating = true;
    std::vector<QSignalBlocker> blockers;
    for (QObject* w : std::initializer_list<QObject*>{m_centerXSpin, m_centerYSpin, m_radiusSpin,
                                                      m_hysteresisSpin, m_edgeCombo, m_invertCheck})
        blockers.emplace_back(w);
    fillSourceCombo();
    m_centerXSpin->setValue(m_settings.centerX);
    m_centerYSpin->setValue(m_settings.centerY);
    m_radiusSpin->setValue(m_settings.radius);
    m_hysteresisSpin->setValue(m_settings.hysteresis);
    m_edgeCombo->setCurrentIndex(
        qMax(0, m_edgeCombo->findData(edgeData(m_settings.emitOnEnter, m_settings.emitOnExit))));
    m_invertCheck->setChecked(m_settings.invertOutput);
    m_updating = false;
}

void GamepadGateCalibrationWidget::onWidgetEdited()
{
    if (m_updating)
        return;
    GateSettings s = m_settings;
    const QString key = m_sourceCombo->currentData().toString();
    for (const GateSource2D& source : std::as_const(m_sources)) {
        if (source.isUsable() && source.key == key) {
            s.source2dKey = source.key;
            s.xAxis = source.xAxis;
            s.yAxis = source.yAxis;
            break;
        }
    }
    s.centerX = m_centerXSpin->value();
    s.centerY = m_centerYSpin->value();
    s.radius = m_radiusSpin->value();
    s.hysteresis = m_hysteresisSpin->value();
    const int edge = m_edgeCombo->currentData().toInt();
    s.emitOnEnter = edge == 1 || edge == 3;
    s.emitOnExit = edge == 2 || edge == 3;
    s.invertOutput = m_invertCheck->isChecked();
    m_settings = s;
    m_preview->setSettings(m_settings);
    updateTitleAndState();
    if (m_changed)
        m_changed(m_settings);
}

void GamepadGateCalibrationWidget::setLiveValues(double x, double y)
{
    m_liveX = x;
    m_liveY = y;
    m_preview->setLiveValues(x, y);
    updateTitleAndState();
}

void GamepadGateCalibrationWidget::setConnected(bool connected)
{
    if (connected == m_connected)
        return;
    m_connected = connected;
    m_preview->setConnected(connected);
    updateTitleAndState();
    updateEnabling();
}

void GamepadGateCalibrationWidget::setEditable(bool editable)
{
    if (editable == m_editable)
        return;
    m_editable = editable;
    updateEnabling();
}

bool GamepadGateCalibrationWidget::isInside() const
{
    return m_preview->isInside();
}

void GamepadGateCalibrationWidget::updateTitleAndState()
{
    const QString key = m_settings.key.trimmed();
    const QString title = key.isEmpty() ? QStringLiteral("gate") : key;
    if (m_title->text() != title)
        m_title->setText(title);
    const bool inside = m_preview->isInside();
    const QString state = inside ? tr("dedans") : tr("dehors");
    if (m_stateLabel->text() != state)
        m_stateLabel->setText(state);
    CalibrationUi::setStyleFlag(m_stateLabel, "inside", inside);
}

void GamepadGateCalibrationWidget::updateEnabling()
{
    m_sourceCombo->setEnabled(m_editable && m_sourceCombo->count() > 0);
    for (QWidget* w :
         std::initializer_list<QWidget*>{m_centerXSpin, m_centerYSpin, m_radiusSpin, m_hysteresisSpin,
                                         m_edgeCombo, m_invertCheck, m_removeButton})
        w->setEnabled(m_editable);
    m_captureButton->setEnabled(m_editable && m_connected);
}
