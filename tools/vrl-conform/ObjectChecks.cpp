#include "tools/vrl-conform/ObjectChecks.h"

#include "common/Guids.h"
#include "tools/console/ConsoleText.h"
#include "vrllocale.h"

namespace {

// {0D15C0E5-7E57-4A11-8000-0000C0FFC0DE}: a class that no server serves.
constexpr CLSID kUnservedClass = {0x0D15C0E5, 0x7E57, 0x4A11, {0x80, 0x00, 0x00, 0x00, 0xC0, 0xFF, 0xC0, 0xDE}};

// The controlling object of an aggregate: counts the references that the
// inner object's interfaces hand on to it.
class OuterObject final : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!IsEqualIID(iid, IID_IUnknown))
            return E_NOINTERFACE;
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++count_); }
    ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(--count_); }

    LONG Count() const { return count_; }

private:
    LONG count_ = 1;
};

std::wstring Expect(const wchar_t* call, HRESULT got, HRESULT wanted)
{
    if (got == wanted)
        return {};
    return std::wstring(call) + L" gave " + Hex(got) + L", not " + Hex(wanted);
}

std::wstring CheckClassObject(const ServerUnderTest& server)
{
    const ServerExports& exports = server.Exports();
    ComRef<IClassFactory> factory;
    HRESULT hr = server.GetFactory(factory);
    if (FAILED(hr) || !factory)
        return L"DllGetClassObject of the file's class gave " + Hex(hr);
    IUnknown* other = reinterpret_cast<IUnknown*>(1);
    hr = exports.getClassObject(kUnservedClass, IID_IClassFactory, reinterpret_cast<void**>(&other));
    if (hr != CLASS_E_CLASSNOTAVAILABLE)
        return L"DllGetClassObject of a class it does not serve gave " + Hex(hr) + L", not CLASS_E_CLASSNOTAVAILABLE";
    if (other)
        return L"DllGetClassObject of a class it does not serve left its out pointer set";
    ComRef<ILocaleResources> resources;
    hr = factory->CreateInstance(nullptr, IID_ILocaleResources, resources.PutVoid());
    if (FAILED(hr) || !resources)
        return L"CreateInstance for ILocaleResources gave " + Hex(hr);
    return {};
}

std::wstring CheckAggregation(const ServerUnderTest& server)
{
    ComRef<IClassFactory> factory;
    HRESULT hr = server.GetFactory(factory);
    if (FAILED(hr))
        return L"DllGetClassObject gave " + Hex(hr);
    OuterObject outer;
    void* refused = reinterpret_cast<void*>(1);
    hr = factory->CreateInstance(&outer, IID_ILocaleResources, &refused);
    if (hr != CLASS_E_NOAGGREGATION)
        return L"CreateInstance with an outer object for ILocaleResources gave " + Hex(hr) +
            L", not CLASS_E_NOAGGREGATION";
    if (refused)
        return L"a refused aggregation left its out pointer set";

    ComRef<IUnknown> inner;
    hr = factory->CreateInstance(&outer, IID_IUnknown, inner.PutVoid());
    if (FAILED(hr) || !inner)
        return L"CreateInstance with an outer object for IUnknown gave " + Hex(hr);
    const LONG before = outer.Count();
    ComRef<ILocaleResources> resources;
    hr = inner->QueryInterface(IID_ILocaleResources, resources.PutVoid());
    if (FAILED(hr))
        return L"the inner object does not give ILocaleResources: " + Hex(hr);
    if (outer.Count() != before + 1)
        return L"the aggregated interface does not count its references on the outer object";
    ComRef<IUnknown> identity;
    hr = resources->QueryInterface(IID_IUnknown, identity.PutVoid());
    if (FAILED(hr) || identity.Get() != static_cast<IUnknown*>(&outer))
        return L"the aggregated interface does not give the outer object as its IUnknown";
    return {};
}

// Locks (true) or unlocks the server through a factory that is released
// again at once.
HRESULT LockServer(const ServerUnderTest& server, BOOL lock)
{
    ComRef<IClassFactory> factory;
    const HRESULT hr = server.GetFactory(factory);
    return FAILED(hr) ? hr : factory->LockServer(lock);
}

// A live object or a lock keeps the module; the module's own cached class
// factory does not.
std::wstring CheckUnloading(const ServerUnderTest& server)
{
    const ServerExports& exports = server.Exports();
    std::wstring why = Expect(L"DllCanUnloadNow before any object", exports.canUnloadNow(), S_OK);
    if (!why.empty())
        return why;
    ComRef<ILocaleResources> resources;
    {
        ComRef<IClassFactory> factory;
        HRESULT hr = server.GetFactory(factory);
        if (FAILED(hr))
            return L"DllGetClassObject gave " + Hex(hr);
        hr = factory->CreateInstance(nullptr, IID_ILocaleResources, resources.PutVoid());
        if (FAILED(hr))
            return L"CreateInstance gave " + Hex(hr);
    }
    why = Expect(L"DllCanUnloadNow while an object lives", exports.canUnloadNow(), S_FALSE);
    if (!why.empty())
        return why;
    resources.Reset();
    why = Expect(L"DllCanUnloadNow after the object's last release", exports.canUnloadNow(), S_OK);
    if (!why.empty())
        return why;
    HRESULT hr = LockServer(server, TRUE);
    if (FAILED(hr))
        return L"LockServer(TRUE) gave " + Hex(hr);
    const HRESULT locked = exports.canUnloadNow();
    hr = LockServer(server, FALSE);
    if (FAILED(hr))
        return L"LockServer(FALSE) gave " + Hex(hr);
    why = Expect(L"DllCanUnloadNow while the server is locked", locked, S_FALSE);
    if (!why.empty())
        return why;
    return Expect(L"DllCanUnloadNow after the lock is given back", exports.canUnloadNow(), S_OK);
}

std::wstring CheckQueryInterface(const ServerUnderTest& server)
{
    ComRef<ILocaleResources> resources;
    HRESULT hr = server.CreateObject(resources);
    if (FAILED(hr))
        return L"the object cannot be created: " + Hex(hr);
    ComRef<IUnknown> unknown;
    ComRef<IDispatch> dispatch;
    if (FAILED(resources->QueryInterface(IID_IUnknown, unknown.PutVoid())))
        return L"the object does not give IUnknown";
    if (FAILED(resources->QueryInterface(IID_IDispatch, dispatch.PutVoid())))
        return L"the object does not give IDispatch";
    ComRef<IUnknown> again;
    if (FAILED(dispatch->QueryInterface(IID_IUnknown, again.PutVoid())) || again.Get() != unknown.Get())
        return L"IUnknown through IDispatch is not the object's identity";
    void* other = reinterpret_cast<void*>(1);
    hr = resources->QueryInterface(IID_IClassFactory, &other);
    if (hr != E_NOINTERFACE || other)
        return L"asking for an interface it lacks gave " + Hex(hr) + L" and a pointer, not E_NOINTERFACE and null";
    if (resources->QueryInterface(IID_IUnknown, nullptr) != E_POINTER)
        return L"QueryInterface with a null out pointer does not give E_POINTER";
    return {};
}

}  // namespace

void CheckObject(const ServerUnderTest& server, CheckList& checks)
{
    checks.Record(L"class object", CheckClassObject(server));
    checks.Record(L"aggregation", CheckAggregation(server));
    checks.Record(L"unloading", CheckUnloading(server));
    checks.Record(L"QueryInterface", CheckQueryInterface(server));
}
