#pragma once
// The fixed values that the resource object reports.

#include <windows.h>

struct LocaleConstants {
    const wchar_t* versionText;
    const wchar_t* fontFace;
    const wchar_t* languageName;
    const wchar_t* helpFilePath;
    LONG number1;
    LONG number2;
    LONG number3;
    SHORT primaryLanguageId;
    SHORT subLanguageId;
};

// The reported language is Spanish (LANG_SPANISH) with sublanguage 1
// (SUBLANG_SPANISH), whatever language the resources are stored under.
inline constexpr LocaleConstants kLocaleConstants = {
    L"1.0.0.0", L"Arial", L"Spanish", L".\\Help\\VrlDiscoveryES.hlp", 8, 1, 34, LANG_SPANISH, SUBLANG_SPANISH,
};
