#include "tests/survival/FreshServer.h"

FreshServer::FreshServer()
{
    if (!server_.Module())
        return;
    AllocationFaults::ResetLiveHeapBlocks();
    faults_ = std::make_unique<AllocationFaults>(server_.Module());
}

bool FreshServer::Unload()
{
    if (faults_) {
        AllocationFaults::Disarm();
        faults_->LeaveInPlace();
        faults_.reset();
    }
    server_.Unload();
    return ServerIsUnloaded();
}
