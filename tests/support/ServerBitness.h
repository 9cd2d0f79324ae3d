#pragma once
// What differs between the 32-bit and the 64-bit server, as the tests see it.

#include <windows.h>

// The subkey under TypeLib\{libid}\1.0\0 that the platform registers the
// library's file under.
inline constexpr const char* kTypeLibPlatformKey = sizeof(void*) == sizeof(ULONG64) ? "win64" : "win32";
inline constexpr const wchar_t* kTypeLibPlatformKeyW = sizeof(void*) == sizeof(ULONG64) ? L"win64" : L"win32";
