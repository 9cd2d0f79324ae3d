#include "tests/support/SourceTreeFile.h"

#include "tools/console/ConsoleText.h"

#include <windows.h>

#include <algorithm>

namespace {
// The top of the tree as the build names it: UTF-8, forward slashes; blanks
// and letters outside ASCII may occur.
constexpr char kSourceTreeUtf8[] = VRL_SOURCE_TREE_UTF8;
// The registry script that the build wrote for the source language's server.
constexpr char kServerScriptUtf8[] = VRL_SERVER_SCRIPT_UTF8;
constexpr DWORD kReadChunk = 4096;

// Closes the file on destruction.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(const std::wstring& path)
        : handle_(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr))
    {
    }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    ~ReadOnlyFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }

    HANDLE Get() const { return handle_; }
    bool IsOpen() const { return handle_ != INVALID_HANDLE_VALUE; }

private:
    HANDLE handle_;
};
}

std::wstring HostPathOnDriveZ(const std::string& hostPathUtf8)
{
    std::wstring path = L"Z:" + FromUtf8(hostPathUtf8);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

namespace {
std::string ReadHostFile(const std::string& hostPathUtf8)
{
    const ReadOnlyFile file(HostPathOnDriveZ(hostPathUtf8));
    if (!file.IsOpen())
        return {};
    // A shared folder may hand a large file over in several short reads.
    std::string contents;
    char chunk[kReadChunk];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), chunk, kReadChunk, &read, nullptr))
            return {};
        if (read == 0)
            return contents;
        contents.append(chunk, read);
    }
}
}  // namespace

std::string ReadSourceTreeFile(const std::string& relativePath)
{
    return ReadHostFile(std::string(kSourceTreeUtf8) + "/" + relativePath);
}

std::string ReadServerScript()
{
    return ReadHostFile(kServerScriptUtf8);
}
