// The allocation-failure walk over everything a client can reach in the
// server: the exports, the thirteen operations early-bound, standalone and
// aggregated, and IDispatch. Every run loads the server afresh, fails one
// allocation, and must end with S_OK and a complete answer or a clean
// failure code, leave no module heap block and no task memory behind, and
// let the server unload.

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "server/Guids.h"
#include "server/Ownership.h"
#include "tests/dispatch/TypeLibRegistration.h"
#include "tests/support/FailureWalk.h"
#include "tests/support/TaskMemoryCount.h"
#include "tests/survival/FreshServer.h"
#include "vrllocale.h"

namespace {
constexpr LCID kEnglishUs = 0x0409;
constexpr LONG kSizeLabelId = 452;
constexpr LONG kIdWithoutText = 200;
const wchar_t kSizeLabel[] = L"Tama\u00F1o:";

using Scenario = std::function<HRESULT(FreshServer&)>;
using Operation = std::function<HRESULT(ILocaleResources*)>;

bool SameText(BSTR text, const wchar_t* expected)
{
    return text && std::wstring(text, SysStringLen(text)) == expected;
}

// A text operation: S_OK only with the whole text, a failure only with null.
HRESULT CheckedText(HRESULT hr, BSTR text, const wchar_t* expected)
{
    UniqueBstr owned(text);
    if (hr == S_OK && !SameText(text, expected))
        return E_UNEXPECTED;
    if (FAILED(hr) && text)
        return E_UNEXPECTED;
    return hr;
}

template <class Getter>
Operation TextOperation(Getter getter, const wchar_t* expected)
{
    return [getter, expected](ILocaleResources* resources) {
        BSTR text = reinterpret_cast<BSTR>(1);
        const HRESULT hr = (resources->*getter)(&text);
        return CheckedText(hr, text, expected);
    };
}

HRESULT StandaloneObject(FreshServer& server, ComRef<ILocaleResources>& object)
{
    ComRef<IClassFactory> factory;
    const HRESULT hr = server.ClassObject(CLSID_VrlDiscoverySpanishResources, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(nullptr, IID_ILocaleResources, object.PutVoid());
}

// An outer object that owns the inner one and hands out its interfaces.
class Outer : public IUnknown {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (IsEqualIID(iid, IID_IUnknown)) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return inner ? inner->QueryInterface(iid, out) : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override { return --references; }

    ComRef<IUnknown> inner;
    LONG references = 1;
};

HRESULT WithObject(FreshServer& server, bool aggregated, const Operation& operation)
{
    if (!aggregated) {
        ComRef<ILocaleResources> object;
        const HRESULT hr = StandaloneObject(server, object);
        return FAILED(hr) ? hr : operation(object.Get());
    }
    ComRef<IClassFactory> factory;
    HRESULT hr = server.ClassObject(CLSID_VrlDiscoverySpanishResources, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr))
        return hr;
    Outer outer;
    hr = factory->CreateInstance(&outer, IID_IUnknown, outer.inner.PutVoid());
    if (FAILED(hr))
        return hr;
    ILocaleResources* part = nullptr;
    hr = outer.inner->QueryInterface(IID_ILocaleResources, reinterpret_cast<void**>(&part));
    if (FAILED(hr))
        return hr;
    hr = operation(part);
    part->Release();
    return hr;
}

// The late-bound GetString, as a script calls it.
HRESULT LateBoundGetString(ILocaleResources* resources)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetString")};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = resources->GetIDsOfNames(IID_NULL, names, 1, kEnglishUs, &id);
    if (FAILED(hr))
        return hr;
    VARIANT argument;
    argument.vt = VT_I4;
    argument.lVal = kSizeLabelId;
    DISPPARAMS parameters{&argument, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXCEPINFO exception{};
    UINT argumentError = 0;
    hr = resources->Invoke(id, IID_NULL, kEnglishUs, DISPATCH_METHOD, &parameters, &result, &exception, &argumentError);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    // The operation's own failure arrives in the exception record.
    if (hr == DISP_E_EXCEPTION)
        hr = exception.scode;
    if (hr == S_OK && (result.vt != VT_BSTR || !SameText(result.bstrVal, kSizeLabel)))
        hr = E_UNEXPECTED;
    VariantClear(&result);
    return hr;
}

HRESULT TypeInfoOfObject(ILocaleResources* resources)
{
    ComRef<ITypeInfo> typeInfo;
    HRESULT hr = resources->GetTypeInfo(0, kEnglishUs, typeInfo.Put());
    if (hr == S_OK && !typeInfo)
        hr = E_UNEXPECTED;
    return hr;
}

HRESULT GetIDsOfNamesOfObject(ILocaleResources* resources)
{
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"Version")};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = resources->GetIDsOfNames(IID_NULL, names, 1, kEnglishUs, &id);
    constexpr DISPID kVersionId = 12;
    if (hr == S_OK && id != kVersionId)
        hr = E_UNEXPECTED;
    return hr;
}

