#include "hostsession.h"

#include "deviceactionrouter.h"
#include "deviceviewproxy.h"
#include "hostmetatypes.h"
#include "icominterfacemodelprovider.h"

#include <QAbstractItemDelegate>
#include <QFile>
#include <QJsonDocument>
#include <QPersistentModelIndex>
#include <QTimer>

namespace {

QString valueText(const QVariant& v)
{
    if (v.userType() == QMetaType::Bool)
        return v.toBool() ? QStringLiteral("true") : QStringLiteral("false");
    if (v.userType() == QMetaType::Double || v.userType() == QMetaType::Float)
        return QString::number(v.toDouble(), 'f', 1);
    if (v.userType() == QMetaType::QVariantList) {
        QStringList parts;
        for (const QVariant& item : v.toList())
            parts << valueText(item);
        return QStringLiteral("(%1)").arg(parts.join(QStringLiteral(", ")));
    }
    return v.toString();
}

QString deviceLabel(const QJsonObject& info)
{
    const QString name = info.value(QLatin1String("name")).toString();
    const QString id = info.value(QLatin1String("deviceId")).toString();
    return id.isEmpty() ? name : QStringLiteral("%1 (gp:%2)").arg(name, id);
}

} // namespace

HostSession::HostSession(QObject* parent) : QObject(parent)
{
    registerHostMetaTypes();
    m_clock.start();
}

HostSession::~HostSession()
{
    qDeleteAll(m_routers);
    m_routers.clear();
}

void HostSession::log(const QString& category, const QString& text)
{
    const qint64 ms = m_clock.elapsed();
    emit transcriptLine(QStringLiteral("[%1.%2s] %3 %4")
                            .arg(ms / 1000, 3)
                            .arg(ms % 1000, 3, 10, QLatin1Char('0'))
                            .arg(category, -9)
                            .arg(text));
}

bool HostSession::loadPlugin(const QString& path, QString* error)
{
    m_loader.setFileName(path);
    QObject* root = m_loader.instance();
    if (!root) {
        if (error)
            *error = m_loader.errorString();
        return false;
    }
    auto* provider = qobject_cast<IComInterfaceModelProvider*>(root);
    if (!provider) {
        if (error)
            *error = QStringLiteral("%1 does not implement %2")
                         .arg(path, QLatin1String(IComInterfaceModelProvider_iid));
        return false;
    }
    m_provider = provider;
    const QJsonObject meta = pluginMetaData();
    log(QStringLiteral("plugin"),
        QStringLiteral("loaded %1: %2 \"%3\" by \"%4\" (IID %5)")
            .arg(path, meta.value(QLatin1String("className")).toString(), provider->displayName(),
                 provider->vendorName(), meta.value(QLatin1String("IID")).toString()));
    connect(provider, &IComInterfaceModelProvider::eventPosted, this, [this](const ComProviderEvent& event) {
        ++m_eventCount;
        log(QStringLiteral("event"),
            QStringLiteral("%1 %2: %3 [%4]")
                .arg(event.severity == 0 ? QStringLiteral("info") : QStringLiteral("WARN"), event.title,
                     event.message, event.source));
        emit providerEvent(event);
    });
    connect(provider, &IComInterfaceModelProvider::selectedInterfacesChanged, this,
            &HostSession::onSelection);
    return true;
}

QJsonObject HostSession::pluginMetaData() const
{
    return m_loader.metaData();
}

bool HostSession::loadServices(const QString& path, QString* error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("cannot open %1").arg(path);
        return false;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(file.readAll());
    if (!doc.isObject()) {
        if (error)
            *error = QStringLiteral("%1 is not a JSON object").arg(path);
        return false;
    }
    m_services = doc.object();
    if (m_provider)
        m_provider->setServices(m_services);
    log(QStringLiteral("services"),
        QStringLiteral("%1 actions in the shared catalog (%2)")
            .arg(m_services.value(QLatin1String("sharedActionCatalog")).toArray().size())
            .arg(path));
    return true;
}

QString HostSession::actionLabel(const QString& action) const
{
    for (const QJsonValue& v : m_services.value(QLatin1String("sharedActionCatalog")).toArray()) {
        const QJsonObject entry = v.toObject();
        if (entry.value(QLatin1String("name")).toString().compare(action, Qt::CaseInsensitive) != 0)
            continue;
        const QString label = entry.value(QLatin1String("label")).toString();
        const QString group = entry.value(QLatin1String("group")).toString();
        const QString title = label.isEmpty() ? action : label;
        return group.isEmpty() ? title : QStringLiteral("%1 / %2").arg(group, title);
    }
    return action;
}

