#include "tools/vrl-conform/RegistrationChecks.h"

#include <vector>

#include "common/Guids.h"
#include "regscript/OwnedKey.h"
#include "tools/console/ConsoleText.h"

namespace {

inline constexpr wchar_t kScratchHivePrefix[] = L"Software\\VrlDiscoveryResES conformance hive ";
inline constexpr wchar_t kUserClassesKeyName[] = L"Software\\Classes";
// The command line of the per-user registration.
inline constexpr wchar_t kUserInstallCommand[] = L"user";
inline constexpr wchar_t kApartment[] = L"Apartment";
constexpr size_t kLeftoversNamed = 5;

// HKEY_CURRENT_USER of this process stands for a scratch key while this
// lives; the key goes with everything in it when it ends. A per-user
// registration then writes its classes (through the server's own redirection
// of the classes root to the user's classes) into the scratch key.
class ScratchUserHive {
public:
    ScratchUserHive()
    {
        wsprintfW(path_, L"%s%lu", kScratchHivePrefix, GetCurrentProcessId());
        RegDeleteTreeW(HKEY_CURRENT_USER, path_);
        HKEY created = nullptr;
        status_ = RegCreateKeyExW(HKEY_CURRENT_USER, path_, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr);
        if (status_ != ERROR_SUCCESS)
            return;
        key_.Adopt(created);
        status_ = RegOverridePredefKey(HKEY_CURRENT_USER, created);
        redirected_ = status_ == ERROR_SUCCESS;
    }
    ScratchUserHive(const ScratchUserHive&) = delete;
    ScratchUserHive& operator=(const ScratchUserHive&) = delete;
    ~ScratchUserHive()
    {
        if (redirected_)
            RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        key_.Close();
        RegDeleteTreeW(HKEY_CURRENT_USER, path_);
    }

    LONG Status() const { return status_; }
    HKEY Key() const { return key_.Get(); }

private:
    wchar_t path_[MAX_PATH * 2];
    OwnedKey key_;
    LONG status_ = ERROR_SUCCESS;
    bool redirected_ = false;
};

std::wstring GuidText(const GUID& guid)
{
    wchar_t text[kGuidTextCapacity];
    StringFromGUID2(guid, text, kGuidTextCapacity);
    return text;
}

// A value's text, or false when the key or the value is missing.
bool ReadText(HKEY root, const std::wstring& path, const wchar_t* name, std::wstring& text)
{
    wchar_t buffer[MAX_PATH * 2];
    DWORD size = sizeof buffer;
    const LONG status = RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, buffer, &size);
    if (status != ERROR_SUCCESS)
        return false;
    text = buffer;
    return true;
}

bool KeyExists(HKEY root, const std::wstring& path)
{
    OwnedKey key;
    return key.OpenInto(root, path.c_str(), KEY_READ) == ERROR_SUCCESS;
}

bool SameFile(const std::wstring& a, const std::wstring& b)
{
    wchar_t longA[MAX_PATH * 2], longB[MAX_PATH * 2];
    if (!GetLongPathNameW(a.c_str(), longA, MAX_PATH * 2) || !GetLongPathNameW(b.c_str(), longB, MAX_PATH * 2))
        return lstrcmpiW(a.c_str(), b.c_str()) == 0;
    return lstrcmpiW(longA, longB) == 0;
}

class RowCheck {
public:
    RowCheck(HKEY classes, const ServerUnderTest& server)
        : classes_(classes), server_(server), clsid_(GuidText(server.Class().clsid)), classKey_(L"CLSID\\" + clsid_)
    {
    }

    std::wstring Run()
    {
        CheckClass();
        CheckProgId(L"ProgID");
        CheckProgId(L"VersionIndependentProgID");
        CheckTypeLib();
        CheckCategory();
        return wrong_;
    }

private:
    void Missing(const std::wstring& row) { wrong_ += (wrong_.empty() ? L"missing or wrong: " : L"; ") + row; }

    void CheckClass()
    {
        std::wstring text;
        if (!KeyExists(classes_, classKey_))
            return Missing(classKey_);
        const std::wstring inproc = classKey_ + L"\\InprocServer32";
        if (!ReadText(classes_, inproc, nullptr, text) || !SameFile(text, server_.Path()))
            Missing(inproc + L" = this file");
        if (!ReadText(classes_, inproc, L"ThreadingModel", text) || lstrcmpiW(text.c_str(), kApartment) != 0)
            Missing(inproc + L" ThreadingModel = Apartment");
    }

    void CheckProgId(const wchar_t* valueKey)
    {
        std::wstring progId, clsid;
        if (!ReadText(classes_, classKey_ + L"\\" + valueKey, nullptr, progId) || progId.empty())
            return Missing(classKey_ + L"\\" + valueKey);
        if (!ReadText(classes_, progId + L"\\CLSID", nullptr, clsid) || lstrcmpiW(clsid.c_str(), clsid_.c_str()) != 0)
            Missing(progId + L"\\CLSID = " + clsid_);
    }

