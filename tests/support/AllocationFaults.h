#pragma once
// Makes the Nth allocation that a module asks of the platform fail, and
// counts the module heap blocks it holds. Every allocation function the
// module imports is routed through a counting stand-in by patching its import
// address table: heap blocks and heaps (kernel32), task memory (ole32) and
// BSTRs (oleaut32). The counts are process-wide; one set of patches at a time.

#include <windows.h>

#include <memory>
#include <vector>

#include "tests/support/ImportPatch.h"

class AllocationFaults {
public:
    explicit AllocationFaults(HMODULE module);
    AllocationFaults(const AllocationFaults&) = delete;
    AllocationFaults& operator=(const AllocationFaults&) = delete;
    ~AllocationFaults();

    // From now on, the allocation numbered `n` (1 = the next) fails; 0: none.
    // Resets the count of allocations and of injected failures.
    static void FailNth(LONG n);
    static void Disarm() { FailNth(0); }
    // Allocations seen since FailNth, and whether one was made to fail.
    static LONG Allocations();
    static bool Injected();
    // Heap blocks allocated through the patched modules and not yet freed.
    static LONG LiveHeapBlocks();
    static void ResetLiveHeapBlocks();

    // For a module about to be unloaded: its table goes with it, so the
    // stand-ins are left in place and still count what it frees on its way out.
    void LeaveInPlace();

private:
    std::vector<std::unique_ptr<ImportPatch>> patches_;
};
