#pragma once
// The server DLL loaded afresh, as a client process loads it, with its
// allocations routed through AllocationFaults; unloaded again at the end,
// with the stand-ins still counting what it frees on its way out.

#include <windows.h>

#include <memory>

#include "tests/support/AllocationFaults.h"
#include "tests/support/LoadedServer.h"

class FreshServer {
public:
    FreshServer();
    FreshServer(const FreshServer&) = delete;
    FreshServer& operator=(const FreshServer&) = delete;
    ~FreshServer() { Unload(); }

    bool Loaded() const { return server_.Loaded(); }
    HMODULE Module() const { return server_.Module(); }
    HRESULT ClassObject(REFCLSID clsid, REFIID iid, void** out) const { return server_.ClassObject(clsid, iid, out); }
    HRESULT CanUnload() const { return server_.CanUnload(); }
    // DllRegisterServer, or DllUnregisterServer when `doRegister` is false.
    HRESULT Register(bool doRegister) const { return doRegister ? server_.Register() : server_.Unregister(); }
    // Frees the library; true when it is no longer in the process.
    bool Unload();

private:
    LoadedServer server_;
    std::unique_ptr<AllocationFaults> faults_;
};
