#include "registration/ModuleScript.h"

#include "registration/ModulePath.h"
#include "regscript/ReplacementMap.h"
#include "regscript/ScriptEngine.h"
#include "regscript/ScriptLexer.h"
#include "common/Win32Result.h"
#include "common/Ownership.h"
#include "server/ServerModule.h"

namespace {

// Every quote of a path doubled, and the NUL.
constexpr DWORD kEscapedPathCapacity = 2 * kModulePathCapacity;

// The script's text: the resource's own bytes when a NUL ends the text
// inside them, otherwise a NUL-terminated copy. Nothing past the resource's
// last byte is ever read.
class ScriptText {
public:
    HRESULT Take(const char* bytes, DWORD size)
    {
        for (DWORD i = 0; i < size; ++i) {
            if (bytes[i] == '\0') {
                text_ = bytes;
                return S_OK;
            }
        }
        char* copy = static_cast<char*>(CoTaskMemAlloc(size + 1));
        if (!copy)
            return E_OUTOFMEMORY;
        CopyMemory(copy, bytes, size);
        copy[size] = '\0';
        copy_.Reset(copy);
        text_ = copy;
        return S_OK;
    }

    const char* Get() const { return text_; }

private:
    const char* text_ = nullptr;
    TaskMemory<char> copy_;
};

HRESULT InsertPairs(ReplacementMap& map, const ReplacementPair* pairs)
{
    for (const ReplacementPair* pair = pairs; pair && pair->name; ++pair) {
        const HRESULT hr = map.Insert(pair->name, pair->value);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

// Removal from this registry view alone keeps the top keys: the script
// names the keys that both views share (the ProgIDs) at the top, and the
// class itself below a NoRemove key.
ScriptMode ScriptModeFor(RegistryUpdate update)
{
    if (update == RegistryUpdate::Register)
        return ScriptMode::Register;
    return update == RegistryUpdate::Unregister ? ScriptMode::Unregister : ScriptMode::UnregisterKeepingTopKeys;
}

}  // namespace

HRESULT ApplyModuleScript(const ServerModule& module, UINT resourceId, RegistryUpdate update,
                          const ReplacementPair* extraPairs)
{
    ModulePathBuffer path;
    HRESULT hr = ReadModulePath(module.moduleInstance, path);
    if (FAILED(hr))
        return hr;
    ModulePathBuffer scriptPath;
    hr = ChooseScriptPath(module.moduleInstance, path, scriptPath);
    if (FAILED(hr))
        return hr;
    // The file itself is opened by its UTF-16 path.
    return RunFileScript(path, scriptPath, resourceId, extraPairs, ScriptModeFor(update));
}

HRESULT RunFileScript(const wchar_t* path, const wchar_t* modulePath, UINT resourceId,
                      const ReplacementPair* extraPairs, ScriptMode mode)
{
    if (static_cast<DWORD>(lstrlenW(modulePath)) >= kModulePathCapacity)
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    wchar_t escapedPath[kEscapedPathCapacity];
    EscapeQuotes(escapedPath, modulePath);
    ReplacementMap map;
    const ReplacementPair modulePair[] = {{kModulePairName, escapedPath}, {}};
    HRESULT hr = InsertPairs(map, modulePair);
    if (SUCCEEDED(hr))
        hr = InsertPairs(map, extraPairs);
    if (FAILED(hr))
        return hr;

    SetLastError(ERROR_SUCCESS);
    LoadedModule file(LoadLibraryExW(path, nullptr, LOAD_LIBRARY_AS_DATAFILE));
    if (!file)
        return LastErrorResult();
    const HRSRC resource = FindResourceW(file.Get(), MAKEINTRESOURCEW(resourceId), kScriptResourceType);
    const HGLOBAL loaded = resource ? LoadResource(file.Get(), resource) : nullptr;
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes)
        return LastErrorResult();
    ScriptText text;
    hr = text.Take(static_cast<const char*>(bytes), SizeofResource(file.Get(), resource));
    if (FAILED(hr))
        return hr;
    ScriptLexer lexer(map);
    return ApplyScript(lexer, text.Get(), mode);
}

void EscapeQuotes(wchar_t* destination, const wchar_t* source)
{
    constexpr wchar_t kQuote = L'\'';
    for (; *source != L'\0'; ++source) {
        *destination++ = *source;
        if (*source == kQuote)
            *destination++ = kQuote;
    }
    *destination = L'\0';
}
