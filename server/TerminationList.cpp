// Callbacks run when the module stops, newest first.

#include "server/ServerModule.h"
#include "server/Ownership.h"

HRESULT AddTerminationCallback(TerminationCallback callback, DWORD_PTR data)
{
    auto* node = static_cast<TerminationNode*>(ModuleAlloc(sizeof(TerminationNode)));
    if (!node)
        return E_OUTOFMEMORY;
    node->callback = callback;
    node->data = data;
    CriticalSectionLock lock(g_module->typeInfoLock);
    node->next = g_module->terminationList;
    g_module->terminationList = node;
    return S_OK;
}

void RunTerminationList(ServerModule& module)
{
    TerminationNode* node = module.terminationList;
    while (node) {
        node->callback(node->data);
        TerminationNode* next = node->next;
        ModuleFree(node);
        node = next;
    }
    module.terminationList = nullptr;
}
