#pragma once
// Draws a language's texts in the server's font through GDI: one row per
// string id with the source text, the translation and the width of each in
// pixels, the translation marked where it is wider than the source by more
// than a share. The sheet is saved as a 32-bit bitmap file.

#include <windows.h>

#include <string>
#include <vector>

#include "tools/vrl-textsheet/SheetRows.h"

struct MeasuredRow {
    unsigned id = 0;
    int sourceWidth = 0;
    int translationWidth = 0;
    bool overflows = false;
};

struct SheetRequest {
    const wchar_t* fontFace;  // as the server reports it, e.g. "Arial"
    int pointSize;  // at 96 dots per inch
    int overflowPercent;  // how much wider than the source a translation may be
    const wchar_t* bitmapPath;
};

// Measures and draws every row; actualFace is the face the platform chose
// for the requested one (a metric-compatible stand-in where it has no such).
HRESULT DrawTextSheet(const SheetRequest& request, const std::vector<SheetRow>& rows, std::wstring& actualFace,
                      std::vector<MeasuredRow>& measured);
