// Shows what a client gets from the Spanish language server: loads the DLL by
// path, creates the resource object through its class object, and prints the
// fixed values and every text of its string table, as UTF-8.
//
//   vrlres-show.exe [PATH-TO-DLL]

#include <windows.h>
#include <oleauto.h>

#include <string>

#include "server/Guids.h"
#include "server/Ownership.h"
#include "tools/console/ConsoleText.h"
#include "vrllocale.h"

namespace {
constexpr LONG kLastStringId = 0xFFFF;

using TextGetter = HRESULT (STDMETHODCALLTYPE ILocaleResources::*)(BSTR*);

void ShowText(ILocaleResources* resources, const wchar_t* label, TextGetter getter)
{
    UniqueBstr text;
    const HRESULT result = (resources->*getter)(text.Put());
    WriteUtf8(std::wstring(label) + L": " + (SUCCEEDED(result) ? Visible(text.Get()) : L"failed " + Hex(result)) + L"\n");
}

void ShowNumber(const wchar_t* label, HRESULT result, long value)
{
    WriteUtf8(std::wstring(label) + L": " + (SUCCEEDED(result) ? std::to_wstring(value) : L"failed " + Hex(result)) + L"\n");
}

int Fail(const wchar_t* what, HRESULT result)
{
    WriteUtf8(std::wstring(what) + L" failed: " + Hex(result) + L"\n");
    return 1;
}
}

int wmain(int argc, wchar_t** argv)
{
    const wchar_t* path = argc > 1 ? argv[1] : L"VrlDiscoveryResES.dll";
    if (FAILED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)))
        return Fail(L"CoInitializeEx", E_FAIL);

    int status = 0;
    {
        LoadedModule server(LoadLibraryW(path));
        if (!server)
            return Fail(L"LoadLibrary", HRESULT_FROM_WIN32(GetLastError()));
        using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
        auto getClassObject = reinterpret_cast<GetClassObject>(GetProcAddress(server.Get(), "DllGetClassObject"));
        if (!getClassObject)
            return Fail(L"GetProcAddress(DllGetClassObject)", HRESULT_FROM_WIN32(GetLastError()));

        ComRef<IClassFactory> factory;
        HRESULT result = getClassObject(CLSID_VrlDiscoverySpanishResources, IID_IClassFactory, factory.PutVoid());
        if (FAILED(result))
            return Fail(L"DllGetClassObject", result);
        ComRef<ILocaleResources> resources;
        result = factory->CreateInstance(nullptr, IID_ILocaleResources, resources.PutVoid());
        if (FAILED(result))
            return Fail(L"CreateInstance", result);

        ShowText(resources.Get(), L"LanguageName", &ILocaleResources::LanguageName);
        ShowText(resources.Get(), L"FontName", &ILocaleResources::FontName);
        ShowText(resources.Get(), L"Version", &ILocaleResources::Version);
        ShowText(resources.Get(), L"HelpFilePath", &ILocaleResources::HelpFilePath);
        SHORT id = 0;
        result = resources->PrimaryLanguageId(&id);
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
        for (LONG stringId = 0; stringId <= kLastStringId; ++stringId) {
            result = resources->GetString(stringId, text.Put());
            if (FAILED(result)) {
                status = Fail(L"GetString", result);
                break;
            }
            if (text.Get())
                WriteUtf8(L"  " + std::to_wstring(stringId) + L"\t" + Visible(text.Get()) + L"\n");
        }
    }
    CoUninitialize();
    return status;
}
