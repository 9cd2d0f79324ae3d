#pragma once
// Holds at most one open registry key and closes it when it is replaced,
// closed on purpose, or goes out of scope. Predefined root keys are never
// held, so they are never closed.

#include <windows.h>

#include "common/Ownership.h"

class OwnedKey : public UniqueHandle<HKEY, RegCloseKey> {
public:
    // Opens parent\name. On failure the held key stays and the open's status
    // is returned; on success the old key is closed, the new one held, and
    // the status of that close is returned.
    template <class Char>
    LONG OpenInto(HKEY parent, const Char* name, REGSAM rights)
    {
        HKEY opened = nullptr;
        LONG status;
        if constexpr (sizeof(Char) == sizeof(char))
            status = RegOpenKeyExA(parent, name, 0, rights, &opened);
        else
            status = RegOpenKeyExW(parent, name, 0, rights, &opened);
        if (status != ERROR_SUCCESS)
            return status;
        return Adopt(opened);
    }

    // Closes the held key (if any) and holds `key`; the status of the close.
    LONG Adopt(HKEY key)
    {
        const LONG status = Close();
        Reset(key);
        return status;
    }

    LONG Close()
    {
        const HKEY held = Detach();
        return held ? RegCloseKey(held) : ERROR_SUCCESS;
    }
};
