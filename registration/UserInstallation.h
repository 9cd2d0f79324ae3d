#pragma once
// DllInstall: registration for the machine (an empty command line) or for the
// current user only ("user"), and its removal.

#include <windows.h>

struct ServerModule;

inline constexpr wchar_t kUserInstallCommand[] = L"user";

// E_INVALIDARG, with nothing changed, for any other command line.
HRESULT InstallServer(const ServerModule& module, BOOL install, const wchar_t* commandLine);
