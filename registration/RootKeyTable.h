#pragma once
// The root key names a script may start a block with, searched in this order.

#include <windows.h>

// The predefined keys are 32-bit numbers, sign-extended to the width of a
// handle: HKEY_CLASSES_ROOT is 0xFFFFFFFF80000000 on 64-bit Windows.
struct RootKeyRow {
    const char* name;
    LONG handleValue;  // the predefined key's handle as a 32-bit number
};

constexpr LONG ClassesRootValue = static_cast<LONG>(0x80000000);
constexpr LONG CurrentUserValue = static_cast<LONG>(0x80000001);
constexpr LONG LocalMachineValue = static_cast<LONG>(0x80000002);
constexpr LONG UsersValue = static_cast<LONG>(0x80000003);
constexpr LONG PerformanceDataValue = static_cast<LONG>(0x80000004);
constexpr LONG CurrentConfigValue = static_cast<LONG>(0x80000005);
constexpr LONG DynDataValue = static_cast<LONG>(0x80000006);

inline HKEY PredefinedKey(LONG handleValue)
{
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(handleValue));
}

// HKDD stands before HKCC although its handle value is the higher one.
inline constexpr RootKeyRow RootKeyTable[] = {
    {"HKCR", ClassesRootValue},
    {"HKCU", CurrentUserValue},
    {"HKLM", LocalMachineValue},
    {"HKU", UsersValue},
    {"HKPD", PerformanceDataValue},
    {"HKDD", DynDataValue},
    {"HKCC", CurrentConfigValue},
    {"HKEY_CLASSES_ROOT", ClassesRootValue},
    {"HKEY_CURRENT_USER", CurrentUserValue},
    {"HKEY_LOCAL_MACHINE", LocalMachineValue},
    {"HKEY_USERS", UsersValue},
    {"HKEY_PERFORMANCE_DATA", PerformanceDataValue},
    {"HKEY_DYN_DATA", DynDataValue},
    {"HKEY_CURRENT_CONFIG", CurrentConfigValue},
    {nullptr, 0},
};
