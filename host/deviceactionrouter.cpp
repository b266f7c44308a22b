#include "deviceactionrouter.h"

#include "icominterface.h"

DeviceActionRouter::DeviceActionRouter(IComInterface* device, const QString& label, QObject* parent)
    : QObject(parent), m_device(device), m_label(label)
{
    m_clock.start();
    connect(device, &IComInterface::noCodeAppChanged, this, &DeviceActionRouter::loadMapping);
    connect(device,
            qOverload<const QString&, const QString&, const QStringList&, const QVariantList&>(
                &IComInterface::dataChanged),
            this, &DeviceActionRouter::onData);
    // Fine-grained so repeats keep their steady rate (±10 ms).
    m_repeatTimer.setTimerType(Qt::PreciseTimer);
    m_repeatTimer.setInterval(10);
    connect(&m_repeatTimer, &QTimer::timeout, this, [this]() { report(m_engine.tick(m_clock.elapsed())); });
    m_repeatTimer.start();
}

void DeviceActionRouter::reloadMapping()
{
    if (m_device)
        loadMapping(m_device->noCodeApp());
}

void DeviceActionRouter::loadMapping(const QStringList& files)
{
    const QString path = files.isEmpty() ? QString() : files.first();
    QList<Bridge> bridges;
    QString error;
    if (path.isEmpty())
        error = QStringLiteral("the device names no mapping file");
    else
        MappingFile::read(path, &bridges, &error);
    m_mappingPath = path;
    m_engine.setBridges(bridges);
    emit mappingLoaded(path, int(bridges.size()), error);
}

void DeviceActionRouter::onData(const QString&, const QString&, const QStringList& keys,
                                const QVariantList& values)
{
    emit inputsChanged(keys, values);
    report(m_engine.feed(keys, values, m_clock.elapsed()));
}

void DeviceActionRouter::report(const QList<TriggeredAction>& fired)
{
    for (const TriggeredAction& t : fired)
        emit actionTriggered(t.action, t.args, t.key, t.value, MappingFile::modeText(t.mode), t.repeat);
}
