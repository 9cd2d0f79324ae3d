#pragma once
// Counts the task memory blocks (and, with OANOCACHE set, the BSTRs) that
// are allocated and not yet freed in the process while it is registered.

#include <windows.h>
#include <objidl.h>

class TaskMemoryCount : public IMallocSpy {
public:
    // Registers itself; Registered() tells whether that worked.
    TaskMemoryCount();
    TaskMemoryCount(const TaskMemoryCount&) = delete;
    TaskMemoryCount& operator=(const TaskMemoryCount&) = delete;
    ~TaskMemoryCount();

    bool Registered() const { return registered_; }
    LONG Live() const { return live_; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    SIZE_T STDMETHODCALLTYPE PreAlloc(SIZE_T size) override { return size; }
    void* STDMETHODCALLTYPE PostAlloc(void* actual) override;
    void* STDMETHODCALLTYPE PreFree(void* request, BOOL spied) override;
    void STDMETHODCALLTYPE PostFree(BOOL) override {}
    SIZE_T STDMETHODCALLTYPE PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL spied) override;
    void* STDMETHODCALLTYPE PostRealloc(void* actual, BOOL spied) override;
    void* STDMETHODCALLTYPE PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T STDMETHODCALLTYPE PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    void* STDMETHODCALLTYPE PreDidAlloc(void* request, BOOL) override { return request; }
    int STDMETHODCALLTYPE PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void STDMETHODCALLTYPE PreHeapMinimize() override {}
    void STDMETHODCALLTYPE PostHeapMinimize() override {}

private:
    volatile LONG live_ = 0;
    bool registered_ = false;
    // What the realloc under way does to the count: +1 from null, -1 to size 0.
    LONG reallocChange_ = 0;
};
