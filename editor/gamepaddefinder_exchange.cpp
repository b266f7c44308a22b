// GamepadDefinder: export, import, clipboard and snapshots. These operations live in their own
// units; the slots only call the hooks those units fill.
#include "gamepaddefinder.h"

#include "definitionexchangehooks.h"
#include "hostlogging.h"

namespace {

void runHook(const std::function<void(GamepadDefinder*)>& hook, GamepadDefinder* editor, const char* name)
{
    if (hook)
        hook(editor);
    else
        qCWarning(lcGamepadUi) << "Gamepad editor operation not available:" << name;
}

} // namespace

DefinitionExchangeHooks& DefinitionExchangeHooks::instance()
{
    static DefinitionExchangeHooks hooks;
    return hooks;
}

void GamepadDefinder::actionExport()
{
    runHook(DefinitionExchangeHooks::instance().exportDefinition, this, "export");
}

void GamepadDefinder::actionImport()
{
    runHook(DefinitionExchangeHooks::instance().importDefinition, this, "import");
}

void GamepadDefinder::actionCopy()
{
    runHook(DefinitionExchangeHooks::instance().copyDefinition, this, "copy");
}

void GamepadDefinder::actionPaste()
{
    runHook(DefinitionExchangeHooks::instance().pasteDefinition, this, "paste");
}

void GamepadDefinder::actionSnapshot()
{
    runHook(DefinitionExchangeHooks::instance().snapshot, this, "snapshot");
}

void GamepadDefinder::actionSnapshotAll()
{
    runHook(DefinitionExchangeHooks::instance().snapshotAll, this, "snapshotAll");
}

int GamepadDefinder::exportSnapshotsToDir(const QString& outputDir)
{
    const auto& hook = DefinitionExchangeHooks::instance().exportSnapshotsToDir;
    if (!hook) {
        qCWarning(lcGamepadUi) << "Gamepad editor operation not available: exportSnapshotsToDir";
        return 0;
    }
    return hook(this, outputDir);
}
