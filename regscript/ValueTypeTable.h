#pragma once
// The type letters of a value clause and the variant type each stands for.

#include <windows.h>
#include <wtypes.h>

struct ValueTypeRow {
    const char* letter;
    VARTYPE variantType;
};

inline constexpr ValueTypeRow kValueTypeTable[] = {
    {"S", VT_BSTR},  // written as REG_SZ
    {"D", VT_UI4},  // written as REG_DWORD
    {"B", VT_UI1},  // written as REG_BINARY
    {nullptr, VT_EMPTY},
};
