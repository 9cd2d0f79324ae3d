// The module allocator. Blocks come from the module's private heap; the
// fields for extra heaps are kept in ServerModule, and a non-null extraHeaps
// would select the rotating form, but this server runs in single-heap mode.

#include "server/ModuleHeap.h"

#include "server/ServerModule.h"

namespace {
constexpr DWORD kSerialisedHeap = 0;
constexpr SIZE_T kGrowableHeap = 0;
}

void ModuleHeapSetup(ServerModule& module)
{
    module.mainHeap = HeapCreate(kSerialisedHeap, 0, kGrowableHeap);
    module.heapMask = 0;
    module.extraHeaps = nullptr;
}

void ModuleHeapTeardown(ServerModule& module)
{
    if (!module.mainHeap)
        return;
    if (module.extraHeaps) {
        for (DWORD index = 0; index <= module.heapMask; ++index)
            HeapDestroy(module.extraHeaps[index]);
        module.extraHeaps = nullptr;
    }
    HeapDestroy(module.mainHeap);
    module.mainHeap = nullptr;
}

void* ModuleAlloc(SIZE_T size)
{
    if (!g_module || !g_module->mainHeap)
        return nullptr;
    return HeapAlloc(g_module->mainHeap, 0, size);
}

void* ModuleRealloc(void* block, SIZE_T size)
{
    if (!block)
        return ModuleAlloc(size);
    return HeapReAlloc(g_module->mainHeap, 0, block, size);
}

void ModuleFree(void* block)
{
    if (block)
        HeapFree(g_module->mainHeap, 0, block);
}
