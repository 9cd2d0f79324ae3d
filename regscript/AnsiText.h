#pragma once
// Stepping and testing 8-bit text in the ANSI code page. A double-byte
// character is always stepped over whole, and single-character tests look at
// the first byte of a character only, so a trail byte is never mistaken for a
// quote, a backslash or a blank.

#include <windows.h>
#include <objbase.h>

constexpr char kSingleQuote = '\'';
constexpr char kPercentSign = '%';
constexpr char kBackslash = '\\';
constexpr char kOpeningBrace = '{';
constexpr char kClosingBrace = '}';
constexpr char kEqualsSign = '=';

// Tab, line feed, carriage return and space; nothing else.
constexpr bool IsScriptBlank(char c)
{
    return c == '\t' || c == '\n' || c == '\r' || c == ' ';
}

// The start of the character after the one at `position` (never past the NUL).
inline const char* NextCharacter(const char* position)
{
    return CharNextA(position);
}

// Whole, case-insensitive comparison in the user's locale.
inline bool EqualsIgnoringCase(const char* left, const char* right)
{
    return lstrcmpiA(left, right) == 0;
}

// True when a backslash begins one of the characters of `text`.
bool ContainsBackslash(const char* text);

// `text` converted to the ANSI code page, in task memory that the caller
// frees; null when it cannot be converted or allocated.
char* CopyAsAnsi(const wchar_t* text);
