#include "server/ClassTable.h"

#include "server/ClassFactory.h"
#include "server/Guids.h"
#include "server/ObjectLifetime.h"

HRESULT UpdateResourceClassRegistry(BOOL doRegister);

namespace {
const wchar_t* NoObjectDescription()
{
    return nullptr;
}

// The component category is enrolled by DllRegisterServer itself.
const CategoryMapEntry* NoCategoryMap()
{
    return nullptr;
}

void NoClassInit(BOOL)
{
}
}

constinit ClassEntry g_classTable[] = {
    {&CLSID_VrlDiscoverySpanishResources, UpdateResourceClassRegistry, CreateClassFactory, CreateResourceObject,
     nullptr, NoObjectDescription, NoCategoryMap, NoClassInit},
    {},
};