void HostSession::start(const QString& context, bool autoSelect)
{
    if (!m_provider)
        return;
    m_model = m_provider->model(context, this);
    m_delegate = m_provider->delegate(this);
    m_proxy = new DeviceViewProxy(this);
    m_proxy->setSourceModel(m_model);
    log(QStringLiteral("model"), QStringLiteral("device list for context \"%1\": %2 remembered row(s)")
                                     .arg(context)
                                     .arg(m_model->rowCount()));

    const int usnRole = m_model->roleNames().key(QByteArrayLiteral("usn"), -1);
    const int nameRole = m_model->roleNames().key(QByteArrayLiteral("name"), -1);
    connect(m_model, &QAbstractItemModel::rowsInserted, this,
            [this, usnRole, nameRole](const QModelIndex&, int first, int last) {
                for (int row = first; row <= last; ++row) {
                    const QModelIndex idx = m_model->index(row, 0);
                    log(QStringLiteral("model"),
                        QStringLiteral("row %1 added: %2 \"%3\"")
                            .arg(row)
                            .arg(idx.data(usnRole).toString(), idx.data(nameRole).toString()));
                }
                // After the model has finished announcing the row.
                QTimer::singleShot(0, this, &HostSession::trySelectFirst);
            });
    connect(m_model, &QAbstractItemModel::modelReset, this, &HostSession::trySelectFirst);

    m_autoSelectPending = autoSelect;
    trySelectFirst();
    QList<IComInterface*> interfaces;
    QJsonArray infos;
    m_provider->selectedInterfaces(interfaces, infos);
    onSelection(interfaces, infos);
}

void HostSession::trySelectFirst()
{
    if (!m_autoSelectPending || !m_model || m_model->rowCount() == 0)
        return;
    m_autoSelectPending = false;
    const int selectedRole = m_model->roleNames().key(QByteArrayLiteral("selected"), -1);
    for (int row = 0; row < m_model->rowCount(); ++row) {
        if (m_model->index(row, 0).data(selectedRole).toBool())
            return; // the user's earlier choice stands
    }
    log(QStringLiteral("host"), QStringLiteral("selecting the first controller"));
    m_model->setData(m_model->index(0, 0), true, selectedRole);
}

QAbstractItemModel* HostSession::viewModel() const
{
    return m_proxy;
}

QList<DeviceActionRouter*> HostSession::routers() const
{
    return m_routers.values();
}

void HostSession::onSelection(const QList<IComInterface*>& interfaces, const QJsonArray& infos)
{
    bool changed = false;
    for (auto it = m_routers.begin(); it != m_routers.end();) {
        if (!interfaces.contains(it.key()) || !it.value()->device()) {
            log(QStringLiteral("select"), QStringLiteral("released %1").arg(it.value()->label()));
            delete it.value();
            it = m_routers.erase(it);
            changed = true;
        } else {
            ++it;
        }
    }
    for (int i = 0; i < interfaces.size(); ++i) {
        IComInterface* iface = interfaces.at(i);
        if (!iface || m_routers.contains(iface))
            continue;
        const QString label = deviceLabel(infos.at(i).toObject());
        auto* router = new DeviceActionRouter(iface, label);
        m_routers.insert(iface, router);
        changed = true;
        log(QStringLiteral("select"),
            QStringLiteral("%1, %2: %3")
                .arg(label)
                .arg(iface->status() == IComInterface::connected ? QStringLiteral("connected")
                                                                 : QStringLiteral("noCom"))
                .arg(iface->infoJson().left(160)));
        connect(router, &DeviceActionRouter::mappingLoaded, this,
                [this, label](const QString& path, int bridges, const QString& error) {
                    if (error.isEmpty())
                        log(QStringLiteral("mapping"),
                            QStringLiteral("%1 -> %2 (%3 bridge(s))").arg(label, path).arg(bridges));
                    else
                        log(QStringLiteral("mapping"),
                            QStringLiteral("%1 -> %2: %3").arg(label, path, error));
                });
        connect(router, &DeviceActionRouter::inputsChanged, this,
                [this, label](const QStringList& keys, const QVariantList& values) {
                    QStringList parts;
                    for (int k = 0; k < keys.size() && k < values.size(); ++k)
                        parts << QStringLiteral("%1=%2").arg(keys.at(k), valueText(values.at(k)));
                    log(QStringLiteral("data"),
                        QStringLiteral("%1 %2").arg(label, parts.join(QLatin1Char(' '))));
                    emit inputsChanged(label, keys, values);
                });
        connect(router, &DeviceActionRouter::actionTriggered, this,
                [this, label](const QString& action, const QJsonObject& args, const QString& key,
                              const QVariant& value, const QString& mode, bool repeat) {
                    ++m_actionCount;
                    log(QStringLiteral("action"),
                        QStringLiteral("%1 %2 %3 <- %4=%5 (%6%7) [%8]")
                            .arg(action,
                                 QString::fromUtf8(QJsonDocument(args).toJson(QJsonDocument::Compact)),
                                 actionLabel(action), key, valueText(value), mode,
                                 repeat ? QStringLiteral(", repeat") : QString(), label));
                    emit actionFired(label, action, args, key, value, mode, repeat);
                });
        connect(iface, &IComInterface::statusChanged, this, [this, label](IComInterface::ComStatus status) {
            log(QStringLiteral("status"),
                QStringLiteral("%1 -> %2")
                    .arg(label)
                    .arg(status == IComInterface::connected ? QStringLiteral("connected")
                                                            : QStringLiteral("noCom")));
        });
        router->reloadMapping();
    }
    if (changed)
        emit selectionChanged();
}
