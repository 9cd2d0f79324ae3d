#pragma once
// Questions about an open registry key, and the removal of a whole subtree.

#include <windows.h>

#include "registration/RegistryLimits.h"

// Deletes parent\name with all its subkeys; the Win32 status of the last step.
LONG DeleteKeyTree(HKEY parent, const char* name);

// True when the key has no subkeys and no value other than a lone unnamed
// default value; false also when the key cannot be queried.
bool KeyIsEmpty(HKEY key);
