// GamepadDefinder: construction, widget tree and styles, services, closing.
#include "gamepaddefinder.h"

#include "editordialogs.h"
#include "gamepadconfigwidget.h"
#include "gamepadmanager.h"
#include "hostlogging.h"
#include "interactiveoverlay.h"
#include "librarylistdelegate.h"
#include "tagselectionbar.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

const char* const kTopBarStyle = R"(
QWidget#gamepadTopBar { background: rgba(16, 24, 32, 212); border-bottom: 1px solid rgba(110, 200, 215, 40); }
QWidget#gamepadTopBar QPushButton { background: #243544; color: #E8F0F5; border: 1px solid rgba(110, 200, 215, 45);
    border-radius: 6px; padding: 5px 16px; font-weight: 600; }
QWidget#gamepadTopBar QPushButton:hover { background: #2c4254; }
QWidget#gamepadTopBar QPushButton:checked { background: rgba(110, 200, 215, 70); border-color: rgba(110, 200, 215, 160); }
QWidget#gamepadTopBar QPushButton:focus { border: 1px solid #E8F0F5; }
)";

const char* const kInspectorStyle = R"(
QWidget#gamepadInspectorPanel { background: rgba(16, 24, 32, 170); border: 1px solid rgba(110, 200, 215, 30); border-radius: 8px; }
QWidget#gamepadInspectorPanel QLabel { color: #E8F0F5; background: transparent; }
QWidget#gamepadInspectorPanel QLabel#inspectorCaption { color: rgba(181, 199, 211, 200); font-size: 11px; font-weight: 600; }
QWidget#gamepadInspectorPanel QLineEdit, QWidget#gamepadInspectorPanel QComboBox {
    background: rgba(8, 14, 20, 160); color: #E8F0F5; border: 1px solid rgba(110, 200, 215, 45); border-radius: 4px; padding: 3px 6px; }
QWidget#gamepadInspectorPanel QPushButton { background: #243544; color: #E8F0F5; border: 1px solid rgba(110, 200, 215, 40);
    border-radius: 5px; padding: 4px 10px; }
QWidget#gamepadInspectorPanel QPushButton:hover { background: #2c4254; }
QWidget#gamepadInspectorPanel QPushButton:disabled { color: rgba(232, 240, 245, 90); }
QWidget#gamepadInspectorPanel QPushButton#inspectorDeleteButton { background: rgba(150, 40, 48, 200); border-color: rgba(230, 90, 100, 150); }
QWidget#gamepadInspectorPanel QPushButton#inspectorDeleteButton:hover { background: rgba(185, 52, 60, 230); }
QWidget#gamepadInspectorPanel QCheckBox { color: #E8F0F5; }
QFrame#inspectorSeparator { background: rgba(110, 200, 215, 50); border: none; }
QWidget#slotEditorPanel { background: rgba(12, 22, 31, 140); border: 1px solid rgba(110, 200, 215, 28); border-radius: 6px; }
QWidget#slotEditorPanel QLabel#slotTitle { color: #6EC8D7; font-weight: 600; }
QWidget#slotEditorPanel QLabel#slotSource { color: rgba(210, 225, 236, 200); font-family: monospace; }
QScrollArea#slotEditorScroll, QWidget#slotEditorContent { background: transparent; }
QWidget#gamepadInspectorPanel QLabel#slotPublishNote { color: rgba(210, 225, 236, 170); font-size: 11px; }
QWidget#gamepadInspectorPanel QPushButton:focus, QWidget#gamepadInspectorPanel QLineEdit:focus,
QWidget#gamepadInspectorPanel QComboBox:focus { border: 1px solid #E8F0F5; }
QWidget#gamepadInspectorPanel QPushButton:checked { background: rgba(110, 200, 215, 90); border-color: #6EC8D7; }
QWidget#gamepadInspectorPanel QCheckBox:focus { color: #6EC8D7; }
)";

