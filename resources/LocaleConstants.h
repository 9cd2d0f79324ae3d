#pragma once
// The fixed values that the resource object reports. Each server defines
// them once, in the identity source generated from its language folder's
// language.json (dll/LanguageIdentity.cpp.in).

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

// The reported language ids are the folder's own, whatever language the
// resources are stored under.
extern const LocaleConstants kLocaleConstants;
