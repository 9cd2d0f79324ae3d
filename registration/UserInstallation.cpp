#include "registration/UserInstallation.h"

#include <olectl.h>

#include "common/LocalizationCategory.h"
#include "registration/GuidKeyPath.h"
#include "registration/OwnedKey.h"
#include "registration/RegistryLimits.h"
#include "registration/ServerRegistration.h"
#include "registration/TypeLibRegistration.h"
#include "registration/Win32Result.h"
#include "common/Guids.h"
#include "server/ServerModule.h"

namespace {

inline constexpr wchar_t UserClassesKeyName[] = L"Software\\Classes";
inline constexpr wchar_t CategoriesKeyName[] = L"Component Categories\\";
// Between a class key and the key of one of its categories.
inline constexpr wchar_t ImplementedCategoriesPath[] = L"\\Implemented Categories\\";

// HKEY_CLASSES_ROOT stands for the user's own classes while it lives. The
// categories manager does not follow the redirection: the category and the
// enrolment are written here directly.
class UserClassesRedirect {
public:
    UserClassesRedirect()
    {
        HKEY classes = nullptr;
        status_ = RegCreateKeyExW(HKEY_CURRENT_USER, UserClassesKeyName, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                                  &classes, nullptr);
        if (status_ != ERROR_SUCCESS)
            return;
        key_.Adopt(classes);
        status_ = RegOverridePredefKey(HKEY_CLASSES_ROOT, classes);
    }
    UserClassesRedirect(const UserClassesRedirect&) = delete;
    UserClassesRedirect& operator=(const UserClassesRedirect&) = delete;
    ~UserClassesRedirect()
    {
        if (status_ == ERROR_SUCCESS)
            RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    }

    HRESULT Status() const { return FromWin32Status(status_); }

private:
    OwnedKey key_;
    LONG status_ = ERROR_SUCCESS;
};

HRESULT CreateClassesKey(const wchar_t* path, OwnedKey& key)
{
    HKEY created = nullptr;
    const LONG status =
        RegCreateKeyExW(HKEY_CLASSES_ROOT, path, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created, nullptr);
    if (status == ERROR_SUCCESS)
        key.Adopt(created);
    return FromWin32Status(status);
}

HRESULT WriteCategory()
{
    wchar_t path[WideKeyPathCapacity];
    if (!GuidKeyPath(path, CategoriesKeyName, LocalizationCategory::catid, L""))
        return E_UNEXPECTED;
    OwnedKey category;
    const HRESULT hr = CreateClassesKey(path, category);
    if (FAILED(hr))
        return hr;
    const DWORD bytes = sizeof LocalizationCategory::description;
    return FromWin32Status(RegSetValueExW(category.Get(), LocalizationCategory::descriptionValueName.text, 0, REG_SZ,
                                          reinterpret_cast<const BYTE*>(LocalizationCategory::description), bytes));
}

bool EnrolmentPath(wchar_t (&path)[WideKeyPathCapacity])
{
    wchar_t categories[WideKeyPathCapacity];
    return GuidKeyPath(categories, ClassesKeyName, CLSID_VrlDiscoverySpanishResources, ImplementedCategoriesPath) &&
        GuidKeyPath(path, categories, LocalizationCategory::catid, L"");
}

HRESULT WriteEnrolment()
{
    wchar_t path[WideKeyPathCapacity];
    if (!EnrolmentPath(path))
        return E_UNEXPECTED;
    OwnedKey enrolment;
    return CreateClassesKey(path, enrolment);
}

HRESULT RemoveEnrolment()
{
    wchar_t path[WideKeyPathCapacity];
    if (!EnrolmentPath(path))
        return E_UNEXPECTED;
    const LONG status = RegDeleteKeyW(HKEY_CLASSES_ROOT, path);
    RemoveEmptyImplementedCategories(CLSID_VrlDiscoverySpanishResources);
    return status == ERROR_FILE_NOT_FOUND ? S_OK : FromWin32Status(status);
}

// Nothing is written on a platform that cannot register the library per
// user: the installation would be left half done.
HRESULT RegisterForUser(const ServerModule& module)
{
    HRESULT hr = UserTypeLibRegistrationSupport();
    if (FAILED(hr))
        return hr;
    const UserClassesRedirect redirect;
    hr = redirect.Status();
    if (SUCCEEDED(hr))
        hr = ModuleRegisterServer(module, false);
    if (SUCCEEDED(hr))
        hr = ModuleRegisterTypeLib(module, RegistrationScope::User);
    if (FAILED(hr))
        return hr;
    if (FAILED(WriteCategory()) || FAILED(WriteEnrolment()))
        return SELFREG_E_CLASS;
    return S_OK;
}

// The same order as for the machine: the enrolment first, so that the
// script's removal finds the class key without it.
HRESULT UnregisterForUser(const ServerModule& module)
{
    const HRESULT supported = UserTypeLibRegistrationSupport();
    if (FAILED(supported))
        return supported;
    const UserClassesRedirect redirect;
    const HRESULT redirected = redirect.Status();
    if (FAILED(redirected))
        return redirected;
    const HRESULT enrolment = RemoveEnrolment();
    HRESULT hr = ModuleUnregisterServer(module, false);
    const HRESULT library = ModuleUnregisterTypeLib(module, RegistrationScope::User);
    if (SUCCEEDED(hr))
        hr = library;
    if (FAILED(enrolment))
        return SELFREG_E_CLASS;
    return SUCCEEDED(hr) ? S_OK : hr;
}

}  // namespace

HRESULT InstallServer(const ServerModule& module, BOOL install, const wchar_t* commandLine)
{
    if (!commandLine || commandLine[0] == L'\0')
        return install ? RegisterServer(module) : UnregisterServer(module);
    if (lstrcmpiW(commandLine, UserInstallCommand) != 0)
        return E_INVALIDARG;
    return install ? RegisterForUser(module) : UnregisterForUser(module);
}