const char* const kQuickActionsStyle = R"(
QWidget#gamepadQuickActionsPanel { background: rgba(16, 24, 32, 170); border: 1px solid rgba(110, 200, 215, 30); border-radius: 8px; }
QWidget#gamepadQuickActionsPanel QLabel { color: #E8F0F5; background: transparent; }
QWidget#gamepadQuickActionsPanel QLabel#quickActionsTitle { font-weight: 600; color: #6EC8D7; }
QWidget#gamepadQuickActionsPanel QLabel#quickActionsHint { color: rgba(210, 225, 236, 190); }
QWidget#gamepadQuickActionsPanel QListWidget { background: rgba(8, 14, 20, 150); color: #E8F0F5; border: none; border-radius: 5px; }
QWidget#gamepadQuickActionsPanel QListWidget::item { padding: 3px 4px; }
QWidget#gamepadQuickActionsPanel QListWidget::item:selected { background: rgba(110, 200, 215, 80); }
QWidget#gamepadQuickActionsPanel QListWidget:disabled { color: rgba(232, 240, 245, 100); }
QWidget#gamepadQuickActionsPanel QListWidget:focus { border: 1px solid #6EC8D7; }
)";

const char* const kSidebarStyle = R"(
QListWidget#listWidget { background: transparent; color: #E8F0F5; border: none; }
QListWidget#listWidget::item { padding: 4px 2px; border-radius: 5px; }
QListWidget#listWidget::item:selected { background: rgba(110, 200, 215, 70); color: #FFFFFF; }
QListWidget#listWidget::item:hover:!selected { background: rgba(110, 200, 215, 25); }
QPushButton#pushButtonAdd { border-radius: 16px; border: 1px solid rgba(140, 230, 160, 180); color: #FFFFFF;
    font-size: 20px; font-weight: 600; padding: 0;
    background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #5fd37c, stop:1 #23944a); }
QPushButton#pushButtonAdd:hover { background: qlineargradient(x1:0, y1:0, x2:0, y2:1, stop:0 #74e590, stop:1 #2aa955); }
QPushButton#pushButtonAdd:pressed { background: #1d7a3d; }
QPushButton#pushButtonAdd:focus { border: 2px solid #E8F0F5; }
QListWidget#listWidget:focus { border: 1px solid rgba(110, 200, 215, 150); border-radius: 6px; }
)";

// A translucent rounded panel with a faint accent edge.
void paintPanel(QWidget* widget, const QColor& fill)
{
    QPainter painter(widget);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF area = QRectF(widget->rect()).adjusted(1.5, 1.5, -1.5, -1.5);
    QPainterPath path;
    path.addRoundedRect(area, 10, 10);
    painter.fillPath(path, fill);
    painter.setPen(QPen(QColor(110, 200, 215, 38), 1.0));
    painter.drawPath(path);
}

QPushButton* modeButton(const QString& text, const QString& name)
{
    auto* button = new QPushButton(text);
    button->setObjectName(name);
    button->setCheckable(true);
    button->setCursor(Qt::PointingHandCursor);
    return button;
}

} // namespace

SidebarFrame::SidebarFrame(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("gamepadSidebar"));
}

void SidebarFrame::paintEvent(QPaintEvent*)
{
    paintPanel(this, QColor(12, 20, 27, 200));
}

RightSidebarFrame::RightSidebarFrame(QWidget* parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("gamepadRightSidebar"));
}

void RightSidebarFrame::paintEvent(QPaintEvent*)
{
    paintPanel(this, QColor(12, 20, 27, 120));
}

