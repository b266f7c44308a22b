#include "gamepadbuttoncalibrationwidget.h"

#include "calibrationuicommon.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QStringList>
#include <QToolButton>
#include <QVBoxLayout>

#include <vector>

using namespace GamepadCalibration;

namespace {

QGridLayout* makeGroup(QWidget* parent, QHBoxLayout* row, const char* name, const QString& title)
{
    auto* group = new QFrame(parent);
    group->setObjectName(QLatin1String(name));
    auto* grid = new QGridLayout(group);
    grid->setContentsMargins(8, 8, 8, 8);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(5);
    auto* label = new QLabel(title, group);
    label->setObjectName(QStringLiteral("buttonGroupTitleLabel"));
    grid->addWidget(label, 0, 0, 1, 2);
    grid->setColumnStretch(1, 1);
    row->addWidget(group, 1, Qt::AlignTop);
    return grid;
}

QCheckBox* makeCheck(QWidget* parent, const QString& text, const QString& toolTip)
{
    auto* check = new QCheckBox(text, parent);
    check->setToolTip(toolTip);
    return check;
}

QSpinBox* makeSpin(QWidget* parent, int lo, int hi, int step, const QString& toolTip)
{
    auto* spin = new QSpinBox(parent);
    spin->setRange(lo, hi);
    spin->setSingleStep(step);
    spin->setSuffix(QStringLiteral(" ms"));
    spin->setToolTip(toolTip);
    spin->setMinimumWidth(92);
    CalibrationUi::setUpSpin(spin);
    return spin;
}

} // namespace

GamepadButtonCalibrationWidget::GamepadButtonCalibrationWidget(QWidget* parent) : QWidget(parent)
{
    registerCalibrationMetaTypes();
    buildUi();
    setIndex(0);
    fillWidgets();
    updateEnabling();
    updateState();
    setExpanded(false);
}

