#include "tools/vrl-conform/InterfaceChecks.h"

#include "tools/console/ConsoleText.h"
#include "vrllocale.h"

namespace {

// The fixed values the object reports, as its early-bound operations give them.
struct FixedValues {
    std::wstring fontName;
    std::wstring languageName;
    std::wstring version;
    std::wstring helpFilePath;
    LONG number1 = 0;
    LONG number2 = 0;
    LONG number3 = 0;
    SHORT primaryLanguageId = 0;
    SHORT subLanguageId = 0;
};

// A string id that every language server holds.
constexpr LONG kOkButtonTextId = 100;

// The members of ILocaleResources and their dispatch ids.
struct Member {
    const wchar_t* name;
    DISPID id;
};
constexpr Member kMembers[] = {
    {L"FontName", 1},      {L"LocaleNumber1", 2},      {L"LocaleNumber2", 3},  {L"GetString", 4},
    {L"Unsupported1", 5},  {L"Unsupported2", 6},       {L"Unsupported3", 7},   {L"LanguageName", 8},
    {L"LocaleNumber3", 9}, {L"PrimaryLanguageId", 10}, {L"SubLanguageId", 11}, {L"Version", 12},
    {L"HelpFilePath", 13},
};

using TextGetter = HRESULT (STDMETHODCALLTYPE ILocaleResources::*)(BSTR*);

std::wstring ReadText(ILocaleResources* resources, const wchar_t* name, TextGetter getter, std::wstring& value)
{
    UniqueBstr text;
    const HRESULT hr = (resources->*getter)(text.Put());
    if (hr != S_OK)
        return std::wstring(name) + L" gave " + Hex(hr);
    if (!text.Get() || SysStringLen(text.Get()) == 0)
        return std::wstring(name) + L" gave no text";
    value.assign(text.Get(), SysStringLen(text.Get()));
    return {};
}

// Every operation early-bound; fills the values for the dispatch check.
std::wstring CheckEarlyBound(ILocaleResources* resources, FixedValues& values)
{
    std::wstring why = ReadText(resources, L"FontName", &ILocaleResources::FontName, values.fontName);
    if (why.empty())
        why = ReadText(resources, L"LanguageName", &ILocaleResources::LanguageName, values.languageName);
    if (why.empty())
        why = ReadText(resources, L"Version", &ILocaleResources::Version, values.version);
    if (why.empty())
        why = ReadText(resources, L"HelpFilePath", &ILocaleResources::HelpFilePath, values.helpFilePath);
    if (!why.empty())
        return why;
    if (resources->LocaleNumber1(&values.number1) != S_OK || resources->LocaleNumber2(&values.number2) != S_OK ||
        resources->LocaleNumber3(&values.number3) != S_OK)
        return L"a LocaleNumber operation failed";
    if (resources->PrimaryLanguageId(&values.primaryLanguageId) != S_OK ||
        resources->SubLanguageId(&values.subLanguageId) != S_OK)
        return L"a language id operation failed";
    UniqueBstr text;
    HRESULT hr = resources->GetString(kOkButtonTextId, text.Put());
    if (hr != S_OK || !text.Get())
        return L"GetString(100) gave " + Hex(hr) + (text.Get() ? L"" : L" and no text");
    LONG result = -1;
    hr = resources->Unsupported1(0, 0, &result);
    if (hr != E_NOTIMPL || result != -1)
        return L"Unsupported1 gave " + Hex(hr) + L", not E_NOTIMPL with nothing written";
    hr = resources->Unsupported2(0, 0, &result);
    if (hr != E_NOTIMPL || result != -1)
        return L"Unsupported2 gave " + Hex(hr) + L", not E_NOTIMPL with nothing written";
    hr = resources->Unsupported3(0, &result);
    if (hr != E_NOTIMPL || result != -1)
        return L"Unsupported3 gave " + Hex(hr) + L", not E_NOTIMPL with nothing written";
    return {};
}

std::wstring CheckNullOutPointers(ILocaleResources* resources)
{
    struct Call {
        const wchar_t* name;
        HRESULT result;
    };
    const Call calls[] = {
        {L"FontName", resources->FontName(nullptr)},
        {L"LocaleNumber1", resources->LocaleNumber1(nullptr)},
        {L"LocaleNumber2", resources->LocaleNumber2(nullptr)},
        {L"GetString", resources->GetString(kOkButtonTextId, nullptr)},
        {L"Unsupported1", resources->Unsupported1(0, 0, nullptr)},
        {L"Unsupported2", resources->Unsupported2(0, 0, nullptr)},
        {L"Unsupported3", resources->Unsupported3(0, nullptr)},
        {L"LanguageName", resources->LanguageName(nullptr)},
        {L"LocaleNumber3", resources->LocaleNumber3(nullptr)},
        {L"PrimaryLanguageId", resources->PrimaryLanguageId(nullptr)},
        {L"SubLanguageId", resources->SubLanguageId(nullptr)},
        {L"Version", resources->Version(nullptr)},
        {L"HelpFilePath", resources->HelpFilePath(nullptr)},
    };
    std::wstring wrong;
    for (const Call& call : calls) {
        if (call.result != E_POINTER)
            wrong += std::wstring(wrong.empty() ? L"" : L", ") + call.name + L" gave " + Hex(call.result);
    }
    return wrong.empty() ? wrong : L"not E_POINTER: " + wrong;
}

std::wstring CheckMemberNames(ILocaleResources* resources)
{
    std::wstring wrong;
    for (const Member& member : kMembers) {
        LPOLESTR name = const_cast<LPOLESTR>(member.name);
        DISPID id = DISPID_UNKNOWN;
        const HRESULT hr = resources->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
        if (hr != S_OK || id != member.id)
            wrong += std::wstring(wrong.empty() ? L"" : L", ") + member.name + L" (" + Hex(hr) + L", id " +
                std::to_wstring(id) + L")";
    }
    if (!wrong.empty())
        return L"unknown or misnumbered: " + wrong;
    LPOLESTR unknown = const_cast<LPOLESTR>(L"NoSuchMember");
    DISPID id = 0;
    const HRESULT hr = resources->GetIDsOfNames(IID_NULL, &unknown, 1, LOCALE_USER_DEFAULT, &id);
    if (hr != DISP_E_UNKNOWNNAME)
        return L"a name it lacks gave " + Hex(hr) + L", not DISP_E_UNKNOWNNAME";
    return {};
}

// Invokes a member with up to two 32-bit arguments (given in call order).
HRESULT InvokeMember(IDispatch* dispatch, DISPID id, UINT argumentCount, const LONG* arguments, VARIANT& result)
{
    constexpr UINT kMostArguments = 2;
    VARIANT reversed[kMostArguments];
    for (UINT i = 0; i < argumentCount && i < kMostArguments; ++i) {
        VariantInit(&reversed[i]);
        V_VT(&reversed[i]) = VT_I4;
        V_I4(&reversed[i]) = arguments[argumentCount - 1 - i];
    }
    DISPPARAMS parameters = {reversed, nullptr, argumentCount, 0};
    EXCEPINFO exception = {};
    UINT badArgument = 0;
    VariantInit(&result);
    const HRESULT hr = dispatch->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, DISPATCH_METHOD | DISPATCH_PROPERTYGET,
                                        &parameters, &result, &exception, &badArgument);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    return hr;
}

