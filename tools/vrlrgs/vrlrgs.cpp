// vrlrgs: registers or unregisters a registry script file through the same
// engine as the server, or records what a server file's registration writes.
//
//   vrlrgs register|unregister SCRIPT-FILE [NAME=VALUE ...]
//   vrlrgs record SERVER-FILE INSTALLED-PATH HELP-DIRECTORY
//
// register and unregister print the resulting HRESULT as "hr=XXXXXXXX".
// record prints the rows (see RegistrationRecording.h) as UTF-8, or the
// HRESULT on the error stream. Exits 0 on success, 1 on failure and 2 on a
// bad command line.

#include <windows.h>
#include <shellapi.h>

#include <memory>

#include "regscript/ReplacementMap.h"
#include "regscript/ScriptEngine.h"
#include "regscript/ScriptLexer.h"
#include "server/ServerModule.h"
#include "tools/console/ConsoleText.h"
#include "tools/console/ExitCodes.h"
#include "tools/vrlrgs/RegistrationRecording.h"
#include "common/Win32Result.h"

namespace {

constexpr int kFirstPairArgument = 3;

void WriteOut(HANDLE stream, const char* text)
{
    DWORD written = 0;
    WriteFile(stream, text, lstrlenA(text), &written, nullptr);
}

int Usage()
{
    WriteOut(GetStdHandle(STD_ERROR_HANDLE),
             "usage: vrlrgs register|unregister SCRIPT-FILE [NAME=VALUE ...]\r\n"
             "       vrlrgs record SERVER-FILE INSTALLED-PATH HELP-DIRECTORY\r\n");
    return kExitUsage;
}

// The file's bytes followed by a NUL, from the process heap.
class ScriptFile {
public:
    ScriptFile(const ScriptFile&) = delete;
    ScriptFile& operator=(const ScriptFile&) = delete;
    ScriptFile() = default;
    ~ScriptFile() { HeapFree(GetProcessHeap(), 0, text_); }

    HRESULT Read(const char* path)
    {
        HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        if (file == INVALID_HANDLE_VALUE)
            return LastErrorResult();
        HRESULT hr = S_OK;
        const DWORD size = GetFileSize(file, nullptr);
        text_ = static_cast<char*>(HeapAlloc(GetProcessHeap(), 0, size + 1));
        DWORD read = 0;
        if (size == INVALID_FILE_SIZE || !text_)
            hr = E_OUTOFMEMORY;
        else if (!ReadFile(file, text_, size, &read, nullptr))
            hr = LastErrorResult();
        else
            text_[read] = '\0';
        CloseHandle(file);
        return hr;
    }

    const char* Text() const { return text_; }

private:
    char* text_ = nullptr;
};

// Adds NAME=VALUE (8-bit, ANSI code page) to the map.
HRESULT InsertPair(ReplacementMap& map, const char* pair)
{
    constexpr int kCommandLineMaxChars = 32768;
    wchar_t wide[kCommandLineMaxChars];
    if (MultiByteToWideChar(CP_ACP, 0, pair, -1, wide, kCommandLineMaxChars) <= 0)
        return E_INVALIDARG;
    wchar_t* separator = wide;
    while (*separator != L'\0' && *separator != L'=')
        ++separator;
    if (*separator == L'\0' || separator == wide)
        return E_INVALIDARG;
    *separator = L'\0';
    return map.Insert(wide, separator + 1);
}

HRESULT Run(ScriptMode mode, const char* path, int pairCount, char** pairs)
{
    ReplacementMap map;
    for (int i = 0; i < pairCount; ++i) {
        const HRESULT hr = InsertPair(map, pairs[i]);
        if (FAILED(hr))
            return hr;
    }
    ScriptFile script;
    const HRESULT hr = script.Read(path);
    if (FAILED(hr))
        return hr;
    ScriptLexer lexer(map);
    return ApplyScript(lexer, script.Text(), mode);
}

bool IsWellFormedPair(const char* argument)
{
    for (const char* c = argument + 1; *c != '\0'; ++c) {
        if (*c == '=')
            return argument[0] != '=';
    }
    return false;
}

// Frees what the shell's argument splitter allocated.
struct LocalMemoryFree {
    void operator()(wchar_t** memory) const { LocalFree(memory); }
};

// The record command, with its arguments read as UTF-16.
int Record()
{
    constexpr int kRecordArgumentCount = 5;
    int count = 0;
    const std::unique_ptr<wchar_t*, LocalMemoryFree> arguments(CommandLineToArgvW(GetCommandLineW(), &count));
    if (!arguments)
        return kExitFailure;
    if (count != kRecordArgumentCount)
        return Usage();
    const RecordingTargets targets{arguments.get()[2], arguments.get()[3], arguments.get()[4]};
    std::wstring rows;
    const HRESULT hr = RecordRegistration(targets, rows);
    if (FAILED(hr)) {
        WriteUtf8(L"vrlrgs: recording failed: " + Hex(hr) + L"\r\n", STD_ERROR_HANDLE);
        return kExitFailure;
    }
    WriteUtf8(rows);
    return kExitSuccess;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc >= 2 && lstrcmpiA(argv[1], "record") == 0) {
        ModuleStart(nullptr, GetModuleHandleW(nullptr));
        CoInitialize(nullptr);
        const int status = Record();
        CoUninitialize();
        ModuleStop();
        return status;
    }
    if (argc < kFirstPairArgument)
        return Usage();
    const bool doRegister = lstrcmpiA(argv[1], "register") == 0;
    if (!doRegister && lstrcmpiA(argv[1], "unregister") != 0)
        return Usage();
    for (int i = kFirstPairArgument; i < argc; ++i) {
        if (!IsWellFormedPair(argv[i]))
            return Usage();
    }

    ModuleStart(nullptr, GetModuleHandleW(nullptr));
    const HRESULT hr = Run(doRegister ? ScriptMode::Register : ScriptMode::Unregister, argv[2],
                           argc - kFirstPairArgument, argv + kFirstPairArgument);
    ModuleStop();

    char line[32];
    wsprintfA(line, "hr=%08lX\r\n", static_cast<unsigned long>(hr));
    WriteOut(GetStdHandle(STD_OUTPUT_HANDLE), line);
    return SUCCEEDED(hr) ? kExitSuccess : kExitFailure;
}
