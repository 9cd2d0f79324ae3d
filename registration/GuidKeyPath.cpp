#include "registration/GuidKeyPath.h"

#include <objbase.h>

#include "common/Guids.h"

bool GuidKeyPath(wchar_t (&path)[kWideKeyPathCapacity], const wchar_t* prefix, REFGUID id, const wchar_t* suffix)
{
    lstrcpyW(path, prefix);
    if (StringFromGUID2(id, path + lstrlenW(path), kGuidTextCapacity) == 0)
        return false;
    lstrcatW(path, suffix);
    return true;
}
