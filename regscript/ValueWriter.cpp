// Writing one value clause ("= type text") into a key.

#include "regscript/ValueWriter.h"

#include <oleauto.h>

#include "common/Win32Result.h"

namespace {

constexpr int kBinaryCapacity = kScriptTokenCapacity / 2;
constexpr int kHighNibbleShift = 4;

LONG WriteString(HKEY key, const char* name, const char* text)
{
    const DWORD bytes = lstrlenA(text) + 1;  // the NUL is stored too
    return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), bytes);
}

// Pairs of hexadecimal digits, the first of each the high nibble; a
// character that is no digit counts as 0.
HRESULT WriteBinary(HKEY key, const char* name, const char* text)
{
    const int digits = lstrlenA(text);
    if (digits % 2 != 0)
        return E_FAIL;
    BYTE bytes[kBinaryCapacity];
    for (int i = 0; i < digits / 2; ++i)
        bytes[i] = 0;
    for (int i = 0; i < digits; ++i) {
        const int nibble = ScriptLexer::HexDigitValue(text[i]);
        bytes[i / 2] |= static_cast<BYTE>(i % 2 == 0 ? nibble << kHighNibbleShift : nibble);
    }
    return FromWin32Status(RegSetValueExA(key, name, 0, REG_BINARY, bytes, digits / 2));
}

// A number text that does not convert fails with the conversion's code.
HRESULT WriteNumber(HKEY key, const char* name, const char* text)
{
    wchar_t wideText[kScriptTokenCapacity];
    if (MultiByteToWideChar(CP_ACP, 0, text, -1, wideText, kScriptTokenCapacity) <= 0)
        return LastErrorResult();
    ULONG number = 0;
    const HRESULT hr = VarUI4FromStr(wideText, 0, 0, &number);
    if (FAILED(hr))
        return hr;
    const DWORD stored = number;
    return FromWin32Status(
        RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stored), sizeof stored));
}

}  // namespace

HRESULT WriteValue(ScriptLexer& lexer, HKEY key, const char* name, char* token)
{
    char text[kScriptTokenCapacity];
    HRESULT hr = lexer.ReadToken(text);
    if (FAILED(hr))
        return hr;
    VARTYPE variantType = VT_EMPTY;
    if (!ScriptLexer::LookupValueType(text, &variantType))
        return DISP_E_EXCEPTION;
    lexer.SkipBlanks();
    hr = lexer.ReadToken(text);
    if (FAILED(hr))
        return hr;

    switch (variantType) {
    case VT_BSTR: hr = FromWin32Status(WriteString(key, name, text)); break;
    case VT_UI1: hr = WriteBinary(key, name, text); break;
    default: hr = WriteNumber(key, name, text); break;
    }
    if (FAILED(hr))
        return hr;
    return lexer.ReadToken(token);
}
