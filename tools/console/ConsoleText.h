#pragma once
// Text output of the command-line tools: UTF-8 on the standard streams, texts
// quoted with their control characters made visible, HRESULTs in hex; and
// the UTF-8 text of their input files read back.

#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

// The UTF-16 text of UTF-8 bytes; empty for bytes that are not UTF-8.
std::wstring FromUtf8(const std::string& text);

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
