#include "regscript/RegistryTree.h"

#include "regscript/OwnedKey.h"

namespace {
constexpr REGSAM kReadWriteRights = KEY_READ | KEY_WRITE;
constexpr DWORD kLoneDefaultNameCapacity = 2;
}

LONG DeleteKeyTree(HKEY parent, const char* name)
{
    OwnedKey opened;
    LONG status = opened.OpenInto(parent, name, kReadWriteRights);
    if (status != ERROR_SUCCESS)
        return status;
    char childName[kKeyNameCapacity];
    for (;;) {
        DWORD capacity = kKeyNameCapacity;
        if (RegEnumKeyExA(opened.Get(), 0, childName, &capacity, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        status = DeleteKeyTree(opened.Get(), childName);
        if (status != ERROR_SUCCESS)
            return status;
    }
    opened.Close();
    return RegDeleteKeyA(parent, name);
}

bool KeyIsEmpty(HKEY key)
{
    DWORD subkeys = 0;
    DWORD values = 0;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, &subkeys, nullptr, nullptr, &values, nullptr, nullptr, nullptr,
                         nullptr) != ERROR_SUCCESS)
        return false;
    if (subkeys != 0 || values > 1)
        return false;
    if (values == 0)
        return true;
    // Only the default value's empty name fits; any other name is too long.
    char name[kLoneDefaultNameCapacity];
    DWORD capacity = kLoneDefaultNameCapacity;
    return RegEnumValueA(key, 0, name, &capacity, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS &&
        name[0] == '\0';
}