void GamepadButtonCalibrationWidget::buildUi()
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    auto* card = new QFrame(this);
    card->setObjectName(QStringLiteral("buttonCard"));
    outer->addWidget(card);
    auto* cardLayout = new QVBoxLayout(card);
    cardLayout->setContentsMargins(8, 6, 8, 6);
    cardLayout->setSpacing(6);

    auto* header = new QWidget(card);
    header->setObjectName(QStringLiteral("headerWidget"));
    auto* titleLayout = new QHBoxLayout(header);
    titleLayout->setContentsMargins(0, 0, 0, 0);
    titleLayout->setSpacing(8);
    m_expandButton = new QToolButton(header);
    m_expandButton->setObjectName(QStringLiteral("expandButton"));
    m_expandButton->setCheckable(true);
    m_expandButton->setFixedSize(26, 26);
    m_expandButton->setProperty("compact", true);
    m_expandButton->setCursor(Qt::PointingHandCursor);
    m_expandButton->setToolTip(tr("Afficher ou masquer les reglages de ce bouton."));
    connect(m_expandButton, &QToolButton::clicked, this, [this]() { setExpanded(!m_expanded); });
    m_title = new QLabel(header);
    m_title->setObjectName(QStringLiteral("buttonTitle"));
    m_title->setMinimumWidth(86);
    m_stateLabel = new QLabel(header);
    m_stateLabel->setObjectName(QStringLiteral("buttonStateLabel"));
    m_stateLabel->setMinimumWidth(78);
    m_summaryLabel = new QLabel(header);
    m_summaryLabel->setObjectName(QStringLiteral("buttonSummaryLabel"));
    titleLayout->addWidget(m_expandButton);
    titleLayout->addWidget(m_title);
    m_absentMark = CalibrationUi::makeAbsentMark(
        header, tr("La manette connectee n'a pas ce bouton ; ses reglages restent ceux du fichier."));
    titleLayout->addWidget(m_absentMark);
    titleLayout->addWidget(m_stateLabel);
    titleLayout->addWidget(m_summaryLabel, 1);
    cardLayout->addWidget(header);

    auto* watcher = new CalibrationUi::ReleaseWatcher(this, [this]() { setExpanded(!m_expanded); });
    for (QWidget* w : {header, static_cast<QWidget*>(m_title), static_cast<QWidget*>(m_stateLabel),
                       static_cast<QWidget*>(m_summaryLabel)})
        watcher->watch(w);

    m_details = new QFrame(card);
    m_details->setObjectName(QStringLiteral("detailsFrame"));
    auto* detailsLayout = new QHBoxLayout(m_details);
    detailsLayout->setContentsMargins(0, 2, 0, 0);
    detailsLayout->setSpacing(8);
    cardLayout->addWidget(m_details);

    QGridLayout* g = makeGroup(m_details, detailsLayout, "buttonSignalGroup", tr("Signal"));
    QWidget* group = g->parentWidget();
    m_enabledCheck = makeCheck(group, tr("Actif"), tr("Active ou bloque tous les signaux de ce bouton."));
    m_pressCheck = makeCheck(group, tr("Press"), tr("Envoie un signal true quand le bouton est appuye."));
    m_releaseCheck =
        makeCheck(group, tr("Release"), tr("Envoie un signal false quand le bouton est relache."));
    g->addWidget(m_enabledCheck, 1, 0, 1, 2);
    g->addWidget(m_pressCheck, 2, 0, 1, 2);
    g->addWidget(m_releaseCheck, 3, 0, 1, 2);

    g = makeGroup(m_details, detailsLayout, "buttonTimingGroup", tr("Anti-rebond"));
    group = g->parentWidget();
    m_debounceSpin =
        makeSpin(group, 0, 5000, 10, tr("Ignore les changements trop proches pour filtrer les rebonds."));
    g->addWidget(new QLabel(tr("Debounce"), group), 1, 0);
    g->addWidget(m_debounceSpin, 1, 1);

    g = makeGroup(m_details, detailsLayout, "buttonRepeatGroup", tr("Repeat"));
    group = g->parentWidget();
    m_repeatPressCheck =
        makeCheck(group, tr("Press"), tr("Repete le signal true tant que le bouton reste appuye."));
    m_repeatReleaseCheck = makeCheck(
        group, tr("Release"), tr("Repete le signal false apres le relachement, jusqu'au prochain appui."));
    m_delaySpin = makeSpin(group, 0, 60000, 25, tr("Temps avant le premier repeat."));
    m_intervalSpin = makeSpin(group, 10, 60000, 10, tr("Temps entre deux repeats."));
    g->addWidget(m_repeatPressCheck, 1, 0);
    g->addWidget(m_repeatReleaseCheck, 1, 1);
    g->addWidget(new QLabel(tr("Delai"), group), 2, 0);
    g->addWidget(m_delaySpin, 2, 1);
    g->addWidget(new QLabel(tr("Intervalle"), group), 3, 0);
    g->addWidget(m_intervalSpin, 3, 1);

    for (QCheckBox* check :
         {m_enabledCheck, m_pressCheck, m_releaseCheck, m_repeatPressCheck, m_repeatReleaseCheck})
        connect(check, &QCheckBox::toggled, this, &GamepadButtonCalibrationWidget::onWidgetEdited);
    for (QSpinBox* spin : {m_debounceSpin, m_delaySpin, m_intervalSpin})
        connect(spin, &QSpinBox::valueChanged, this, &GamepadButtonCalibrationWidget::onWidgetEdited);
}

void GamepadButtonCalibrationWidget::setIndex(int index)
{
    m_index = index;
    m_title->setText(QStringLiteral("but_%1").arg(index));
}

void GamepadButtonCalibrationWidget::setSettings(const ButtonSettings& settings)
{
    m_settings = sanitizedButton(settings);
    fillWidgets();
    updateEnabling();
}

void GamepadButtonCalibrationWidget::fillWidgets()
{
    m_updating = true;
    std::vector<QSignalBlocker> blockers;
    for (QObject* w :
         std::initializer_list<QObject*>{m_enabledCheck, m_pressCheck, m_releaseCheck, m_repeatPressCheck,
                                         m_repeatReleaseCheck, m_debounceSpin, m_delaySpin, m_intervalSpin})
        blockers.emplace_back(w);
    const ButtonSettings& s = m_settings;
    m_enabledCheck->setChecked(s.enabled);
    m_pressCheck->setChecked(s.emitOnPress);
    m_releaseCheck->setChecked(s.emitOnRelease);
    CalibrationUi::setSpinValue(m_debounceSpin, s.debounceMs);
    m_repeatPressCheck->setChecked(s.repeatOnPress);
    m_repeatReleaseCheck->setChecked(s.repeatOnRelease);
    CalibrationUi::setSpinValue(m_delaySpin, s.repeatDelayMs);
    CalibrationUi::setSpinValue(m_intervalSpin, s.repeatIntervalMs);
    m_updating = false;
}

