#include "dll/ClassTable.h"

#include "common/Guids.h"
#include "common/ServerIdentity.h"
#include "dll/ResourceClassRegistry.h"
#include "dll/ResourceObjectForms.h"
#include "server/ClassFactory.h"

namespace {
const wchar_t* NoObjectDescription()
{
    return nullptr;
}

void NoClassInit(BOOL)
{
}
}

constinit ClassEntry g_classTable[] = {
    {&CLSID_LanguageServer, UpdateResourceClassRegistry, CreateClassFactory, CreateResourceObject, nullptr,
     NoObjectDescription, NoClassInit},
    {},
};
