// Measuring and drawing a text sheet with GDI (see TextSheet.h).

#include "tools/vrl-textsheet/TextSheet.h"

#include <algorithm>

#include "tools/vrl-textsheet/GdiOwners.h"
#include "common/Win32Result.h"

namespace {

constexpr int kDotsPerInch = 96;
constexpr int kPointsPerInch = 72;
constexpr int kMargin = 8;
constexpr int kCellPadding = 6;
constexpr int kIdColumnWidth = 48;
constexpr int kWidthsColumnWidth = 200;
constexpr int kPercentBase = 100;
constexpr WORD kBitsPerPixel = 32;
constexpr WORD kBitmapFileType = 0x4D42;  // "BM"
constexpr COLORREF kInk = RGB(0, 0, 0);
constexpr COLORREF kPaper = RGB(255, 255, 255);
constexpr COLORREF kRuleColour = RGB(208, 208, 208);
constexpr COLORREF kOverflowPaper = RGB(255, 204, 204);
constexpr COLORREF kOverflowInk = RGB(192, 0, 0);
// How the texts are laid out: as a dialog's static text, '&' marking the
// accelerator and line breaks kept.
constexpr UINT kTextFormat = DT_LEFT | DT_TOP | DT_NOCLIP | DT_EXPANDTABS;

SIZE MeasureText(HDC dc, const std::wstring& text)
{
    RECT bounds = {0, 0, 0, 0};
    if (!text.empty())
        DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &bounds, kTextFormat | DT_CALCRECT);
    return {bounds.right - bounds.left, bounds.bottom - bounds.top};
}

void DrawCell(HDC dc, const std::wstring& text, int left, int top, COLORREF ink)
{
    RECT cell = {left, top, left, top};
    SetTextColor(dc, ink);
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &cell, kTextFormat);
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
    file.bfType = kBitmapFileType;
    file.bfOffBits = sizeof file + sizeof header;
    file.bfSize = file.bfOffBits + pixelBytes;
    const HANDLE created = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (created == INVALID_HANDLE_VALUE)
        return LastErrorResult();
    const UniqueHandle<HANDLE, CloseHandle> output(created);
    DWORD written = 0;
    const bool ok = WriteFile(output.Get(), &file, sizeof file, &written, nullptr) &&
        WriteFile(output.Get(), &header, sizeof header, &written, nullptr) &&
        WriteFile(output.Get(), pixels, pixelBytes, &written, nullptr);
    return ok ? S_OK : LastErrorResult();
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
    int top = kMargin + headerHeight + kCellPadding;
    for (const SheetRow& row : rows) {
        const SIZE source = MeasureText(dc, row.source);
        const SIZE translation = MeasureText(dc, row.translation);
        sourceWidth = std::max<int>(sourceWidth, source.cx);
        translationWidth = std::max<int>(translationWidth, translation.cx);
        layout.rowTops.push_back(top);
        top += std::max<int>({source.cy, translation.cy, headerHeight}) + kCellPadding;
    }
    layout.sourceColumn = kMargin + kIdColumnWidth;
    layout.translationColumn = layout.sourceColumn + sourceWidth + 2 * kCellPadding;
    layout.widthsColumn = layout.translationColumn + translationWidth + 2 * kCellPadding;
    layout.width = layout.widthsColumn + kWidthsColumnWidth + kMargin;
    layout.height = top + kMargin;
    return layout;
}

}  // namespace

HRESULT DrawTextSheet(const SheetRequest& request, const std::vector<SheetRow>& rows, std::wstring& actualFace,
                      std::vector<MeasuredRow>& measured)
{
    const MemoryDc dc(CreateCompatibleDC(nullptr));
    if (!dc.Get())
        return E_FAIL;
    const GdiObject<HFONT> font(CreateFontW(-MulDiv(request.pointSize, kDotsPerInch, kPointsPerInch), 0, 0, 0,
                                            FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
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
    info.bmiHeader.biBitCount = kBitsPerPixel;
    info.bmiHeader.biCompression = BI_RGB;
    void* pixels = nullptr;
    const GdiObject<HBITMAP> sheet(CreateDIBSection(dc.Get(), &info, DIB_RGB_COLORS, &pixels, nullptr, 0));
    if (!sheet.Get() || !pixels)
        return E_OUTOFMEMORY;
    const Selection sheetInUse(dc.Get(), sheet.Get());
    SetBkMode(dc.Get(), TRANSPARENT);
    FillBox(dc.Get(), 0, 0, layout.width, layout.height, kPaper);

    DrawCell(dc.Get(), L"id", kMargin, kMargin, kInk);
    DrawCell(dc.Get(), L"source", layout.sourceColumn, kMargin, kInk);
    DrawCell(dc.Get(), L"translation", layout.translationColumn, kMargin, kInk);
    DrawCell(dc.Get(), L"widths (px)", layout.widthsColumn, kMargin, kInk);
    measured.clear();
    for (size_t index = 0; index < rows.size(); ++index) {
        const SheetRow& row = rows[index];
        const int top = layout.rowTops[index];
        MeasuredRow result = {row.id, MeasureText(dc.Get(), row.source).cx, MeasureText(dc.Get(), row.translation).cx};
        result.overflows =
            result.translationWidth * kPercentBase > result.sourceWidth * (kPercentBase + request.overflowPercent);
        const int bottom = index + 1 < rows.size() ? layout.rowTops[index + 1] : layout.height - kMargin;
        FillBox(dc.Get(), kMargin, top - kCellPadding / 2, layout.width - kMargin, top - kCellPadding / 2 + 1,
                kRuleColour);
        if (result.overflows)
            FillBox(dc.Get(), layout.translationColumn - kCellPadding / 2, top - kCellPadding / 2 + 1,
                    layout.width - kMargin, bottom - kCellPadding / 2, kOverflowPaper);
        DrawCell(dc.Get(), std::to_wstring(row.id), kMargin, top, kInk);
        DrawCell(dc.Get(), row.source, layout.sourceColumn, top, kInk);
        DrawCell(dc.Get(), row.translation, layout.translationColumn, top, result.overflows ? kOverflowInk : kInk);
        std::wstring widths =
            std::to_wstring(result.sourceWidth) + L" \x2192 " + std::to_wstring(result.translationWidth);
        if (result.overflows && result.sourceWidth > 0)
            widths += L"  +" +
                std::to_wstring((result.translationWidth - result.sourceWidth) * kPercentBase / result.sourceWidth) +
                L"%";
        DrawCell(dc.Get(), widths, layout.widthsColumn, top, result.overflows ? kOverflowInk : kInk);
        measured.push_back(result);
    }
    GdiFlush();
    return SaveBitmap(request.bitmapPath, info.bmiHeader, pixels);
}
