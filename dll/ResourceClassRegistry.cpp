// Registry entries of the resource class: its script, read from the module.

#include "dll/ResourceClassRegistry.h"

#include "registration/ModuleScript.h"
#include "server/ServerModule.h"

HRESULT UpdateResourceClassRegistry(BOOL doRegister)
{
    return ApplyModuleScript(*g_module, ServerScriptResourceId, doRegister, nullptr);
}
