#pragma once
// The registry hook of the resource class: its script, read from the module.

#include <windows.h>

#include "server/ServerModule.h"

HRESULT UpdateResourceClassRegistry(RegistryUpdate update);