GamepadDefinder::GamepadDefinder(QWidget* parent) : QWidget(parent)
{
    registerInputMetaTypes();
    setWindowTitle(QStringLiteral("Form"));
    m_library.setDialogParent(this);

    // Named children, so a test driving the window can run them without waiting.
    m_saveTimer.setParent(this);
    m_saveTimer.setObjectName(QStringLiteral("definitionSaveTimer"));
    m_saveTimer.setSingleShot(true);
    m_saveTimer.setInterval(SaveDelayMs);
    connect(&m_saveTimer, &QTimer::timeout, this, &GamepadDefinder::onSaveTimeout);
    m_captureTimer.setParent(this);
    m_captureTimer.setObjectName(QStringLiteral("learnCaptureTimer"));
    m_captureTimer.setSingleShot(true);
    m_captureTimer.setInterval(CaptureDelayMs);
    connect(&m_captureTimer, &QTimer::timeout, this, &GamepadDefinder::onCaptureTimeout);

    // The bare form: the base widgets every definer has.
    m_grid = new QGridLayout(this);
    m_grid->setObjectName(QStringLiteral("gridLayout"));
    m_grid->setContentsMargins(0, 0, 0, 0);
    m_grid->setSpacing(6);
    auto* vendorCombo = new QComboBox(this);
    vendorCombo->setObjectName(QStringLiteral("comboBoxVendorId"));
    vendorCombo->hide(); // kept for hosts that look it up; the chip bar links controllers now
    m_overlay = new InteractiveOverlay(this);
    m_overlay->setObjectName(QStringLiteral("widgetOverlay"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("listWidget"));
    m_addButton = new QPushButton(QStringLiteral("+"), this);
    m_addButton->setObjectName(QStringLiteral("pushButtonAdd"));

    // Mapping references to services never reach the editor's overlay.
    m_overlay->setServicesLocked(true);
    m_overlay->setMode(InteractiveOverlay::Mapping);

    buildChrome();

    connect(m_addButton, &QPushButton::clicked, this, &GamepadDefinder::on_pushButtonAdd_clicked);
    connect(m_list, &QListWidget::currentRowChanged, this, &GamepadDefinder::onListSelectionChanged);
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &GamepadDefinder::onListSelectionMoved);
    m_list->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_list, &QListWidget::customContextMenuRequested, this, &GamepadDefinder::showListContextMenu);
    connect(m_overlay, &InteractiveOverlay::dirty, this, &GamepadDefinder::onOverlayDirty);
    connect(m_overlay, &InteractiveOverlay::selectedNodeChanged, this,
            &GamepadDefinder::onOverlaySelectionChanged);

    GamepadManager* manager = GamepadManager::instance();
    connect(manager, &GamepadManager::gamepadsChanged, this, &GamepadDefinder::onGamepadsChanged);
    refreshConnectedPads();

    setServices(QJsonObject());
    reloadLibrary();
    applyEditorMode();
}

namespace {

// While the editor is being destroyed nobody can answer a dialog: messages go to the log.
class LoggingDialogs : public EditorDialogs
{
public:
    void information(QWidget*, const QString& title, const QString& text) override { log(title, text); }
    void warning(QWidget*, const QString& title, const QString& text) override { log(title, text); }
    void critical(QWidget*, const QString& title, const QString& text) override { log(title, text); }
    bool question(QWidget*, const QString&, const QString&) override { return false; }
    bool getText(QWidget*, const QString&, const QString&, const QString&, QString*) override
    {
        return false;
    }
    bool getItem(QWidget*, const QString&, const QString&, const QStringList&, int, QString*) override
    {
        return false;
    }
    QString getOpenFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getSaveFileName(QWidget*, const QString&, const QString&, const QString&) override { return {}; }
    QString getExistingDirectory(QWidget*, const QString&, const QString&) override { return {}; }

private:
    static void log(const QString& title, const QString& text)
    {
        qCWarning(lcGamepadUi).noquote() << title << ":" << text;
    }
};

} // namespace

GamepadDefinder::~GamepadDefinder()
{
    // Edits of the last 250 ms are saved even when the window is deleted without being closed.
    // Nothing is announced any more: the receivers may be half destroyed with our parent.
    m_closing = true;
    blockSignals(true);
    LoggingDialogs quiet;
    m_library.setDialogs(&quiet);
    flushPendingSave();
    // The calibration page's last edit is written while this editor can still answer its write
    // guard and store its metadata; the page then goes before our members do, so its own
    // destructor finds nothing left to save through a half-destroyed editor.
    if (m_calibrationEditor) {
        m_calibrationEditor->flushSave();
        delete m_calibrationEditor;
        m_calibrationEditor = nullptr;
    }
    m_library.setDialogs(nullptr);
    m_saveTimer.stop();
    m_captureTimer.stop();
    follow(nullptr);
}

