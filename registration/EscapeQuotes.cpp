#include "registration/EscapeQuotes.h"

void EscapeQuotes(wchar_t* destination, const wchar_t* source)
{
    constexpr wchar_t kQuote = L'\'';
    for (; *source != L'\0'; ++source) {
        *destination++ = *source;
        if (*source == kQuote)
            *destination++ = kQuote;
    }
    *destination = L'\0';
}
