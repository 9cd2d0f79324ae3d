// The module allocator in both modes: the choice of mode from platform and
// processor count, the rotation over the extra heaps, the block header, and
// what setup does when heaps or the handle array cannot be had.

#include <windows.h>

#include <gtest/gtest.h>

#include "server/ModuleHeap.h"
#include "server/ServerModule.h"
#include "tests/support/CheckedModuleLife.h"
#include "tests/support/AllocationFaults.h"

namespace {
constexpr DWORD kWindows9x = VER_PLATFORM_WIN32_WINDOWS;
constexpr DWORD kNt = VER_PLATFORM_WIN32_NT;
constexpr DWORD kZeroedRecord = 0;
constexpr HeapLayout kFourExtraHeaps = {true, 3};
constexpr SIZE_T kHeaderBytes = MEMORY_ALLOCATION_ALIGNMENT;

HANDLE HeapNamedBy(void* block)
{
    return *reinterpret_cast<HANDLE*>(static_cast<BYTE*>(block) - kHeaderBytes);
}

// A module started on this platform, then given the heaps of `layout`.
class ModuleHeapTest : public ::testing::Test {
protected:
    void StartWith(HeapLayout layout)
    {
        ASSERT_NO_FATAL_FAILURE(StartModuleChecked(nullptr));
        ModuleHeapTeardown(g_module->heap);
        ModuleHeapCreate(g_module->heap, layout);
    }
    void TearDown() override
    {
        AllocationFaults::Disarm();
        StopModuleChecked();
    }
};
}

TEST(HeapLayoutChoice, ExtraHeapsFollowTheProcessorTable)
{
    struct Row {
        DWORD processors;
        DWORD heapMask;
    };
    const Row table[] = {{2, 3},   {3, 3},   {4, 7},   {6, 7},   {7, 7},  {8, 15},
                         {15, 15}, {16, 31}, {31, 31}, {32, 63}, {63, 63}};
    for (const Row& row : table) {
        for (DWORD platform : {kWindows9x, kZeroedRecord}) {
            const HeapLayout layout = ChooseHeapLayout(platform, 4, row.processors);
            EXPECT_TRUE(layout.multiHeap) << row.processors;
            EXPECT_EQ(layout.heapMask, row.heapMask) << row.processors;
        }
        EXPECT_EQ(ChooseHeapLayout(kNt, 4, row.processors).heapMask, row.heapMask) << row.processors;
        EXPECT_EQ(ChooseHeapLayout(kNt, 3, row.processors).heapMask, row.heapMask) << row.processors;
    }
}

TEST(HeapLayoutChoice, NtFiveAndLaterAndOneProcessorUseTheMainHeapAlone)
{
    for (DWORD processors : {0u, 1u, 2u, 8u, 64u}) {
        EXPECT_FALSE(ChooseHeapLayout(kNt, 5, processors).multiHeap) << processors;
        EXPECT_FALSE(ChooseHeapLayout(kNt, 6, processors).multiHeap) << processors;
        EXPECT_EQ(ChooseHeapLayout(kNt, 10, processors).heapMask, 0u) << processors;
    }
    for (DWORD platform : {kWindows9x, kNt, kZeroedRecord}) {
        EXPECT_FALSE(ChooseHeapLayout(platform, 4, 1).multiHeap) << platform;
        EXPECT_FALSE(ChooseHeapLayout(platform, 4, 0).multiHeap) << platform;
    }
    // Major version 5 counts only on NT.
    EXPECT_TRUE(ChooseHeapLayout(kWindows9x, 5, 2).multiHeap);
}

TEST(HeapLayoutChoice, ThisPlatformRunsOnTheMainHeapAlone)
{
    EXPECT_FALSE(PlatformHeapLayout().multiHeap);
    ASSERT_NO_FATAL_FAILURE(StartModuleChecked(nullptr));
    EXPECT_EQ(g_module->heap.extraHeaps, nullptr);
    EXPECT_EQ(g_module->heap.heapMask, 0u);
    void* block = ModuleAlloc(0);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(HeapValidate(g_module->heap.mainHeap, 0, block)) << "no header in single-heap mode";
    EXPECT_EQ(HeapSize(g_module->heap.mainHeap, 0, block), 0u);
    ModuleFree(block);
    EXPECT_NO_FATAL_FAILURE(StopModuleChecked());
}

