#pragma once
// The string ids that a module file holds in its string table, read from the
// file loaded as data (no code of it runs).

#include <windows.h>

#include <string>
#include <vector>

// Fills ids, ascending and without repeats, with every id that has a text of
// at least one character in any language of the table. A module without a
// string table gives no ids and S_OK.
HRESULT ReadStringTableIds(const std::wstring& modulePath, std::vector<LONG>& ids);
