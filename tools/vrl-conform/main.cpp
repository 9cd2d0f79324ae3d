// vrl-conform: checks a language server file against the contract that the
// discovery control relies on, without touching the machine's registration:
// its object and class factory, the 20 operations of ILocaleResources
// early-bound and through IDispatch, its texts against the source
// language's, and its own registration, run into a scratch hive.
//
//   vrl-conform.exe FILE.dll [--junit REPORT.xml]
//   vrl-conform.exe --identity FILE.dll
//
// One line per check, then "N of M checks failed". Exit codes: 0 every check
// passed, 1 a check failed, 2 usage error (or a file that is not there).

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <cwchar>
#include <string>

#include "common/Ownership.h"
#include "common/Win32Result.h"
#include "registration/ScratchClassesRoot.h"
#include "tools/console/Arguments.h"
#include "tools/console/ConsoleText.h"
#include "tools/console/ExitCodes.h"
#include "tools/vrl-conform/CheckList.h"
#include "tools/vrl-conform/IdentityReport.h"
#include "tools/vrl-conform/InterfaceChecks.h"
#include "tools/vrl-conform/ObjectChecks.h"
#include "tools/vrl-conform/RegistrationChecks.h"
#include "tools/vrl-conform/ServerUnderTest.h"
#include "tools/vrl-conform/TextChecks.h"

namespace {

constexpr wchar_t kUsage[] = L"Usage: vrl-conform FILE.dll [--junit REPORT.xml]\n"
                             L"Checks a language server of the instrument-discovery control against the\n"
                             L"contract the control relies on: the object and its class factory (aggregation,\n"
                             L"DllCanUnloadNow), every operation of ILocaleResources early-bound and through\n"
                             L"IDispatch, null out pointers, GetIDsOfNames, the texts against the source\n"
                             L"language's (present, not empty, the same accelerators and trailing line\n"
                             L"breaks), and the file's own registration, run into a scratch hive: its rows,\n"
                             L"and that its removal leaves nothing. The machine's registration is not touched.\n"
                             L"\n"
                             L"  --junit REPORT.xml  also write the outcome as a JUnit report\n"
                             L"  --identity          check nothing: print the file's class, library and fixed\n"
                             L"                      values as one JSON document, without registering it\n"
                             L"  --help              this text\n"
                             L"\n"
                             L"Exit codes: 0 every check passed, 1 a check failed, 2 usage error.\n";

inline constexpr wchar_t kScratchClassesPrefix[] = L"Software\\VrlDiscoveryResES conformance classes ";

struct Options {
    std::wstring serverFile;
    std::wstring junitFile;
    bool identity = false;
    bool help = false;
};

bool ParseOptions(int argc, wchar_t** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        if (AsksForHelp(argv[i])) {
            options.help = true;
        } else if (IsOption(argv[i], L"--identity")) {
            options.identity = true;
        } else if (IsOption(argv[i], L"--junit")) {
            if (i + 1 >= argc) {
                WriteUtf8(L"vrl-conform: --junit needs a file name\n", STD_ERROR_HANDLE);
                return false;
            }
            options.junitFile = argv[++i];
        } else if (argv[i][0] == L'-' && argv[i][1] == L'-') {
            WriteUtf8(L"vrl-conform: unknown option \"" + std::wstring(argv[i]) + L"\"\n", STD_ERROR_HANDLE);
            return false;
        } else if (options.serverFile.empty()) {
            options.serverFile = argv[i];
        } else {
            WriteUtf8(L"vrl-conform: one server file at a time, not also \"" + std::wstring(argv[i]) + L"\"\n",
                      STD_ERROR_HANDLE);
            return false;
        }
    }
    if (options.serverFile.empty() && !options.help) {
        WriteUtf8(L"vrl-conform: no server file given\n", STD_ERROR_HANDLE);
        return false;
    }
    return true;
}

std::wstring FullPath(const std::wstring& path)
{
    wchar_t full[MAX_PATH * 2];
    const DWORD length = GetFullPathNameW(path.c_str(), MAX_PATH * 2, full, nullptr);
    return length > 0 && length < MAX_PATH * 2 ? std::wstring(full) : path;
}

