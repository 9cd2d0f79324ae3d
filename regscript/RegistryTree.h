#pragma once
// Questions about an open registry key, the removal of a whole subtree, and
// how long the names and paths are that the registry functions take.

#include <windows.h>

// The longest key path, in characters, that one call takes.
inline constexpr int kLongestKeyPath = 255;
// An 8-bit key path in bytes, for a double-byte code page, and its NUL.
inline constexpr int kAnsiKeyPathCapacity = 2 * kLongestKeyPath + 1;
// A UTF-16 key path and its NUL.
inline constexpr int kWideKeyPathCapacity = kLongestKeyPath + 1;

// The longest key name, in characters.
inline constexpr int kLongestKeyName = 255;
// An 8-bit key name in bytes, double-byte characters included, and its NUL.
inline constexpr DWORD kKeyNameCapacity = 2 * (kLongestKeyName + 1);

// Deletes parent\name with all its subkeys; the Win32 status of the last step.
LONG DeleteKeyTree(HKEY parent, const char* name);

// True when the key has no subkeys and no value other than a lone unnamed
// default value; false also when the key cannot be queried.
bool KeyIsEmpty(HKEY key);