void GamepadDefinder::buildChrome()
{
    if (!m_grid || !m_overlay || !m_list || !m_addButton) {
        qCWarning(lcGamepadUi) << "Gamepad editor chrome cannot be built: missing base widgets";
        return;
    }
    auto* sidebar = new SidebarFrame(this);
    sidebar->setMinimumWidth(170);
    sidebar->setMaximumWidth(170);
    auto* sideLayout = new QVBoxLayout(sidebar);
    sideLayout->setContentsMargins(6, 8, 8, 8);
    sideLayout->setSpacing(0);
    sideLayout->addWidget(m_list, 1);
    m_list->setItemDelegate(new LibraryListDelegate(m_list));
    m_list->setIconSize(QSize(40, 28));
    m_list->setUniformItemSizes(true);
    m_list->setTextElideMode(Qt::ElideRight);
    m_addButton->setFixedSize(32, 32);
    m_addButton->setCursor(Qt::PointingHandCursor);
    m_addButton->setToolTip(tr("Nouveau gamepad"));
    sideLayout->addSpacing(8);
    sideLayout->addWidget(m_addButton, 0, Qt::AlignHCenter);

    m_grid->addWidget(sidebar, 0, 0, 2, 1);
    m_grid->addWidget(buildTopBar(), 0, 1, 1, 2);
    m_grid->addWidget(m_overlay, 1, 1);
    m_overlay->setMinimumSize(320, 240);

    m_rightSidebar = new RightSidebarFrame(this);
    auto* rightLayout = new QVBoxLayout(m_rightSidebar);
    rightLayout->setContentsMargins(6, 6, 6, 6);
    rightLayout->setSpacing(8);
    rightLayout->addWidget(buildInspectorPanel());
    rightLayout->addWidget(buildQuickActionsPanel(), 1);
    // Without the quick actions (Edit mode) the inspector keeps its compact height at the top.
    rightLayout->addStretch();
    m_grid->addWidget(m_rightSidebar, 1, 2);
    m_grid->setColumnStretch(1, 1);
    m_grid->setRowStretch(1, 1);

    applyStyles();
    ensureCalibrationEditor();
}

GamepadConfigWidget* GamepadDefinder::ensureCalibrationEditor()
{
    // Built with the window (hidden until Calibration mode) so that it can be found at once; it
    // refreshes its live values only while shown.
    if (!m_calibrationEditor) {
        m_calibrationEditor = new GamepadConfigWidget(this);
        m_calibrationEditor->hide();
        m_grid->addWidget(m_calibrationEditor, 1, 1);
        // The page reports while its context still names the definition the report belongs to.
        connect(m_calibrationEditor, &GamepadConfigWidget::calibrationSaved, this,
                &GamepadDefinder::onCalibrationSaved);
        connect(m_calibrationEditor, &GamepadConfigWidget::profileCalibrationMetadataChanged, this,
                [this](const QString& mode, const QString& file, quint32 vendorId, quint32 productId) {
                    const GamepadCalibration::ProfileCalibrationContext& context =
                        m_calibrationEditor->profileContext();
                    storeCalibrationMetadata({context.profileId, context.profileFolder}, mode, file, vendorId,
                                             productId);
                });
        m_calibrationEditor->setWriteGuard(
            [this](GamepadCalibration::ProfileCalibrationContext* context, QString* error) {
                return prepareCalibrationWrite(context, error);
            });
    }
    return m_calibrationEditor;
}

QWidget* GamepadDefinder::buildTopBar()
{
    m_topBar = new QWidget(this);
    m_topBar->setObjectName(QStringLiteral("gamepadTopBar"));
    m_topBar->setAttribute(Qt::WA_StyledBackground);
    auto* layout = new QHBoxLayout(m_topBar);
    layout->setContentsMargins(8, 4, 8, 4);
    layout->setSpacing(6);
    m_modeButtons = {modeButton(tr("Mapping"), QStringLiteral("modeMappingButton")),
                     modeButton(tr("Calibration"), QStringLiteral("modeCalibrationButton")),
                     modeButton(tr("Edit"), QStringLiteral("modeEditButton"))};
    for (int mode = 0; mode < m_modeButtons.size(); ++mode) {
        layout->addWidget(m_modeButtons.at(mode));
        connect(m_modeButtons.at(mode), &QPushButton::clicked, this, [this, mode]() { setEditorMode(mode); });
    }
    layout->addSpacing(10);
    m_tagBar = new TagSelectionBar(m_topBar);
    m_tagBar->setPlaceholderText(tr("Ajouter une manette..."));
    m_tagBar->setMinimumWidth(220);
    m_tagBar->setToolTip(tr("Manettes liees au profil courant"));
    connect(m_tagBar, &TagSelectionBar::selectedTagsChanged, this,
            &GamepadDefinder::onDeviceSelectionTagsChanged);
    layout->addWidget(m_tagBar, 1);
    return m_topBar;
}

