#pragma once
// The server's self-registration from end to end: each class's registry
// script, the type library, the localization category and the class's
// enrolment in it.

#include <windows.h>

#include "common/Guids.h"
#include "registration/TypeLibRegistration.h"

struct ServerModule;

// Applies every selected class's script (the first step of RunRegistration). Stops at the first failure.
HRESULT ModuleRegisterClasses(const ServerModule& module);
// Removes what ModuleRegisterClasses and the type library's registration made
// in the classes of `scope`, the library through the removal of that scope;
// every step is tried. The first failure to read the module's own script or type
// library is reported.
HRESULT ModuleUnregisterServer(const ServerModule& module, bool unregisterTypeLib, RegistrationScope scope);

// The bodies of DllRegisterServer and DllUnregisterServer.
HRESULT RegisterServer(const ServerModule& module);
HRESULT UnregisterServer(const ServerModule& module);
