#include "registration/DirectCategoryRows.h"

#include "common/Guids.h"
#include "common/LocalizationCategory.h"
#include "registration/ClassKeys.h"
#include "regscript/OwnedKey.h"
#include "regscript/RegistryTree.h"
#include "common/Win32Result.h"

namespace {

inline constexpr wchar_t kCategoriesKeyName[] = L"Component Categories\\";
// Between a class key and the key of one of its categories.
inline constexpr wchar_t kImplementedCategoriesPath[] = L"\\Implemented Categories\\";

HRESULT CreateClassesKey(const wchar_t* path, OwnedKey& key)
{
    HKEY created = nullptr;
    const LONG status =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS)
        key.Adopt(created);
    return FromWin32Status(status);
}

// The enrolment of a class: "CLSID\{clsid}\Implemented Categories\{catid}".
bool EnrolmentPathOf(wchar_t (&path)[kWideKeyPathCapacity], REFCLSID clsid)
{
    wchar_t categories[kWideKeyPathCapacity];
    return GuidKeyPath(categories, kClassesKeyName, clsid, kImplementedCategoriesPath) &&
        GuidKeyPath(path, categories, LocalizationCategory::kCatid, L"");
}

}  // namespace

void RemoveEmptyImplementedCategories(REFCLSID clsid)
{
    wchar_t path[kWideKeyPathCapacity];
    if (!GuidKeyPath(path, kClassesKeyName, clsid, L""))
        return;
    OwnedKey classKey;
    if (classKey.OpenInto(HKEY_CLASSES_ROOT, path, KEY_READ | KEY_WRITE) != ERROR_SUCCESS)
        return;
    OwnedKey categories;
    if (categories.OpenInto(classKey.Get(), kImplementedCategoriesKeyName, KEY_READ) != ERROR_SUCCESS)
        return;
    const bool empty = KeyIsEmpty(categories.Get());
    categories.Close();
    if (empty)
        RegDeleteKeyW(classKey.Get(), kImplementedCategoriesKeyName);
}

HRESULT WriteCategoryDirectly()
{
    wchar_t path[kWideKeyPathCapacity];
    if (!GuidKeyPath(path, kCategoriesKeyName, LocalizationCategory::kCatid, L""))
        return E_UNEXPECTED;
    OwnedKey category;
    const HRESULT hr = CreateClassesKey(path, category);
    if (FAILED(hr))
        return hr;
    const DWORD bytes = sizeof LocalizationCategory::kDescription;
    return FromWin32Status(RegSetValueExW(category.Get(), LocalizationCategory::kDescriptionValueName.text, 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(LocalizationCategory::kDescription), bytes));
}

HRESULT WriteEnrolmentDirectly(REFCLSID clsid)
{
    wchar_t path[kWideKeyPathCapacity];
    if (!EnrolmentPathOf(path, clsid))
        return E_UNEXPECTED;
    OwnedKey enrolment;
    return CreateClassesKey(path, enrolment);
}

HRESULT RemoveEnrolmentDirectly(REFCLSID clsid)
{
    wchar_t path[kWideKeyPathCapacity];
    if (!EnrolmentPathOf(path, clsid))
        return E_UNEXPECTED;
    const LONG status = RegDeleteKeyW(HKEY_CLASSES_ROOT, path);
    RemoveEmptyImplementedCategories(clsid);
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32Status(status);
}
