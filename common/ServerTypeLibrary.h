#pragma once
// What every language server's own type library holds alike: the library's
// version, locale and flags, its one class's flags, and the sibling library
// it imports ILocaleResources from. The build-time library writer and the
// server's dispatch support both read these; the library's and the class's
// names and GUIDs are each language's own (ServerIdentity.h).

#include <windows.h>
#include <oaidl.h>

namespace ServerTypeLibrary {

inline constexpr WORD kMajorVersion = 1;
inline constexpr WORD kMinorVersion = 0;
inline constexpr LCID kLocale = 0;
// The library describes the module it is built into: 32-bit or 64-bit.
inline constexpr SYSKIND kSystemKind = sizeof(void*) == sizeof(ULONG64) ? SYS_WIN64 : SYS_WIN32;
inline constexpr WORD kLibraryFlags = LIBFLAG_FHIDDEN;
inline constexpr WORD kClassTypeFlags = TYPEFLAG_FHIDDEN | TYPEFLAG_FCANCREATE;

// The imported library that defines ILocaleResources (LIBID_VRLLOCALELib),
// by the file name the import is recorded under.
inline constexpr wchar_t kImportedFileName[] = L"vrllocale.tlb";

}  // namespace ServerTypeLibrary
