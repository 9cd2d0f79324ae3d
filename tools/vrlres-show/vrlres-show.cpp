// Shows what a client gets from a language server: creates the resource
// object and prints the fixed values and every text of its string table, as
// UTF-8. By default it loads a server file by path and asks its class object
// for the class that the file's own type library names, so any language's
// server will do; with --registered it creates the object through the
// registry, by ProgID, as the discovery control does, and names the file that
// served it. --class prints the class of a server file and loads nothing.

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "common/Guids.h"
#include "common/ServerIdentity.h"
#include "common/Ownership.h"
#include "common/ResourceIds.h"
#include "tools/console/ConsoleText.h"
#include "tools/console/ExitCodes.h"
#include "tools/serverfile/ServerFileClass.h"
#include "vrllocale.h"
#include "common/Win32Result.h"

namespace {

constexpr wchar_t kUsage[] = L"usage: vrlres-show [DLL]\n"
                             L"       vrlres-show --class DLL\n"
                             L"       vrlres-show --registered [PROGID | {CLSID}]\n"
                             L"\n"
                             L"  DLL          a language server file, of any language; it is loaded by\n"
                             L"               path and asked for the class its own type library names\n"
                             L"               (default: the Spanish server beside this tool)\n"
                             L"  --class DLL  prints the file's class: its CLSID and its class name\n"
                             L"  --registered creates the object through the registry, by ProgID or by\n"
                             L"               {CLSID} (default: the Spanish server's ProgID)\n"
                             L"  --help       prints this text\n";

using TextGetter = HRESULT (STDMETHODCALLTYPE ILocaleResources::*)(BSTR*);

void ShowText(ILocaleResources* resources, const wchar_t* label, TextGetter getter)
{
    UniqueBstr text;
    const HRESULT result = (resources->*getter)(text.Put());
    WriteUtf8(std::wstring(label) + L": " + (SUCCEEDED(result) ? Visible(text.Get()) : L"failed " + Hex(result)) +
              L"\n");
}

void ShowNumber(const wchar_t* label, HRESULT result, long value)
{
    WriteUtf8(std::wstring(label) + L": " + (SUCCEEDED(result) ? std::to_wstring(value) : L"failed " + Hex(result)) +
              L"\n");
}

int Fail(const wchar_t* what, HRESULT result)
{
    WriteUtf8(std::wstring(what) + L" failed: " + Hex(result) + L"\n");
    return kExitFailure;
}

// Every fixed value, then every text; 0, or 1 when a text cannot be read.
int ShowResources(ILocaleResources* resources)
{
    ShowText(resources, L"LanguageName", &ILocaleResources::LanguageName);
    ShowText(resources, L"FontName", &ILocaleResources::FontName);
    ShowText(resources, L"Version", &ILocaleResources::Version);
    ShowText(resources, L"HelpFilePath", &ILocaleResources::HelpFilePath);
    SHORT id = 0;
    HRESULT result = resources->PrimaryLanguageId(&id);
    ShowNumber(L"PrimaryLanguageId", result, id);
    result = resources->SubLanguageId(&id);
    ShowNumber(L"SubLanguageId", result, id);
    LONG number = 0;
    result = resources->LocaleNumber1(&number);
    ShowNumber(L"LocaleNumber1", result, number);
    result = resources->LocaleNumber2(&number);
    ShowNumber(L"LocaleNumber2", result, number);
    result = resources->LocaleNumber3(&number);
    ShowNumber(L"LocaleNumber3", result, number);

    WriteUtf8(L"Texts:\n");
    UniqueBstr text;
    for (LONG stringId = 0; stringId <= kLargestStringId; ++stringId) {
        result = resources->GetString(stringId, text.Put());
        if (FAILED(result))
            return Fail(L"GetString", result);
        if (text.Get())
            WriteUtf8(L"  " + std::to_wstring(stringId) + L"\t" + Visible(text.Get()) + L"\n");
    }
    return kExitSuccess;
}

// Reads the file's class and prints it, as "Class: {...} NAME"; the exit code
// of a failure, or kExitSuccess.
int ShowClassOfFile(const wchar_t* path, ServerFileClass* serverClass)
{
    const HRESULT result = ReadServerFileClass(path, serverClass);
    if (FAILED(result))
        return Fail(L"Reading the class of the file", result);
    WriteUtf8(L"Class: " + serverClass->clsidText + L" " + serverClass->className + L"\n");
    return kExitSuccess;
}

int ShowFromFile(const wchar_t* path)
{
    ServerFileClass serverClass;
    const int status = ShowClassOfFile(path, &serverClass);
    if (status != kExitSuccess)
        return status;
    LoadedModule server(LoadLibraryW(path));
    if (!server)
        return Fail(L"LoadLibrary", LastErrorResult());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void (*)()>(GetProcAddress(server.Get(), "DllGetClassObject")));
    if (!getClassObject)
        return Fail(L"GetProcAddress(DllGetClassObject)", LastErrorResult());

