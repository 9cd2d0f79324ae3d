#include "regscript/AnsiText.h"

bool ContainsBackslash(const char* text)
{
    for (const char* position = text; *position != '\0'; position = NextCharacter(position)) {
        if (*position == kBackslash)
            return true;
    }
    return false;
}

char* CopyAsAnsi(const wchar_t* text)
{
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return nullptr;
    auto* converted = static_cast<char*>(CoTaskMemAlloc(bytes));
    if (converted && WideCharToMultiByte(CP_ACP, 0, text, -1, converted, bytes, nullptr, nullptr) <= 0) {
        CoTaskMemFree(converted);
        return nullptr;
    }
    return converted;
}
