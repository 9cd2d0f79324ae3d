#pragma once
// Runs a class's registry script, read from the module file's resources, with
// the module's path bound to "Module".

#include <windows.h>

#include "common/ResourceIds.h"

enum class RegistryUpdate;
enum class ScriptMode;
struct ServerModule;

inline constexpr wchar_t kModulePairName[] = L"Module";

// A further name-to-value pair; an array of them ends with a null name.
struct ReplacementPair {
    const wchar_t* name;
    const wchar_t* value;
};

HRESULT ApplyModuleScript(const ServerModule& module, UINT resourceId, RegistryUpdate update,
                          const ReplacementPair* extraPairs);

// Runs the script resource `resourceId` of the file `path` in `mode`, with
// "Module" bound to `modulePath` (its quotes doubled) and `extraPairs` for
// its other %NAME% references. `modulePath` is the path that the script
// writes down: the file's own, or the one it will be installed at.
HRESULT RunFileScript(const wchar_t* path, const wchar_t* modulePath, UINT resourceId,
                      const ReplacementPair* extraPairs, ScriptMode mode);

// Doubles every single quote of a value that will stand inside a quoted
// script token, so that it reads back as the original text. `destination`
// must hold twice the length of `source` plus the NUL.
void EscapeQuotes(wchar_t* destination, const wchar_t* source);
