#include "registration/TypeLibRegistration.h"

#include <oleauto.h>

#include "registration/ModulePath.h"
#include "common/Ownership.h"
#include "server/ServerModule.h"

// The per-user forms of the library registration, which the platform's
// import library has and its headers do not declare.
extern "C" HRESULT WINAPI RegisterTypeLibForUser(ITypeLib* library, OLECHAR* path, OLECHAR* helpDirectory);
extern "C" HRESULT WINAPI UnRegisterTypeLibForUser(REFGUID libraryId, WORD major, WORD minor, LCID locale,
                                                   SYSKIND kind);

namespace {

inline constexpr wchar_t TypeLibExtension[] = L".tlb";
constexpr int TypeLibExtensionLength = 4;
inline constexpr char AutomationLibrary[] = "oleaut32.dll";
inline constexpr char UnregisterFunctionName[] = "UnRegisterTypeLib";

using UnregisterFunction = HRESULT(WINAPI*)(REFGUID, WORD, WORD, LCID, SYSKIND);

bool IsSeparator(wchar_t unit)
{
    return unit == L'\\' || unit == L'/' || unit == L':';
}

// Where the file name's extension starts (its last '.'), or its end when it
// has none. Dots in folder names do not count.
int ExtensionStart(const wchar_t* path)
{
    const int nameStart = static_cast<int>(HelpDirLength(path));
    int end = nameStart;
    int dot = -1;
    for (; path[end] != L'\0'; ++end) {
        if (path[end] == L'.')
            dot = end;
    }
    return dot >= 0 ? dot : end;
}

// `path` with its file name's extension replaced by ".tlb" (or ".tlb"
// appended); an error when the result would not fit.
HRESULT ReplaceExtension(ModulePathBuffer& path)
{
    const int start = ExtensionStart(path);
    if (start + TypeLibExtensionLength >= static_cast<int>(ModulePathCapacity))
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    lstrcpyW(path + start, TypeLibExtension);
    return S_OK;
}

HRESULT LoadUnregistered(const wchar_t* path, BSTR* loadedPath, ITypeLib** library)
{
    ComRef<ITypeLib> loaded;
    const HRESULT hr = LoadTypeLibEx(path, REGKIND_NONE, loaded.Put());
    if (FAILED(hr))
        return hr;
    *loadedPath = SysAllocString(path);
    if (!*loadedPath)
        return E_OUTOFMEMORY;
    *library = loaded.Detach();
    return hr;
}

void CallPlatformUnregister(const TLIBATTR& attributes, RegistrationScope scope)
{
    if (scope == RegistrationScope::User) {
        UnRegisterTypeLibForUser(attributes.guid, attributes.wMajorVerNum, attributes.wMinorVerNum, attributes.lcid,
                                 attributes.syskind);
        return;
    }
    LoadedModule automation(LoadLibraryA(AutomationLibrary));
    if (!automation)
        return;
    // Through a function type without arguments, which any other converts to.
    const auto unregister = reinterpret_cast<UnregisterFunction>(
        reinterpret_cast<void (*)()>(GetProcAddress(automation.Get(), UnregisterFunctionName)));
    if (unregister)
        unregister(attributes.guid, attributes.wMajorVerNum, attributes.wMinorVerNum, attributes.lcid,
                   attributes.syskind);
}

}  // namespace

DWORD HelpDirLength(const wchar_t* path)
{
    DWORD length = 0;
    for (DWORD i = 0; path[i] != L'\0'; ++i) {
        if (IsSeparator(path[i]))
            length = i + 1;
    }
    return length;
}

HRESULT ModuleLoadTypeLib(const ServerModule& module, BSTR* path, ITypeLib** library)
{
    *path = nullptr;
    *library = nullptr;
    ModulePathBuffer modulePath;
    HRESULT hr = ReadModulePath(module.typeLibInstance, modulePath);
    if (FAILED(hr))
        return hr;
    hr = LoadUnregistered(modulePath, path, library);
    if (SUCCEEDED(hr) || hr == E_OUTOFMEMORY)
        return hr;
    hr = ReplaceExtension(modulePath);
    if (FAILED(hr))
        return hr;
    return LoadUnregistered(modulePath, path, library);
}

HRESULT ModuleRegisterTypeLib(const ServerModule& module, RegistrationScope scope)
{
    UniqueBstr path;
    ComRef<ITypeLib> library;
    const HRESULT hr = ModuleLoadTypeLib(module, path.Put(), library.Put());
    if (FAILED(hr))
        return hr;
    ModulePathBuffer helpDirectory;
    lstrcpynW(helpDirectory, path.Get(), ModulePathCapacity);
    helpDirectory[HelpDirLength(helpDirectory)] = L'\0';
    if (scope == RegistrationScope::User)
        return RegisterTypeLibForUser(library.Get(), path.Get(), helpDirectory);
    return RegisterTypeLib(library.Get(), path.Get(), helpDirectory);
}

HRESULT ModuleUnregisterTypeLib(const ServerModule& module, RegistrationScope scope)
{
    UniqueBstr path;
    ComRef<ITypeLib> library;
    const HRESULT hr = ModuleLoadTypeLib(module, path.Put(), library.Put());
    if (FAILED(hr))
        return hr;
    TLIBATTR* attributes = nullptr;
    if (FAILED(library->GetLibAttr(&attributes)) || !attributes)
        return hr;
    CallPlatformUnregister(*attributes, scope);
    library->ReleaseTLibAttr(attributes);
    return hr;
}
