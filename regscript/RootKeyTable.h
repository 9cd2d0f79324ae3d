#pragma once
// The root key names a script may start a block with, searched in this order.

#include <windows.h>

// The predefined keys are 32-bit numbers, sign-extended to the width of a
// handle: HKEY_CLASSES_ROOT is 0xFFFFFFFF80000000 on 64-bit Windows.
struct RootKeyRow {
    const char* name;
    LONG handleValue;  // the predefined key's handle as a 32-bit number
};

constexpr LONG kClassesRootValue = static_cast<LONG>(0x80000000);
constexpr LONG kCurrentUserValue = static_cast<LONG>(0x80000001);
constexpr LONG kLocalMachineValue = static_cast<LONG>(0x80000002);
constexpr LONG kUsersValue = static_cast<LONG>(0x80000003);
constexpr LONG kPerformanceDataValue = static_cast<LONG>(0x80000004);
constexpr LONG kCurrentConfigValue = static_cast<LONG>(0x80000005);
constexpr LONG kDynDataValue = static_cast<LONG>(0x80000006);

inline HKEY PredefinedKey(LONG handleValue)
{
    return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(handleValue));
}

// HKDD stands before HKCC although its handle value is the higher one.
inline constexpr RootKeyRow kRootKeyTable[] = {
    {"HKCR", kClassesRootValue},
    {"HKCU", kCurrentUserValue},
    {"HKLM", kLocalMachineValue},
    {"HKU", kUsersValue},
    {"HKPD", kPerformanceDataValue},
    {"HKDD", kDynDataValue},
    {"HKCC", kCurrentConfigValue},
    {"HKEY_CLASSES_ROOT", kClassesRootValue},
    {"HKEY_CURRENT_USER", kCurrentUserValue},
    {"HKEY_LOCAL_MACHINE", kLocalMachineValue},
    {"HKEY_USERS", kUsersValue},
    {"HKEY_PERFORMANCE_DATA", kPerformanceDataValue},
    {"HKEY_DYN_DATA", kDynDataValue},
    {"HKEY_CURRENT_CONFIG", kCurrentConfigValue},
    {nullptr, 0},
};
