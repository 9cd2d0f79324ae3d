#pragma once
// The module's private heaps: the main heap alone, or in multi-heap mode a
// power of two of extra heaps that blocks are spread over in rotation, each
// block then preceded by a header naming the heap it came from.

#include <windows.h>

#include "server/HeapLayout.h"

struct ModuleHeap {
    HANDLE mainHeap;
    // Number of extra heaps minus one; 0 without extra heaps.
    DWORD heapMask;
    HANDLE* extraHeaps;
    LONG nextHeap;
};

// Creates the heaps for the platform the module runs on.
void ModuleHeapSetup(ModuleHeap& heaps);
// Creates the main heap and, for a multi-heap layout, the extra heaps. When
// the handle array or an extra heap cannot be had, what was made goes again
// and the module runs on the main heap alone; without a main heap every
// allocation fails.
void ModuleHeapCreate(ModuleHeap& heaps, HeapLayout layout);
void ModuleHeapTeardown(ModuleHeap& heaps);

// The layout for the running platform and its processor count.
HeapLayout PlatformHeapLayout();

// The rotating forms of multi-heap mode.
void* ExtraHeapAlloc(ModuleHeap& heaps, SIZE_T size);
void ExtraHeapFree(void* block);
void* ModuleHeapRealloc(ModuleHeap& heaps, void* block, SIZE_T size);

// The single-heap forms stand here, inline, as object creation runs through
// them.
inline void* ModuleHeapAlloc(ModuleHeap& heaps, SIZE_T size)
{
    if (!heaps.mainHeap)
        return nullptr;
    if (heaps.extraHeaps)
        return ExtraHeapAlloc(heaps, size);
    return HeapAlloc(heaps.mainHeap, 0, size);
}

inline void ModuleHeapFree(ModuleHeap& heaps, void* block)
{
    if (!block)
        return;
    if (heaps.extraHeaps)
        ExtraHeapFree(block);
    else
        HeapFree(heaps.mainHeap, 0, block);
}
