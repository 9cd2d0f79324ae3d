#include "registration/UserInstallation.h"

#include <olectl.h>

#include "common/ServerIdentity.h"
#include "registration/ClassesRootRedirect.h"
#include "registration/DirectCategoryRows.h"
#include "registration/RegistrationSequence.h"
#include "registration/ServerRegistration.h"
#include "registration/TypeLibRegistration.h"
#include "server/ServerModule.h"

namespace {

inline constexpr wchar_t kUserClassesKeyName[] = L"Software\\Classes";

// The current user's classes, which the classes root stands for while the
// target is used. The categories manager does not follow the redirection:
// the category and the enrolment are written directly.
class UserTarget {
public:
    explicit UserTarget(const ServerModule& module) : module_(module) {}

    HRESULT WriteClasses() const { return ModuleRegisterClasses(module_); }
    HRESULT WriteTypeLib() const { return ModuleRegisterTypeLib(module_, RegistrationScope::User); }
    HRESULT WriteCategory() const { return WriteCategoryDirectly(); }
    HRESULT WriteEnrolment() const { return WriteEnrolmentDirectly(CLSID_LanguageServer); }

private:
    const ServerModule& module_;
};

// Nothing is written on a platform that cannot register the library per
// user: the installation would be left half done.
HRESULT RegisterForUser(const ServerModule& module)
{
    HRESULT hr = UserTypeLibRegistrationSupport();
    if (FAILED(hr))
        return hr;
    const ClassesRootRedirect redirect(kUserClassesKeyName);
    hr = redirect.Status();
    if (FAILED(hr))
        return hr;
    UserTarget user(module);
    return RunRegistration(user);
}

// The same order as for the machine: the enrolment first, so that the
// script's removal finds the class key without it.
HRESULT UnregisterForUser(const ServerModule& module)
{
    const HRESULT supported = UserTypeLibRegistrationSupport();
    if (FAILED(supported))
        return supported;
    // The enrolment is taken away directly, as it was written.
    const ClassesRootRedirect redirect(kUserClassesKeyName);
    const HRESULT redirected = redirect.Status();
    if (FAILED(redirected))
        return redirected;
    const HRESULT enrolment = RemoveEnrolmentDirectly(CLSID_LanguageServer);
    const HRESULT hr = ModuleUnregisterServer(module, true, RegistrationScope::User);
    if (FAILED(enrolment))
        return SELFREG_E_CLASS;
    return hr;
}

}  // namespace

HRESULT InstallServer(const ServerModule& module, BOOL install, const wchar_t* commandLine)
{
    if (!commandLine || commandLine[0] == L'\0')
        return install ? RegisterServer(module) : UnregisterServer(module);
    if (lstrcmpiW(commandLine, kUserInstallCommand) != 0)
        return E_INVALIDARG;
    return install ? RegisterForUser(module) : UnregisterForUser(module);
}
