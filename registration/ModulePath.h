#pragma once
// The path of the module's own file, as registration writes it down. It is
// read in UTF-16; the script, which is 8-bit text, gets a form of it that
// names the same file in the ANSI code page, or registration does not go on.

#include <windows.h>

// Every module path, its NUL included.
constexpr DWORD kModulePathCapacity = MAX_PATH;

using ModulePathBuffer = wchar_t[kModulePathCapacity];

// The full path of `module`'s file (null: the process's executable). A path
// that does not fit is an error, never cut.
HRESULT ReadModulePath(HMODULE module, ModulePathBuffer& path);

// True when `text` converts to the ANSI code page and back unchanged: no
// best-fit replacement, no default character.
bool SurvivesAnsiRoundTrip(const wchar_t* text);

// The form of `longPath` (the file of `module`) to substitute into 8-bit
// script text: the long path of a library, the short form of an executable,
// each with the other form as the fallback when it does not survive the
// ANSI code page. HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION) when
// neither does.
HRESULT ChooseScriptPath(HMODULE module, const wchar_t* longPath, ModulePathBuffer& chosen);

// Reads the text that a key holds as its default value: the file that a
// class's InprocServer32 key or a type library's platform key names.
// The default value of parent\`path`, opened with `view` (0, or a registry
// view flag), into `text`; empty when the key has no text default value.
// False when the key cannot be opened.
bool ReadDefaultText(HKEY parent, const wchar_t* path, REGSAM view, ModulePathBuffer& text);
