// The module's private heaps: their set-up, teardown and rotation.

#include "server/ModuleHeap.h"

namespace {
constexpr DWORD kSerialisedHeap = 0;
constexpr SIZE_T kGrowableHeap = 0;
constexpr SIZE_T kNoInitialCommit = 0;
constexpr DWORD kNoFlags = 0;
constexpr SIZE_T kLargestSize = ~SIZE_T{0};

// Precedes every block in multi-heap mode; only its first word is written.
// It is as long as the platform's allocation alignment (8 bytes on 32-bit
// Windows, 16 on 64-bit), so that the block after it keeps that alignment.
struct alignas(MEMORY_ALLOCATION_ALIGNMENT) BlockHeader {
    HANDLE heap;
};
static_assert(sizeof(BlockHeader) == MEMORY_ALLOCATION_ALIGNMENT);

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
bool CreateExtraHeaps(ModuleHeap& heaps, DWORD heapMask)
{
    const DWORD count = heapMask + 1;
    auto* handles = static_cast<HANDLE*>(HeapAlloc(heaps.mainHeap, kNoFlags, count * sizeof(HANDLE)));
    if (!handles)
        return false;
    for (DWORD index = 0; index < count; ++index) {
        handles[index] = CreatePrivateHeap();
        if (!handles[index]) {
            while (index > 0)
                HeapDestroy(handles[--index]);
            HeapFree(heaps.mainHeap, kNoFlags, handles);
            return false;
        }
    }
    heaps.extraHeaps = handles;
    heaps.heapMask = heapMask;
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

void ModuleHeapCreate(ModuleHeap& heaps, HeapLayout layout)
{
    heaps.heapMask = 0;
    heaps.extraHeaps = nullptr;
    heaps.nextHeap = 0;
    heaps.mainHeap = CreatePrivateHeap();
    if (heaps.mainHeap && layout.multiHeap)
        CreateExtraHeaps(heaps, layout.heapMask);
}

void ModuleHeapSetup(ModuleHeap& heaps)
{
    ModuleHeapCreate(heaps, PlatformHeapLayout());
}

void ModuleHeapTeardown(ModuleHeap& heaps)
{
    if (!heaps.mainHeap)
        return;
    if (heaps.extraHeaps) {
        for (DWORD index = 0; index <= heaps.heapMask; ++index)
            HeapDestroy(heaps.extraHeaps[index]);
        heaps.extraHeaps = nullptr;
        heaps.heapMask = 0;
    }
    HeapDestroy(heaps.mainHeap);
    heaps.mainHeap = nullptr;
}

void* ExtraHeapAlloc(ModuleHeap& heaps, SIZE_T size)
{
    if (!FitsWithHeader(size))
        return nullptr;
    // Unsynchronised on purpose: a lost increment only skews the spread.
    const LONG turn = heaps.nextHeap;
    heaps.nextHeap = turn + 1;
    const HANDLE heap = heaps.extraHeaps[static_cast<DWORD>(turn) & heaps.heapMask];
    void* header = HeapAlloc(heap, kNoFlags, size + sizeof(BlockHeader));
    if (!header)
        return nullptr;
    static_cast<BlockHeader*>(header)->heap = heap;
    return BlockAfter(header);
}

void* ModuleHeapRealloc(ModuleHeap& heaps, void* block, SIZE_T size)
{
    if (!block)
        return ModuleHeapAlloc(heaps, size);
    if (!heaps.extraHeaps)
        return HeapReAlloc(heaps.mainHeap, kNoFlags, block, size);
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
