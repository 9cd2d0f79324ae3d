#include "tests/dispatch/FakeLocaleResources.h"

#include "resources/dispatch/DispatchOperations.h"

HRESULT FakeLocaleResources::QueryInterface(REFIID iid, void** out) {
    if (!out) return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_ILocaleResources)) {
        *out = static_cast<ILocaleResources*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG FakeLocaleResources::AddRef() { return InterlockedIncrement(&refCount_); }
ULONG FakeLocaleResources::Release() { return InterlockedDecrement(&refCount_); }

HRESULT FakeLocaleResources::GetTypeInfoCount(UINT* count) { return DispatchGetTypeInfoCount(this, count); }

HRESULT FakeLocaleResources::GetTypeInfo(UINT index, LCID lcid, ITypeInfo** typeInfo) {
    return DispatchGetTypeInfo(this, index, lcid, typeInfo);
}

HRESULT FakeLocaleResources::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) {
    return DispatchGetIDsOfNames(this, iid, names, count, lcid, ids);
}

HRESULT FakeLocaleResources::Invoke(DISPID member, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* parameters,
                                    VARIANT* result, EXCEPINFO* exception, UINT* argumentError) {
    return DispatchInvoke(this, member, iid, lcid, flags, parameters, result, exception, argumentError);
}

HRESULT FakeLocaleResources::FontName(BSTR* fontName) {
    *fontName = SysAllocString(L"Arial");
    return S_OK;
}
HRESULT FakeLocaleResources::LocaleNumber1(LONG* value) {
    *value = kLocaleNumber1;
    return S_OK;
}
HRESULT FakeLocaleResources::LocaleNumber2(LONG* value) {
    *value = 1;
    return S_OK;
}
HRESULT FakeLocaleResources::GetString(LONG id, BSTR* text) {
    lastStringId = id;
    *text = SysAllocString(L"Tama\u00F1o:");
    return S_OK;
}
HRESULT FakeLocaleResources::Unsupported1(LONG, LONG, LONG*) { return E_NOTIMPL; }
HRESULT FakeLocaleResources::Unsupported2(LONG, LONG, LONG*) { return E_NOTIMPL; }
HRESULT FakeLocaleResources::Unsupported3(LONG, LONG*) { return E_NOTIMPL; }
HRESULT FakeLocaleResources::LanguageName(BSTR* name) {
    *name = SysAllocString(L"Spanish");
    return S_OK;
}
HRESULT FakeLocaleResources::LocaleNumber3(LONG* value) {
    *value = 34;
    return S_OK;
}
HRESULT FakeLocaleResources::PrimaryLanguageId(SHORT* id) {
    *id = kPrimaryLanguageId;
    return S_OK;
}
HRESULT FakeLocaleResources::SubLanguageId(SHORT* id) {
    *id = 1;
    return S_OK;
}
HRESULT FakeLocaleResources::Version(BSTR* version) {
    *version = SysAllocString(L"1.0.0.0");
    return S_OK;
}
HRESULT FakeLocaleResources::HelpFilePath(BSTR* path) {
    *path = SysAllocString(L"");
    return S_OK;
}
