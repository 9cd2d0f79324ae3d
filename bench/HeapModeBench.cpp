// Two threads creating and releasing resource objects at once, with the
// module heap in multi-heap mode (four extra heaps, as on a two-processor
// machine of the older platforms) against single-heap mode, in one run.
// Reported only: the figure says what the extra heaps buy under contention.

#include <windows.h>

#include <cstdio>

#include "bench/Comparison.h"
#include "server/ModuleHeap.h"
#include "dll/ResourceObjectForms.h"
#include "server/ServerModule.h"

namespace {
constexpr int kThreads = 2;
constexpr int kPairsPerThread = 5000;
constexpr Repetition kRepetition{1, 12};
constexpr HeapLayout kTwoProcessorLayout = ChooseHeapLayout(VER_PLATFORM_WIN32_NT, 4, 2);
constexpr double kReportedOnly = 0;
constexpr int kSetupFailed = 2;

volatile LONG creationFailures = 0;

DWORD WINAPI CreateAndRelease(void*)
{
    for (int i = 0; i < kPairsPerThread; ++i) {
        IUnknown* object = nullptr;
        if (FAILED(CreateResourceObject(nullptr, IID_ILocaleResources, reinterpret_cast<void**>(&object)))) {
            InterlockedIncrement(&creationFailures);
            continue;
        }
        object->Release();
    }
    return 0;
}

// One call: both threads through all their pairs, on heaps of `layout`.
void TwoThreadsOn(HeapLayout layout)
{
    ModuleHeapTeardown(g_module->heap);
    ModuleHeapCreate(g_module->heap, layout);
    HANDLE threads[kThreads];
    for (HANDLE& thread : threads)
        thread = CreateThread(nullptr, 0, CreateAndRelease, nullptr, 0, nullptr);
    WaitForMultipleObjects(kThreads, threads, TRUE, INFINITE);
    for (HANDLE thread : threads)
        CloseHandle(thread);
}
}

int main()
{
    if (FAILED(ModuleStart(nullptr, GetModuleHandleW(nullptr))) || !kTwoProcessorLayout.multiHeap)
        return kSetupFailed;
    const ComparisonResult results[] = {
        Compare(
            "2 threads x CreateInstance + Release, multi-heap (4 extra heaps)",
            [] { TwoThreadsOn(kTwoProcessorLayout); }, "the same, single-heap", [] { TwoThreadsOn(kSingleHeap); },
            kRepetition, kReportedOnly),
    };
    ModuleStop();
    if (creationFailures != 0) {
        std::fprintf(stderr, "error: %ld creations failed\n", static_cast<long>(creationFailures));
        return kSetupFailed;
    }
    std::printf("Fastest of %d passes; one call is %d threads x %d creations and releases.\n\n", kRepetition.passes,
                kThreads, kPairsPerThread);
    PrintTable(results, static_cast<int>(sizeof results / sizeof results[0]));
    return 0;
}
