#include "registration/RegistryTree.h"

#include "registration/OwnedKey.h"
#include "registration/ScriptParser.h"

namespace {
constexpr REGSAM ReadWriteRights = KEY_READ | KEY_WRITE;
}

LONG DeleteKeyTree(HKEY parent, const char* name)
{
    OwnedKey opened;
    LONG status = opened.OpenInto(parent, name, ReadWriteRights);
    if (status != ERROR_SUCCESS)
        return status;
    char childName[KeyNameCapacity];
    for (;;) {
        DWORD capacity = KeyNameCapacity;
        if (RegEnumKeyExA(opened.Get(), 0, childName, &capacity, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        status = DeleteKeyTree(opened.Get(), childName);
        if (status != ERROR_SUCCESS)
            return status;
    }
    opened.Close();
    return RegDeleteKeyA(parent, name);
}

bool KeyHasSubkeys(HKEY key)
{
    DWORD subkeys = 0;
    RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                     nullptr);
    return subkeys != 0;
}

bool KeyHasValues(HKEY key)
{
    DWORD values = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return false;
    if (values != 1)
        return values != 0;
    char name[ScriptTokenCapacity];
    DWORD capacity = ScriptTokenCapacity;
    return RegEnumValueA(key, 0, name, &capacity, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        name[0] != '\0';
}
