#pragma once
// The keywords of a registry script and the key names whose subtrees a script
// may never delete.

#include "regscript/AnsiText.h"

inline constexpr char kKeywordForceRemove[] = "ForceRemove";
inline constexpr char kKeywordNoRemove[] = "NoRemove";
inline constexpr char kKeywordDelete[] = "Delete";
inline constexpr char kKeywordVal[] = "Val";

inline constexpr const char* kProtectedKeyNames[] = {"CLSID", "TYPELIB", nullptr};

inline bool IsProtectedKeyName(const char* name)
{
    for (const char* const* row = kProtectedKeyNames; *row != nullptr; ++row) {
        if (EqualsIgnoringCase(name, *row))
            return true;
    }
    return false;
}
