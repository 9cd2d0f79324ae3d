#pragma once
// The allocation-failure walk: a run is repeated with its first allocation
// failing, then its second, and so on, until a run completes without needing
// a failure. Each run checks its own outcome.

#include <windows.h>

#include <gtest/gtest.h>

// No scenario of the server makes more allocations than this.
inline constexpr LONG kLongestWalk = 200;

// run(n) arms AllocationFaults::FailNth(n) where its work starts and answers
// whether a failure was injected. Returns the number of runs.
template <class Run>
LONG WalkAllocationFailures(const char* name, Run run)
{
    for (LONG n = 1; n <= kLongestWalk; ++n) {
        if (!run(n))
            return n;
    }
    ADD_FAILURE() << name << ": still allocating after " << kLongestWalk << " runs";
    return kLongestWalk;
}

// True when hr is one of the codes a run may end with after a failure.
inline bool IsOneOf(HRESULT hr, std::initializer_list<HRESULT> codes)
{
    for (HRESULT code : codes) {
        if (hr == code)
            return true;
    }
    return false;
}
