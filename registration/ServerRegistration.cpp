#include "registration/ServerRegistration.h"

#include <olectl.h>

#include "registration/ComponentCategories.h"
#include "common/LocalizationCategory.h"
#include "registration/OwnedKey.h"
#include "registration/RegistryTree.h"
#include "registration/TypeLibRegistration.h"
#include "common/Guids.h"
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

}  // namespace

void RemoveEmptyImplementedCategories(REFCLSID clsid)
{
    wchar_t path[ClassKeyPathCapacity];
    lstrcpyW(path, ClassesKeyName);
    if (StringFromGUID2(clsid, path + lstrlenW(path), GuidTextCapacity) == 0)
        return;
    OwnedKey classKey;
    if (classKey.OpenInto(HKEY_CLASSES_ROOT, path, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return;
    OwnedKey categories;
    if (categories.OpenInto(classKey.Get(), ImplementedCategoriesKeyName, KEY_READ) != ERROR_SUCCESS)
        return;
    const bool empty = KeyIsEmpty(categories.Get());
    categories.Close();
    if (empty)
        RegDeleteKeyW(classKey.Get(), ImplementedCategoriesKeyName);
}

HRESULT ModuleRegisterServer(const ServerModule& module, bool registerTypeLib)
{
    HRESULT result = S_OK;
    for (const ClassEntry* entry = module.classTable; entry && entry->clsid; ++entry) {
        if (!IsSelected(*entry))
            continue;
        result = entry->updateRegistry(TRUE);
        if (FAILED(result))
            return result;
        result = RegisterClassCategories(*entry->clsid, entry->categoryMap(), true);
        if (FAILED(result))
            return result;
    }
    if (registerTypeLib)
        return ModuleRegisterTypeLib(module);
    return result;
}

HRESULT ModuleUnregisterServer(const ServerModule& module, bool unregisterTypeLib)
{
    HRESULT result = S_OK;
    for (const ClassEntry* entry = module.classTable; entry && entry->clsid; ++entry) {
        if (!IsSelected(*entry))
            continue;
        result = FirstFailure(result, entry->updateRegistry(FALSE));
        if (entry->categoryMap)
            RegisterClassCategories(*entry->clsid, entry->categoryMap(), false);
    }
    if (unregisterTypeLib)
        result = FirstFailure(result, ModuleUnregisterTypeLib(module));
    return SUCCEEDED(result) ? S_OK : result;
}

HRESULT RegisterServer(const ServerModule& module)
{
    const HRESULT hr = ModuleRegisterServer(module, true);
    if (FAILED(hr))
        return hr;
    if (FAILED(RegisterCategory(LocalizationCategory::catid, LocalizationCategory::description)))
        return SELFREG_E_CLASS;
    if (FAILED(AddClassToCategory(CLSID_VrlDiscoverySpanishResources, LocalizationCategory::catid)))
        return SELFREG_E_CLASS;
    return S_OK;
}

HRESULT UnregisterServer(const ServerModule& module)
{
    // The enrolment goes first: the script's removal keeps a class key that
    // still has subkeys.
    const HRESULT enrolment = RemoveClassFromCategory(CLSID_VrlDiscoverySpanishResources, LocalizationCategory::catid);
    RemoveEmptyImplementedCategories(CLSID_VrlDiscoverySpanishResources);
    const HRESULT hr = ModuleUnregisterServer(module, true);
    if (FAILED(enrolment))
        return SELFREG_E_CLASS;
    return hr;
}
