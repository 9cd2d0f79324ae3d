#pragma once
// The rows of a text sheet as the language kit writes them: one line per
// string id, "ID<TAB>SOURCE<TAB>TRANSLATION" in UTF-8, with backslash, tab,
// carriage return and line feed written as \\, \t, \r and \n.

#include <string>
#include <vector>

struct SheetRow {
    unsigned id = 0;
    std::wstring source;
    std::wstring translation;
};

// The rows of the file's UTF-8 text; false (with the line in error) for a
// line that is not a row.
bool ParseSheetRows(const std::string& utf8, std::vector<SheetRow>& rows, size_t& lineInError);
