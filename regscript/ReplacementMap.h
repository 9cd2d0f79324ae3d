#pragma once
// The name-to-value pairs that a script's %NAME% references are replaced by.
// Names compare without regard to case in the ANSI code page; when a name is
// added twice, the first pair wins.

#include <windows.h>

// Longest %NAME% reference, in bytes.
constexpr int kReferenceNameMaxBytes = 31;

class ReplacementMap {
public:
    ReplacementMap();
    ReplacementMap(const ReplacementMap&) = delete;
    ReplacementMap& operator=(const ReplacementMap&) = delete;
    ~ReplacementMap();

    HRESULT Insert(const wchar_t* name, const wchar_t* value);
    // The value of the first pair whose name matches, owned by the map; or
    // null. Names longer than kReferenceNameMaxBytes in the ANSI code page
    // match no reference. Allocates nothing.
    const wchar_t* Lookup(const char* name) const;
    // Frees every pair; the pointer array and its capacity stay.
    HRESULT Reset();

    int Count() const { return count_; }
    int Capacity() const { return capacity_; }

private:
    struct Pair {
        wchar_t* name;
        wchar_t* value;
    };

    Pair** pairs_ = nullptr;
    int count_ = 0;
    int capacity_ = 0;
};
