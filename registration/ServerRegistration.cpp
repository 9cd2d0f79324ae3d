#include "registration/ServerRegistration.h"

#include <olectl.h>

#include "registration/ComponentCategories.h"
#include "registration/ModulePath.h"
#include "registration/DirectCategoryRows.h"
#include "registration/ClassKeys.h"
#include "common/LocalizationCategory.h"
#include "regscript/OwnedKey.h"
#include "registration/RegistrationSequence.h"
#include "registration/TypeLibRegistration.h"
#include "common/Guids.h"
#include "common/ServerIdentity.h"
#include "server/ServerModule.h"

namespace {

bool IsSelected(const ClassEntry& entry)
{
    return !entry.objectDescription || !entry.objectDescription();
}

HRESULT FirstFailure(HRESULT first, HRESULT next)
{
    return FAILED(first) ? first : next;
}

// The registry view of the other bitness: the 64-bit one seen from a 32-bit
// process, the 32-bit one seen from a 64-bit process.
constexpr REGSAM kOtherRegistryView = sizeof(void*) == sizeof(DWORD) ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
inline constexpr wchar_t kInprocServerKeyName[] = L"\\InprocServer32";
// The class keys of a hive's own classes, below HKEY_LOCAL_MACHINE or
// HKEY_CURRENT_USER.
inline constexpr wchar_t kHiveClassIdsKeyName[] = L"Software\\Classes\\CLSID\\";

// A 32-bit process has a second view only on 64-bit Windows.
bool HasOtherRegistryView()
{
    if constexpr (kOtherRegistryView == KEY_WOW64_32KEY)
        return true;
    BOOL emulated = FALSE;
    return IsWow64Process(GetCurrentProcess(), &emulated) && emulated;
}

// The hive whose classes a registration in `scope` writes.
HKEY ClassesHiveOf(RegistrationScope scope)
{
    return scope == RegistrationScope::Machine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Whether the other view of the hive being removed from names an in-process
// server for the class. The merged classes root would also show the other
// hive's registration, which this removal shares no keys with. Where the
// platform keeps one class key for both views of a hive, the other view
// shows this view's own server: that is no other registration.
bool OtherViewRegistersClass(REFCLSID clsid, RegistrationScope scope)
{
    wchar_t path[kWideKeyPathCapacity];
    if (!HasOtherRegistryView() || !GuidKeyPath(path, kHiveClassIdsKeyName, clsid, kInprocServerKeyName))
        return false;
    const HKEY hive = ClassesHiveOf(scope);
    ModulePathBuffer otherServer;
    ModulePathBuffer ownServer;
    if (!ReadDefaultText(hive, path, kOtherRegistryView, otherServer))
        return false;
    return !ReadDefaultText(hive, path, 0, ownServer) || lstrcmpiW(otherServer, ownServer) != 0;
}

// The keys that both views share stay while the other view still registers
// the class.
RegistryUpdate RemovalFor(REFCLSID clsid, RegistrationScope scope)
{
    return OtherViewRegistersClass(clsid, scope) ? RegistryUpdate::UnregisterOwnView : RegistryUpdate::Unregister;
}

// The machine's classes, in which the categories manager writes the category
// and the enrolment.
class MachineTarget {
public:
    explicit MachineTarget(const ServerModule& module) : module_(module) {}

    HRESULT WriteClasses() const { return ModuleRegisterClasses(module_); }
    HRESULT WriteTypeLib() const { return ModuleRegisterTypeLib(module_, RegistrationScope::Machine); }
    HRESULT WriteCategory() const
    {
        return RegisterCategory(LocalizationCategory::kCatid, LocalizationCategory::kDescription);
    }
    HRESULT WriteEnrolment() const { return AddClassToCategory(CLSID_LanguageServer, LocalizationCategory::kCatid); }

private:
    const ServerModule& module_;
};

}  // namespace

HRESULT ModuleRegisterClasses(const ServerModule& module)
{
    HRESULT result = S_OK;
    for (const ClassEntry* entry = module.classTable; entry && entry->clsid; ++entry) {
        if (!IsSelected(*entry))
            continue;
        result = entry->updateRegistry(RegistryUpdate::Register);
        if (FAILED(result))
            return result;
    }
    return result;
}

HRESULT ModuleUnregisterServer(const ServerModule& module, bool unregisterTypeLib, RegistrationScope scope)
{
    HRESULT result = S_OK;
    for (const ClassEntry* entry = module.classTable; entry && entry->clsid; ++entry) {
        if (!IsSelected(*entry))
            continue;
        result = FirstFailure(result, entry->updateRegistry(RemovalFor(*entry->clsid, scope)));
    }
    if (unregisterTypeLib)
        result = FirstFailure(result, ModuleUnregisterTypeLib(module, scope));
    return SUCCEEDED(result) ? S_OK : result;
}

HRESULT RegisterServer(const ServerModule& module)
{
    MachineTarget machine(module);
    return RunRegistration(machine);
}

HRESULT UnregisterServer(const ServerModule& module)
{
    // The enrolment goes first: the script's removal keeps a class key that
    // still has subkeys.
    const HRESULT enrolment = RemoveClassFromCategory(CLSID_LanguageServer, LocalizationCategory::kCatid);
    RemoveEmptyImplementedCategories(CLSID_LanguageServer);
    const HRESULT hr = ModuleUnregisterServer(module, true, RegistrationScope::Machine);
    if (FAILED(enrolment))
        return SELFREG_E_CLASS;
    return hr;
}
