#pragma once
// Fills the IUnknown slots of the abstract forms of the server's classes.
// Reached only if such a slot were called during construction or
// destruction, which never happens: it stops in the debugger.

#include <windows.h>

ULONG AbstractSlotTrap();
