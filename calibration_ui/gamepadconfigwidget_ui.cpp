// The page's widget tree, its style sheet and the header texts.
#include "gamepadconfigwidget.h"

#include "calibrationuicommon.h"
#include "controlmanette.h"

#include <QComboBox>
#include <QFileInfo>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QScrollArea>
#include <QSignalBlocker>
#include <QStandardItemModel>
#include <QToolButton>
#include <QVBoxLayout>

using namespace GamepadCalibration;

namespace {

QToolButton* makeHeaderButton(QWidget* parent, CalibrationUi::Icon icon, const char* name,
                              const QString& toolTip)
{
    auto* button = new QToolButton(parent);
    button->setObjectName(QLatin1String(name));
    button->setIcon(CalibrationUi::icon(icon));
    button->setIconSize(QSize(20, 20));
    button->setFixedSize(32, 32);
    button->setAutoRaise(false);
    button->setCursor(Qt::PointingHandCursor);
    button->setToolTip(toolTip);
    button->setAccessibleName(toolTip.section(QLatin1Char('\n'), 0, 0));
    return button;
}

void setTextIfChanged(QLabel* label, const QString& text)
{
    if (label->text() != text)
        label->setText(text);
}

void setEnabledIfChanged(QWidget* widget, bool enabled)
{
    if (widget && widget->isEnabled() != enabled)
        widget->setEnabled(enabled);
}

void setItemEnabled(QComboBox* combo, int row, bool enabled)
{
    auto* model = qobject_cast<QStandardItemModel*>(combo->model());
    QStandardItem* item = model ? model->item(row) : nullptr;
    if (item && item->isEnabled() != enabled)
        item->setEnabled(enabled);
}

} // namespace

