#include "tests/survival/FreshServer.h"

namespace {
template <class Function>
Function Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}
}

FreshServer::FreshServer() : module_(LoadLibraryW(kServerFileName))
{
    if (!module_)
        return;
    canUnloadNow_ = Export<CanUnloadNow>(module_, "DllCanUnloadNow");
    getClassObject_ = Export<GetClassObject>(module_, "DllGetClassObject");
    registerServer_ = Export<RegistrationExport>(module_, "DllRegisterServer");
    unregisterServer_ = Export<RegistrationExport>(module_, "DllUnregisterServer");
    AllocationFaults::ResetLiveHeapBlocks();
    faults_ = std::make_unique<AllocationFaults>(module_);
}

bool FreshServer::Unload()
{
    if (!module_)
        return ServerIsUnloaded();
    AllocationFaults::Disarm();
    faults_->LeaveInPlace();
    faults_.reset();
    FreeLibrary(module_);
    module_ = nullptr;
    return ServerIsUnloaded();
}

bool ServerIsUnloaded()
{
    return GetModuleHandleW(kServerFileName) == nullptr;
}
