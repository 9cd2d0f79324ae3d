#pragma once
// Who this language server is: its class, its type library and the names
// under which the registry and the file system know it. Each server defines
// these once, in the identity source generated from its language folder's
// language.json (dll/LanguageIdentity.cpp.in); everything else is built once
// for every language and reads them from there.

#include <windows.h>

extern const CLSID CLSID_LanguageServer;
extern const GUID LIBID_LanguageServerLib;

namespace ServerIdentity {

// "VrlDiscoveryResES.dll"
extern const wchar_t kModuleFileName[];
extern const wchar_t kProgId[];

}  // namespace ServerIdentity
