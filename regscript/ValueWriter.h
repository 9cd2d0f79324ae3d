#pragma once
// Writing one value clause ("= type text") of a registry script into a key.

#include <windows.h>

#include "regscript/ScriptLexer.h"

// Writes the value clause that `token` ("=") begins into `key` under `name`
// (null for the default value); on success `token` holds the next item.
HRESULT WriteValue(ScriptLexer& lexer, HKEY key, const char* name, char* token);