    ComRef<IClassFactory> factory;
    HRESULT result = getClassObject(serverClass.clsid, IID_IClassFactory, factory.PutVoid());
    if (FAILED(result))
        return Fail(L"DllGetClassObject", result);
    ComRef<ILocaleResources> resources;
    result = factory->CreateInstance(nullptr, IID_ILocaleResources, resources.PutVoid());
    if (FAILED(result))
        return Fail(L"CreateInstance", result);
    return ShowResources(resources.Get());
}

// `name` is a ProgID, or a class identifier in braces.
int ShowRegistered(const wchar_t* name)
{
    CLSID clsid{};
    const bool isClassId = name[0] == L'{';
    HRESULT result = isClassId ? CLSIDFromString(name, &clsid) : CLSIDFromProgID(name, &clsid);
    if (FAILED(result))
        return Fail(isClassId ? L"CLSIDFromString" : L"CLSIDFromProgID", result);
    ComRef<ILocaleResources> resources;
    result = CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ILocaleResources, resources.PutVoid());
    if (FAILED(result))
        return Fail(L"CoCreateInstance", result);
    // The module that holds the object's code.
    HMODULE server = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       *reinterpret_cast<LPCWSTR*>(resources.Get()), &server);
    wchar_t serverFile[MAX_PATH] = L"";
    if (server)
        GetModuleFileNameW(server, serverFile, MAX_PATH);
    WriteUtf8(std::wstring(L"Created: ") + name + L"\nServer file: " + serverFile + L"\n");
    return ShowResources(resources.Get());
}

// What the command line asks for.
enum class Mode { ShowFile, ShowClass, ShowRegistered, Help };

struct Request {
    Mode mode = Mode::ShowFile;
    const wchar_t* name = nullptr;  // the file, ProgID or {CLSID}; null for the default
};

// "--help", but also "-x": no server file's name starts with a dash.
bool IsFlag(const wchar_t* argument)
{
    return argument[0] == L'-';
}

// Fills `request`; false, having said why on the standard error, when the
// command line is not understood.
bool ParseArguments(int argc, wchar_t** argv, Request* request)
{
    int next = 1;
    if (next < argc && IsFlag(argv[next])) {
        const wchar_t* flag = argv[next++];
        if (lstrcmpW(flag, L"--help") == 0)
            request->mode = Mode::Help;
        else if (lstrcmpW(flag, L"--registered") == 0)
            request->mode = Mode::ShowRegistered;
        else if (lstrcmpW(flag, L"--class") == 0)
            request->mode = Mode::ShowClass;
        else {
            WriteUtf8(std::wstring(L"vrlres-show: unknown flag ") + flag + L" (see --help)\n", STD_ERROR_HANDLE);
            return false;
        }
    }
    if (next < argc && request->mode != Mode::Help)
        request->name = argv[next++];
    if (request->mode == Mode::ShowClass && !request->name) {
        WriteUtf8(L"vrlres-show: --class needs a server file\n", STD_ERROR_HANDLE);
        return false;
    }
    if (next < argc) {
        WriteUtf8(std::wstring(L"vrlres-show: unexpected argument ") + argv[next] + L" (see --help)\n",
                  STD_ERROR_HANDLE);
        return false;
    }
    return true;
}

int Run(const Request& request)
{
    if (request.mode == Mode::Help) {
        WriteUtf8(kUsage);
        return kExitSuccess;
    }
    if (request.mode == Mode::ShowRegistered)
        return ShowRegistered(request.name ? request.name : ServerIdentity::kProgId);
    if (request.mode == Mode::ShowClass) {
        ServerFileClass serverClass;
        return ShowClassOfFile(request.name, &serverClass);
    }
    return ShowFromFile(request.name ? request.name : ServerIdentity::kModuleFileName);
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    Request request;
    if (!ParseArguments(argc, argv, &request))
        return kExitUsage;
    if (request.mode == Mode::Help)
        return Run(request);
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return Fail(L"CoInitializeEx", E_FAIL);
    const int status = Run(request);
    CoUninitialize();
    return status;
}
