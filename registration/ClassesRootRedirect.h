#pragma once
// HKEY_CLASSES_ROOT of this process stands for a key of the current user's
// hive while a redirect lives: the user's own classes for a per-user
// installation, or a scratch key to record a registration in. The categories
// manager does not follow the redirection (see DirectCategoryRows.h).

#include <windows.h>

#include "regscript/OwnedKey.h"
#include "common/Win32Result.h"

class ClassesRootRedirect {
public:
    // Redirects to HKEY_CURRENT_USER\`userKeyPath`, made if it is missing.
    explicit ClassesRootRedirect(const wchar_t* userKeyPath)
    {
        HKEY target = nullptr;
        status_ =
            RegCreateKeyExW(HKEY_CURRENT_USER, userKeyPath, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &target, nullptr);
        if (status_ != ERROR_SUCCESS)
            return;
        key_.Adopt(target);
        status_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, target);
    }
    ClassesRootRedirect(const ClassesRootRedirect&) = delete;
    ClassesRootRedirect& operator=(const ClassesRootRedirect&) = delete;
    ~ClassesRootRedirect()
    {
        if (status_ == ERROR_SUCCESS)
            RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }

    HRESULT Status() const { return FromWin32Status(status_); }
    // The key that stands for the classes root.
    HKEY Target() const { return key_.Get(); }

private:
    OwnedKey key_;
    LONG status_ = ERROR_SUCCESS;
};
