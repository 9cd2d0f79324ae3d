#include "tests/selfreg/SelfRegistrationSupport.h"

#include <objbase.h>

#include <vector>

namespace {

const wchar_t* const ScratchRoot = L"C:\\vrl-selfreg\\";
const wchar_t* const ManagerKey = L"CLSID\\{0002E005-0000-0000-C000-000000000046}";
const wchar_t* const SavedManagerKey = L"Software\\VrlDiscoveryTests\\SavedCategoriesManager";
constexpr DWORD kCannotStart = ~0u;

std::string Convert(UINT codePage, const std::wstring& text)
{
    const int size =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string converted(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), converted.data(), size, nullptr,
                        nullptr);
    return converted;
}

// A file's identity: its volume and its index on it.
bool Identify(const std::wstring& path, BY_HANDLE_FILE_INFORMATION& info)
{
    const HANDLE file = CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    const bool known = GetFileInformationByHandle(file, &info) != FALSE;
    CloseHandle(file);
    return known;
}

}  // namespace

std::wstring ToWide(const std::string& utf8)
{
    const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring converted(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), converted.data(), size);
    return converted;
}

std::string ToUtf8(const std::wstring& text)
{
    return Convert(CP_UTF8, text);
}

std::string ToAnsi(const std::wstring& text)
{
    return Convert(CP_ACP, text);
}

bool SurvivesAnsi(const std::wstring& text)
{
    const std::string ansi = ToAnsi(text);
    const int size = MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), nullptr, 0);
    std::wstring back(static_cast<size_t>(size), L'\0');
    MultiByteToWideChar(CP_ACP, 0, ansi.data(), static_cast<int>(ansi.size()), back.data(), size);
    return back == text;
}

std::wstring BuiltServer()
{
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    return FolderOf(self) + L"VrlDiscoveryResES.dll";
}

std::wstring FolderOf(const std::wstring& path)
{
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// The output goes through a file, not a pipe: services that the program
// starts may inherit its handles and outlive it.
DWORD RunProcess(const std::wstring& commandLine, std::string* output)
{
    wchar_t folder[MAX_PATH];
    wchar_t outputPath[MAX_PATH];
    if (!GetTempPathW(MAX_PATH, folder) || !GetTempFileNameW(folder, L"vrl", 0, outputPath))
        return kCannotStart;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    const HANDLE outputFile = CreateFileW(outputPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          &inheritable, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (outputFile == INVALID_HANDLE_VALUE)
        return kCannotStart;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outputFile;
    startup.hStdError = outputFile;
    PROCESS_INFORMATION process{};
    std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
    line.push_back(L'\0');
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &process)) {
        CloseHandle(outputFile);
        return kCannotStart;
    }
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD exitCode = kCannotStart;
    GetExitCodeProcess(process.hProcess, &exitCode);
    CloseHandle(process.hProcess);
    CloseHandle(process.hThread);
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    SetFilePointer(outputFile, 0, nullptr, FILE_BEGIN);
    while (ReadFile(outputFile, buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    CloseHandle(outputFile);
    if (output)
        *output = text;
    return exitCode;
}

DWORD Regsvr32(const std::wstring& flags, const std::wstring& server)
{
    return RunProcess(L"regsvr32.exe /s " + flags + L" \"" + server + L"\"");
}

std::wstring RegistryText(HKEY root, const std::wstring& path)
{
    wchar_t value[1024];
    DWORD size = sizeof value;
    if (RegGetValueW(root, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"";
    return value;
}

bool SameFile(const std::wstring& left, const std::wstring& right)
{
    BY_HANDLE_FILE_INFORMATION a{};
    BY_HANDLE_FILE_INFORMATION b{};
    return Identify(left, a) && Identify(right, b) && a.dwVolumeSerialNumber == b.dwVolumeSerialNumber &&
        a.nFileIndexHigh == b.nFileIndexHigh && a.nFileIndexLow == b.nFileIndexLow;
}

std::string LineAfter(const std::string& output, const std::string& prefix)
{
    const auto start = output.find(prefix);
    if (start == std::string::npos)
        return "";
    const auto from = start + prefix.size();
    return output.substr(from, output.find_first_of("\r\n", from) - from);
}

ScratchFolder::ScratchFolder(const std::wstring& name) : path_(ScratchRoot + name + L"\\")
{
    CreateDirectoryW(ScratchRoot, nullptr);
    CreateDirectoryW(path_.c_str(), nullptr);
}

ScratchFolder::~ScratchFolder()
{
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((path_ + L"*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            DeleteFileW((path_ + found.cFileName).c_str());
        } while (FindNextFileW(search, &found));
        FindClose(search);
    }
    RemoveDirectoryW(path_.c_str());
}

std::wstring ScratchFolder::Copy(const std::wstring& source, const std::wstring& name) const
{
    const std::wstring target = path_ + name;
    CopyFileW(source.c_str(), target.c_str(), FALSE);
    return target;
}

HiddenCategoriesManager::HiddenCategoriesManager()
{
    RegDeleteTreeW(HKEY_CURRENT_USER, SavedManagerKey);
    HKEY saved = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, SavedManagerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &saved, nullptr) !=
        ERROR_SUCCESS)
        return;
    const bool copied = RegCopyTreeW(HKEY_CLASSES_ROOT, ManagerKey, saved) == ERROR_SUCCESS;
    RegCloseKey(saved);
    hidden_ = copied && RegDeleteTreeW(HKEY_CLASSES_ROOT, ManagerKey) == ERROR_SUCCESS;
}

HiddenCategoriesManager::~HiddenCategoriesManager()
{
    if (!hidden_)
        return;
    HKEY restored = nullptr;
    if (RegCreateKeyExW(HKEY_CLASSES_ROOT, ManagerKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &restored, nullptr) ==
        ERROR_SUCCESS) {
        RegCopyTreeW(HKEY_CURRENT_USER, SavedManagerKey, restored);
        RegCloseKey(restored);
    }
    RegDeleteTreeW(HKEY_CURRENT_USER, SavedManagerKey);
}
