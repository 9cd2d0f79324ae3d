#pragma once
// The classes root's key names that the registration sequence and the direct
// category rows both write, and key paths that name an object by its GUID:
// "CLSID\{...}\InprocServer32".

#include <windows.h>
#include <objbase.h>

#include "common/Guids.h"
#include "regscript/RegistryTree.h"

inline constexpr wchar_t kClassesKeyName[] = L"CLSID\\";
inline constexpr wchar_t kImplementedCategoriesKeyName[] = L"Implemented Categories";

// `prefix` followed by the text of `id` and `suffix`; false when the GUID
// text cannot be written.
inline bool GuidKeyPath(wchar_t (&path)[kWideKeyPathCapacity], const wchar_t* prefix, REFGUID id, const wchar_t* suffix)
{
    lstrcpyW(path, prefix);
    if (StringFromGUID2(id, path + lstrlenW(path), kGuidTextCapacity) == 0)
        return false;
    lstrcatW(path, suffix);
    return true;
}
