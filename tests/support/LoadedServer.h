#pragma once
// The server DLL loaded by path into this process, as a client loads it, and
// reached through its exported functions. Freed again when the owner goes.

#include <windows.h>

#include <string>

// The file name of the server, found beside the test program.
inline constexpr wchar_t kServerFileName[] = L"VrlDiscoveryResES.dll";

class LoadedServer {
public:
    explicit LoadedServer(const std::wstring& path = kServerFileName);
    LoadedServer(const LoadedServer&) = delete;
    LoadedServer& operator=(const LoadedServer&) = delete;
    ~LoadedServer() { Unload(); }

    // The file loaded and all four exports found.
    bool Loaded() const;
    HMODULE Module() const { return module_; }

    HRESULT CanUnload() const { return canUnloadNow_(); }
    HRESULT ClassObject(REFCLSID clsid, REFIID iid, void** out) const { return getClassObject_(clsid, iid, out); }
    HRESULT Register() const { return registerServer_(); }
    HRESULT Unregister() const { return unregisterServer_(); }

    // Frees the library once; the exports are gone with it.
    void Unload();

private:
    using CanUnloadNowExport = HRESULT(WINAPI*)();
    using GetClassObjectExport = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
    using RegistrationExport = HRESULT(WINAPI*)();

    HMODULE module_ = nullptr;
    CanUnloadNowExport canUnloadNow_ = nullptr;
    GetClassObjectExport getClassObject_ = nullptr;
    RegistrationExport registerServer_ = nullptr;
    RegistrationExport unregisterServer_ = nullptr;
};

// No module of the server's file name is in the process.
bool ServerIsUnloaded();
