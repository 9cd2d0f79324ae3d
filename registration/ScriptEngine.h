#pragma once
// Applies a registry script to the registry (register mode) or removes what
// it describes (unregister mode). A root block that fails to register is
// walked again in unregister mode, which takes back what it made.

#include <windows.h>

#include "registration/ScriptParser.h"

// Deepest nesting of bodies, the root body counting as the first.
constexpr int RootBodyDepth = 1;
constexpr int MaxNestingDepth = 32;

HRESULT ApplyScript(ScriptParser& parser, const char* text, bool doRegister);

// Walks one body. On entry `token` holds the "{" that opened it; on success
// it holds the "}" that closed it. `depth` is 1 for a root body.
HRESULT WalkKeyBlock(ScriptParser& parser, char* token, HKEY parent, bool doRegister, bool absent, int depth);

// Writes the value clause that `token` ("=") begins into `key` under `name`
// (null for the default value); on success `token` holds the next item.
HRESULT WriteValue(ScriptParser& parser, HKEY key, const char* name, char* token);
