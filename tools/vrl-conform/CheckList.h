#pragma once
// The outcome of each conformance check, one line apiece, and the same as a
// JUnit report for a CI.

#include <windows.h>

#include <string>
#include <vector>

struct CheckOutcome {
    std::wstring name;
    bool passed = false;
    std::wstring detail;  // why it failed, or what it found
};

class CheckList {
public:
    // A check passes when `why` is empty; otherwise it failed for that reason.
    void Record(const wchar_t* name, const std::wstring& why);
    // A check that could not run, because one it needs failed.
    void NotRun(const wchar_t* name, const wchar_t* because);

    const std::vector<CheckOutcome>& Outcomes() const { return outcomes_; }
    size_t FailedCount() const;

    // "ok    name" or "FAILED name: why", then "N of M checks failed".
    std::wstring PlainReport() const;
    // A JUnit XML document: one test suite named after the file.
    std::wstring JUnitReport(const std::wstring& serverFile) const;

private:
    std::vector<CheckOutcome> outcomes_;
};
