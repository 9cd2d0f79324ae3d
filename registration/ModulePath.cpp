#include "registration/ModulePath.h"

#include "common/Win32Result.h"
#include "regscript/OwnedKey.h"

namespace {

// A UTF-16 unit never takes more than two bytes in an ANSI code page.
constexpr int kAnsiPathCapacity = 2 * kModulePathCapacity;

bool SameText(const wchar_t* left, const wchar_t* right)
{
    for (; *left != L'\0'; ++left, ++right) {
        if (*left != *right)
            return false;
    }
    return *right == L'\0';
}

void CopyPath(ModulePathBuffer& destination, const wchar_t* source)
{
    lstrcpynW(destination, source, kModulePathCapacity);
}

// The short form of `longPath` in `shortPath`; false when the platform has
// none or it does not fit.
bool ReadShortPath(const wchar_t* longPath, ModulePathBuffer& shortPath)
{
    const DWORD length = GetShortPathNameW(longPath, shortPath, kModulePathCapacity);
    return length != 0 && length < kModulePathCapacity;
}

bool IsProcessExecutable(HMODULE module)
{
    return module == nullptr || module == GetModuleHandleW(nullptr);
}

}  // namespace

HRESULT ReadModulePath(HMODULE module, ModulePathBuffer& path)
{
    path[0] = L'\0';
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetModuleFileNameW(module, path, kModulePathCapacity);
    if (length == 0)
        return LastErrorResult();
    if (length >= kModulePathCapacity) {
        path[0] = L'\0';
        return HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    return S_OK;
}

bool SurvivesAnsiRoundTrip(const wchar_t* text)
{
    char ansi[kAnsiPathCapacity];
    BOOL usedDefault = FALSE;
    if (WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, text, -1, ansi, kAnsiPathCapacity, nullptr, &usedDefault) <=
            0 ||
        usedDefault)
        return false;
    ModulePathBuffer back;
    if (MultiByteToWideChar(CP_ACP, MB_ERR_INVALID_CHARS, ansi, -1, back, kModulePathCapacity) <= 0)
        return false;
    return SameText(back, text);
}

HRESULT ChooseScriptPath(HMODULE module, const wchar_t* longPath, ModulePathBuffer& chosen)
{
    ModulePathBuffer shortPath;
    const bool hasShortPath = ReadShortPath(longPath, shortPath);
    const wchar_t* preferred = longPath;
    const wchar_t* fallback = hasShortPath ? shortPath : nullptr;
    if (IsProcessExecutable(module) && hasShortPath) {
        preferred = shortPath;
        fallback = longPath;
    }
    const wchar_t* const candidates[] = {preferred, fallback};
    for (const wchar_t* candidate : candidates) {
        if (candidate && SurvivesAnsiRoundTrip(candidate)) {
            CopyPath(chosen, candidate);
            return S_OK;
        }
    }
    chosen[0] = L'\0';
    return HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION);
}

bool ReadDefaultText(HKEY parent, const wchar_t* path, REGSAM view, ModulePathBuffer& text)
{
    text[0] = L'\0';
    OwnedKey key;
    if (key.OpenInto(parent, path, KEY_QUERY_VALUE | view) != ERROR_SUCCESS)
        return false;
    DWORD type = REG_NONE;
    DWORD size = sizeof text - sizeof text[0];
    if (RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(text), &size) == ERROR_SUCCESS &&
        type == REG_SZ)
        text[size / sizeof text[0]] = L'\0';
    else
        text[0] = L'\0';
    return true;
}
