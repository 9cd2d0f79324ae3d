#pragma once
// A scratch area of the registry that the predefined root keys of this
// process are redirected into, so that scripts under test write nowhere else.

#include <windows.h>

#include <string>
#include <vector>

class TestArea {
public:
    // The roots are redirected to HKCU\Software\VrlDiscoveryTests\<name>\<root>,
    // each to a key of its own, or all to one key when `shareOneKey` is set.
    TestArea(const char* name, bool shareOneKey);
    TestArea(const TestArea&) = delete;
    TestArea& operator=(const TestArea&) = delete;
    ~TestArea();

    // Empties every scratch key.
    void Reset();
    bool IsEmpty() const;
    // Every key and value below the scratch keys, one sorted line each:
    // "HKCU\A" for a key, "HKCU\A [name] S text" for a value ([] the default).
    std::string Snapshot() const;
    // A new handle to a key of the area by its snapshot path ("HKCU\\A"), or null.
    HKEY OpenKey(const char* path, REGSAM rights) const;

    // Redirects `root` to `key` (for example a read-only handle) until the
    // next call or RestoreRedirects.
    static void Redirect(HKEY root, HKEY key);
    void RestoreRedirects();

private:
    struct Root {
        const char* label;
        HKEY predefined;
        HKEY scratch;
    };

    std::string areaPath_;
    std::vector<Root> roots_;
};

// The key root\path and everything below it, in the snapshot's form with
// `label` standing for root\path; empty when the key does not exist.
std::string SnapshotKey(HKEY root, const std::string& path, const std::string& label);

// Sorted lines of a snapshot-like text, for comparing without regard to order.
std::string SortedLines(const std::string& text);
