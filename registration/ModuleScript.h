#pragma once
// Runs a class's registry script, read from the module file's resources, with
// the module's path bound to "Module".

#include <windows.h>

#include "common/ResourceIds.h"

class ReplacementMap;
enum class RegistryUpdate;
enum class ScriptMode;
struct ServerModule;

inline constexpr wchar_t ModulePairName[] = L"Module";

// A further name-to-value pair; an array of them ends with a null name.
struct ReplacementPair {
    const wchar_t* name;
    const wchar_t* value;
};

HRESULT ApplyModuleScript(const ServerModule& module, UINT resourceId, RegistryUpdate update,
                          const ReplacementPair* extraPairs);

// Apply or remove the script resource `resourceId` of type `type` found in
// the file `path`, with `map` for its %NAME% references.
HRESULT RegisterResourceScript(const ReplacementMap& map, const wchar_t* path, UINT resourceId, const wchar_t* type);
HRESULT UnregisterResourceScript(const ReplacementMap& map, const wchar_t* path, UINT resourceId, const wchar_t* type);
HRESULT RunResourceScript(const ReplacementMap& map, const wchar_t* path, UINT resourceId, const wchar_t* type,
                          ScriptMode mode);