void GamepadConfigWidget::buildUi()
{
    setObjectName(QStringLiteral("gamepadConfigRoot"));
    setAttribute(Qt::WA_StyledBackground, true);
    setStyleSheet(styleSheetText());

    auto* root = new QVBoxLayout(this);
    root->setContentsMargins(6, 6, 6, 6);
    root->setSpacing(6);

    m_header = new QFrame(this);
    m_header->setObjectName(QStringLiteral("calibrationHeader"));
    m_header->setToolTip(
        tr("La calibration est appliquee avant l'envoi des valeurs vers ZizoveZudorid.\nQuand la "
           "manette est deconnectee, les valeurs restent visibles mais les captures live sont "
           "bloquees."));
    auto* grid = new QGridLayout(m_header);
    grid->setContentsMargins(10, 8, 10, 8);
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(5);
    grid->setColumnStretch(0, 1);

    auto* title = new QLabel(tr("Calibration entrees"), m_header);
    title->setObjectName(QStringLiteral("sectionTitle"));
    title->setToolTip(tr("Transforme les axes et filtre les evenements boutons avant l'envoi aux actions."));
    grid->addWidget(title, 0, 0);

    m_scopeCombo = new QComboBox(m_header);
    m_scopeCombo->setObjectName(QStringLiteral("scopeCombo"));
    m_scopeCombo->setMinimumWidth(118);
    CalibrationUi::guardWheel(m_scopeCombo);
    m_scopeCombo->addItem(tr("Base"));
    m_scopeCombo->setItemData(0, tr("Base globale partagee par les profils qui utilisent cette manette."),
                              Qt::ToolTipRole);
    m_scopeCombo->addItem(tr("Profil"));
    m_scopeCombo->setItemData(1, tr("Override stocke dans le dossier du profil courant."), Qt::ToolTipRole);
    m_scopeCombo->setToolTip(
        tr("Cible editee:\nBase: calibration globale de cette manette.\nProfil: override "
           "uniquement pour le profil selectionne."));
    connect(m_scopeCombo, &QComboBox::currentIndexChanged, this, &GamepadConfigWidget::onScopeComboChanged);
    grid->addWidget(m_scopeCombo, 0, 1);

    auto* tools = new QWidget(m_header);
    auto* toolsLayout = new QHBoxLayout(tools);
    toolsLayout->setContentsMargins(0, 0, 0, 0);
    toolsLayout->setSpacing(6);
    m_captureRestButton = makeHeaderButton(
        tools, CalibrationUi::Icon::CaptureRest, "captureRestAllButton",
        tr("Capturer le repos de tous les axes.\nUtilise la position actuelle comme neutre."));
    m_resetButton = makeHeaderButton(tools, CalibrationUi::Icon::Reset, "resetCalibrationButton",
                                     tr("Reinitialiser la calibration affichee."));
    m_copyButton = makeHeaderButton(tools, CalibrationUi::Icon::Copy, "copyBaseToProfileButton",
                                    tr("Copier la base manette vers un override du profil."));
    m_deleteButton = makeHeaderButton(tools, CalibrationUi::Icon::Delete, "deleteOverrideButton",
                                      tr("Supprimer l'override du profil et revenir a la base manette."));
    m_guidedButton = new QToolButton(tools);
    m_guidedButton->setObjectName(QStringLiteral("guidedCalibrationButton"));
    m_guidedButton->setText(tr("Calibration guidée…"));
    m_guidedButton->setToolTip(tr("Mesure le repos, le bruit, les butées et les gâchettes de la manette "
                                  "branchée, puis propose les valeurs avant de les enregistrer."));
    m_guidedButton->setFixedHeight(32);
    m_guidedButton->setCursor(Qt::PointingHandCursor);
    toolsLayout->addWidget(m_guidedButton);
    connect(m_guidedButton, &QToolButton::clicked, this, &GamepadConfigWidget::startGuidedCalibration);
    for (QToolButton* button : {m_captureRestButton, m_resetButton, m_copyButton, m_deleteButton})
        toolsLayout->addWidget(button);
    connect(m_captureRestButton, &QToolButton::clicked, this, &GamepadConfigWidget::captureRestForAll);
    // A click asks first and says who is affected; the slots, called by name, act at once.
    connect(m_resetButton, &QToolButton::clicked, this, [this]() {
        confirmThen(
            m_editScope == 1
                ? tr("Réinitialiser la calibration propre au profil « %1 » ?\nSeul ce profil est concerné.")
                      .arg(profileTitle())
                : tr("Réinitialiser la calibration de base de « %1 » ?\nTous les profils de cette manette "
                     "qui suivent sa calibration de base sont concernés.")
                      .arg(identity().name.isEmpty() ? tr("cette manette") : identity().name),
            &GamepadConfigWidget::resetCurrentCalibration);
    });
    connect(m_copyButton, &QToolButton::clicked, this, [this]() {
        if (!QFileInfo::exists(overrideCalibrationPath(m_profile))) {
            copyBaseToProfile();
            return;
        }
        confirmThen(tr("Remplacer la calibration propre au profil « %1 » par la calibration de base de la "
                       "manette ?")
                        .arg(profileTitle()),
                    &GamepadConfigWidget::copyBaseToProfile);
    });
    connect(m_deleteButton, &QToolButton::clicked, this, [this]() {
        confirmThen(
            tr("Supprimer la calibration propre au profil « %1 » ?\nLe profil reprendra la calibration "
               "de base de la manette.")
                .arg(profileTitle()),
            &GamepadConfigWidget::deleteOverride);
    });
    grid->addWidget(tools, 0, 2);

    m_profileLabel = new QLabel(m_header);
    m_profileLabel->setObjectName(QStringLiteral("metaLabel"));
    m_profileLabel->setToolTip(
        tr("Profil gamepad selectionne.\nUn override profil est sauvegarde dans le dossier "
           "de ce profil."));
    m_deviceLabel = new QLabel(m_header);
    m_deviceLabel->setObjectName(QStringLiteral("metaLabel"));
    m_deviceLabel->setToolTip(
        tr("Identite utilisee pour retrouver la calibration de base.\nLa base est indexee "
           "par VID, PID et nom de manette."));
    m_sourceLabel = new QLabel(m_header);
    m_sourceLabel->setObjectName(QStringLiteral("sourceLabel"));
    m_sourceLabel->setToolTip(
        tr("Source actuellement chargee par le runtime:\nDefaut: aucune calibration "
           "trouvee.\nBase: calibration globale de la manette.\nProfil: override du profil "
           "courant."));
    m_hintLabel = new QLabel(m_header);
    m_hintLabel->setObjectName(QStringLiteral("hintLabel"));
    m_hintLabel->setWordWrap(true);
    // A long message (an error naming a path) wraps or is cut, never pushes the header's buttons
    // out of the window; the whole text is in its tool tip.
    m_hintLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // Which file an edit goes to, and whom it affects: a base edit changes every definition of
    // the controller.
    m_targetLabel = new QLabel(m_header);
    m_targetLabel->setObjectName(QStringLiteral("targetLabel"));
    m_targetLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    grid->addWidget(m_profileLabel, 1, 0);
    grid->addWidget(m_deviceLabel, 1, 1, 1, 2);
    grid->addWidget(m_sourceLabel, 2, 0);
    grid->addWidget(m_hintLabel, 2, 1, 1, 2);
    grid->addWidget(m_targetLabel, 3, 0, 1, 3);
    root->addWidget(m_header);

    m_scroll = new QScrollArea(this);
    m_scroll->setFrameShape(QFrame::NoFrame);
    m_scroll->setWidgetResizable(true);
    auto* content = new QWidget(m_scroll);
    content->setObjectName(QStringLiteral("calibrationCards"));
    m_cardsLayout = new QVBoxLayout(content);
    m_cardsLayout->setContentsMargins(0, 0, 0, 0);
    m_cardsLayout->setSpacing(6);
    m_scroll->setWidget(content);
    root->addWidget(m_scroll, 1);
}

