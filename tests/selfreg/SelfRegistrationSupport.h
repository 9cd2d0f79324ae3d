#pragma once
// What the self-registration tests do to the guest's prefix: run regsvr32
// and other programs, copy the server into scratch folders, read registered
// values back, and hide the categories manager for a while.

#include <windows.h>

#include <string>

constexpr DWORD kRegsvr32Success = 0;

std::wstring ToWide(const std::string& utf8);
std::string ToUtf8(const std::wstring& text);
// In the ANSI code page, as the registry's 8-bit functions give it.
std::string ToAnsi(const std::wstring& text);
bool SurvivesAnsi(const std::wstring& text);

// The server DLL of the build, beside this test program.
std::wstring BuiltServer();
// `path` up to and including its last backslash.
std::wstring FolderOf(const std::wstring& path);

// Runs `commandLine` and waits; its exit code, or ~0 when it cannot start.
// The program's standard output goes into `output` when one is given.
DWORD RunProcess(const std::wstring& commandLine, std::string* output = nullptr);
// regsvr32 /s [flags] "server"
DWORD Regsvr32(const std::wstring& flags, const std::wstring& server);

// The default value of root\path, or empty.
std::wstring RegistryText(HKEY root, const std::wstring& path);
// True when both paths open the same file.
bool SameFile(const std::wstring& left, const std::wstring& right);
// The rest of the line of `output` that starts with `prefix`.
std::string LineAfter(const std::string& output, const std::string& prefix);

// A folder of its own below C:\, removed with what was copied into it.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& name);
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder();

    // With a trailing backslash.
    const std::wstring& Path() const { return path_; }
    // Copies `source` into the folder as `name`; the copy's full path.
    std::wstring Copy(const std::wstring& source, const std::wstring& name) const;

private:
    std::wstring path_;
};

// Takes the categories manager's class registration away, and gives it back
// when it goes out of scope.
class HiddenCategoriesManager {
public:
    HiddenCategoriesManager();
    HiddenCategoriesManager(const HiddenCategoriesManager&) = delete;
    HiddenCategoriesManager& operator=(const HiddenCategoriesManager&) = delete;
    ~HiddenCategoriesManager();

    bool IsHidden() const { return hidden_; }

private:
    bool hidden_ = false;
};
