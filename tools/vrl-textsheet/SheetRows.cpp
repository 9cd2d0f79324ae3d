// Reading the rows of a text sheet (see SheetRows.h).

#include "tools/vrl-textsheet/SheetRows.h"

#include "tools/console/ConsoleText.h"

namespace {

constexpr wchar_t kFieldSeparator = L'\t';
constexpr int kDecimalBase = 10;

// The text of an escaped field; false for an escape the writer never makes.
bool Unescape(const std::wstring& field, std::wstring& text)
{
    text.clear();
    for (size_t at = 0; at < field.size(); ++at) {
        if (field[at] != L'\\') {
            text += field[at];
            continue;
        }
        if (++at == field.size())
            return false;
        switch (field[at]) {
        case L'\\': text += L'\\'; break;
        case L't': text += L'\t'; break;
        case L'r': text += L'\r'; break;
        case L'n': text += L'\n'; break;
        default: return false;
        }
    }
    return true;
}

bool ParseRow(const std::wstring& line, SheetRow& row)
{
    const size_t first = line.find(kFieldSeparator);
    const size_t second = first == std::wstring::npos ? first : line.find(kFieldSeparator, first + 1);
    if (second == std::wstring::npos || line.find(kFieldSeparator, second + 1) != std::wstring::npos || first == 0)
        return false;
    row.id = 0;
    for (size_t at = 0; at < first; ++at) {
        if (line[at] < L'0' || line[at] > L'9')
            return false;
        row.id = row.id * kDecimalBase + static_cast<unsigned>(line[at] - L'0');
    }
    return Unescape(line.substr(first + 1, second - first - 1), row.source) &&
        Unescape(line.substr(second + 1), row.translation);
}

}  // namespace

bool ParseSheetRows(const std::string& utf8, std::vector<SheetRow>& rows, size_t& lineInError)
{
    rows.clear();
    size_t lineNumber = 0;
    for (size_t start = 0; start < utf8.size();) {
        size_t end = utf8.find('\n', start);
        if (end == std::string::npos)
            end = utf8.size();
        ++lineNumber;
        const std::string line = utf8.substr(start, end - start);
        start = end + 1;
        if (line.empty())
            continue;
        SheetRow row;
        if (!ParseRow(FromUtf8(line), row)) {
            lineInError = lineNumber;
            return false;
        }
        rows.push_back(row);
    }
    return true;
}
