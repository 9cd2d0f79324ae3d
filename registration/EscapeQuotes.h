#pragma once
// Doubles every single quote of a value that will stand inside a quoted
// script token, so that it reads back as the original text.

#include <windows.h>

// `destination` must hold twice the length of `source` plus the NUL.
void EscapeQuotes(wchar_t* destination, const wchar_t* source);
