#pragma once
// Holds at most one open registry key and closes it when it is replaced,
// closed on purpose, or goes out of scope. Predefined root keys are never
// held, so they are never closed.

#include <windows.h>

class OwnedKey {
public:
    OwnedKey() = default;
    OwnedKey(const OwnedKey&) = delete;
    OwnedKey& operator=(const OwnedKey&) = delete;
    ~OwnedKey() { Close(); }

    HKEY Get() const { return key_; }
    bool IsHeld() const { return key_ != nullptr; }

    // Opens parent\name. On failure the held key stays and the open's status
    // is returned; on success the old key is closed, the new one held, and
    // the status of that close is returned.
    LONG OpenInto(HKEY parent, const char* name, REGSAM rights)
    {
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyExA(parent, name, 0, rights, &opened);
        if (status != ERROR_SUCCESS)
            return status;
        return Adopt(opened);
    }

    LONG OpenInto(HKEY parent, const wchar_t* name, REGSAM rights)
    {
        HKEY opened = nullptr;
        const LONG status = RegOpenKeyExW(parent, name, 0, rights, &opened);
        if (status != ERROR_SUCCESS)
            return status;
        return Adopt(opened);
    }

    // Closes the held key (if any) and holds `key`; the status of the close.
    LONG Adopt(HKEY key)
    {
        const LONG status = Close();
        key_ = key;
        return status;
    }

    LONG Close()
    {
        if (!key_)
            return ERROR_SUCCESS;
        const LONG status = RegCloseKey(key_);
        key_ = nullptr;
        return status;
    }

private:
    HKEY key_ = nullptr;
};
