#include "hostwindow.h"

#include "deviceactionrouter.h"
#include "hostsession.h"
#include "icominterface.h"
#include "icominterfacemodelprovider.h"

#include <QApplication>
#include <QDateTime>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QJsonDocument>
#include <QLabel>
#include <QListView>
#include <QListWidget>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace {

const char* const kStyle = R"(
QMainWindow, QWidget#hostRoot { background: #0b1117; }
QWidget { color: #dfe9ef; font-size: 12px; }
QFrame#hostTopBar { background: qlineargradient(x1:0, y1:0, x2:1, y2:0, stop:0 #12212b, stop:1 #0d171e);
                    border-bottom: 1px solid #23404e; }
QLabel#hostTitle { font-size: 17px; font-weight: 600; color: #e8f0f5; }
QLabel#hostSubtitle { color: #8aa3b6; }
QLabel#sectionTitle { color: #6ec8d7; font-size: 11px; font-weight: 600; letter-spacing: 1px; padding: 2px 2px; }
QListView#deviceList { background: transparent; border: none; }
QListWidget, QTreeWidget, QTableWidget { background: rgba(20, 32, 42, 200); border: 1px solid #1f3542;
                                         border-radius: 8px; padding: 4px; alternate-background-color: #111d25; }
QHeaderView::section { background: #12212b; color: #8aa3b6; border: none; padding: 4px 6px; }
QTableWidget { gridline-color: transparent; }
QPushButton { background: #16303c; border: 1px solid #2b5566; border-radius: 6px; padding: 6px 14px; color: #e8f0f5; }
QPushButton:hover { background: #1d4150; }
QSplitter::handle { background: #0b1117; }
QScrollBar:vertical { background: transparent; width: 10px; }
QScrollBar::handle:vertical { background: #23404e; border-radius: 4px; min-height: 24px; }
QScrollBar::add-line, QScrollBar::sub-line { height: 0; }
)";

QLabel* sectionTitle(const QString& text)
{
    auto* label = new QLabel(text.toUpper());
    label->setObjectName(QStringLiteral("sectionTitle"));
    return label;
}

QString valueText(const QVariant& v)
{
    if (v.userType() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("pressed") : QStringLiteral("released");
    if (v.userType() == QMetaType::QVariantList) {
        QStringList parts;
        for (const QVariant& item : v.toList())
            parts << QString::number(item.toDouble(), 'f', 1);
        return parts.join(QStringLiteral(", "));
    }
    return QString::number(v.toDouble(), 'f', 1);
}

} // namespace

HostWindow::HostWindow(HostSession* session, QWidget* parent) : QMainWindow(parent), m_session(session)
{
    setWindowTitle(QStringLiteral("Joyrelay host"));
    setStyleSheet(QString::fromLatin1(kStyle));
    if (session->provider())
        setWindowIcon(session->provider()->icon());

    auto* root = new QWidget;
    root->setObjectName(QStringLiteral("hostRoot"));
    auto* rootLayout = new QVBoxLayout(root);
    rootLayout->setContentsMargins(0, 0, 0, 0);
    rootLayout->setSpacing(0);

    auto* top = new QFrame;
    top->setObjectName(QStringLiteral("hostTopBar"));
    auto* topLayout = new QHBoxLayout(top);
    topLayout->setContentsMargins(16, 10, 16, 10);
    auto* icon = new QLabel;
    if (session->provider())
        icon->setPixmap(session->provider()->icon().pixmap(40, 40));
    auto* titles = new QVBoxLayout;
    auto* title = new QLabel(QStringLiteral("Communication interfaces — %1")
                                 .arg(session->provider() ? session->provider()->displayName() : QString()));
    title->setObjectName(QStringLiteral("hostTitle"));
    m_summary = new QLabel;
    m_summary->setObjectName(QStringLiteral("hostSubtitle"));
    titles->addWidget(title);
    titles->addWidget(m_summary);
    auto* configure = new QPushButton(QStringLiteral("Configuration…"));
    connect(configure, &QPushButton::clicked, this, &HostWindow::openConfiguration);
    auto* calibrate = new QPushButton(QStringLiteral("Calibration…"));
    calibrate->setToolTip(QStringLiteral("Calibrate the selected controller in the plugin's editor"));
    connect(calibrate, &QPushButton::clicked, this, &HostWindow::openCalibration);
    topLayout->addWidget(icon);
    topLayout->addSpacing(8);
    topLayout->addLayout(titles, 1);
    auto* snapshots = new QPushButton(QStringLiteral("Snapshots…"));
    snapshots->setToolTip(QStringLiteral("Render every definition as a PNG file into a folder"));
    connect(snapshots, &QPushButton::clicked, this, [this] {
        const QString folder =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Snapshots of every definition"));
        if (folder.isEmpty())
            return;
        const int written = exportSnapshots(folder);
        m_summary->setText(written < 0
                               ? QStringLiteral("Snapshots: the editor could not be reached")
                               : QStringLiteral("%1 snapshot(s) written to %2").arg(written).arg(folder));
    });
    topLayout->addWidget(snapshots);
    topLayout->addWidget(calibrate);
    topLayout->addWidget(configure);
    rootLayout->addWidget(top);

    auto* splitter = new QSplitter(Qt::Horizontal);
    splitter->addWidget(buildDevicePane());
    splitter->addWidget(buildSidePane());
    splitter->setStretchFactor(0, 3);
    splitter->setStretchFactor(1, 2);
    rootLayout->addWidget(splitter, 1);
    setCentralWidget(root);
    resize(1440, 860);

    connect(session, &HostSession::selectionChanged, this, &HostWindow::refreshSelection);
    connect(session, &HostSession::inputsChanged, this, &HostWindow::showInputs);
    connect(session, &HostSession::actionFired, this, &HostWindow::showAction);
    connect(session, &HostSession::providerEvent, this, [this](const ComProviderEvent& event) {
        auto* item = new QListWidgetItem(
            QStringLiteral("%1  %2\n%3")
                .arg(QTime::currentTime().toString(QStringLiteral("HH:mm:ss")), event.title, event.message));
        item->setForeground(event.severity == 0 ? QColor(138, 200, 160) : QColor(230, 170, 70));
        m_events->insertItem(0, item);
    });
    refreshSelection();
}

QWidget* HostWindow::buildDevicePane()
{
    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(16, 12, 8, 12);
    layout->addWidget(sectionTitle(QStringLiteral("Controllers")));
    m_devices = new QListView;
    m_devices->setObjectName(QStringLiteral("deviceList"));
    m_devices->setViewMode(QListView::IconMode);
    m_devices->setMovement(QListView::Static);
    m_devices->setResizeMode(QListView::Adjust);
    m_devices->setGridSize(QSize(300, 240));
    m_devices->setUniformItemSizes(true);
    m_devices->setSelectionMode(QAbstractItemView::NoSelection);
    m_devices->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_devices->setMouseTracking(true);
    m_devices->setSpacing(0);
    m_devices->setModel(m_session->viewModel());
    m_devices->setItemDelegate(m_session->delegate());
    // The card menu's "Configurer" is the host's to handle: the configuration window opens on that
    // card's definition. The host knows the delegate only by its signals.
    if (m_session->delegate())
        connect(m_session->delegate(), SIGNAL(requestConfig(QString)), this, SLOT(configureCard(QString)));
    layout->addWidget(m_devices, 1);
    auto* hint =
        new QLabel(QStringLiteral("Click a card to select its controller · ✕ forgets it · the arrows switch "
                                  "between the definitions that fit it · right-click for more"));
    hint->setObjectName(QStringLiteral("hostSubtitle"));
    hint->setWordWrap(true);
    layout->addWidget(hint);
    return pane;
}

QWidget* HostWindow::buildSidePane()
{
    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(8, 12, 16, 12);
    layout->setSpacing(6);

    layout->addWidget(sectionTitle(QStringLiteral("Selected interfaces")));
    m_selected = new QTreeWidget;
    m_selected->setHeaderLabels(
        {QStringLiteral("Device"), QStringLiteral("Status"), QStringLiteral("Mapping")});
    m_selected->setRootIsDecorated(false);
    m_selected->setMaximumHeight(96);
    m_selected->header()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_selected->header()->setSectionResizeMode(1, QHeaderView::ResizeToContents);
    layout->addWidget(m_selected);

    layout->addWidget(sectionTitle(QStringLiteral("Live inputs")));
    m_inputs = new QTableWidget(0, 3);
    m_inputs->setHorizontalHeaderLabels(
        {QStringLiteral("Device"), QStringLiteral("Key"), QStringLiteral("Value")});
    m_inputs->verticalHeader()->hide();
    m_inputs->verticalHeader()->setDefaultSectionSize(22);
    m_inputs->horizontalHeader()->setStretchLastSection(true);
    m_inputs->horizontalHeader()->setSectionResizeMode(0, QHeaderView::ResizeToContents);
    m_inputs->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_inputs->setSelectionMode(QAbstractItemView::NoSelection);
    m_inputs->setShowGrid(false);
    m_inputs->setAlternatingRowColors(true);
    m_inputs->setObjectName(QStringLiteral("liveInputs"));
    m_releases = new QTimer(this);
    m_releases->setInterval(100);
    connect(m_releases, &QTimer::timeout, this, &HostWindow::showButtonReleases);
    layout->addWidget(m_inputs, 2);

    layout->addWidget(sectionTitle(QStringLiteral("Actions fired by the mapping")));
    m_actions = new QListWidget;
    m_actions->setObjectName(QStringLiteral("firedActions"));
    m_actions->setAlternatingRowColors(true);
    layout->addWidget(m_actions, 3);

    layout->addWidget(sectionTitle(QStringLiteral("Provider events")));
    m_events = new QListWidget;
    m_events->setAlternatingRowColors(true);
    layout->addWidget(m_events, 2);
    return pane;
}

void HostWindow::refreshSelection()
{
    m_selected->clear();
    for (DeviceActionRouter* router : m_session->routers()) {
        IComInterface* device = router->device();
        const bool connected = device && device->status() == IComInterface::connected;
        auto* item = new QTreeWidgetItem({router->label(),
                                          connected ? QStringLiteral("connected") : QStringLiteral("noCom"),
                                          QStringLiteral("%1 (%2 bridges)")
                                              .arg(router->mappingPath().section(QLatin1Char('/'), -2))
                                              .arg(router->bridgeCount())});
        item->setToolTip(2, router->mappingPath());
        item->setForeground(1, connected ? QColor(60, 200, 120) : QColor(200, 70, 70));
        m_selected->addTopLevelItem(item);
        connect(router, &DeviceActionRouter::mappingLoaded, this, &HostWindow::refreshSelection,
                Qt::UniqueConnection);
        if (device)
            connect(device, &IComInterface::statusChanged, this, &HostWindow::refreshSelection,
                    Qt::UniqueConnection);
    }
    const QAbstractItemModel* model = m_session->viewModel();
    m_summary->setText(QStringLiteral("%1 controller(s) known · %2 selected · login \"%3\"")
                           .arg(model ? model->rowCount() : 0)
                           .arg(m_session->routers().size())
                           .arg(qApp->property("hx.currentLogin").toString()));
}

void HostWindow::showInputs(const QString& device, const QStringList& keys, const QVariantList& values)
{
    for (int i = 0; i < keys.size() && i < values.size(); ++i) {
        const QString id = device + QLatin1Char('|') + keys.at(i);
        int row = m_inputRows.value(id, -1);
        if (row < 0) {
            row = m_inputs->rowCount();
            m_inputs->insertRow(row);
            m_inputs->setItem(row, 0, new QTableWidgetItem(device));
            m_inputs->setItem(row, 1, new QTableWidgetItem(keys.at(i)));
            m_inputs->setItem(row, 2, new QTableWidgetItem);
            m_inputRows.insert(id, row);
        }
        m_inputs->item(row, 2)->setText(valueText(values.at(i)));
        if (values.at(i).userType() == QMetaType::Bool && values.at(i).toBool())
            m_releases->start();
    }
    refreshSelection();
}

void HostWindow::showButtonReleases()
{
    // A device reports a button's press but, unless the mapping asks for it, not its release: the
    // table reads the pad's own state (its "buttons" property) until no button shows pressed.
    bool anyPressed = false;
    for (DeviceActionRouter* router : m_session->routers()) {
        const QObject* device = router->device();
        const QVariantList buttons = device ? device->property("buttons").toList() : QVariantList();
        for (int b = 0; b < buttons.size(); ++b) {
            const int row = m_inputRows.value(router->label() + QStringLiteral("|but_%1").arg(b), -1);
            if (row < 0)
                continue;
            m_inputs->item(row, 2)->setText(valueText(buttons.at(b).toBool()));
            anyPressed = anyPressed || buttons.at(b).toBool();
        }
    }
    if (!anyPressed)
        m_releases->stop();
}

void HostWindow::showAction(const QString& device, const QString& action, const QJsonObject& args,
                            const QString& key, const QVariant& value, const QString& mode, bool repeat)
{
    const QString time = QTime::currentTime().toString(QStringLiteral("HH:mm:ss.zzz"));
    const QString detail =
        QStringLiteral("%1  %2\n      %3 = %4 · %5%6 · %7")
            .arg(m_session->actionLabel(action),
                 QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact)), key, valueText(value),
                 mode, repeat ? QStringLiteral(" (repeat)") : QString(), device);
    // The same action fired again by the same input (an "always" stick, an auto-repeat) updates
    // its line, with the latest value and a count, instead of pushing every other line out of sight.
    const QString firing = QStringList{device, action, key, mode}.join(QLatin1Char('|'));
    if (QListWidgetItem* top = m_actions->item(0); top && top->data(Qt::UserRole).toString() == firing) {
        const int count = top->data(Qt::UserRole + 1).toInt() + 1;
        top->setData(Qt::UserRole + 1, count);
        top->setText(QStringLiteral("%1  ×%2  %3").arg(time).arg(count).arg(detail));
        return;
    }
    auto* item = new QListWidgetItem(QStringLiteral("%1  %2").arg(time, detail));
    item->setData(Qt::UserRole, firing);
    item->setData(Qt::UserRole + 1, 1);
    item->setForeground(repeat ? QColor(138, 163, 182) : QColor(232, 240, 245));
    m_actions->insertItem(0, item);
    while (m_actions->count() > 300)
        delete m_actions->takeItem(m_actions->count() - 1);
}

void HostWindow::openConfiguration()
{
    if (!m_session->provider())
        return;
    m_configWindow = m_session->provider()->configurationWindow(nullptr);
    if (!m_configWindow)
        return;
    m_configWindow->setAttribute(Qt::WA_DeleteOnClose);
    if (m_configWindow->size().width() < 400)
        m_configWindow->resize(1023, 772);
    m_configWindow->show();
    m_configWindow->raise();
}

int HostWindow::exportSnapshots(const QString& folder)
{
    // The plugin's snapshot entries are not in its menus: a host calls the editor's slot by name.
    const bool wasOpen = m_configWindow;
    openConfiguration();
    QObject* editor =
        m_configWindow ? m_configWindow->findChild<QWidget*>(QStringLiteral("ManageGamepade")) : nullptr;
    int written = -1;
    if (editor && !QMetaObject::invokeMethod(editor, "exportSnapshotsToDir", Q_RETURN_ARG(int, written),
                                             Q_ARG(QString, folder)))
        written = -1;
    if (!wasOpen && m_configWindow)
        m_configWindow->close();
    return written;
}

void HostWindow::openCalibration()
{
    openDefinitionOf(QString(), true);
}

void HostWindow::configureCard(const QString& usn)
{
    openDefinitionOf(usn, false);
}

void HostWindow::openDefinitionOf(const QString& usn, bool calibration)
{
    openConfiguration();
    if (!m_configWindow)
        return;
    // The host knows the editor only from outside: its object names, a Qt list and a Qt button.
    auto* editor = m_configWindow->findChild<QWidget*>(QStringLiteral("ManageGamepade"));
    auto* list = editor ? editor->findChild<QListWidget*>(QStringLiteral("listWidget")) : nullptr;
    if (!list)
        return;

    // The card asked for (by its usn), else the selected one, else the first.
    QString profileId;
    QString padName;
    if (const QAbstractItemModel* model = m_session->viewModel(); model && model->rowCount() > 0) {
        const auto role = [model](const char* name) { return model->roleNames().key(QByteArray(name), -1); };
        int row = 0;
        for (int r = 0; r < model->rowCount(); ++r) {
            const QModelIndex index = model->index(r, 0);
            if (usn.isEmpty() ? index.data(role("selected")).toBool()
                              : index.data(role("usn")).toString() == usn) {
                row = r;
                break;
            }
        }
        const QModelIndex index = model->index(row, 0);
        profileId = index.data(role("activeProfileId")).toString();
        padName = index.data(role("product")).toString().trimmed();
    }
    // Editor list items: Qt::UserRole holds the definition id, Qt::UserRole + 3 its linked names.
    int target = -1;
    for (int r = 0; r < list->count() && target < 0; ++r) {
        if (!profileId.isEmpty() && list->item(r)->data(Qt::UserRole).toString() == profileId)
            target = r;
    }
    for (int r = 0; r < list->count() && target < 0; ++r) {
        if (list->item(r)->data(Qt::UserRole + 3).toStringList().contains(padName, Qt::CaseInsensitive))
            target = r;
    }
    if (target >= 0)
        list->setCurrentRow(target);
    if (!calibration)
        return;
    if (auto* mode = editor->findChild<QPushButton*>(QStringLiteral("modeCalibrationButton")))
        mode->click();
}
