#include "server/TerminationList.h"

#include "common/Ownership.h"

HRESULT TerminationListAdd(TerminationList& list, ModuleHeap& heaps, CRITICAL_SECTION& lock,
                           TerminationCallback callback, DWORD_PTR data)
{
    auto* node = static_cast<TerminationNode*>(ModuleHeapAlloc(heaps, sizeof(TerminationNode)));
    if (!node)
        return E_OUTOFMEMORY;
    node->callback = callback;
    node->data = data;
    CriticalSectionLock guard(lock);
    node->next = list.newest;
    list.newest = node;
    return S_OK;
}

void TerminationListRun(TerminationList& list, ModuleHeap& heaps)
{
    TerminationNode* node = list.newest;
    while (node) {
        node->callback(node->data);
        TerminationNode* next = node->next;
        ModuleHeapFree(heaps, node);
        node = next;
    }
    list.newest = nullptr;
}