    void CheckTypeLib()
    {
        const ServerClass& identity = server_.Class();
        const std::wstring libid = GuidText(identity.libid);
        std::wstring text;
        if (!ReadText(classes_, classKey_ + L"\\TypeLib", nullptr, text) || lstrcmpiW(text.c_str(), libid.c_str()) != 0)
            Missing(classKey_ + L"\\TypeLib = " + libid);
        wchar_t version[32];
        wsprintfW(version, L"%x.%x", identity.majorVersion, identity.minorVersion);
        const std::wstring library =
            L"TypeLib\\" + libid + L"\\" + version + (sizeof(void*) == sizeof(DWORD) ? L"\\0\\win32" : L"\\0\\win64");
        if (!ReadText(classes_, library, nullptr, text) || !SameFile(text, server_.Path()))
            Missing(library + L" = this file");
    }

    void CheckCategory()
    {
        const std::wstring catid = GuidText(CATID_LocalizationCategory);
        if (!KeyExists(classes_, L"Component Categories\\" + catid))
            Missing(L"Component Categories\\" + catid);
        if (!KeyExists(classes_, classKey_ + L"\\Implemented Categories\\" + catid))
            Missing(classKey_ + L"\\Implemented Categories\\" + catid);
    }

    HKEY classes_;
    const ServerUnderTest& server_;
    std::wstring clsid_;
    std::wstring classKey_;
    std::wstring wrong_;
};

// Keys that may stay after a removal: the containers every classes root has,
// and the category (which stays by design while its last server goes).
bool MayStay(const std::wstring& path, bool empty)
{
    static const wchar_t* const kContainers[] = {
        L"Software",
        L"Software\\Classes",
        L"Software\\Classes\\CLSID",
        L"Software\\Classes\\TypeLib",
        L"Software\\Classes\\Interface",
        L"Software\\Classes\\Component Categories",
    };
    const std::wstring category = L"Software\\Classes\\Component Categories\\" + GuidText(CATID_LocalizationCategory);
    if (path == category || path.starts_with(category + L"\\"))
        return true;
    if (!empty)
        return false;
    for (const wchar_t* container : kContainers) {
        if (lstrcmpiW(path.c_str(), container) == 0)
            return true;
    }
    return false;
}

// Every key below `key` that holds values, or holds nothing and may not stay.
void CollectLeftovers(HKEY key, const std::wstring& path, std::vector<std::wstring>& leftovers)
{
    DWORD subkeys = 0, values = 0, longest = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longest, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr) != ERROR_SUCCESS)
        return;
    if (!path.empty() && (values > 0 || subkeys == 0) && !MayStay(path, values == 0))
        leftovers.push_back(path);
    std::wstring name(longest + 1, L'\0');
    for (DWORD index = 0; index < subkeys; ++index) {
        DWORD length = longest + 1;
        if (RegEnumKeyExW(key, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            continue;
        const std::wstring child(name.c_str(), length);
        OwnedKey opened;
        if (opened.OpenInto(key, child.c_str(), KEY_READ) == ERROR_SUCCESS)
            CollectLeftovers(opened.Get(), path.empty() ? child : path + L"\\" + child, leftovers);
    }
}

std::wstring Leftovers(HKEY hive)
{
    std::vector<std::wstring> leftovers;
    CollectLeftovers(hive, {}, leftovers);
    if (leftovers.empty())
        return {};
    std::wstring why = L"left behind:";
    for (size_t i = 0; i < leftovers.size() && i < kLeftoversNamed; ++i)
        why += (i == 0 ? L" " : L", ") + leftovers[i];
    if (leftovers.size() > kLeftoversNamed)
        why += L" and " + std::to_wstring(leftovers.size() - kLeftoversNamed) + L" more";
    return why;
}

}  // namespace

void CheckRegistration(const ServerUnderTest& server, CheckList& checks)
{
    const InstallFunction install = server.Exports().install;
    if (!install) {
        // Its machine registration would reach the machine's category.
        const wchar_t* because = L"the file has no per-user registration (DllInstall) to run into a scratch hive";
        for (const wchar_t* name : {L"registration", L"registration rows", L"removal"})
            checks.NotRun(name, because);
        return;
    }
    const ScratchUserHive hive;
    if (hive.Status() != ERROR_SUCCESS) {
        const std::wstring why = L"no scratch hive: " + Hex(HRESULT_FROM_WIN32(hive.Status()));
        for (const wchar_t* name : {L"registration", L"registration rows", L"removal"})
            checks.Record(name, why);
        return;
    }
    HRESULT hr = install(TRUE, kUserInstallCommand);
    checks.Record(L"registration", hr == S_OK ? L"" : L"DllInstall(TRUE, \"user\") gave " + Hex(hr));
    {
        OwnedKey classes;
        if (classes.OpenInto(hive.Key(), kUserClassesKeyName, KEY_READ) != ERROR_SUCCESS)
            checks.Record(L"registration rows", L"no classes were written");
        else
            checks.Record(L"registration rows", RowCheck(classes.Get(), server).Run());
    }
    hr = install(FALSE, kUserInstallCommand);
    checks.Record(L"removal", hr == S_OK ? Leftovers(hive.Key()) : L"DllInstall(FALSE, \"user\") gave " + Hex(hr));
}
