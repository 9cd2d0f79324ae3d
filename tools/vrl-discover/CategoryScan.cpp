#include "tools/vrl-discover/CategoryScan.h"

#include <comcat.h>
#include <oleauto.h>

#include "common/Guids.h"
#include "common/LocalizationCategory.h"
#include "common/Ownership.h"
#include "tools/stringtable/StringTable.h"
#include "vrllocale.h"

namespace {

// Enumerate the implementers whatever categories they require.
constexpr ULONG kAnyRequiredCategories = static_cast<ULONG>(-1);

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[kGuidTextCapacity];
    return StringFromGUID2(guid, text, kGuidTextCapacity) ? std::wstring(text) : std::wstring();
}

std::wstring FromBstr(BSTR text)
{
    return std::wstring(text, SysStringLen(text));
}

std::wstring RegisteredProgId(const CLSID& clsid)
{
    TaskMemory<wchar_t> progId;
    if (FAILED(ProgIDFromCLSID(clsid, progId.Put())) || !progId.Get())
        return std::wstring();
    return progId.Get();
}

// The default value of HKCR\CLSID\{clsid}\InprocServer32, expanded.
std::wstring RegisteredServerFile(const std::wstring& clsid)
{
    const std::wstring key = L"CLSID\\" + clsid + L"\\InprocServer32";
    constexpr DWORD kStringTypes = RRF_RT_REG_SZ;  // REG_EXPAND_SZ values come expanded
    DWORD size = 0;
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, kStringTypes, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return std::wstring();
    std::wstring path(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(path.size() * sizeof(wchar_t));
    if (RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, kStringTypes, nullptr, path.data(), &size) !=
        ERROR_SUCCESS)
        return std::wstring();
    path.resize(lstrlenW(path.c_str()));
    return path;
}

FailedStep AskObject(ILocaleResources* resources, LanguageServer& server)
{
    UniqueBstr text;
    HRESULT result = resources->LanguageName(text.Put());
    if (FAILED(result))
        return {L"LanguageName", result};
    server.languageName = FromBstr(text.Get());
    result = resources->PrimaryLanguageId(&server.primaryLanguageId);
    if (FAILED(result))
        return {L"PrimaryLanguageId", result};
    result = resources->SubLanguageId(&server.subLanguageId);
    if (FAILED(result))
        return {L"SubLanguageId", result};
    result = resources->Version(text.Put());
    if (FAILED(result))
        return {L"Version", result};
    server.version = FromBstr(text.Get());
    return {};
}

// Every id of the server file's string table, each fetched through GetString.
FailedStep FetchTexts(ILocaleResources* resources, LanguageServer& server)
{
    if (server.serverFile.empty())
        return {L"InprocServer32", REGDB_E_KEYMISSING};
    std::vector<LONG> ids;
    const HRESULT listed = ReadStringTableIds(server.serverFile, ids);
    if (FAILED(listed))
        return {L"reading the string table", listed};
    UniqueBstr text;
    for (LONG id : ids) {
        const HRESULT result = resources->GetString(id, text.Put());
        if (FAILED(result))
            return {L"GetString", result};
        server.texts.push_back({id, text.Get() != nullptr, FromBstr(text.Get())});
    }
    return {};
}

LanguageServer Probe(const CLSID& clsid, TextsWanted texts)
{
    LanguageServer server;
    server.clsid = GuidText(clsid);
    server.progId = RegisteredProgId(clsid);
    server.serverFile = RegisteredServerFile(server.clsid);

    ComRef<ILocaleResources> resources;
    const HRESULT created =
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_ILocaleResources, resources.PutVoid());
    if (FAILED(created)) {
        server.failure = {L"CoCreateInstance", created};
        return server;
    }
    if (!resources) {
        server.failure = {L"CoCreateInstance", E_POINTER};
        return server;
    }
    server.failure = AskObject(resources.Get(), server);
    if (!server.failure && texts == TextsWanted::Yes)
        server.textsFailure = FetchTexts(resources.Get(), server);
    return server;
}

}  // namespace

HRESULT ScanCategory(const GUID& catid, TextsWanted texts, CategoryListing& listing)
{
    listing.catid = GuidText(catid);
    ComRef<ICatInformation> categories;
    HRESULT result = CoCreateInstance(CLSID_StdComponentCategoriesMgr, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_ICatInformation, categories.PutVoid());
    if (FAILED(result))
        return result;

    TaskMemory<wchar_t> description;
    if (SUCCEEDED(categories->GetCategoryDesc(catid, LocalizationCategory::kDescriptionLocale, description.Put())) &&
        description.Get())
        listing.description = description.Get();

    ComRef<IEnumCLSID> classes;
    result = categories->EnumClassesOfCategories(1, &catid, kAnyRequiredCategories, nullptr, classes.Put());
    if (FAILED(result))
        return result;
    if (!classes)
        return E_POINTER;
    CLSID clsid;
    ULONG fetched = 0;
    while (classes->Next(1, &clsid, &fetched) == S_OK && fetched == 1)
        listing.servers.push_back(Probe(clsid, texts));
    return S_OK;
}
