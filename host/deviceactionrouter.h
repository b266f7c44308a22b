#pragma once

#include "actionengine.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QObject>
#include <QPointer>
#include <QTimer>

#include "icominterface.h"

// Runs the mapping file one selected device names: follows noCodeAppChanged, feeds the device's
// dataChanged to an ActionEngine and drives its steady-rate repeats.
class DeviceActionRouter : public QObject
{
    Q_OBJECT
public:
    DeviceActionRouter(IComInterface* device, const QString& label, QObject* parent = nullptr);

    IComInterface* device() const { return m_device; }
    QString label() const { return m_label; }
    QString mappingPath() const { return m_mappingPath; }
    int bridgeCount() const { return int(m_engine.bridges().size()); }

    // Reads the first file the device names now.
    void reloadMapping();
    void loadMapping(const QStringList& files);

Q_SIGNALS:
    void mappingLoaded(const QString& path, int bridges, const QString& error);
    void inputsChanged(const QStringList& keys, const QVariantList& values);
    void actionTriggered(const QString& action, const QJsonObject& args, const QString& key,
                         const QVariant& value, const QString& mode, bool repeat);

private:
    void onData(const QString& deviceName, const QString& catName, const QStringList& keys,
                const QVariantList& values);
    void report(const QList<TriggeredAction>& fired);

    QPointer<IComInterface> m_device;
    QString m_label;
    QString m_mappingPath;
    ActionEngine m_engine;
    QTimer m_repeatTimer;
    QElapsedTimer m_clock;
};
