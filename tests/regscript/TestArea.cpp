#include "tests/regscript/TestArea.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

namespace {

const char* const TestsKeyPath = "Software\\VrlDiscoveryTests\\";

struct RootName {
    const char* label;
    HKEY predefined;
};

// HKPD is left out: the platform keeps it apart from the ordinary registry.
const RootName RedirectedRoots[] = {
    {"HKCR", HKEY_CLASSES_ROOT}, {"HKCU", HKEY_CURRENT_USER},   {"HKLM", HKEY_LOCAL_MACHINE},
    {"HKU", HKEY_USERS},         {"HKCC", HKEY_CURRENT_CONFIG}, {"HKDD", HKEY_DYN_DATA},
};

// The area cannot work without its keys: stop the whole run.
void Require(bool condition, const std::string& what)
{
    if (condition)
        return;
    std::fprintf(stderr, "test area: %s\n", what.c_str());
    std::abort();
}

HKEY CreateKey(HKEY parent, const std::string& path)
{
    HKEY key = nullptr;
    Require(RegCreateKeyExA(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
                ERROR_SUCCESS,
            "cannot create " + path);
    return key;
}

std::string DescribeData(DWORD type, const BYTE* data, DWORD size)
{
    char buffer[8];
    std::string text;
    switch (type) {
    case REG_SZ: return "S " + std::string(reinterpret_cast<const char*>(data), size ? size - 1 : 0);
    case REG_DWORD: return "D " + std::to_string(*reinterpret_cast<const DWORD*>(data));
    case REG_BINARY:
        text = "B ";
        for (DWORD i = 0; i < size; ++i) {
            std::snprintf(buffer, sizeof buffer, "%02x", data[i]);
            text += buffer;
        }
        return text;
    default: return "type " + std::to_string(type);
    }
}

void Describe(HKEY key, const std::string& path, std::vector<std::string>& lines)
{
    char name[16384];
    std::vector<BYTE> data(65536);
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof name;
        DWORD dataSize = static_cast<DWORD>(data.size());
        DWORD type = 0;
        if (RegEnumValueA(key, index, name, &nameSize, nullptr, &type, data.data(), &dataSize) != ERROR_SUCCESS)
            break;
        lines.push_back(path + " [" + name + "] " + DescribeData(type, data.data(), dataSize));
    }
    for (DWORD index = 0;; ++index) {
        DWORD nameSize = sizeof name;
        if (RegEnumKeyExA(key, index, name, &nameSize, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        const std::string childPath = path + "\\" + name;
        lines.push_back(childPath);
        HKEY child = nullptr;
        if (RegOpenKeyExA(key, name, 0, KEY_READ, &child) == ERROR_SUCCESS) {
            Describe(child, childPath, lines);
            RegCloseKey(child);
        }
    }
}

std::string JoinSorted(std::vector<std::string> lines)
{
    std::sort(lines.begin(), lines.end());
    std::string text;
    for (const auto& line : lines)
        text += line + "\n";
    return text;
}

}  // namespace

TestArea::TestArea(const char* name, bool shareOneKey) : areaPath_(std::string(TestsKeyPath) + name)
{
    RegDeleteTreeA(HKEY_CURRENT_USER, areaPath_.c_str());
    for (const auto& root : RedirectedRoots) {
        const std::string path = areaPath_ + "\\" + (shareOneKey ? "All" : root.label);
        roots_.push_back({root.label, root.predefined, CreateKey(HKEY_CURRENT_USER, path)});
    }
    RestoreRedirects();
    for (const auto& root : roots_)
        Redirect(root.predefined, root.scratch);
    if (shareOneKey)
        roots_.resize(1);
}

TestArea::~TestArea()
{
    for (const auto& root : RedirectedRoots)
        Redirect(root.predefined, nullptr);
    for (const auto& root : roots_)
        RegCloseKey(root.scratch);
    RegDeleteTreeA(HKEY_CURRENT_USER, areaPath_.c_str());
}

void TestArea::Redirect(HKEY root, HKEY key)
{
    Require(RegOverridePredefKey(root, key) == ERROR_SUCCESS, "cannot redirect a root key");
}

void TestArea::RestoreRedirects()
{
    for (const auto& root : roots_)
        Redirect(root.predefined, root.scratch);
}

void TestArea::Reset()
{
    for (const auto& root : roots_)
        Require(RegDeleteTreeA(root.scratch, nullptr) == ERROR_SUCCESS, "cannot reset");
}

bool TestArea::IsEmpty() const
{
    for (const auto& root : roots_) {
        DWORD subkeys = 1;
        DWORD values = 1;
        RegQueryInfoKeyA(root.scratch, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
        if (subkeys != 0 || values != 0)
            return false;
    }
    return true;
}

std::string TestArea::Snapshot() const
{
    std::vector<std::string> lines;
    for (const auto& root : roots_)
        Describe(root.scratch, root.label, lines);
    return JoinSorted(lines);
}

HKEY TestArea::OpenKey(const char* path, REGSAM rights) const
{
    const std::string text(path);
    const auto separator = text.find('\\');
    const std::string label = text.substr(0, separator);
    for (const auto& root : roots_) {
        if (label != root.label)
            continue;
        const std::string below = separator == std::string::npos ? "" : text.substr(separator + 1);
        HKEY key = nullptr;
        if (RegOpenKeyExA(root.scratch, below.c_str(), 0, rights, &key) != ERROR_SUCCESS)
            return nullptr;
        return key;
    }
    return nullptr;
}

std::string SortedLines(const std::string& text)
{
    std::vector<std::string> lines;
    std::string::size_type start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return JoinSorted(lines);
}

std::string SnapshotKey(HKEY root, const std::string& path, const std::string& label)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return "";
    std::vector<std::string> lines{label};
    Describe(key, label, lines);
    RegCloseKey(key);
    return JoinSorted(lines);
}
