#pragma once
// Applies a registry script to the registry (register mode) or removes what
// it describes (unregister mode). A root block that fails to register is
// walked again in unregister mode, which takes back what it made.

#include <windows.h>

#include "regscript/ScriptLexer.h"

// Deepest nesting of bodies, the root body counting as the first.
constexpr int kRootBodyDepth = 1;
constexpr int kMaxNestingDepth = 32;

// What a walk does with the keys and values that a script lists. Removal
// that keeps top keys leaves each key named in a root body in place with
// everything below it, whatever precedes it in that body. A top key marked
// NoRemove stays too, and below it removal goes on as Unregister does.
enum class ScriptMode { Register, Unregister, UnregisterKeepingTopKeys };
// Whether the key that a body belongs to may be in the registry. The body of
// a key known to be absent is only read through.
enum class KeyPresence { MayExist, Absent };

HRESULT ApplyScript(ScriptLexer& lexer, const char* text, ScriptMode mode);

// Walks one body. On entry `token` holds the "{" that opened it; on success
// it holds the "}" that closed it. `depth` is 1 for a root body.
HRESULT WalkKeyBlock(ScriptLexer& lexer, char* token, HKEY parent, ScriptMode mode, KeyPresence presence, int depth);
