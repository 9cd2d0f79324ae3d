#include "tools/vrl-conform/IdentityReport.h"

#include "common/Guids.h"
#include "tools/console/ConsoleText.h"
#include "tools/serverfile/ServerFileClass.h"
#include "vrllocale.h"

namespace {

std::wstring JsonText(const std::wstring& text)
{
    std::wstring json = L"\"";
    for (const wchar_t unit : text) {
        if (unit == L'"' || unit == L'\\') {
            json += L'\\';
            json += unit;
        } else if (unit < L' ') {
            wchar_t escaped[8];
            wsprintfW(escaped, L"\\u%04x", static_cast<unsigned>(unit));
            json += escaped;
        } else {
            json += unit;
        }
    }
    return json + L"\"";
}

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[kGuidTextCapacity];
    StringFromGUID2(guid, text, kGuidTextCapacity);
    return text;
}

using TextGetter = HRESULT (STDMETHODCALLTYPE ILocaleResources::*)(BSTR*);

HRESULT ReadText(ILocaleResources* resources, TextGetter getter, std::wstring& value)
{
    UniqueBstr text;
    const HRESULT hr = (resources->*getter)(text.Put());
    if (SUCCEEDED(hr))
        value.assign(text.Get() ? text.Get() : L"", SysStringLen(text.Get()));
    return hr;
}

}  // namespace

std::wstring IdentityReport(const ServerUnderTest& server, std::wstring& report)
{
    ServerFileClass served;
    HRESULT hr = ReadServerFileClass(server.Path().c_str(), &served);
    if (FAILED(hr))
        return L"the file's type library names no class: " + Hex(hr);
    ComRef<ILocaleResources> resources;
    hr = server.CreateObject(resources);
    if (FAILED(hr))
        return L"the object cannot be created: " + Hex(hr);
    std::wstring font, language, version, help;
    LONG numbers[3] = {};
    SHORT primary = 0, sub = 0;
    if (FAILED(ReadText(resources.Get(), &ILocaleResources::FontName, font)) ||
        FAILED(ReadText(resources.Get(), &ILocaleResources::LanguageName, language)) ||
        FAILED(ReadText(resources.Get(), &ILocaleResources::Version, version)) ||
        FAILED(ReadText(resources.Get(), &ILocaleResources::HelpFilePath, help)) ||
        FAILED(resources->LocaleNumber1(&numbers[0])) || FAILED(resources->LocaleNumber2(&numbers[1])) ||
        FAILED(resources->LocaleNumber3(&numbers[2])) || FAILED(resources->PrimaryLanguageId(&primary)) ||
        FAILED(resources->SubLanguageId(&sub)))
        return L"a fixed value cannot be read";
    const ServerClass& identity = server.Class();
    report = L"{\n  \"clsid\": " + JsonText(served.clsidText) + L",\n  \"className\": " + JsonText(served.className) +
        L",\n  \"libid\": " + JsonText(GuidText(identity.libid)) + L",\n  \"languageName\": " + JsonText(language) +
        L",\n  \"font\": " + JsonText(font) + L",\n  \"versionText\": " + JsonText(version) + L",\n  \"helpFile\": " +
        JsonText(help) + L",\n  \"reportedPrimaryLanguage\": " + std::to_wstring(primary) +
        L",\n  \"reportedSubLanguage\": " + std::to_wstring(sub) + L",\n  \"numbers\": [" +
        std::to_wstring(numbers[0]) + L", " + std::to_wstring(numbers[1]) + L", " + std::to_wstring(numbers[2]) +
        L"]\n}\n";
    return {};
}
