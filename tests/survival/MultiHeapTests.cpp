// The server in a process that the platform reports as Windows NT 4.0, on
// the guest's two processors: multi-heap mode, seen from outside. Run only
// by multiheap-test.sh, which sets the program's reported version.

#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "common/Guids.h"
#include "common/ServerIdentity.h"
#include "common/Ownership.h"
#include "tests/survival/FreshServer.h"
#include "vrllocale.h"

namespace {
constexpr DWORD kHeapListCapacity = 256;
constexpr SIZE_T kHeaderBytes = MEMORY_ALLOCATION_ALIGNMENT;
constexpr size_t kExtraHeaps = 4;
constexpr int kObjects = 8;

std::vector<HANDLE> ProcessHeaps()
{
    std::vector<HANDLE> heaps(kHeapListCapacity);
    heaps.resize(GetProcessHeaps(kHeapListCapacity, heaps.data()));
    return heaps;
}

HANDLE HeapNamedBy(const void* block)
{
    return *reinterpret_cast<const HANDLE*>(static_cast<const BYTE*>(block) - kHeaderBytes);
}

bool Contains(const std::vector<HANDLE>& heaps, HANDLE heap)
{
    return std::find(heaps.begin(), heaps.end(), heap) != heaps.end();
}
}

TEST(MultiHeapMode, OnNt4WithTwoProcessorsBlocksRotateOverFourExtraHeaps)
{
    OSVERSIONINFOA version{};
    version.dwOSVersionInfoSize = sizeof version;
    ASSERT_TRUE(GetVersionExA(&version));
    ASSERT_EQ(version.dwPlatformId, static_cast<DWORD>(VER_PLATFORM_WIN32_NT));
    ASSERT_EQ(version.dwMajorVersion, 4u) << "the program must be started with the reported version nt40";
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    ASSERT_GE(system.dwNumberOfProcessors, 2u);
    ASSERT_LE(system.dwNumberOfProcessors, 3u) << "the expected heap count is that of 2 or 3 processors";

    // The server's own imports are loaded first: they may make heaps of their own.
    for (const wchar_t* dll : {L"user32.dll", L"advapi32.dll", L"ole32.dll", L"oleaut32.dll"})
        ASSERT_NE(LoadLibraryW(dll), nullptr);
    const std::vector<HANDLE> before = ProcessHeaps();
    std::vector<HANDLE> made;
    {
        FreshServer server;
        ASSERT_TRUE(server.Loaded());
        for (HANDLE heap : ProcessHeaps()) {
            if (!Contains(before, heap))
                made.push_back(heap);
        }
        ASSERT_EQ(made.size(), 1 + kExtraHeaps) << "the main heap and four extra heaps";

        ComRef<IClassFactory> factory;
        ASSERT_EQ(server.ClassObject(CLSID_LanguageServer, IID_IClassFactory, factory.PutVoid()), S_OK);
        std::vector<ComRef<ILocaleResources>> objects(kObjects);
        std::vector<HANDLE> named;
        for (auto& object : objects) {
            ASSERT_EQ(factory->CreateInstance(nullptr, IID_ILocaleResources, object.PutVoid()), S_OK);
            const HANDLE heap = HeapNamedBy(object.Get());
            EXPECT_TRUE(Contains(made, heap)) << "the header names one of the server's heaps";
            EXPECT_TRUE(HeapValidate(heap, 0, reinterpret_cast<BYTE*>(object.Get()) - kHeaderBytes));
            named.push_back(heap);
        }
        // Consecutive blocks visit the four extra heaps in turn.
        for (int i = 0; i < kObjects; ++i) {
            for (int j = i + 1; j < i + static_cast<int>(kExtraHeaps) && j < kObjects; ++j)
                EXPECT_NE(named[i], named[j]) << i << " and " << j;
            if (i + static_cast<int>(kExtraHeaps) < kObjects)
                EXPECT_EQ(named[i], named[i + kExtraHeaps]) << i;
        }
        // The main heap names no block: it holds only the handle array.
        EXPECT_TRUE(Contains(made, HeapNamedBy(factory.Get())));
        EXPECT_NE(HeapNamedBy(factory.Get()), made.front());

        LONG number = 0;
        EXPECT_EQ(objects[3]->LocaleNumber3(&number), S_OK);
        EXPECT_EQ(number, 34);
        objects.clear();
        factory.Reset();
        EXPECT_EQ(server.CanUnload(), S_OK);
        EXPECT_TRUE(server.Unload());
        EXPECT_EQ(AllocationFaults::LiveHeapBlocks(), 0);
    }
    for (HANDLE heap : made)
        EXPECT_FALSE(Contains(ProcessHeaps(), heap)) << "every heap the server made is gone";
    EXPECT_EQ(ProcessHeaps().size(), before.size());
}
