#pragma once

#include "comproviderevent.h"
#include "icominterfacemodelprovider.h"

#include <QAbstractItemDelegate>
#include <QAbstractItemModel>

#include <QElapsedTimer>
#include <QHash>
#include <QJsonArray>
#include <QJsonObject>
#include <QObject>
#include <QPluginLoader>
#include <QPointer>

class DeviceActionRouter;
class DeviceViewProxy;

// What the stand-in host does with a device plugin, without any window: loads the plugin file,
// casts its root object by the provider interface identifier, hands it the services object, shows
// (through signals) its events, its selected interfaces and their inputs, and runs the mapping file
// each selected device names. Every step is also written as one transcript line.
class HostSession : public QObject
{
    Q_OBJECT
public:
    explicit HostSession(QObject* parent = nullptr);
    ~HostSession() override;

    // Loads the plugin file and casts its instance; false with an error text on failure.
    bool loadPlugin(const QString& path, QString* error = nullptr);
    // Reads the services object (with "sharedActionCatalog") from a JSON file and hands it over.
    bool loadServices(const QString& path, QString* error = nullptr);
    // Asks the provider for its model and delegate and starts following the selection. With
    // autoSelect the first listed controller is selected once, as a user would.
    void start(const QString& context, bool autoSelect);

    IComInterfaceModelProvider* provider() const { return m_provider; }
    QJsonObject pluginMetaData() const;
    QJsonObject services() const { return m_services; }
    QAbstractItemModel* viewModel() const;
    QAbstractItemDelegate* delegate() const { return m_delegate; }
    QList<DeviceActionRouter*> routers() const;
    // Catalog label of an action, the name itself when unknown.
    QString actionLabel(const QString& action) const;
    qint64 elapsedMs() const { return m_clock.elapsed(); }
    int actionCount() const { return m_actionCount; }
    int eventCount() const { return m_eventCount; }

Q_SIGNALS:
    void transcriptLine(const QString& line);
    void providerEvent(const ComProviderEvent& event);
    void selectionChanged();
    void inputsChanged(const QString& device, const QStringList& keys, const QVariantList& values);
    void actionFired(const QString& device, const QString& action, const QJsonObject& args,
                     const QString& key, const QVariant& value, const QString& mode, bool repeat);

private:
    void log(const QString& category, const QString& text);
    void onSelection(const QList<IComInterface*>& interfaces, const QJsonArray& infos);
    void trySelectFirst();

    QPluginLoader m_loader;
    QPointer<IComInterfaceModelProvider> m_provider;
    QPointer<QAbstractItemModel> m_model;
    DeviceViewProxy* m_proxy = nullptr;
    QPointer<QAbstractItemDelegate> m_delegate;
    QJsonObject m_services;
    QHash<IComInterface*, DeviceActionRouter*> m_routers;
    QElapsedTimer m_clock;
    bool m_autoSelectPending = false;
    int m_actionCount = 0;
    int m_eventCount = 0;
};
