#pragma once
// What the discovery tool learns about one class enrolled in the category.

#include <windows.h>

#include <string>
#include <vector>

// A step that failed, and its code.
struct FailedStep {
    const wchar_t* step = nullptr;
    HRESULT result = S_OK;

    explicit operator bool() const { return step != nullptr; }
};

// One string-table id and what GetString gave for it.
struct ServerText {
    LONG id = 0;
    bool found = false;  // false: GetString gave a null string
    std::wstring text;
};

struct LanguageServer {
    std::wstring clsid;  // "{...}"
    std::wstring progId;  // empty when none is registered
    std::wstring serverFile;  // empty when none is registered
    FailedStep failure;  // set when the object could not be created or asked

    // What the object says; valid when there is no failure.
    std::wstring languageName;
    SHORT primaryLanguageId = 0;
    SHORT subLanguageId = 0;
    std::wstring version;

    // With --texts.
    std::vector<ServerText> texts;
    FailedStep textsFailure;
};

struct CategoryListing {
    std::wstring catid;  // "{...}"
    std::wstring description;  // empty when the category has none registered
    std::vector<LanguageServer> servers;
};
