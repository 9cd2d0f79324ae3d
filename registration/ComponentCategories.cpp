#include "registration/ComponentCategories.h"

#include <comcat.h>

#include "common/Guids.h"
#include "common/LocalizationCategory.h"
#include "common/Ownership.h"

namespace {

constexpr ULONG kOneCategory = 1;

HRESULT CreateCategoryManager(ComRef<ICatRegister>& manager)
{
    return CoCreateInstance(CLSID_CategoriesManager, nullptr, CLSCTX_INPROC_SERVER, IID_CategoryRegistration,
                            manager.PutVoid());
}

HRESULT EnrolRow(ICatRegister* manager, REFCLSID clsid, REFGUID catid, bool doRegister)
{
    CATID copy = catid;
    return doRegister ? manager->RegisterClassImplCategories(clsid, kOneCategory, &copy)
                      : manager->UnRegisterClassImplCategories(clsid, kOneCategory, &copy);
}

// The manager answers S_FALSE for a class that is not in the category, also
// when the class itself is not registered.
bool IsOutsideCategory(ICatRegister* manager, REFCLSID clsid, REFGUID catid)
{
    ComRef<ICatInformation> information;
    if (FAILED(manager->QueryInterface(IID_CategoryInformation, information.PutVoid())))
        return false;
    CATID copy = catid;
    return information->IsClassOfCategories(clsid, kOneCategory, &copy, 0, nullptr) == S_FALSE;
}

// A manager of its own for one enrolment or its removal. Removing an
// enrolment that is not there succeeds.
HRESULT EnrolInImplementedCategory(REFCLSID clsid, REFGUID catid, bool doRegister)
{
    ComRef<ICatRegister> manager;
    const HRESULT hr = CreateCategoryManager(manager);
    if (FAILED(hr))
        return hr;
    const HRESULT result = EnrolRow(manager.Get(), clsid, catid, doRegister);
    if (FAILED(result) && !doRegister && IsOutsideCategory(manager.Get(), clsid, catid))
        return S_OK;
    return result;
}

}  // namespace

HRESULT RegisterCategory(REFGUID catid, const wchar_t* description)
{
    ComRef<ICatRegister> manager;
    const HRESULT hr = CreateCategoryManager(manager);
    if (FAILED(hr))
        return hr;
    CATEGORYINFO info{};
    info.catid = catid;
    info.lcid = LocalizationCategory::kDescriptionLocale;
    lstrcpynW(info.szDescription, description, kCategoryDescriptionMaxChars + 1);
    return manager->RegisterCategories(kOneCategory, &info);
}

HRESULT AddClassToCategory(REFCLSID clsid, REFGUID catid)
{
    return EnrolInImplementedCategory(clsid, catid, true);
}

HRESULT RemoveClassFromCategory(REFCLSID clsid, REFGUID catid)
{
    return EnrolInImplementedCategory(clsid, catid, false);
}
