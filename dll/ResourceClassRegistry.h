#pragma once
// The registry hook of the resource class: its script, read from the module.

#include <windows.h>

HRESULT UpdateResourceClassRegistry(BOOL doRegister);
