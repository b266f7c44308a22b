// Pages: the mapping actions panel over the first demo definition with its pad connected, and the
// PNG snapshots of every demo definition.
#include "actionlinker.h"
#include "definitionmeta.h"
#include "gallery.h"
#include "gamepadmanager.h"
#include "jsonio.h"
#include "profilestore.h"
#include "snapshots.h"
#include "virtualjoystickbackend.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QListWidget>
#include <QTextStream>

namespace {

QString demoFolder()
{
    return QStringLiteral(JOYRELAY_HOST_DIR "/demo/definitions");
}

// The demo definitions copied into the page's shared profiles root, in folder order.
QList<DefinitionRecord> installDemoDefinitions()
{
    const QString root = ProfileStore::sharedProfilesRoot();
    QDir().mkpath(root);
    const QDir demo(demoFolder());
    for (const QString& name : demo.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        ProfileStore::copyRecursively(demo.filePath(name), QDir(root).filePath(name));
    return DefinitionMeta::listDefinitions();
}

QJsonArray demoCatalog()
{
    return JsonIo::readJsonObject(QStringLiteral(JOYRELAY_HOST_DIR "/actioncatalog.json"))
        .value(QStringLiteral("sharedActionCatalog"))
        .toArray();
}

int actionLinkerPage(const Gallery::Context& context)
{
    auto pads = std::make_shared<VirtualJoystickBackend>();
    VirtualJoystickBackend::Pad pad;
    pad.name = QStringLiteral("Joyrelay Demo Pad");
    pads->plug(pad);
    JoystickBackends::install(pads);
    GamepadManager::instance();

    const QList<DefinitionRecord> records = installDemoDefinitions();
    if (records.isEmpty())
        return 1;
    const DefinitionRecord& record = records.first();
    ActionLinker linker;
    linker.resize(1000, 620);
    linker.setExternalServices(demoCatalog());
    linker.loadGamepadSnapshot(record.id, record.name, record.deviceNames,
                               JsonIo::readJsonObject(record.overlayPath), record.imagePath);
    bool ok = Gallery::shoot(&linker, context, QStringLiteral("actionlinker.png"));

    // An action armed, waiting for the controller.
    auto* list = linker.findChild<QListWidget*>(QStringLiteral("mappingActionsList"));
    for (int i = 0; i < list->count(); ++i) {
        if (list->item(i)->data(Qt::UserRole).toString() == QLatin1String("camera.zoom")) {
            emit list->itemClicked(list->item(i));
            break;
        }
    }
    ok = Gallery::shoot(&linker, context, QStringLiteral("actionlinker_armed.png")) && ok;
    return ok ? 0 : 1;
}

int snapshotsPage(const Gallery::Context& context)
{
    QVector<Snapshots::Item> items;
    for (const DefinitionRecord& record : installDemoDefinitions())
        items.append({record.name, record.imagePath, record.overlayPath, {}, false});
    const QString folder = QDir(context.outDir).filePath(QStringLiteral("snapshots"));
    QDir(folder).removeRecursively();
    int count = 0;
    QStringList errors;
    const bool ok = Snapshots::exportToFolder(folder, items, QSize(1000, 700), &count, &errors);
    QTextStream out(stdout);
    out << "wrote " << count << " snapshots into " << folder << Qt::endl;
    for (const QString& error : std::as_const(errors))
        out << "snapshot issue: " << error << Qt::endl;
    return ok && errors.isEmpty() && count == items.size() && count > 0 ? 0 : 1;
}

} // namespace

JOY_GALLERY_PAGE("actionlinker", "Mapping actions panel over the first demo definition", actionLinkerPage);
JOY_GALLERY_PAGE("snapshots", "PNG snapshots of the demo definitions", snapshotsPage);