struct NamedOperation {
    const char* name;
    Operation operation;
};

std::vector<NamedOperation> TheOperations()
{
    auto number = [](auto getter, auto expected) {
        return [getter, expected](ILocaleResources* resources) {
            decltype(expected) value{};
            HRESULT hr = (resources->*getter)(&value);
            return hr == S_OK && value != expected ? E_UNEXPECTED : hr;
        };
    };
    auto unsupported = [](HRESULT hr) { return hr == E_NOTIMPL ? S_OK : E_UNEXPECTED; };
    return {
        {"FontName", TextOperation(&ILocaleResources::FontName, L"Arial")},
        {"LanguageName", TextOperation(&ILocaleResources::LanguageName, L"Spanish")},
        {"Version", TextOperation(&ILocaleResources::Version, L"1.0.0.0")},
        {"HelpFilePath", TextOperation(&ILocaleResources::HelpFilePath, L".\\Help\\VrlDiscoveryES.hlp")},
        {"GetString",
         [](ILocaleResources* r) {
             BSTR text = reinterpret_cast<BSTR>(1);
             const HRESULT hr = r->GetString(kSizeLabelId, &text);
             return CheckedText(hr, text, kSizeLabel);
         }},
        {"GetString without text",
         [](ILocaleResources* r) {
             BSTR text = reinterpret_cast<BSTR>(1);
             const HRESULT hr = r->GetString(kIdWithoutText, &text);
             return hr == S_OK && text ? E_UNEXPECTED : hr;
         }},
        {"LocaleNumber1", number(&ILocaleResources::LocaleNumber1, LONG{8})},
        {"LocaleNumber2", number(&ILocaleResources::LocaleNumber2, LONG{1})},
        {"LocaleNumber3", number(&ILocaleResources::LocaleNumber3, LONG{34})},
        {"PrimaryLanguageId", number(&ILocaleResources::PrimaryLanguageId, SHORT{10})},
        {"SubLanguageId", number(&ILocaleResources::SubLanguageId, SHORT{1})},
        {"Unsupported1",
         [unsupported](ILocaleResources* r) {
             LONG v;
             return unsupported(r->Unsupported1(1, 2, &v));
         }},
        {"Unsupported2",
         [unsupported](ILocaleResources* r) {
             LONG v;
             return unsupported(r->Unsupported2(1, 2, &v));
         }},
        {"Unsupported3",
         [unsupported](ILocaleResources* r) {
             LONG v;
             return unsupported(r->Unsupported3(1, &v));
         }},
        {"GetTypeInfoCount",
         [](ILocaleResources* r) {
             UINT count = 0;
             const HRESULT hr = r->GetTypeInfoCount(&count);
             return hr == S_OK && count != 1 ? E_UNEXPECTED : hr;
         }},
        {"GetTypeInfo", TypeInfoOfObject},
        {"GetIDsOfNames", GetIDsOfNamesOfObject},
        {"Invoke of GetString", LateBoundGetString},
    };
}

