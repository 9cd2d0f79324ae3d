#include "tests/support/TaskMemoryCount.h"

TaskMemoryCount::TaskMemoryCount() : registered_(SUCCEEDED(CoRegisterMallocSpy(this)))
{
}

TaskMemoryCount::~TaskMemoryCount()
{
    if (registered_)
        CoRevokeMallocSpy();
}

HRESULT TaskMemoryCount::QueryInterface(REFIID iid, void** out)
{
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IMallocSpy)) {
        *out = static_cast<IMallocSpy*>(this);
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

void* TaskMemoryCount::PostAlloc(void* actual)
{
    if (actual)
        InterlockedIncrement(&live_);
    return actual;
}

void* TaskMemoryCount::PreFree(void* request, BOOL spied)
{
    if (request && spied)
        InterlockedDecrement(&live_);
    return request;
}

SIZE_T TaskMemoryCount::PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL spied)
{
    *newRequest = request;
    reallocChange_ = !request ? 1 : (size == 0 && spied ? -1 : 0);
    return size;
}

void* TaskMemoryCount::PostRealloc(void* actual, BOOL)
{
    if (reallocChange_ < 0 || (reallocChange_ > 0 && actual))
        InterlockedAdd(&live_, reallocChange_);
    return actual;
}