void GamepadButtonCalibrationWidget::onWidgetEdited()
{
    if (m_updating)
        return;
    ButtonSettings s;
    s.enabled = m_enabledCheck->isChecked();
    s.emitOnPress = m_pressCheck->isChecked();
    s.emitOnRelease = m_releaseCheck->isChecked();
    s.debounceMs = m_debounceSpin->value();
    s.repeatOnPress = m_repeatPressCheck->isChecked();
    s.repeatOnRelease = m_repeatReleaseCheck->isChecked();
    s.repeatDelayMs = m_delaySpin->value();
    s.repeatIntervalMs = m_intervalSpin->value();
    m_settings = sanitizedButton(s);
    updateEnabling();
    emit settingsChanged(m_settings);
}

void GamepadButtonCalibrationWidget::setPressed(bool pressed)
{
    if (pressed == m_pressed)
        return;
    m_pressed = pressed;
    updateState();
}

void GamepadButtonCalibrationWidget::setEditable(bool editable)
{
    if (editable == m_editable)
        return;
    m_editable = editable;
    updateEnabling();
}

void GamepadButtonCalibrationWidget::setExpanded(bool expanded)
{
    m_expanded = expanded;
    m_details->setVisible(expanded);
    m_expandButton->setChecked(expanded);
    m_expandButton->setText(expanded ? QStringLiteral("v") : QStringLiteral(">"));
}

QString GamepadButtonCalibrationWidget::summaryText(const ButtonSettings& s)
{
    QStringList parts;
    if (s.enabled) {
        QStringList kinds;
        if (s.emitOnPress)
            kinds << QStringLiteral("press");
        if (s.emitOnRelease)
            kinds << QStringLiteral("release");
        parts << (kinds.isEmpty() ? QStringLiteral("-") : kinds.join(QStringLiteral(" | ")));
    } else {
        parts << tr("inactif");
    }
    if (s.debounceMs > 0)
        parts << QStringLiteral("debounce %1 ms").arg(s.debounceMs);
    QStringList repeats;
    if (s.emitOnPress && s.repeatOnPress)
        repeats << QStringLiteral("press");
    if (s.emitOnRelease && s.repeatOnRelease)
        repeats << QStringLiteral("release");
    if (!repeats.isEmpty())
        parts << QStringLiteral("repeat %1 / %2 ms")
                     .arg(repeats.join(QStringLiteral(" | ")))
                     .arg(s.repeatIntervalMs);
    return parts.join(QStringLiteral("  "));
}

void GamepadButtonCalibrationWidget::updateEnabling()
{
    const ButtonSettings& s = m_settings;
    const bool live = m_editable && s.enabled;
    m_enabledCheck->setEnabled(m_editable);
    m_pressCheck->setEnabled(live);
    m_releaseCheck->setEnabled(live);
    m_debounceSpin->setEnabled(live);
    m_repeatPressCheck->setEnabled(live && s.emitOnPress);
    m_repeatReleaseCheck->setEnabled(live && s.emitOnRelease);
    const bool repeats = (s.emitOnPress && s.repeatOnPress) || (s.emitOnRelease && s.repeatOnRelease);
    m_delaySpin->setEnabled(live && repeats);
    m_intervalSpin->setEnabled(live && repeats);
    const QString summary = summaryText(s);
    if (m_summaryLabel->text() != summary)
        m_summaryLabel->setText(summary);
}

void GamepadButtonCalibrationWidget::updateState()
{
    const QString text = m_pressed ? tr("appuye") : tr("repos");
    if (m_stateLabel->text() != text)
        m_stateLabel->setText(text);
    CalibrationUi::setStyleFlag(m_stateLabel, "pressed", m_pressed);
}

void GamepadButtonCalibrationWidget::setAbsent(bool absent)
{
    if (m_absentMark->isVisibleTo(this) != absent)
        m_absentMark->setVisible(absent);
}
