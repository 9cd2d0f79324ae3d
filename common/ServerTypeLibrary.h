#pragma once
// What the server's own type library holds: the library, the one class, and
// the sibling library it imports ILocaleResources from. The build-time
// library writer and the server's dispatch support both read these.

#include <windows.h>
#include <oaidl.h>

#include "common/Guids.h"

namespace ServerTypeLibrary {

inline constexpr wchar_t libraryName[] = L"VRLDISCOVERYRESESLib";
inline constexpr const GUID& libraryId = LIBID_VRLDISCOVERYRESESLib;
inline constexpr WORD majorVersion = 1;
inline constexpr WORD minorVersion = 0;
inline constexpr LCID locale = 0;
// The library describes the module it is built into: 32-bit or 64-bit.
inline constexpr SYSKIND systemKind = sizeof(void*) == sizeof(ULONG64) ? SYS_WIN64 : SYS_WIN32;
inline constexpr WORD libraryFlags = LIBFLAG_FHIDDEN;
inline constexpr wchar_t libraryHelpString[] = L"VrlDiscoveryResES 1.0 Type Library";

inline constexpr wchar_t className[] = L"VrlDiscoverySpanishResources";
inline constexpr const CLSID& classId = CLSID_VrlDiscoverySpanishResources;
inline constexpr WORD classTypeFlags = TYPEFLAG_FHIDDEN | TYPEFLAG_FCANCREATE;
inline constexpr wchar_t classHelpString[] = L"VrlDiscoverySpanishResources Class";

// The imported library that defines ILocaleResources (LIBID_VRLLOCALELib),
// by the file name the import is recorded under.
inline constexpr wchar_t importedFileName[] = L"vrllocale.tlb";

}  // namespace ServerTypeLibrary