QWidget* GamepadConfigWidget::makeSectionHeader(const QString& title, const QString& toolTip,
                                                QToolButton* tool)
{
    auto* row = new QWidget(m_scroll->widget());
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(4, 10, 2, 2);
    layout->setSpacing(8);
    auto* label = new QLabel(title, row);
    label->setObjectName(QStringLiteral("sectionTitle"));
    label->setToolTip(toolTip);
    layout->addWidget(label);
    layout->addStretch(1);
    if (tool) {
        tool->setParent(row);
        layout->addWidget(tool);
    }
    return row;
}

void GamepadConfigWidget::refreshHeader()
{
    refreshHeader(targetPath(), isConnected());
}

void GamepadConfigWidget::refreshHeader(const QString& target, bool connected)
{
    const DeviceIdentity id = identity();
    const bool usable = profileUsable();
    const bool blank = id.isBlank();

    QString profile;
    if (usable) {
        const QString name = m_profile.profileName.isEmpty() ? tr("Profil sans nom") : m_profile.profileName;
        profile = QStringLiteral("%1 (%2)").arg(name, profileScopeText(m_profile.scope));
    } else {
        profile = tr("Aucun profil selectionne");
    }
    setTextIfChanged(m_profileLabel, tr("Profil: %1").arg(profile));

    setTextIfChanged(m_deviceLabel, QStringLiteral("%1 | VID 0x%2 PID 0x%3 | %4")
                                        .arg(id.name.isEmpty() ? tr("Aucune manette liee") : id.name,
                                             QStringLiteral("%1").arg(id.vendorId, 4, 16, QLatin1Char('0')),
                                             QStringLiteral("%1").arg(id.productId, 4, 16, QLatin1Char('0')),
                                             connected ? tr("connectee") : tr("deconnectee")));

    QString source = tr("Defaut");
    if (m_runtime.source == CalibrationSource::BaseDevice)
        source = tr("Base");
    else if (m_runtime.source == CalibrationSource::ProfileOverride)
        source = tr("Profil");
    setTextIfChanged(m_sourceLabel, tr("Source: %1").arg(source));

    QString hint = tr("Pret");
    if (!m_error.isEmpty())
        hint = m_error;
    else if (!usable)
        hint = tr("Profil requis pour override");
    else if (!connected)
        hint = tr("Deconnectee: captures off");
    setTextIfChanged(m_hintLabel, hint);
    if (m_hintLabel->toolTip() != hint)
        m_hintLabel->setToolTip(hint);

    QString edits = tr("Aucun fichier de calibration à éditer");
    if (!target.isEmpty() && m_editScope == 1)
        edits = tr("Édite %1 : la calibration propre à la définition « %2 », elle seule")
                    .arg(QFileInfo(target).fileName(), profileTitle());
    else if (!target.isEmpty())
        edits = tr("Édite %1 : la calibration de base de la manette, pour toutes ses définitions")
                    .arg(QFileInfo(target).fileName());
    setTextIfChanged(m_targetLabel, edits);
    if (m_targetLabel->toolTip() != target)
        m_targetLabel->setToolTip(target);

    if (m_scopeCombo->currentIndex() != m_editScope) {
        const QSignalBlocker blocker(m_scopeCombo);
        m_scopeCombo->setCurrentIndex(m_editScope);
    }
    setEnabledIfChanged(m_scopeCombo, !blank || usable);
    setItemEnabled(m_scopeCombo, 0, !blank);
    setItemEnabled(m_scopeCombo, 1, usable);

    const QString overridePath = overrideCalibrationPath(m_profile);
    setEnabledIfChanged(m_captureRestButton, connected);
    setEnabledIfChanged(m_guidedButton, connected && !target.isEmpty());
    setEnabledIfChanged(m_resetButton, !target.isEmpty());
    setEnabledIfChanged(m_copyButton, !blank && usable);
    setEnabledIfChanged(m_deleteButton, usable && !overridePath.isEmpty() && QFileInfo::exists(overridePath));
    setEnabledIfChanged(m_addGateButton, !target.isEmpty() && !m_gateSources.isEmpty());
}

