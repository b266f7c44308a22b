// Plugin entry point. The Qt entry functions (instance and metadata query) are generated from
// JoyrelayProvider's Q_PLUGIN_METADATA; this reference pulls them into the module. The instance
// function creates the provider on the first request, keeps it in a guarded pointer and hands out
// the same object until it is destroyed.
#include "actionlinker.h"
#include "joyrelayprovider.h"

const QMetaObject* joyrelayProviderMetaObject()
{
    return &JoyrelayProvider::staticMetaObject;
}

namespace {
// The host creates the mapping panel by its type name once the plugin file is loaded.
const int actionLinkerType = registerActionLinkerType();
} // namespace
