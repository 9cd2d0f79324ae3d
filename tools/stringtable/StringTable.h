#pragma once
// The texts that a module holds in its string table, read from its resources
// (for another server, from the file loaded as data, so that no code of it
// runs).

#include <windows.h>

#include <string>
#include <vector>

struct TableText {
    LONG id = 0;
    std::wstring text;
};

// Fills texts, ascending by id and without repeats, with every text of at
// least one character in any language of the module's table (the first
// language found wins for an id). A module without a string table gives no
// texts and S_OK.
HRESULT ReadStringTableTexts(HMODULE module, std::vector<TableText>& texts);

// The ids of the texts of a module file.
HRESULT ReadStringTableIds(const std::wstring& modulePath, std::vector<LONG>& ids);
