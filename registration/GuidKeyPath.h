#pragma once
// Key paths that name an object by its GUID: "CLSID\{...}\InprocServer32".

#include <windows.h>

#include "registration/RegistryLimits.h"

// `prefix` followed by the text of `id` and `suffix`; false when the GUID
// text cannot be written.
bool GuidKeyPath(wchar_t (&path)[kWideKeyPathCapacity], const wchar_t* prefix, REFGUID id, const wchar_t* suffix);
