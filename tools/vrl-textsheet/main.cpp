// vrl-textsheet FONT-FACE POINT-SIZE OVERFLOW-PERCENT ROWS.txt SHEET.bmp
// Draws a language's texts (ROWS.txt, as the language kit writes them) in
// the server's font through GDI into SHEET.bmp, and prints what it measured
// as UTF-8 lines: "face<TAB>FACE" (the face the platform chose), then
// "ID<TAB>SOURCE-WIDTH<TAB>TRANSLATION-WIDTH<TAB>OVERFLOWS" per row, widths
// in pixels at 96 dots per inch and OVERFLOWS 1 where the translation is
// wider than the source by more than OVERFLOW-PERCENT.

#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include <windows.h>

#include "tools/console/ConsoleText.h"
#include "tools/console/ExitCodes.h"
#include "tools/vrl-textsheet/SheetRows.h"
#include "tools/vrl-textsheet/TextSheet.h"

namespace {

enum Argument { FontFace = 1, PointSize, OverflowPercent, RowsPath, SheetPath, ArgumentCount };
constexpr size_t kReadChunk = 4096;

bool ReadWholeFile(const wchar_t* path, std::string& contents)
{
    FILE* file = _wfopen(path, L"rb");
    if (!file)
        return false;
    char chunk[kReadChunk];
    size_t read = 0;
    while ((read = std::fread(chunk, 1, sizeof chunk, file)) > 0)
        contents.append(chunk, read);
    const bool complete = !std::ferror(file);
    std::fclose(file);
    return complete;
}

bool ReadNumber(const wchar_t* text, int& number)
{
    wchar_t* end = nullptr;
    const long value = std::wcstol(text, &end, 10);
    if (end == text || *end != L'\0' || value <= 0 || value > MAXSHORT)
        return false;
    number = static_cast<int>(value);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    SheetRequest request = {};
    if (argc != ArgumentCount || !ReadNumber(argv[PointSize], request.pointSize) ||
        !ReadNumber(argv[OverflowPercent], request.overflowPercent)) {
        WriteUtf8(L"usage: vrl-textsheet FONT-FACE POINT-SIZE OVERFLOW-PERCENT ROWS.txt SHEET.bmp\n", STD_ERROR_HANDLE);
        return kExitUsage;
    }
    request.fontFace = argv[FontFace];
    request.bitmapPath = argv[SheetPath];
    std::string contents;
    if (!ReadWholeFile(argv[RowsPath], contents)) {
        WriteUtf8(std::wstring(L"vrl-textsheet: cannot read ") + argv[RowsPath] + L"\n", STD_ERROR_HANDLE);
        return kExitFailure;
    }
    std::vector<SheetRow> rows;
    size_t lineInError = 0;
    if (!ParseSheetRows(contents, rows, lineInError)) {
        WriteUtf8(std::wstring(argv[RowsPath]) + L":" + std::to_wstring(lineInError) + L": not a row\n",
                  STD_ERROR_HANDLE);
        return kExitFailure;
    }
    std::wstring face;
    std::vector<MeasuredRow> measured;
    const HRESULT result = DrawTextSheet(request, rows, face, measured);
    if (FAILED(result)) {
        WriteUtf8(L"vrl-textsheet: drawing the sheet failed: " + Hex(result) + L"\n", STD_ERROR_HANDLE);
        return kExitFailure;
    }
    std::wstring report = L"face\t" + face + L"\n";
    for (const MeasuredRow& row : measured)
        report += std::to_wstring(row.id) + L"\t" + std::to_wstring(row.sourceWidth) + L"\t" +
            std::to_wstring(row.translationWidth) + L"\t" + (row.overflows ? L"1" : L"0") + L"\n";
    WriteUtf8(report);
    return kExitSuccess;
}
