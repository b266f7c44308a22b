#pragma once

#include <QString>

#include <functional>

class GamepadDefinder;

// Where the export, import, clipboard and snapshot units plug into the definition editor: the
// editor's slots call these, and an operation left empty only logs that it is not available.
struct DefinitionExchangeHooks
{
    std::function<void(GamepadDefinder*)> exportDefinition;
    std::function<void(GamepadDefinder*)> importDefinition;
    std::function<void(GamepadDefinder*)> copyDefinition;
    std::function<void(GamepadDefinder*)> pasteDefinition;
    std::function<void(GamepadDefinder*)> snapshot;
    std::function<void(GamepadDefinder*)> snapshotAll;
    // Number of PNG files written into the folder.
    std::function<int(GamepadDefinder*, const QString& outputDir)> exportSnapshotsToDir;

    // The process-wide hooks.
    static DefinitionExchangeHooks& instance();
};
