#pragma once
// HKEY_CLASSES_ROOT of this process redirected to a scratch key of its own
// below HKEY_CURRENT_USER, named by a prefix and the process id, so that
// other processes in the same prefix never meet its rows. The key is emptied
// first (an earlier process of the same id may have left it) and deleted
// with everything in it however the owner's run ends. For recording a
// registration, and for tests and benches that register.

#include <windows.h>

#include "registration/ClassesRootRedirect.h"
#include "regscript/RegistryTree.h"

class ScratchClassesRoot {
public:
    explicit ScratchClassesRoot(const wchar_t* prefix) : key_(prefix), redirect_(key_.Path()) {}

    HRESULT Status() const { return redirect_.Status(); }
    HKEY Target() const { return redirect_.Target(); }

private:
    // Declared before the redirection, the key outlives it.
    class ScratchKey {
    public:
        explicit ScratchKey(const wchar_t* prefix)
        {
            wsprintfW(path_, L"%s%lu", prefix, GetCurrentProcessId());
            RegDeleteTreeW(HKEY_CURRENT_USER, path_);
        }
        ScratchKey(const ScratchKey&) = delete;
        ScratchKey& operator=(const ScratchKey&) = delete;
        ~ScratchKey() { RegDeleteTreeW(HKEY_CURRENT_USER, path_); }

        const wchar_t* Path() const { return path_; }

    private:
        wchar_t path_[kWideKeyPathCapacity];
    };

    ScratchKey key_;
    ClassesRootRedirect redirect_;
};