TEST_F(ModuleHeapTest, BlocksRotateOverTheExtraHeapsAndNameTheirHeap)
{
    StartWith(kFourExtraHeaps);
    ASSERT_NE(g_module->heap.extraHeaps, nullptr);
    ASSERT_EQ(g_module->heap.heapMask, 3u);
    void* blocks[5];
    for (int i = 0; i < 5; ++i) {
        blocks[i] = ModuleAlloc(16);
        ASSERT_NE(blocks[i], nullptr);
        const HANDLE expected = g_module->heap.extraHeaps[i % 4];
        EXPECT_EQ(HeapNamedBy(blocks[i]), expected) << i;
        EXPECT_TRUE(HeapValidate(expected, 0, static_cast<BYTE*>(blocks[i]) - kHeaderBytes)) << i;
        EXPECT_EQ(HeapSize(expected, 0, static_cast<BYTE*>(blocks[i]) - kHeaderBytes), 16 + kHeaderBytes);
        // The header keeps the platform's alignment: 16 bytes on 64-bit Windows.
        EXPECT_EQ(reinterpret_cast<UINT_PTR>(blocks[i]) % MEMORY_ALLOCATION_ALIGNMENT, 0u) << i;
    }
    EXPECT_EQ(g_module->heap.nextHeap, 5);

    // A reallocated block stays in its heap, header and contents with it.
    static_cast<char*>(blocks[1])[0] = 'x';
    void* grown = ModuleRealloc(blocks[1], 64 * 1024);
    ASSERT_NE(grown, nullptr);
    EXPECT_EQ(HeapNamedBy(grown), g_module->heap.extraHeaps[1]);
    EXPECT_EQ(static_cast<char*>(grown)[0], 'x');
    EXPECT_TRUE(HeapValidate(g_module->heap.extraHeaps[1], 0, static_cast<BYTE*>(grown) - kHeaderBytes));
    EXPECT_EQ(reinterpret_cast<UINT_PTR>(grown) % MEMORY_ALLOCATION_ALIGNMENT, 0u);
    blocks[1] = grown;

    // Reallocating null allocates, in the next heap of the rotation.
    void* fresh = ModuleRealloc(nullptr, 0);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(HeapNamedBy(fresh), g_module->heap.extraHeaps[1]);
    EXPECT_EQ(HeapSize(g_module->heap.extraHeaps[1], 0, static_cast<BYTE*>(fresh) - kHeaderBytes), kHeaderBytes);

    // Freeing goes to the heap the header names, whatever the rotation says.
    for (void* block : blocks)
        ModuleFree(block);
    ModuleFree(fresh);
    ModuleFree(nullptr);
    for (DWORD i = 0; i <= g_module->heap.heapMask; ++i)
        EXPECT_TRUE(HeapValidate(g_module->heap.extraHeaps[i], 0, nullptr)) << i;

    // Sizes that leave no room for the header are refused, not wrapped.
    EXPECT_EQ(ModuleAlloc(~SIZE_T{0} - 3), nullptr);
}

TEST_F(ModuleHeapTest, WithoutAMainHeapEveryAllocationFails)
{
    ASSERT_NO_FATAL_FAILURE(StartModuleChecked(nullptr));
    ModuleHeapTeardown(g_module->heap);
    AllocationFaults faults(GetModuleHandleW(nullptr));
    AllocationFaults::FailNth(1);
    ModuleHeapCreate(g_module->heap, kFourExtraHeaps);
    EXPECT_EQ(AllocationFaults::Allocations(), 1) << "nothing is tried after the main heap failed";
    AllocationFaults::Disarm();
    EXPECT_EQ(g_module->heap.mainHeap, nullptr);
    EXPECT_EQ(g_module->heap.extraHeaps, nullptr);
    EXPECT_EQ(ModuleAlloc(16), nullptr);
    EXPECT_EQ(ModuleRealloc(nullptr, 16), nullptr);
    EXPECT_EQ(AddTerminationCallback([](DWORD_PTR) {}, 0), E_OUTOFMEMORY);
}

TEST_F(ModuleHeapTest, AMissingExtraHeapOrHandleArrayFallsBackToTheMainHeap)
{
    ASSERT_NO_FATAL_FAILURE(StartModuleChecked(nullptr));
    // Main heap, handle array, four extra heaps: fail each step after the first.
    for (LONG failing = 2; failing <= 6; ++failing) {
        ModuleHeapTeardown(g_module->heap);
        HANDLE before[64];
        const DWORD heapsBefore = GetProcessHeaps(64, before);
        {
            AllocationFaults faults(GetModuleHandleW(nullptr));
            AllocationFaults::FailNth(failing);
            ModuleHeapCreate(g_module->heap, kFourExtraHeaps);
            EXPECT_TRUE(AllocationFaults::Injected()) << failing;
            AllocationFaults::Disarm();
        }
        ASSERT_NE(g_module->heap.mainHeap, nullptr) << failing;
        EXPECT_EQ(g_module->heap.extraHeaps, nullptr) << failing;
        EXPECT_EQ(g_module->heap.heapMask, 0u) << failing;
        HANDLE after[64];
        EXPECT_EQ(GetProcessHeaps(64, after), heapsBefore + 1) << "only the main heap is left, step " << failing;

        void* block = ModuleAlloc(16);
        ASSERT_NE(block, nullptr) << failing;
        EXPECT_TRUE(HeapValidate(g_module->heap.mainHeap, 0, block)) << failing;
        ModuleFree(block);
        PROCESS_HEAP_ENTRY entry{};
        int busy = 0;
        while (HeapWalk(g_module->heap.mainHeap, &entry))
            busy += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
        EXPECT_EQ(busy, 0) << "the handle array went back, step " << failing;
    }
}

TEST_F(ModuleHeapTest, TeardownDestroysEveryHeap)
{
    HANDLE before[64];
    const DWORD heapsBefore = GetProcessHeaps(64, before);
    StartWith(kFourExtraHeaps);
    HANDLE during[64];
    EXPECT_EQ(GetProcessHeaps(64, during), heapsBefore + 5);
    ModuleAlloc(32);
    EXPECT_NO_FATAL_FAILURE(StopModuleChecked());
    HANDLE after[64];
    EXPECT_EQ(GetProcessHeaps(64, after), heapsBefore);
    ASSERT_NO_FATAL_FAILURE(StartModuleChecked(nullptr));
}