std::wstring TextMismatch(IDispatch* dispatch, const wchar_t* name, DISPID id, const std::wstring& expected)
{
    VARIANT result;
    const HRESULT hr = InvokeMember(dispatch, id, 0, nullptr, result);
    std::wstring why;
    if (hr != S_OK)
        why = std::wstring(name) + L" gave " + Hex(hr);
    else if (V_VT(&result) != VT_BSTR || std::wstring(V_BSTR(&result), SysStringLen(V_BSTR(&result))) != expected)
        why = std::wstring(name) + L" gave another value than early-bound";
    VariantClear(&result);
    return why;
}

std::wstring NumberMismatch(IDispatch* dispatch, const wchar_t* name, DISPID id, LONG expected)
{
    VARIANT result;
    const HRESULT hr = InvokeMember(dispatch, id, 0, nullptr, result);
    std::wstring why;
    if (hr != S_OK)
        why = std::wstring(name) + L" gave " + Hex(hr);
    else if (FAILED(VariantChangeType(&result, &result, 0, VT_I4)) || V_I4(&result) != expected)
        why = std::wstring(name) + L" gave another value than early-bound";
    VariantClear(&result);
    return why;
}

std::wstring CheckDispatch(ILocaleResources* resources, const FixedValues& values)
{
    UINT count = 0;
    if (resources->GetTypeInfoCount(&count) != S_OK || count != 1)
        return L"GetTypeInfoCount does not give 1";
    ComRef<ITypeInfo> typeInfo;
    HRESULT hr = resources->GetTypeInfo(0, LOCALE_USER_DEFAULT, typeInfo.Put());
    if (FAILED(hr) || !typeInfo)
        return L"GetTypeInfo gave " + Hex(hr);

    const std::wstring mismatches[] = {
        TextMismatch(resources, L"FontName", 1, values.fontName),
        NumberMismatch(resources, L"LocaleNumber1", 2, values.number1),
        NumberMismatch(resources, L"LocaleNumber2", 3, values.number2),
        TextMismatch(resources, L"LanguageName", 8, values.languageName),
        NumberMismatch(resources, L"LocaleNumber3", 9, values.number3),
        NumberMismatch(resources, L"PrimaryLanguageId", 10, values.primaryLanguageId),
        NumberMismatch(resources, L"SubLanguageId", 11, values.subLanguageId),
        TextMismatch(resources, L"Version", 12, values.version),
        TextMismatch(resources, L"HelpFilePath", 13, values.helpFilePath),
    };
    for (const std::wstring& why : mismatches) {
        if (!why.empty())
            return why;
    }
    VARIANT result;
    hr = InvokeMember(resources, 4, 1, &kOkButtonTextId, result);
    const bool textGiven = hr == S_OK && V_VT(&result) == VT_BSTR && SysStringLen(V_BSTR(&result)) > 0;
    VariantClear(&result);
    if (!textGiven)
        return L"GetString(100) gave " + Hex(hr) + L" and no text";
    const LONG twoArguments[] = {0, 0};
    const DISPID unsupported[] = {5, 6, 7};
    for (const DISPID id : unsupported) {
        hr = InvokeMember(resources, id, id == 7 ? 1 : 2, twoArguments, result);
        VariantClear(&result);
        if (SUCCEEDED(hr))
            return L"an unsupported operation succeeded through Invoke";
    }
    return {};
}

}  // namespace

void CheckInterface(const ServerUnderTest& server, CheckList& checks)
{
    ComRef<ILocaleResources> resources;
    const HRESULT hr = server.CreateObject(resources);
    if (FAILED(hr)) {
        const wchar_t* because = L"the object cannot be created";
        for (const wchar_t* name : {L"early-bound operations", L"null out pointers", L"GetIDsOfNames", L"IDispatch"})
            checks.NotRun(name, because);
        return;
    }
    FixedValues values;
    const std::wstring earlyBound = CheckEarlyBound(resources.Get(), values);
    checks.Record(L"early-bound operations", earlyBound);
    checks.Record(L"null out pointers", CheckNullOutPointers(resources.Get()));
    checks.Record(L"GetIDsOfNames", CheckMemberNames(resources.Get()));
    if (earlyBound.empty())
        checks.Record(L"IDispatch", CheckDispatch(resources.Get(), values));
    else
        checks.NotRun(L"IDispatch", L"the early-bound values are needed to compare");
}
