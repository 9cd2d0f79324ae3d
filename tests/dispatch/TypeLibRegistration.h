#pragma once
// Type library registration for the tests, kept out of the machine's real
// classes root: every HKEY_CLASSES_ROOT access of this process goes to a
// private key while an IsolatedClassesRoot lives.

#include <string>

#include <windows.h>
#include <oleauto.h>

#include "registration/ScratchClassesRoot.h"

class IsolatedClassesRoot {
public:
    bool Active() const { return SUCCEEDED(root_.Status()); }

private:
    ScratchClassesRoot root_{L"Software\\VrlDispatchTests\\"};
};

// A library registered for the life of the object (from the working folder).
class RegisteredTypeLib {
public:
    explicit RegisteredTypeLib(const wchar_t* fileName);
    ~RegisteredTypeLib();
    RegisteredTypeLib(const RegisteredTypeLib&) = delete;
    RegisteredTypeLib& operator=(const RegisteredTypeLib&) = delete;
    HRESULT Result() const { return result_; }

private:
    HRESULT result_ = E_FAIL;
    TLIBATTR attributes_{};
};

// The folder of the test executable, without a trailing separator.
std::wstring ExecutableFolder();
