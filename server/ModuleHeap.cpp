// The module allocator. Blocks come from the module's private heaps: from the
// main heap alone, or in rotation from the extra heaps, each block then
// preceded by a header naming the heap it came from.

#include "server/ModuleHeap.h"

#include "server/ServerModule.h"

namespace {
constexpr DWORD kSerialisedHeap = 0;
constexpr SIZE_T kGrowableHeap = 0;
constexpr SIZE_T kNoInitialCommit = 0;
constexpr DWORD kNoFlags = 0;
constexpr SIZE_T kLargestSize = ~SIZE_T{0};

// Precedes every block in multi-heap mode; only the first word is written.
struct BlockHeader {
    HANDLE heap;
    DWORD unused;
};
static_assert(sizeof(BlockHeader) == 8);

HANDLE CreatePrivateHeap()
{
    return HeapCreate(kSerialisedHeap, kNoInitialCommit, kGrowableHeap);
}

BlockHeader* HeaderOf(void* block)
{
    return static_cast<BlockHeader*>(block) - 1;
}

void* BlockAfter(void* header)
{
    return static_cast<BlockHeader*>(header) + 1;
}

// A size that leaves no room for the header is never asked of a heap.
bool FitsWithHeader(SIZE_T size)
{
    return size <= kLargestSize - sizeof(BlockHeader);
}

// Creates the extra heaps into a new handle array; on any failure destroys
// what it made and answers false.
bool CreateExtraHeaps(ServerModule& module, DWORD heapMask)
{
    const DWORD count = heapMask + 1;
    auto* heaps = static_cast<HANDLE*>(HeapAlloc(module.mainHeap, kNoFlags, count * sizeof(HANDLE)));
    if (!heaps)
        return false;
    for (DWORD index = 0; index < count; ++index) {
        heaps[index] = CreatePrivateHeap();
        if (!heaps[index]) {
            while (index > 0)
                HeapDestroy(heaps[--index]);
            HeapFree(module.mainHeap, kNoFlags, heaps);
            return false;
        }
    }
    module.extraHeaps = heaps;
    module.heapMask = heapMask;
    return true;
}
}

HeapLayout PlatformHeapLayout()
{
    // A failed query leaves the zeroed record, which reads as platform 0.
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    GetVersionExA(&version);
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    return ChooseHeapLayout(version.dwPlatformId, version.dwMajorVersion, system.dwNumberOfProcessors);
}

void ModuleHeapCreate(ServerModule& module, HeapLayout layout)
{
    module.heapMask = 0;
    module.extraHeaps = nullptr;
    module.nextHeap = 0;
    module.mainHeap = CreatePrivateHeap();
    if (module.mainHeap && layout.multiHeap)
        CreateExtraHeaps(module, layout.heapMask);
}

void ModuleHeapSetup(ServerModule& module)
{
    ModuleHeapCreate(module, PlatformHeapLayout());
}

void ModuleHeapTeardown(ServerModule& module)
{
    if (!module.mainHeap)
        return;
    if (module.extraHeaps) {
        for (DWORD index = 0; index <= module.heapMask; ++index)
            HeapDestroy(module.extraHeaps[index]);
        module.extraHeaps = nullptr;
        module.heapMask = 0;
    }
    HeapDestroy(module.mainHeap);
    module.mainHeap = nullptr;
}

void* ExtraHeapAlloc(ServerModule& module, SIZE_T size)
{
    if (!FitsWithHeader(size))
        return nullptr;
    // Unsynchronised on purpose: a lost increment only skews the spread.
    const LONG turn = module.nextHeap;
    module.nextHeap = turn + 1;
    const HANDLE heap = module.extraHeaps[static_cast<DWORD>(turn) & module.heapMask];
    void* header = HeapAlloc(heap, kNoFlags, size + sizeof(BlockHeader));
    if (!header)
        return nullptr;
    static_cast<BlockHeader*>(header)->heap = heap;
    return BlockAfter(header);
}

void* ModuleRealloc(void* block, SIZE_T size)
{
    if (!block)
        return ModuleAlloc(size);
    ServerModule* module = g_module;
    if (!module->extraHeaps)
        return HeapReAlloc(module->mainHeap, kNoFlags, block, size);
    if (!FitsWithHeader(size))
        return nullptr;
    BlockHeader* header = HeaderOf(block);
    void* moved = HeapReAlloc(header->heap, kNoFlags, header, size + sizeof(BlockHeader));
    return moved ? BlockAfter(moved) : nullptr;
}

void ExtraHeapFree(void* block)
{
    BlockHeader* header = HeaderOf(block);
    HeapFree(header->heap, kNoFlags, header);
}
