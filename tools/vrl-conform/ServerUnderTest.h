#pragma once
// The language server file being checked: loaded as a module (its DllMain
// runs, as in a client), its exports, and what its own type library says it
// serves.

#include <windows.h>

#include <optional>
#include <string>

#include "common/Ownership.h"
#include "vrllocale.h"

using GetClassObjectFunction = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
using CanUnloadNowFunction = HRESULT(WINAPI*)();
using RegisterFunction = HRESULT(WINAPI*)();
using InstallFunction = HRESULT(WINAPI*)(BOOL, LPCWSTR);

struct ServerExports {
    GetClassObjectFunction getClassObject = nullptr;
    CanUnloadNowFunction canUnloadNow = nullptr;
    RegisterFunction registerServer = nullptr;
    RegisterFunction unregisterServer = nullptr;
    InstallFunction install = nullptr;  // optional: the per-user registration
};

// What the file's type library names: the one class and the library itself.
struct ServerClass {
    CLSID clsid = {};
    GUID libid = {};
    WORD majorVersion = 0;
    WORD minorVersion = 0;
};

class ServerUnderTest {
public:
    explicit ServerUnderTest(const std::wstring& path) : path_(path) {}

    const std::wstring& Path() const { return path_; }
    HMODULE Module() const { return module_ ? module_->Get() : nullptr; }

    // Loads the file and finds its exports; an empty text on success, else
    // what is missing.
    std::wstring Load();
    const ServerExports& Exports() const { return exports_; }

    // Reads the class and library from the file's type library; an empty
    // text on success.
    std::wstring ReadClass();
    const ServerClass& Class() const { return class_; }

    // The class factory of the file's class, and an object of it made
    // without an outer object, asked for ILocaleResources; both straight
    // from the loaded file, nothing registered.
    HRESULT GetFactory(ComRef<IClassFactory>& factory) const;
    HRESULT CreateObject(ComRef<ILocaleResources>& resources) const;

private:
    std::wstring path_;
    std::optional<LoadedModule> module_;
    ServerExports exports_;
    ServerClass class_;
};
