#pragma once
// How many private heaps the module allocator uses. The choice depends only on
// the platform and the processor count: Windows NT 5.0 and later, and every
// machine with one processor, use the main heap alone; older platforms with
// more processors spread blocks over a power of two of extra heaps, the
// largest not above twice the processor count.

#include <windows.h>

struct HeapLayout {
    bool multiHeap;
    // Number of extra heaps minus one (all ones in its low bits); 0 with the
    // main heap alone.
    DWORD heapMask;
};

inline constexpr DWORD kFirstMajorVersionWithSingleHeap = 5;
inline constexpr HeapLayout kSingleHeap = {false, 0};

constexpr HeapLayout ChooseHeapLayout(DWORD platformId, DWORD majorVersion, DWORD processorCount)
{
    if (platformId == VER_PLATFORM_WIN32_NT && majorVersion >= kFirstMajorVersionWithSingleHeap)
        return kSingleHeap;
    if (processorCount <= 1)
        return kSingleHeap;
    constexpr DWORD kTopBit = 0x80000000u;
    constexpr int kBits = 32;
    DWORD doubled = 2 * processorCount;
    DWORD mask = 0xFFFFFFFFu;
    for (int step = 0; step < kBits && !(doubled & kTopBit); ++step) {
        doubled <<= 1;
        mask >>= 1;
    }
    return {true, mask >> 1};
}
