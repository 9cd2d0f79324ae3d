#pragma once
// Fills the IUnknown slots of the abstract forms of the server's classes.
// Reached only if such a slot were called during construction or
// destruction, which never happens: it stops in the debugger, and ends the
// process if the debugger lets it go on, so it never returns to its caller.

#include <windows.h>

// The exit code of a process ended by the trap.
inline constexpr UINT kAbstractSlotExitCode = 0xC0000025;  // STATUS_NONCONTINUABLE_EXCEPTION

[[noreturn]] ULONG AbstractSlotTrap();
