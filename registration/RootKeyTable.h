#pragma once
// The root key names a script may start a block with, searched in this order.

#include <windows.h>

struct RootKeyRow {
    const char* name;
    ULONG_PTR handleValue;  // the predefined key's handle as a number
};

constexpr ULONG_PTR ClassesRootValue = 0x80000000;
constexpr ULONG_PTR CurrentUserValue = 0x80000001;
constexpr ULONG_PTR LocalMachineValue = 0x80000002;
constexpr ULONG_PTR UsersValue = 0x80000003;
constexpr ULONG_PTR PerformanceDataValue = 0x80000004;
constexpr ULONG_PTR CurrentConfigValue = 0x80000005;
constexpr ULONG_PTR DynDataValue = 0x80000006;

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
