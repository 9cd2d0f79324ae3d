#include "registration/EscapeQuotes.h"

void EscapeQuotes(wchar_t* destination, const wchar_t* source)
{
    constexpr wchar_t quote = L'\'';
    for (; *source != L'\0'; ++source) {
        *destination++ = *source;
        if (*source == quote)
            *destination++ = quote;
    }
    *destination = L'\0';
}
