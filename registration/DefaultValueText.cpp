#include "registration/DefaultValueText.h"

#include "registration/OwnedKey.h"

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
