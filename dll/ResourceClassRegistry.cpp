// Registry entries of the resource class: its script, read from the module.

#include "dll/ResourceClassRegistry.h"

#include "registration/ModuleScript.h"
#include "server/ServerModule.h"

HRESULT UpdateResourceClassRegistry(RegistryUpdate update)
{
    return ApplyModuleScript(*g_module, kServerScriptResourceId, update, nullptr);
}