QWidget* GamepadDefinder::buildInspectorPanel()
{
    m_inspector = new QWidget(this);
    m_inspector->setObjectName(QStringLiteral("gamepadInspectorPanel"));
    m_inspector->setAttribute(Qt::WA_StyledBackground);
    // One width in every mode, so the picture beside it never jumps when the mode changes.
    m_inspector->setMinimumWidth(280);
    m_inspector->setMaximumWidth(280);
    auto* layout = new QVBoxLayout(m_inspector);
    layout->setContentsMargins(10, 8, 6, 8);
    layout->setSpacing(6);

    m_editTools = new QWidget(m_inspector);
    auto* tools = new QHBoxLayout(m_editTools);
    tools->setContentsMargins(0, 0, 0, 0);
    tools->setSpacing(4);
    const QStringList texts{tr("+ Joy"), tr("+ Dual XY"), tr("+ Btn")};
    for (int kind = 0; kind < texts.size(); ++kind) {
        auto* button = new QPushButton(texts.at(kind), m_editTools);
        button->setCursor(Qt::PointingHandCursor);
        connect(button, &QPushButton::clicked, this, [this, kind]() { addPastille(kind); });
        tools->addWidget(button);
        m_addButtons.append(button);
    }
    layout->addWidget(m_editTools);

    auto* line = new QFrame(m_inspector);
    line->setObjectName(QStringLiteral("inspectorSeparator"));
    line->setFixedHeight(1);
    layout->addWidget(line);

    m_placeholder = new QLabel(tr("Selectionnez un element sur l'image."), m_inspector);
    m_placeholder->setWordWrap(true);
    m_placeholder->setStyleSheet(QStringLiteral("font-style: italic; color: rgba(181, 199, 211, 150);"));
    layout->addWidget(m_placeholder);

    m_nameLabel = new QLabel(tr("Nom"), m_inspector);
    m_nameLabel->setObjectName(QStringLiteral("inspectorCaption"));
    layout->addWidget(m_nameLabel);
    m_nameEdit = new QLineEdit(m_inspector);
    connect(m_nameEdit, &QLineEdit::editingFinished, this, &GamepadDefinder::onTitleEdited);
    layout->addWidget(m_nameEdit);
    m_typeLabel = new QLabel(m_inspector);
    m_typeLabel->setObjectName(QStringLiteral("inspectorCaption"));
    layout->addWidget(m_typeLabel);

    m_slotArea = new QVBoxLayout;
    m_slotArea->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(m_slotArea);

    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    m_duplicateButton = new QPushButton(tr("Dupliquer"), m_inspector);
    m_deleteButton = new QPushButton(tr("Supprimer"), m_inspector);
    m_deleteButton->setObjectName(QStringLiteral("inspectorDeleteButton"));
    connect(m_duplicateButton, &QPushButton::clicked, this, [this]() {
        m_overlay->duplicateSelected();
        refreshInspector();
    });
    connect(m_deleteButton, &QPushButton::clicked, this, [this]() {
        if (m_overlay->removeNode(m_overlay->selectedIndex()))
            onOverlayDirty();
        refreshInspector();
    });
    row->addWidget(m_duplicateButton);
    row->addWidget(m_deleteButton);
    layout->addLayout(row);
    return m_inspector;
}

