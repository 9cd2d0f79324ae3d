#pragma once
// Reads the text that a key holds as its default value: the file that a
// class's InprocServer32 key or a type library's platform key names.

#include <windows.h>

#include "registration/ModulePath.h"

// The default value of parent\`path`, opened with `view` (0, or a registry
// view flag), into `text`; empty when the key has no text default value.
// False when the key cannot be opened.
bool ReadDefaultText(HKEY parent, const wchar_t* path, REGSAM view, ModulePathBuffer& text);