HRESULT RegisterLibraryOf(const wchar_t* path)
{
    ComRef<ITypeLib> library;
    const HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, library.Put());
    if (FAILED(hr))
        return hr;
    return RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(path), nullptr);
}

// Late-bound calls find the interface's type information through the
// server's registered type library, which imports the sibling interface
// library, as they do where the control and the server are installed. Both
// are registered into the scratch classes root: the sibling library from this
// tool's own resources, and the server file's own.
HRESULT RegisterSiblingLibrary()
{
    wchar_t ownPath[MAX_PATH * 2];
    if (!GetModuleFileNameW(nullptr, ownPath, MAX_PATH * 2))
        return LastErrorResult();
    return RegisterLibraryOf(ownPath);
}

HRESULT RegisterServerLibrary(const std::wstring& serverFile)
{
    return RegisterLibraryOf(serverFile.c_str());
}

void RunChecks(const std::wstring& path, CheckList& checks)
{
    ServerUnderTest server(path);
    const std::wstring loaded = server.Load();
    checks.Record(L"load", loaded);
    const std::wstring classRead = loaded.empty() ? server.ReadClass() : L"the file did not load";
    checks.Record(L"type library", classRead);
    if (!loaded.empty() || !classRead.empty()) {
        const wchar_t* because = loaded.empty() ? L"the file's class is unknown" : L"the file did not load";
        for (const wchar_t* name :
             {L"class object", L"aggregation", L"unloading", L"QueryInterface", L"early-bound operations",
              L"null out pointers", L"GetIDsOfNames", L"IDispatch", L"texts", L"accelerators", L"trailing line breaks",
              L"registration", L"registration rows", L"removal"})
            checks.NotRun(name, because);
        return;
    }
    {
        const ScratchClassesRoot classes(kScratchClassesPrefix);
        const HRESULT sibling = SUCCEEDED(classes.Status()) ? RegisterSiblingLibrary() : classes.Status();
        if (SUCCEEDED(sibling))
            RegisterServerLibrary(server.Path());
        CheckObject(server, checks);
        CheckInterface(server, checks);
        CheckTexts(server, checks);
    }
    CheckRegistration(server, checks);
}

int ShowIdentity(const std::wstring& path)
{
    ServerUnderTest server(path);
    std::wstring why = server.Load();
    if (why.empty())
        why = server.ReadClass();
    std::wstring report;
    if (why.empty())
        why = IdentityReport(server, report);
    if (!why.empty()) {
        WriteUtf8(L"vrl-conform: " + path + L": " + why + L"\n", STD_ERROR_HANDLE);
        return kExitFailure;
    }
    WriteUtf8(report);
    return kExitSuccess;
}

bool WriteFileUtf8(const std::wstring& path, const std::wstring& text)
{
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), bytes.data(), size, nullptr, nullptr);
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    DWORD written = 0;
    const bool whole =
        WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) && written == bytes.size();
    return CloseHandle(file) && whole;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Options options;
    if (!ParseOptions(argc, argv, options)) {
        WriteUtf8(kUsage, STD_ERROR_HANDLE);
        return kExitUsage;
    }
    if (options.help) {
        WriteUtf8(kUsage);
        return kExitSuccess;
    }
    const std::wstring path = FullPath(options.serverFile);
    const DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        WriteUtf8(L"vrl-conform: " + options.serverFile + L": no such file\n", STD_ERROR_HANDLE);
        return kExitUsage;
    }
    const HRESULT initialised = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(initialised)) {
        WriteUtf8(L"vrl-conform: CoInitializeEx failed: " + Hex(initialised) + L"\n", STD_ERROR_HANDLE);
        return kExitFailure;
    }
    if (options.identity) {
        const int status = ShowIdentity(path);
        CoUninitialize();
        return status;
    }
    CheckList checks;
    RunChecks(path, checks);
    CoUninitialize();

    WriteUtf8(L"Server file: " + path + L"\n" + checks.PlainReport());
    if (!options.junitFile.empty() && !WriteFileUtf8(options.junitFile, checks.JUnitReport(path))) {
        WriteUtf8(L"vrl-conform: " + options.junitFile + L": cannot be written: " + Hex(LastErrorResult()) + L"\n",
                  STD_ERROR_HANDLE);
        return kExitFailure;
    }
    return checks.FailedCount() == 0 ? kExitSuccess : kExitFailure;
}
