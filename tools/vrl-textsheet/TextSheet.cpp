// Measuring and drawing a text sheet with GDI (see TextSheet.h).

#include "tools/vrl-textsheet/TextSheet.h"

#include <algorithm>

#include "tools/vrl-textsheet/GdiOwners.h"

namespace {

constexpr int DotsPerInch = 96;
constexpr int PointsPerInch = 72;
constexpr int Margin = 8;
constexpr int CellPadding = 6;
constexpr int IdColumnWidth = 48;
constexpr int WidthsColumnWidth = 200;
constexpr int PercentBase = 100;
constexpr WORD BitsPerPixel = 32;
constexpr WORD BitmapFileType = 0x4D42;  // "BM"
constexpr COLORREF Ink = RGB(0, 0, 0);
constexpr COLORREF Paper = RGB(255, 255, 255);
constexpr COLORREF RuleColour = RGB(208, 208, 208);
constexpr COLORREF OverflowPaper = RGB(255, 204, 204);
constexpr COLORREF OverflowInk = RGB(192, 0, 0);
// How the texts are laid out: as a dialog's static text, '&' marking the
// accelerator and line breaks kept.
constexpr UINT TextFormat = DT_LEFT | DT_TOP | DT_NOCLIP | DT_EXPANDTABS;

SIZE MeasureText(HDC dc, const std::wstring& text)
{
    RECT bounds = {0, 0, 0, 0};
    if (!text.empty())
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, TextFormat | DT_CALCRECT);
    return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

void DrawCell(HDC dc, const std::wstring& text, int left, int top, COLORREF ink)
{
    RECT cell = {left, top, left, top};
    SetTextColor(dc, ink);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &cell, TextFormat);
}

void FillBox(HDC dc, int left, int top, int right, int bottom, COLORREF colour)
{
    const GdiObject<HBRUSH> brush(CreateSolidBrush(colour));
    const RECT box = {left, top, right, bottom};
    FillRect(dc, &box, brush.Get());
}

HRESULT SaveBitmap(const wchar_t* path, const BITMAPINFOHEADER& header, const void* pixels)
{
    const DWORD pixelBytes = static_cast<DWORD>(header.biWidth) * static_cast<DWORD>(-header.biHeight) * sizeof(DWORD);
    BITMAPFILEHEADER file = {};
    file.bfType = BitmapFileType;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + pixelBytes;
    const HANDLE output = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (output == INVALID_HANDLE_VALUE)
        return HRESULT_FROM_WIN32(GetLastError());
    DWORD written = 0;
    const bool ok = WriteFile(output, &file, sizeof file, &written, nullptr) &&
        WriteFile(output, &header, sizeof header, &written, nullptr) &&
        WriteFile(output, pixels, pixelBytes, &written, nullptr);
    const DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    CloseHandle(output);
    return HRESULT_FROM_WIN32(error);
}

struct Layout {
    int sourceColumn;
    int translationColumn;
    int widthsColumn;
    int width;
    std::vector<int> rowTops;
    int height;
};

Layout LayOut(HDC dc, const std::vector<SheetRow>& rows, int headerHeight)
{
    int sourceWidth = 0, translationWidth = 0;
    Layout layout = {};
    int top = Margin + headerHeight + CellPadding;
    for (const SheetRow& row : rows) {
        const SIZE source = MeasureText(dc, row.source);
        const SIZE translation = MeasureText(dc, row.translation);
        sourceWidth = std::max<int>(sourceWidth, source.cx);
        translationWidth = std::max<int>(translationWidth, translation.cx);
        layout.rowTops.push_back(top);
        top += std::max<int>({source.cy, translation.cy, headerHeight}) + CellPadding;
    }
    layout.sourceColumn = Margin + IdColumnWidth;
    layout.translationColumn = layout.sourceColumn + sourceWidth + 2 * CellPadding;
    layout.widthsColumn = layout.translationColumn + translationWidth + 2 * CellPadding;
    layout.width = layout.widthsColumn + WidthsColumnWidth + Margin;
    layout.height = top + Margin;
    return layout;
}

}  // namespace

HRESULT DrawTextSheet(const SheetRequest& request, const std::vector<SheetRow>& rows, std::wstring& actualFace,
                      std::vector<MeasuredRow>& measured)
{
    const MemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc.Get())
        return E_FAIL;
    const GdiObject<HFONT> font(CreateFontW(-MulDiv(request.pointSize, DotsPerInch, PointsPerInch), 0, 0, 0, FW_NORMAL,
                                            FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                                            CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                                            request.fontFace));
    if (!font.Get())
        return E_FAIL;
    const Selection fontInUse(dc.Get(), font.Get());
    wchar_t face[LF_FACESIZE] = {};
    GetTextFaceW(dc.Get(), LF_FACESIZE, face);
    actualFace = face;

    const int headerHeight = MeasureText(dc.Get(), L"Ag").cy;
    const Layout layout = LayOut(dc.Get(), rows, headerHeight);
    BITMAPINFO info = {};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = layout.width;
    info.bmiHeader.biHeight = -layout.height;  // top-down
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = BitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    const GdiObject<HBITMAP> sheet(CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!sheet.Get() || !pixels)
        return E_OUTOFMEMORY;
    const Selection sheetInUse(dc.Get(), sheet.Get());
    SetBkMode(dc.Get(), TRANSPARENT);
    FillBox(dc.Get(), 0, 0, layout.width, layout.height, Paper);

    DrawCell(dc.Get(), L"id", Margin, Margin, Ink);
    DrawCell(dc.Get(), L"source", layout.sourceColumn, Margin, Ink);
    DrawCell(dc.Get(), L"translation", layout.translationColumn, Margin, Ink);
    DrawCell(dc.Get(), L"widths (px)", layout.widthsColumn, Margin, Ink);
    measured.clear();
    for (size_t index = 0; index < rows.size(); ++index) {
        const SheetRow& row = rows[index];
        const int top = layout.rowTops[index];
        MeasuredRow result = {row.id, MeasureText(dc.Get(), row.source).cx, MeasureText(dc.Get(), row.translation).cx};
        result.overflows =
            result.translationWidth * PercentBase > result.sourceWidth * (PercentBase + request.overflowPercent);
        const int bottom = index + 1 < rows.size() ? layout.rowTops[index + 1] : layout.height - Margin;
        FillBox(dc.Get(), Margin, top - CellPadding / 2, layout.width - Margin, top - CellPadding / 2 + 1, RuleColour);
        if (result.overflows)
            FillBox(dc.Get(), layout.translationColumn - CellPadding / 2, top - CellPadding / 2 + 1,
                    layout.width - Margin, bottom - CellPadding / 2, OverflowPaper);
        DrawCell(dc.Get(), std::to_wstring(row.id), Margin, top, Ink);
        DrawCell(dc.Get(), row.source, layout.sourceColumn, top, Ink);
        DrawCell(dc.Get(), row.translation, layout.translationColumn, top, result.overflows ? OverflowInk : Ink);
        std::wstring widths =
            std::to_wstring(result.sourceWidth) + L" \x2192 " + std::to_wstring(result.translationWidth);
        if (result.overflows && result.sourceWidth > 0)
            widths += L"  +" +
                std::to_wstring((result.translationWidth - result.sourceWidth) * PercentBase / result.sourceWidth) +
                L"%";
        DrawCell(dc.Get(), widths, layout.widthsColumn, top, result.overflows ? OverflowInk : Ink);
        measured.push_back(result);
    }
    GdiFlush();
    return SaveBitmap(request.bitmapPath, info.bmiHeader, pixels);
}
