#pragma once
// The server DLL loaded afresh, as a client process loads it, with its
// allocations routed through AllocationFaults; unloaded again at the end,
// with the stand-ins still counting what it frees on its way out.

#include <windows.h>

#include <memory>

#include "tests/support/AllocationFaults.h"

inline constexpr wchar_t kServerFileName[] = L"VrlDiscoveryResES.dll";

class FreshServer {
public:
    using CanUnloadNow = HRESULT(WINAPI*)();
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using RegistrationExport = HRESULT(WINAPI*)();

    FreshServer();
    FreshServer(const FreshServer&) = delete;
    FreshServer& operator=(const FreshServer&) = delete;
    ~FreshServer() { Unload(); }

    bool Loaded() const { return module_ != nullptr; }
    HMODULE Module() const { return module_; }
    HRESULT ClassObject(REFCLSID clsid, REFIID iid, void** out) const { return getClassObject_(clsid, iid, out); }
    HRESULT CanUnload() const { return canUnloadNow_(); }
    // DllRegisterServer, or DllUnregisterServer when `doRegister` is false.
    HRESULT Register(bool doRegister) const { return doRegister ? registerServer_() : unregisterServer_(); }
    // Frees the library; true when it is no longer in the process.
    bool Unload();

private:
    HMODULE module_ = nullptr;
    CanUnloadNow canUnloadNow_ = nullptr;
    GetClassObject getClassObject_ = nullptr;
    RegistrationExport registerServer_ = nullptr;
    RegistrationExport unregisterServer_ = nullptr;
    std::unique_ptr<AllocationFaults> faults_;
};

// The server is not in the process.
bool ServerIsUnloaded();
