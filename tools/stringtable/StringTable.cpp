#include "tools/stringtable/StringTable.h"

#include <algorithm>

#include "common/Ownership.h"
#include "common/Win32Result.h"

namespace {

// A string table is stored in blocks of 16 strings; block n holds the ids
// (n - 1) * 16 to (n - 1) * 16 + 15, each as a length followed by that many
// UTF-16 units. A length of 0 means the id holds no text.
constexpr LONG kStringsPerBlock = 16;
constexpr DWORD kLoadAsData = LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;

struct TableWalk {
    std::vector<TableText>& texts;
    std::vector<WORD> blocks;
};

BOOL CALLBACK CollectBlock(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR walk)
{
    if (IS_INTRESOURCE(name))
        reinterpret_cast<TableWalk*>(walk)->blocks.push_back(static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)));
    return TRUE;
}

// Reads one block, never past the resource's size, however its lengths read.
void CollectTexts(HMODULE module, WORD block, WORD language, std::vector<TableText>& texts)
{
    HRSRC resource = FindResourceExW(module, RT_STRING, MAKEINTRESOURCEW(block), language);
    HGLOBAL loaded = resource ? LoadResource(module, resource) : nullptr;
    const auto* units = loaded ? static_cast<const WCHAR*>(LockResource(loaded)) : nullptr;
    if (!units)
        return;
    const size_t unitCount = SizeofResource(module, resource) / sizeof(WCHAR);
    size_t at = 0;
    for (LONG slot = 0; slot < kStringsPerBlock && at < unitCount; ++slot) {
        const size_t length = units[at++];
        if (length > unitCount - at)
            return;
        if (length > 0)
            texts.push_back({(block - 1) * kStringsPerBlock + slot, std::wstring(units + at, length)});
        at += length;
    }
}

BOOL CALLBACK CollectLanguage(HMODULE module, LPCWSTR, LPCWSTR name, WORD language, LONG_PTR walk)
{
    CollectTexts(module, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(name)), language,
                 reinterpret_cast<TableWalk*>(walk)->texts);
    return TRUE;
}

// "No string table at all" is an empty table, not a failure.
bool NoSuchResource(DWORD error)
{
    return error == ERROR_RESOURCE_DATA_NOT_FOUND || error == ERROR_RESOURCE_TYPE_NOT_FOUND ||
        error == ERROR_RESOURCE_NAME_NOT_FOUND;
}

}  // namespace

HRESULT ReadStringTableTexts(HMODULE module, std::vector<TableText>& texts)
{
    texts.clear();
    TableWalk walk{texts, {}};
    if (!EnumResourceNamesW(module, RT_STRING, CollectBlock, reinterpret_cast<LONG_PTR>(&walk))) {
        const DWORD error = GetLastError();
        if (!NoSuchResource(error))
            return HRESULT_FROM_WIN32(error);
    }
    for (WORD block : walk.blocks) {
        if (block == 0)
            continue;
        EnumResourceLanguagesW(module, RT_STRING, MAKEINTRESOURCEW(block), CollectLanguage,
                               reinterpret_cast<LONG_PTR>(&walk));
    }
    std::stable_sort(texts.begin(), texts.end(), [](const TableText& a, const TableText& b) { return a.id < b.id; });
    texts.erase(
        std::unique(texts.begin(), texts.end(), [](const TableText& a, const TableText& b) { return a.id == b.id; }),
        texts.end());
    return S_OK;
}

HRESULT ReadStringTableIds(const std::wstring& modulePath, std::vector<LONG>& ids)
{
    ids.clear();
    LoadedModule module(LoadLibraryExW(modulePath.c_str(), nullptr, kLoadAsData));
    if (!module)
        return LastErrorResult();
    std::vector<TableText> texts;
    const HRESULT hr = ReadStringTableTexts(module.Get(), texts);
    if (FAILED(hr))
        return hr;
    for (const TableText& text : texts)
        ids.push_back(text.id);
    return S_OK;
}