QString GamepadConfigWidget::styleSheetText() const
{
    // Colours are the host theme's placeholders; the host resolves them.
    return QStringLiteral(R"(
QWidget#gamepadConfigRoot {
    background: qradialgradient(cx: 0.5, cy: 0.05, radius: 1.1, fx: 0.5, fy: 0.05,
        stop: 0 @color.tfxBackdropGlow@, stop: 0.32 @color.tfxBackdropMid@, stop: 1 @color.tfxBackdropDark@);
    border-radius: 8px;
}
QWidget#gamepadConfigRoot QWidget {
    background: transparent;
    color: @color.tfxText@;
}
QWidget#gamepadConfigRoot QFrame#calibrationHeader,
QWidget#gamepadConfigRoot QFrame#axisCard,
QWidget#gamepadConfigRoot QFrame#gateCard,
QWidget#gamepadConfigRoot QFrame#buttonCard {
    background: @color.tfxCard1@;
    border: 1px solid @color.tfxBorder@;
    border-radius: 8px;
}
QWidget#gamepadConfigRoot QFrame#processingGroup,
QWidget#gamepadConfigRoot QFrame#rawPointsGroup,
QWidget#gamepadConfigRoot QFrame#outputGroup,
QWidget#gamepadConfigRoot QFrame#buttonSignalGroup,
QWidget#gamepadConfigRoot QFrame#buttonTimingGroup,
QWidget#gamepadConfigRoot QFrame#buttonRepeatGroup {
    background: @color.tfxPanelPressed@;
    border: 1px solid @color.tfxPanelBorder@;
    border-radius: 6px;
}
QWidget#gamepadConfigRoot QLabel#processingTitleLabel,
QWidget#gamepadConfigRoot QLabel#rawPointsTitleLabel,
QWidget#gamepadConfigRoot QLabel#outputTitleLabel,
QWidget#gamepadConfigRoot QLabel#buttonGroupTitleLabel {
    color: @color.tfxAccent@;
    font-weight: bold;
}
QWidget#gamepadConfigRoot QLabel#sectionTitle {
    color: @color.tfxAccent@;
    font-size: 12px;
    font-weight: 700;
    letter-spacing: 0.5px;
}
QWidget#gamepadConfigRoot QLabel#axisTitle { font-size: 15px; font-weight: bold; }
QWidget#gamepadConfigRoot QLabel#buttonTitle,
QWidget#gamepadConfigRoot QLabel#gateTitle { font-size: 14px; font-weight: bold; }
QWidget#gamepadConfigRoot QLabel#gateFieldLabel {
    color: @color.tfxMutedStrong@;
    font-size: 11px;
    font-weight: bold;
}
QWidget#gamepadConfigRoot QLabel#metaLabel,
QWidget#gamepadConfigRoot QLabel#hintLabel,
QWidget#gamepadConfigRoot QLabel#targetLabel,
QWidget#gamepadConfigRoot QLabel#buttonSummaryLabel { color: @color.tfxMutedStrong@; }
QWidget#gamepadConfigRoot QLabel#sourceLabel { color: @color.tfxAccent@; font-weight: bold; }
QWidget#gamepadConfigRoot QLabel#absentMark { color: @text.disabled@; font-style: italic; }
QWidget#gamepadConfigRoot QLabel#metricLabel {
    color: @color.tfxAccent@;
    font-family: "Consolas", "DejaVu Sans Mono", monospace;
    font-weight: bold;
}
QWidget#gamepadConfigRoot QLabel#gateStateLabel,
QWidget#gamepadConfigRoot QLabel#buttonStateLabel {
    color: @color.tfxMutedStrong@;
    font-family: "Consolas", "DejaVu Sans Mono", monospace;
    font-weight: bold;
}
QWidget#gamepadConfigRoot QLabel#gateStateLabel[inside="true"],
QWidget#gamepadConfigRoot QLabel#buttonStateLabel[pressed="true"] { color: @color.tfxAccent@; }
QWidget#gamepadConfigRoot QComboBox,
QWidget#gamepadConfigRoot QAbstractSpinBox {
    background: @color.tfxInputBg@;
    border: 1px solid @color.tfxInputBorder@;
    border-radius: 6px;
    padding: 5px 8px;
    min-height: 28px;
}
QWidget#gamepadConfigRoot QComboBox:disabled,
QWidget#gamepadConfigRoot QAbstractSpinBox:disabled,
QWidget#gamepadConfigRoot QCheckBox:disabled,
QWidget#gamepadConfigRoot QLabel:disabled { color: @text.disabled@; }
QWidget#gamepadConfigRoot QComboBox QAbstractItemView {
    background: @color.tfxPanel@;
    border: 1px solid @color.tfxInputBorder@;
    selection-background-color: @color.tfxTintStrong@;
}
QWidget#gamepadConfigRoot QCheckBox { spacing: 6px; }
QWidget#gamepadConfigRoot QCheckBox::indicator {
    width: 14px;
    height: 14px;
    border: 1px solid @color.tfxInputBorder@;
    border-radius: 4px;
    background: @color.tfxInputBg@;
}
QWidget#gamepadConfigRoot QCheckBox::indicator:checked {
    background: @color.tfxAccent@;
    border-color: @color.tfxAccent@;
}
QWidget#gamepadConfigRoot QCheckBox::indicator:disabled { border-color: @color.tfxPanelBorder@; }
QWidget#gamepadConfigRoot QCheckBox::indicator:checked:disabled { background: @color.tfxPanelBorder@; }
QWidget#gamepadConfigRoot QToolButton {
    background: @color.tfxPanel@;
    border: 1px solid @color.tfxPanelBorder@;
    border-radius: 6px;
    min-width: 28px;
    min-height: 28px;
    font-weight: bold;
}
QWidget#gamepadConfigRoot QToolButton:hover { background: @color.tfxPanelHover@; }
QWidget#gamepadConfigRoot QToolButton:pressed,
QWidget#gamepadConfigRoot QToolButton:checked { background: @color.tfxTintStrong@; }
QWidget#gamepadConfigRoot QToolButton:disabled {
    color: @text.disabled@;
    background: @color.tfxPanelPressed@;
}
QWidget#gamepadConfigRoot QToolButton[compact="true"] {
    min-width: 26px;
    max-width: 26px;
    min-height: 26px;
    max-height: 26px;
    padding: 0px;
}
QWidget#gamepadConfigRoot QScrollArea { border: none; background: transparent; }
QWidget#gamepadConfigRoot QScrollBar:vertical {
    background: transparent;
    width: 10px;
    margin: 2px;
}
QWidget#gamepadConfigRoot QScrollBar::handle:vertical {
    background: @color.tfxPanelHover@;
    border-radius: 3px;
    min-height: 32px;
}
QWidget#gamepadConfigRoot QScrollBar::handle:vertical:hover { background: @color.tfxTintStrong@; }
QWidget#gamepadConfigRoot QScrollBar::add-line:vertical,
QWidget#gamepadConfigRoot QScrollBar::sub-line:vertical { height: 0px; }
QWidget#gamepadConfigRoot QScrollBar::add-page:vertical,
QWidget#gamepadConfigRoot QScrollBar::sub-page:vertical { background: transparent; }
)");
}
