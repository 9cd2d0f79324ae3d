#pragma once
// The module's type library: found in the module file (or in a ".tlb" file
// of the same name beside it), registered with its path and help directory,
// and unregistered.

#include <windows.h>
#include <oaidl.h>

struct ServerModule;

// Where a registration goes: the machine's classes, or the current user's.
enum class RegistrationScope { Machine, User };

// Loads the library without registering it. On success `path` receives the
// file it came from and `library` a reference; both belong to the caller.
HRESULT ModuleLoadTypeLib(const ServerModule& module, BSTR* path, ITypeLib** library);
HRESULT ModuleRegisterTypeLib(const ServerModule& module, RegistrationScope scope = RegistrationScope::Machine);
// The code of loading the library; what the platform's removal answers is
// not reported (a library that was not registered is already removed).
HRESULT ModuleUnregisterTypeLib(const ServerModule& module, RegistrationScope scope = RegistrationScope::Machine);

// S_OK when the platform registers libraries per user;
// HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND) on platforms that predate it.
HRESULT UserTypeLibRegistrationSupport();

// Units of `path` up to and including its last '\\', '/' or ':'; 0 if none.
DWORD HelpDirLength(const wchar_t* path);
