#include "tools/vrlrgs/RegistrationRecording.h"

#include <oleauto.h>

#include "common/Ownership.h"
#include "common/ResourceIds.h"
#include "registration/DirectCategoryRows.h"
#include "registration/ModuleScript.h"
#include "regscript/OwnedKey.h"
#include "registration/RegistrationSequence.h"
#include "registration/ScratchClassesRoot.h"
#include "regscript/ScriptEngine.h"
#include "common/Win32Result.h"
#include "tools/serverfile/ServerFileClass.h"

namespace {

// Each process records below a scratch key of its own.
inline constexpr wchar_t kScratchKeyPrefix[] = L"Software\\VrlDiscoveryResES registration recording ";
constexpr wchar_t kSeparator = L'\t';

// A server file's registration, written as if it were installed at the
// targets' path: its script, its type library, and the category rows the way
// a per-user installation writes them, since the categories manager does not
// follow the redirection to the scratch key.
class RecordingTarget {
public:
    explicit RecordingTarget(const RecordingTargets& targets) : targets_(targets) {}

    HRESULT WriteClasses() const
    {
        return RunFileScript(targets_.serverFile, targets_.installedPath, kServerScriptResourceId, nullptr,
                             ScriptMode::Register);
    }
    // The library's rows; the class it describes is the one enrolled.
    HRESULT WriteTypeLib()
    {
        ServerFileClass serverClass;
        HRESULT hr = ReadServerFileClass(targets_.serverFile, &serverClass);
        if (FAILED(hr))
            return hr;
        serverClass_ = serverClass.clsid;
        ComRef<ITypeLib> library;
        hr = LoadTypeLibEx(targets_.serverFile, REGKIND_NONE, library.Put());
        if (FAILED(hr))
            return hr;
        return RegisterTypeLib(library.Get(), const_cast<OLECHAR*>(targets_.installedPath),
                               const_cast<OLECHAR*>(targets_.helpDirectory));
    }
    HRESULT WriteCategory() const { return WriteCategoryDirectly(); }
    HRESULT WriteEnrolment() const { return WriteEnrolmentDirectly(serverClass_); }

private:
    const RecordingTargets& targets_;
    CLSID serverClass_ = {};
};

bool IsPlainText(const std::wstring& text)
{
    for (const wchar_t unit : text) {
        if (unit < L' ')
            return false;
    }
    return true;
}

// The data of one value as a row shows it; false for a type that rows cannot
// carry, or for control characters in a text.
bool FormatData(DWORD type, const BYTE* data, DWORD size, std::wstring& typeName, std::wstring& text)
{
    switch (type) {
    case REG_SZ: {
        text.assign(reinterpret_cast<const wchar_t*>(data), size / sizeof(wchar_t));
        while (!text.empty() && text.back() == L'\0')
            text.pop_back();
        typeName = L"sz";
        return IsPlainText(text);
    }
    case REG_DWORD: {
        DWORD number = 0;
        if (size != sizeof number)
            return false;
        CopyMemory(&number, data, sizeof number);
        typeName = L"dword";
        text = std::to_wstring(number);
        return true;
    }
    case REG_BINARY: {
        constexpr wchar_t kDigits[] = L"0123456789ABCDEF";
        constexpr int kHighNibbleShift = 4;
        constexpr BYTE kNibbleMask = 0xF;
        typeName = L"binary";
        text.clear();
        for (DWORD i = 0; i < size; ++i) {
            text += kDigits[data[i] >> kHighNibbleShift];
            text += kDigits[data[i] & kNibbleMask];
        }
        return true;
    }
    default: return false;
    }
}

HRESULT DumpKey(HKEY key, const std::wstring& path, std::wstring& rows)
{
    DWORD subkeys = 0, values = 0, longestSubkey = 0, longestName = 0, largestData = 0;
    HRESULT hr = FromWin32Status(RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSubkey, nullptr,
                                                  &values, &longestName, &largestData, nullptr, nullptr));
    if (FAILED(hr))
        return hr;
    if (subkeys == 0 && values == 0)
        rows += L"key" + std::wstring(1, kSeparator) + path + L"\n";

    std::wstring name(longestName + 1, L'\0');
    std::basic_string<BYTE> data(largestData + sizeof(wchar_t), 0);
    for (DWORD index = 0; index < values; ++index) {
        DWORD nameLength = longestName + 1, type = 0, size = largestData;
        hr = FromWin32Status(RegEnumValueW(key, index, name.data(), &nameLength, nullptr, &type, data.data(), &size));
        if (FAILED(hr))
            return hr;
        std::wstring typeName, text;
        const std::wstring valueName(name.c_str(), nameLength);
        if (!FormatData(type, data.data(), size, typeName, text) || !IsPlainText(valueName))
            return HRESULT_FROM_WIN32(ERROR_INVALID_DATA);
        rows += L"value" + std::wstring(1, kSeparator) + path + kSeparator + valueName + kSeparator + typeName +
            kSeparator + text + L"\n";
    }

    std::wstring subkey(longestSubkey + 1, L'\0');
    for (DWORD index = 0; index < subkeys; ++index) {
        DWORD length = longestSubkey + 1;
        hr = FromWin32Status(RegEnumKeyExW(key, index, subkey.data(), &length, nullptr, nullptr, nullptr, nullptr));
        if (FAILED(hr))
            return hr;
        const std::wstring child(subkey.c_str(), length);
        OwnedKey opened;
        hr = FromWin32Status(opened.OpenInto(key, child.c_str(), KEY_READ));
        if (SUCCEEDED(hr))
            hr = DumpKey(opened.Get(), path.empty() ? child : path + L"\\" + child, rows);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

}  // namespace

HRESULT RecordRegistration(const RecordingTargets& targets, std::wstring& rows)
{
    rows.clear();
    const ScratchClassesRoot classesRoot(kScratchKeyPrefix);
    HRESULT hr = classesRoot.Status();
    RecordingTarget recording(targets);
    if (SUCCEEDED(hr))
        hr = RunRegistration(recording);
    if (SUCCEEDED(hr))
        hr = DumpKey(classesRoot.Target(), std::wstring(), rows);
    return hr;
}