class AllocationFailures : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(getenv("OANOCACHE")) << "run with OANOCACHE=1 so that BSTRs are counted as task memory";
        ASSERT_TRUE(taskMemory.Registered());
        ASSERT_TRUE(classesRoot.Active());
        ASSERT_EQ(sibling.Result(), S_OK);
        ASSERT_EQ(server.Result(), S_OK);
        ASSERT_TRUE(ServerIsUnloaded());
        // One unfailed run first, so that what the platform keeps for the
        // process (its type library cache) is there before anything is counted.
        for (const NamedOperation& operation : TheOperations()) {
            FreshServer warm;
            WithObject(warm, false, operation.operation);
        }
    }

    // Walks `scenario`; answers how many allocations a complete run makes.
    LONG Walk(const std::string& name, const Scenario& scenario)
    {
        LONG allocations = 0;
        WalkAllocationFailures(name.c_str(), [&](LONG n) {
            const LONG taskMemoryBefore = taskMemory.Live();
            HRESULT hr = E_UNEXPECTED;
            bool injected = false;
            {
                FreshServer fresh;
                EXPECT_TRUE(fresh.Loaded()) << name;
                if (!fresh.Loaded())
                    return false;
                AllocationFaults::FailNth(n);
                hr = scenario(fresh);
                injected = AllocationFaults::Injected();
                allocations = AllocationFaults::Allocations();
                AllocationFaults::Disarm();
                EXPECT_EQ(fresh.CanUnload(), S_OK) << name << ", allocation " << n << " failing: module left locked";
                EXPECT_TRUE(fresh.Unload()) << name << ", allocation " << n << " failing";
            }
            EXPECT_EQ(AllocationFaults::LiveHeapBlocks(), 0)
                << name << ", allocation " << n << " failing: module heap blocks left";
            EXPECT_EQ(taskMemory.Live(), taskMemoryBefore)
                << name << ", allocation " << n << " failing: task memory or BSTRs left";
            // A run that met a failure may still succeed where the server does
            // without what it could not get (the name cache): the scenario has
            // then checked the whole answer.
            if (injected)
                EXPECT_TRUE(IsOneOf(hr, {E_OUTOFMEMORY, S_OK}))
                    << name << ", allocation " << n << " failing: 0x" << std::hex << hr;
            else
                EXPECT_EQ(hr, S_OK) << name << ": the run without a failure";
            return injected;
        });
        return allocations;
    }

    TaskMemoryCount taskMemory;
    IsolatedClassesRoot classesRoot;
    RegisteredTypeLib sibling{L"vrllocale.tlb"};
    RegisteredTypeLib server{L"VrlDiscoveryResES.tlb"};
};
}

TEST_F(AllocationFailures, ClassObjectAndObjectCreation)
{
    EXPECT_EQ(Walk("DllGetClassObject",
                   [](FreshServer& fresh) {
                       ComRef<IClassFactory> factory;
                       return fresh.ClassObject(CLSID_VrlDiscoverySpanishResources, IID_IClassFactory,
                                                factory.PutVoid());
                   }),
              1);
    EXPECT_EQ(Walk("CreateInstance",
                   [](FreshServer& fresh) {
                       ComRef<ILocaleResources> object;
                       return StandaloneObject(fresh, object);
                   }),
              2);
    EXPECT_EQ(Walk("CreateInstance aggregated",
                   [](FreshServer& fresh) { return WithObject(fresh, true, [](ILocaleResources*) { return S_OK; }); }),
              2);
    EXPECT_EQ(Walk("DllCanUnloadNow", [](FreshServer& fresh) { return fresh.CanUnload(); }), 0);
}

TEST_F(AllocationFailures, EveryOperationStandaloneAndAggregated)
{
    for (const NamedOperation& operation : TheOperations()) {
        for (bool aggregated : {false, true}) {
            const std::string name = std::string(operation.name) + (aggregated ? " (aggregated)" : "");
            const LONG allocations =
                Walk(name, [&](FreshServer& fresh) { return WithObject(fresh, aggregated, operation.operation); });
            EXPECT_GE(allocations, 2) << name << ": the factory and the object at least";
        }
    }
}
