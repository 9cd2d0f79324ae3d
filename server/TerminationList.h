#pragma once
// Callbacks run when the module stops, newest first. Nodes come from the
// module heap.

#include <windows.h>

#include "server/ModuleHeap.h"

using TerminationCallback = void (*)(DWORD_PTR data);

struct TerminationNode {
    TerminationCallback callback;
    DWORD_PTR data;
    TerminationNode* next;
};

struct TerminationList {
    TerminationNode* newest;
};

// Adds a callback under `lock`; E_OUTOFMEMORY when no node can be had.
HRESULT TerminationListAdd(TerminationList& list, ModuleHeap& heaps, CRITICAL_SECTION& lock,
                           TerminationCallback callback, DWORD_PTR data);
// Runs every callback, newest first, and frees the nodes.
void TerminationListRun(TerminationList& list, ModuleHeap& heaps);
