#pragma once
// The keywords of a registry script and the key names whose subtrees a script
// may never delete.

#include "registration/AnsiText.h"

inline constexpr char KeywordForceRemove[] = "ForceRemove";
inline constexpr char KeywordNoRemove[] = "NoRemove";
inline constexpr char KeywordDelete[] = "Delete";
inline constexpr char KeywordVal[] = "Val";

inline constexpr const char* ProtectedKeyNames[] = {"CLSID", "TYPELIB", nullptr};

inline bool IsProtectedKeyName(const char* name)
{
    for (const char* const* row = ProtectedKeyNames; *row != nullptr; ++row) {
        if (EqualsIgnoringCase(name, *row))
            return true;
    }
    return false;
}
