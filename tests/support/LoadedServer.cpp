#include "tests/support/LoadedServer.h"

namespace {
template <class Function>
Function Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}

LoadedServer::LoadedServer(const std::wstring& path) : module_(LoadLibraryW(path.c_str()))
{
    if (!module_)
        return;
    canUnloadNow_ = Export<CanUnloadNowExport>(module_, "DllCanUnloadNow");
    getClassObject_ = Export<GetClassObjectExport>(module_, "DllGetClassObject");
    registerServer_ = Export<RegistrationExport>(module_, "DllRegisterServer");
    unregisterServer_ = Export<RegistrationExport>(module_, "DllUnregisterServer");
}

bool LoadedServer::Loaded() const
{
    return module_ && canUnloadNow_ && getClassObject_ && registerServer_ && unregisterServer_;
}

void LoadedServer::Unload()
{
    if (!module_)
        return;
    FreeLibrary(module_);
    module_ = nullptr;
    canUnloadNow_ = nullptr;
    getClassObject_ = nullptr;
    registerServer_ = nullptr;
    unregisterServer_ = nullptr;
}

bool ServerIsUnloaded()
{
    return GetModuleHandleW(kServerFileName) == nullptr;
}
