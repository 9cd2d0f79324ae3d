#include "tests/dispatch/FakeLocaleResources.h"

HRESULT FakeLocaleResources::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDispatch) || IsEqualIID(iid, IID_ILocaleResources)) {
        *out = static_cast<ILocaleResources*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG FakeLocaleResources::AddRef()
{
    return InterlockedIncrement(&refCount_);
}
ULONG FakeLocaleResources::Release()
{
    return InterlockedDecrement(&refCount_);
}

namespace {

template <class Value>
HRESULT Answer(Value* out, Value value)
{
    *out = value;
    return S_OK;
}

}  // namespace

HRESULT FakeLocaleResources::FontName(BSTR* fontName)
{
    return Answer(fontName, SysAllocString(L"Arial"));
}
HRESULT FakeLocaleResources::LocaleNumber1(LONG* value)
{
    return Answer(value, kLocaleNumber1);
}
HRESULT FakeLocaleResources::LocaleNumber2(LONG* value)
{
    return Answer(value, LONG{1});
}
HRESULT FakeLocaleResources::GetString(LONG id, BSTR* text)
{
    lastStringId = id;
    return Answer(text, SysAllocString(L"Tama\u00F1o:"));
}
HRESULT FakeLocaleResources::Unsupported1(LONG, LONG, LONG*)
{
    return E_NOTIMPL;
}
HRESULT FakeLocaleResources::Unsupported2(LONG, LONG, LONG*)
{
    return E_NOTIMPL;
}
HRESULT FakeLocaleResources::Unsupported3(LONG, LONG*)
{
    return E_NOTIMPL;
}
HRESULT FakeLocaleResources::LanguageName(BSTR* name)
{
    return Answer(name, SysAllocString(L"Spanish"));
}
HRESULT FakeLocaleResources::LocaleNumber3(LONG* value)
{
    return Answer(value, LONG{34});
}
HRESULT FakeLocaleResources::PrimaryLanguageId(SHORT* id)
{
    return Answer(id, kPrimaryLanguageId);
}
HRESULT FakeLocaleResources::SubLanguageId(SHORT* id)
{
    return Answer(id, SHORT{1});
}
HRESULT FakeLocaleResources::Version(BSTR* version)
{
    return Answer(version, SysAllocString(L"1.0.0.0"));
}
HRESULT FakeLocaleResources::HelpFilePath(BSTR* path)
{
    return Answer(path, SysAllocString(L""));
}
