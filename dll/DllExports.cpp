// The DLL's entry point and exported functions.

#include "registration/ServerRegistration.h"
#include "registration/UserInstallation.h"
#include "dll/ClassTable.h"
#include "server/ServerModule.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        ModuleStart(g_classTable, instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        ModuleStop();
    }
    return TRUE;
}

extern "C" HRESULT WINAPI DllCanUnloadNow()
{
    return g_module->lockCount == 0 ? S_OK : S_FALSE;
}

extern "C" HRESULT WINAPI DllGetClassObject(REFCLSID clsid, REFIID iid, void** out)
{
    return ModuleGetClassObject(g_module, clsid, iid, out);
}

extern "C" HRESULT WINAPI DllRegisterServer()
{
    return RegisterServer(*g_module);
}

extern "C" HRESULT WINAPI DllUnregisterServer()
{
    return UnregisterServer(*g_module);
}

extern "C" HRESULT WINAPI DllInstall(BOOL install, LPCWSTR commandLine)
{
    return InstallServer(*g_module, install, commandLine);
}
