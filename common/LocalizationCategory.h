#pragma once
// The component category in which the discovery control finds its language
// servers.

#include <windows.h>

#include "common/Guids.h"

namespace LocalizationCategory {

inline constexpr const GUID& kCatid = CATID_LocalizationCategory;
inline constexpr wchar_t kDescription[] = L"Varnel Instrument Discovery Control Localization Resources";
// Categories keep their descriptions by locale; this one's is in US English.
inline constexpr LCID kDescriptionLocale = MAKELCID(MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), SORT_DEFAULT);

// The registry value that holds a description: its locale in hexadecimal
// digits, as the categories manager names it.
struct LocaleValueName {
    wchar_t text[sizeof(LCID) * 2 + 1];
};

constexpr LocaleValueName ValueNameOf(LCID locale)
{
    constexpr int kBitsPerDigit = 4;
    constexpr LCID kDigitMask = 0xF;
    constexpr int kDecimalDigits = 10;
    LocaleValueName name{};
    int digits = 1;
    while (digits < static_cast<int>(sizeof(LCID) * 2) && (locale >> (digits * kBitsPerDigit)) != 0)
        ++digits;
    for (int index = 0; index < digits; ++index) {
        const LCID digit = (locale >> ((digits - 1 - index) * kBitsPerDigit)) & kDigitMask;
        name.text[index] =
            static_cast<wchar_t>(digit < kDecimalDigits ? L'0' + digit : L'A' + (digit - kDecimalDigits));
    }
    return name;
}

inline constexpr LocaleValueName kDescriptionValueName = ValueNameOf(kDescriptionLocale);

}  // namespace LocalizationCategory
