#include "registration/TypeLibRegistration.h"

#include <oleauto.h>

#include "registration/ModulePath.h"
#include "registration/ClassKeys.h"
#include "regscript/OwnedKey.h"
#include "common/Ownership.h"
#include "server/ServerModule.h"

namespace {

inline constexpr wchar_t kTypeLibExtension[] = L".tlb";
constexpr int kTypeLibExtensionLength = 4;

// Looked up when they are needed: the removal, and the per-user forms, which
// older platforms lack. The module must load there all the same.
inline constexpr char kAutomationLibrary[] = "oleaut32.dll";
inline constexpr char kUnregisterFunctionName[] = "UnRegisterTypeLib";
inline constexpr char kRegisterForUserFunctionName[] = "RegisterTypeLibForUser";
inline constexpr char kUnregisterForUserFunctionName[] = "UnRegisterTypeLibForUser";

// A registered library's keys: TypeLib\{libid}\<major>.<minor> holds the
// help folder, and <locale>\<platform> below it each platform's file.
inline constexpr wchar_t kTypeLibKeyName[] = L"TypeLib\\";
inline constexpr wchar_t kVersionKeyFormat[] = L"\\%x.%x";
inline constexpr wchar_t kPlatformFileKeyFormat[] = L"%lx\\%s";
inline constexpr wchar_t kHelpDirectoryKeyName[] = L"HELPDIR";
inline constexpr const wchar_t* kPlatformKeyNames[] = {L"win32", L"win64"};

using RegisterFunction = HRESULT(WINAPI*)(ITypeLib* library, OLECHAR* path, OLECHAR* helpDirectory);
using UnregisterFunction = HRESULT(WINAPI*)(REFGUID libraryId, WORD major, WORD minor, LCID locale, SYSKIND kind);

// The automation library's export `name`, through the function type
// `Function`; null where the platform lacks it. The library stays loaded as
// long as the module: the module imports from it.
template <class Function>
Function AutomationExport(const char* name)
{
    // Through a function type without arguments, which any other converts to.
    return reinterpret_cast<Function>(
        reinterpret_cast<void (*)()>(GetProcAddress(GetModuleHandleA(kAutomationLibrary), name)));
}

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
    if (start + kTypeLibExtensionLength >= static_cast<int>(kModulePathCapacity))
        return HRESULT_FROM_WIN32(ERROR_FILENAME_EXCED_RANGE);
    lstrcpyW(path + start, kTypeLibExtension);
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
    const char* name = scope == RegistrationScope::User ? kUnregisterForUserFunctionName : kUnregisterFunctionName;
    const auto unregister = AutomationExport<UnregisterFunction>(name);
    if (unregister)
        unregister(attributes.guid, attributes.wMajorVerNum, attributes.wMinorVerNum, attributes.lcid,
                   attributes.syskind);
}

// The help folder is one key for both platforms. When the removal of one
// platform's file leaves the other's registered, the folder named is that of
// the file that is left.
void NameRemainingHelpDirectory(const TLIBATTR& attributes)
{
    wchar_t versionName[kWideKeyPathCapacity];
    wsprintfW(versionName, kVersionKeyFormat, attributes.wMajorVerNum, attributes.wMinorVerNum);
    wchar_t versionPath[kWideKeyPathCapacity];
    OwnedKey version;
    if (!GuidKeyPath(versionPath, kTypeLibKeyName, attributes.guid, versionName) ||
        version.OpenInto(HKEY_CLASSES_ROOT, versionPath, KEY_QUERY_VALUE | KEY_SET_VALUE) != ERROR_SUCCESS)
        return;
    for (const wchar_t* platform : kPlatformKeyNames) {
        wchar_t fileKeyName[kWideKeyPathCapacity];
        wsprintfW(fileKeyName, kPlatformFileKeyFormat, attributes.lcid, platform);
        ModulePathBuffer folder;
        if (!ReadDefaultText(version.Get(), fileKeyName, 0, folder) || folder[0] == L'\0')
            continue;
        const DWORD length = HelpDirLength(folder);
        folder[length] = L'\0';
        RegSetKeyValueW(version.Get(), kHelpDirectoryKeyName, nullptr, REG_SZ, folder, (length + 1) * sizeof folder[0]);
        return;
    }
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
    lstrcpynW(helpDirectory, path.Get(), kModulePathCapacity);
    helpDirectory[HelpDirLength(helpDirectory)] = L'\0';
    if (scope == RegistrationScope::Machine)
        return RegisterTypeLib(library.Get(), path.Get(), helpDirectory);
    const auto registerForUser = AutomationExport<RegisterFunction>(kRegisterForUserFunctionName);
    if (!registerForUser)
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return registerForUser(library.Get(), path.Get(), helpDirectory);
}

HRESULT UserTypeLibRegistrationSupport()
{
    if (!AutomationExport<RegisterFunction>(kRegisterForUserFunctionName) ||
        !AutomationExport<UnregisterFunction>(kUnregisterForUserFunctionName))
        return HRESULT_FROM_WIN32(ERROR_PROC_NOT_FOUND);
    return S_OK;
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
    NameRemainingHelpDirectory(*attributes);
    library->ReleaseTLibAttr(attributes);
    return hr;
}
