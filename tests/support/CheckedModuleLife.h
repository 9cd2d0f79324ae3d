#pragma once
// The module record started and stopped by a test, with what start and stop
// must have done checked on the way: start publishes the record with the
// class table, the instance and a fresh private heap, and nothing locked or
// queued; stop empties the class-object cache and the termination list and
// destroys the heaps. Call through ASSERT_NO_FATAL_FAILURE.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "server/ServerModule.h"

namespace checked_module_life {
constexpr DWORD kHeapListCapacity = 256;

inline std::vector<HANDLE> ProcessHeaps()
{
    std::vector<HANDLE> heaps(kHeapListCapacity);
    heaps.resize(GetProcessHeaps(kHeapListCapacity, heaps.data()));
    return heaps;
}

inline bool IsProcessHeap(HANDLE heap)
{
    const std::vector<HANDLE> heaps = ProcessHeaps();
    return std::find(heaps.begin(), heaps.end(), heap) != heaps.end();
}
}  // namespace checked_module_life

inline void StartModuleChecked(ClassEntry* classTable, HINSTANCE instance = GetModuleHandleW(nullptr))
{
    ModuleStart(classTable, instance);
    ASSERT_NE(g_module, nullptr) << "start publishes the module record";
    EXPECT_EQ(g_module->classTable, classTable);
    EXPECT_EQ(g_module->moduleInstance, instance);
    EXPECT_EQ(g_module->resourceInstance, instance);
    EXPECT_EQ(g_module->typeLibInstance, instance);
    EXPECT_EQ(g_module->lockCount, 0);
    EXPECT_EQ(g_module->terminationList.newest, nullptr) << "nothing queued from an earlier life";
    ASSERT_NE(g_module->heap.mainHeap, nullptr) << "start makes the private heap";
    EXPECT_NE(g_module->heap.mainHeap, GetProcessHeap());
    EXPECT_TRUE(checked_module_life::IsProcessHeap(g_module->heap.mainHeap));
}

inline void StopModuleChecked()
{
    ASSERT_NE(g_module, nullptr) << "stop without start";
    std::vector<HANDLE> heaps{g_module->heap.mainHeap};
    if (g_module->heap.extraHeaps)
        heaps.insert(heaps.end(), g_module->heap.extraHeaps, g_module->heap.extraHeaps + g_module->heap.heapMask + 1);
    ModuleStop();
    for (const ClassEntry* entry = g_module->classTable; entry && entry->clsid; ++entry)
        EXPECT_EQ(entry->classObject, nullptr) << "stop releases every cached class object";
    EXPECT_EQ(g_module->terminationList.newest, nullptr) << "stop runs and empties the termination list";
    EXPECT_EQ(g_module->heap.mainHeap, nullptr);
    EXPECT_EQ(g_module->heap.extraHeaps, nullptr);
    for (HANDLE heap : heaps) {
        if (heap) {
            EXPECT_FALSE(checked_module_life::IsProcessHeap(heap)) << "stop destroys the module's heaps";
        }
    }
}
