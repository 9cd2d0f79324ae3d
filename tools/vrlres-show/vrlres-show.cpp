// Shows what a client gets from the Spanish language server: creates the
// resource object and prints the fixed values and every text of its string
// table, as UTF-8. By default it loads the DLL by path and asks its class
// object; with --registered it creates the object through the registry, by
// ProgID, as the discovery control does, and names the file that served it.
//
//   vrlres-show.exe [PATH-TO-DLL]
//   vrlres-show.exe --registered [PROGID | {CLSID}]

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "common/Guids.h"
#include "common/ServerIdentity.h"
#include "common/Ownership.h"
#include "common/ResourceIds.h"
#include "tools/console/ConsoleText.h"
#include "tools/console/ExitCodes.h"
#include "vrllocale.h"
#include "common/Win32Result.h"

namespace {

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

int ShowFromFile(const wchar_t* path)
{
    LoadedModule server(LoadLibraryW(path));
    if (!server)
        return Fail(L"LoadLibrary", LastErrorResult());
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    auto getClassObject = reinterpret_cast<GetClassObject>(
        reinterpret_cast<void (*)()>(GetProcAddress(server.Get(), "DllGetClassObject")));
    if (!getClassObject)
        return Fail(L"GetProcAddress(DllGetClassObject)", LastErrorResult());

    ComRef<IClassFactory> factory;
    HRESULT result = getClassObject(CLSID_LanguageServer, IID_IClassFactory, factory.PutVoid());
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
}

int wmain(int argc, wchar_t** argv)
{
    const bool registered = argc > 1 && lstrcmpW(argv[1], L"--registered") == 0;
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return Fail(L"CoInitializeEx", E_FAIL);
    int status = kExitSuccess;
    if (registered)
        status = ShowRegistered(argc > 2 ? argv[2] : ServerIdentity::kProgId);
    else
        status = ShowFromFile(argc > 1 ? argv[1] : ServerIdentity::kModuleFileName);
    CoUninitialize();
    return status;
}
