// The device registry: the input as a context's gamepads.json, loaded by the device list model
// (with two live pads and one matching definition), every role read, saved by the model's
// destructor; a second model loads and saves that file, which must come out unchanged.
#include "fuzzchecks.h"

#include "linkerdevicemodel.h"
#include "registryfile.h"

#include <QCoreApplication>
#include <QEvent>

namespace FuzzChecks {

namespace {

// Runs the zero-delay reconciliation and selection timers, then the deferred deletions.
void settle()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QByteArray loadAndSave(const QString& context)
{
    {
        LinkerDeviceModel model(context);
        settle();
        const QList<int> roles = model.roleNames().keys();
        for (int row = 0; row < model.rowCount(); ++row) {
            for (int role : roles)
                model.data(model.index(row), role);
        }
    }
    settle();
    return readFile(RegistryFile::path(context));
}

} // namespace

QString registry(const QByteArray& input)
{
    const QString context = QStringLiteral("fuzz");
    writeFile(RegistryFile::path(context), input);
    const QByteArray first = loadAndSave(context);
    bool ok = false;
    parseObject(first, &ok);
    if (!ok)
        return QStringLiteral("the model saved a file it cannot read");
    return compareBytes("registry file", first, loadAndSave(context));
}

} // namespace FuzzChecks
