#ifndef VRL_COMMON_RESOURCE_IDS_H
#define VRL_COMMON_RESOURCE_IDS_H
// The ids of the module's resources, for the resource script and for the
// code alike. The resource compiler reads only the definitions.

// The server's own type library.
#define VRL_TYPELIB_RESOURCE 1
// The registry script that DllRegisterServer applies.
#define VRL_REGISTRY_SCRIPT_RESOURCE 1001

// Texts of the string table that code names.
#define VRL_TEXT_OK_BUTTON 100
#define VRL_TEXT_SIZE_LABEL 452

#ifndef RC_INVOKED
#include <windows.h>

inline constexpr UINT kTypeLibResourceId = VRL_TYPELIB_RESOURCE;
inline constexpr UINT kServerScriptResourceId = VRL_REGISTRY_SCRIPT_RESOURCE;
inline constexpr wchar_t kScriptResourceType[] = L"REGISTRY";

inline constexpr LONG kOkButtonTextId = VRL_TEXT_OK_BUTTON;
inline constexpr LONG kSizeLabelTextId = VRL_TEXT_SIZE_LABEL;

// String ids are 16 bits wide.
inline constexpr LONG kLargestStringId = 0xFFFF;
#endif

#endif