QWidget* GamepadDefinder::buildQuickActionsPanel()
{
    m_quickPanel = new QWidget(this);
    m_quickPanel->setObjectName(QStringLiteral("gamepadQuickActionsPanel"));
    m_quickPanel->setAttribute(Qt::WA_StyledBackground);
    m_quickPanel->setMinimumWidth(250);
    m_quickPanel->setMaximumWidth(280);
    auto* layout = new QVBoxLayout(m_quickPanel);
    layout->setContentsMargins(10, 8, 6, 8);
    layout->setSpacing(6);
    auto* title = new QLabel(tr("Actions disponibles"), m_quickPanel);
    title->setObjectName(QStringLiteral("quickActionsTitle"));
    layout->addWidget(title);
    m_quickList = new QListWidget(m_quickPanel);
    m_quickList->setMinimumHeight(180);
    connect(m_quickList, &QListWidget::itemClicked, this, &GamepadDefinder::onQuickActionClicked);
    layout->addWidget(m_quickList, 1);
    m_hintLabel =
        new QLabel(tr("Cliquez une action puis appuyez sur un bouton ou bougez un axe."), m_quickPanel);
    m_hintLabel->setObjectName(QStringLiteral("quickActionsHint"));
    m_hintLabel->setWordWrap(true);
    layout->addWidget(m_hintLabel);
    return m_quickPanel;
}

void GamepadDefinder::applyStyles()
{
    m_topBar->setStyleSheet(QString::fromLatin1(kTopBarStyle));
    m_inspector->setStyleSheet(QString::fromLatin1(kInspectorStyle));
    m_quickPanel->setStyleSheet(QString::fromLatin1(kQuickActionsStyle));
    m_list->parentWidget()->setStyleSheet(QString::fromLatin1(kSidebarStyle));
}

QJsonArray GamepadDefinder::sharedCatalogFrom(const QJsonObject& services)
{
    const QJsonValue shared = services.value(QStringLiteral("sharedActionCatalog"));
    if (shared.isArray() && !shared.toArray().isEmpty())
        return shared.toArray();
    QJsonArray catalog;
    const QString flag = QStringLiteral("__hxSharedActionCatalog");
    for (const QJsonValue& value : services.value(QStringLiteral("ref")).toArray()) {
        QJsonObject entry = value.toObject();
        if (!value.isObject() || entry.value(flag).toBool() != true)
            continue;
        entry.remove(flag);
        catalog.append(entry);
    }
    return catalog;
}

void GamepadDefinder::setServices(const QJsonObject& services)
{
    m_services = services;
    m_sharedCatalog = sharedCatalogFrom(services);
    ++m_catalogSerial;
    m_overlay->setActionCatalog(m_sharedCatalog);
    refillQuickActions();
    refreshInspector();
}

void GamepadDefinder::setDialogs(EditorDialogs* dialogs)
{
    m_library.setDialogs(dialogs);
}

EditorDialogs* GamepadDefinder::dialogs() const
{
    return m_library.dialogs();
}

bool GamepadDefinder::event(QEvent* event)
{
    // Hosted inside a main window, closing that window must go through the same save as ours.
    if (event->type() == QEvent::ParentChange || event->type() == QEvent::Show)
        watchTopLevelWindow();
    return QWidget::event(event);
}

void GamepadDefinder::watchTopLevelWindow()
{
    QWidget* top = window();
    if (top == m_watchedWindow)
        return;
    if (m_watchedWindow)
        m_watchedWindow->removeEventFilter(this);
    m_watchedWindow = top != this ? top : nullptr;
    if (m_watchedWindow)
        m_watchedWindow->installEventFilter(this);
}

bool GamepadDefinder::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_watchedWindow && event->type() == QEvent::Close) {
        if (!flushPendingSave()) {
            event->ignore();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void GamepadDefinder::keyPressEvent(QKeyEvent* event)
{
    // Escape ends a Learn that waits for the controller, whatever has the focus in the editor.
    if (event->key() == Qt::Key_Escape && m_overlay && m_overlay->listeningIndex() >= 0) {
        endPendingCapture();
        m_overlay->stopListening();
        refreshInspector();
        event->accept();
        return;
    }
    QWidget::keyPressEvent(event);
}

void GamepadDefinder::closeEvent(QCloseEvent* event)
{
    if (!flushPendingSave()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
}
