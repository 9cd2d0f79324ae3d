#pragma once
// Text output of the command-line tools: UTF-8 on the standard streams, texts
// quoted with their control characters made visible, HRESULTs in hex.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

// Writes the text as UTF-8 to a standard stream (STD_OUTPUT_HANDLE or
// STD_ERROR_HANDLE), byte for byte, whatever the console's code page.
void WriteUtf8(const std::wstring& text, DWORD stream = STD_OUTPUT_HANDLE);

// Quotes a text and makes control characters visible, so that trailing
// blanks and line breaks show.
std::wstring Visible(std::wstring_view text);
inline std::wstring Visible(BSTR text)
{
    return Visible(std::wstring_view(text, SysStringLen(text)));
}

// 0x8007007E
std::wstring Hex(HRESULT result);
