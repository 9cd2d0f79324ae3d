#pragma once
// The server DLL as a client process sees it: loaded by path, reached through
// its exported functions.

#include <windows.h>

#include <gtest/gtest.h>

class ServerDll {
public:
    using CanUnloadNow = HRESULT(WINAPI*)();
    using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);

    // Loaded once per test process and kept: the module's state lives on
    // between tests, as it does in a real client.
    static ServerDll& Instance()
    {
        static ServerDll dll;
        return dll;
    }

    HRESULT CanUnload() const { return canUnloadNow(); }
    HRESULT ClassObject(REFCLSID clsid, REFIID iid, void** out) const { return getClassObject(clsid, iid, out); }
    HMODULE Module() const { return module; }

private:
    ServerDll()
    {
        module = LoadLibraryW(L"VrlDiscoveryResES.dll");
        if (!module)
            return;
        canUnloadNow = reinterpret_cast<CanUnloadNow>(GetProcAddress(module, "DllCanUnloadNow"));
        getClassObject = reinterpret_cast<GetClassObject>(GetProcAddress(module, "DllGetClassObject"));
    }

    HMODULE module = nullptr;
    CanUnloadNow canUnloadNow = nullptr;
    GetClassObject getClassObject = nullptr;
};
