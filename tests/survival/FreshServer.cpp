#include "tests/survival/FreshServer.h"

FreshServer::FreshServer() : module_(LoadLibraryW(kServerFileName))
{
    if (!module_)
        return;
    canUnloadNow_ = reinterpret_cast<CanUnloadNow>(reinterpret_cast<void*>(GetProcAddress(module_, "DllCanUnloadNow")));
    getClassObject_ =
        reinterpret_cast<GetClassObject>(reinterpret_cast<void*>(GetProcAddress(module_, "DllGetClassObject")));
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
