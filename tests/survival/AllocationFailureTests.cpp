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
#include <vector>

#include "common/Guids.h"
#include "common/ServerIdentity.h"
#include "common/Ownership.h"
#include "tests/dispatch/TypeLibRegistration.h"
#include "tests/support/ComApartment.h"
#include "tests/support/FailureWalk.h"
#include "tests/support/FakeOuter.h"
#include "tests/support/ServerBitness.h"
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
    const HRESULT hr = server.ClassObject(CLSID_LanguageServer, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(nullptr, IID_ILocaleResources, object.PutVoid());
}

HRESULT WithObject(FreshServer& server, bool aggregated, const Operation& operation)
{
    if (!aggregated) {
        ComRef<ILocaleResources> object;
        const HRESULT hr = StandaloneObject(server, object);
        return FAILED(hr) ? hr : operation(object.Get());
    }
    ComRef<IClassFactory> factory;
    HRESULT hr = server.ClassObject(CLSID_LanguageServer, IID_IClassFactory, factory.PutVoid());
    if (FAILED(hr))
        return hr;
    FakeOuter outer;
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

// Checks one run of a server: where it stands, what it answered, whether it met a
// failure. Called with the server still loaded and no failure armed.
using RunCheck = std::function<void(FreshServer& server, const std::string& where, HRESULT hr, bool injected)>;

// Walks `scenario` on a freshly loaded server, after `prepare` (unfailed,
// when given); answers how many allocations a complete run makes. Every run
// must leave the module unlockable and unloadable, with no module heap block
// and no task memory left.
LONG WalkServer(const std::string& name, TaskMemoryCount& taskMemory, const Scenario& prepare, const Scenario& scenario,
                const RunCheck& check)
{
    LONG allocations = 0;
    WalkAllocationFailures(name.c_str(), [&](LONG n) {
        const std::string where = name + ", allocation " + std::to_string(n) + " failing";
        const LONG taskMemoryBefore = taskMemory.Live();
        bool injected = false;
        {
            FreshServer fresh;
            EXPECT_TRUE(fresh.Loaded()) << name;
            if (!fresh.Loaded())
                return false;
            if (prepare)
                EXPECT_EQ(prepare(fresh), S_OK) << where << ": preparing";
            AllocationFaults::FailNth(n);
            const HRESULT hr = scenario(fresh);
            injected = AllocationFaults::Injected();
            allocations = AllocationFaults::Allocations();
            AllocationFaults::Disarm();
            check(fresh, injected ? where : name + ": the run without a failure", hr, injected);
            EXPECT_EQ(fresh.CanUnload(), S_OK) << where << ": module left locked";
            EXPECT_TRUE(fresh.Unload()) << where;
        }
        EXPECT_EQ(AllocationFaults::LiveHeapBlocks(), 0) << where << ": module heap blocks left";
        EXPECT_EQ(taskMemory.Live(), taskMemoryBefore) << where << ": task memory or BSTRs left";
        return injected;
    });
    return allocations;
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

    LONG Walk(const std::string& name, const Scenario& scenario)
    {
        // A run that met a failure may still succeed where the server does
        // without what it could not get (the name cache): the scenario has
        // then checked the whole answer.
        return WalkServer(name, taskMemory, nullptr, scenario,
                          [](FreshServer&, const std::string& where, HRESULT hr, bool injected) {
                              if (injected)
                                  EXPECT_TRUE(IsOneOf(hr, {E_OUTOFMEMORY, S_OK})) << where << ": 0x" << std::hex << hr;
                              else
                                  EXPECT_EQ(hr, S_OK) << where;
                          });
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
                       return fresh.ClassObject(CLSID_LanguageServer, IID_IClassFactory, factory.PutVoid());
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

namespace {
inline constexpr wchar_t kClsid[] = L"{5D3A8C1E-2B47-4F90-9E6C-71A4D08B3F25}";
inline constexpr wchar_t kLibId[] = L"{C2E94B07-6A1D-4E38-B5F2-0D7C93A1E864}";
inline constexpr wchar_t kCatId[] = L"{8F16D2A9-3C5E-4B71-A0D8-E2479B6C5F13}";
inline constexpr wchar_t kProgId[] = L"VrlDiscoveryResES.SpanishResources";
inline constexpr wchar_t kDefaultValue[] = L"";

// One key of the registry, or one value of it, below HKCR.
struct RegistryItem {
    std::wstring path;
    const wchar_t* value = nullptr;
};

bool IsPresent(const RegistryItem& item)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, item.path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const bool present =
        !item.value || RegQueryValueExW(key, item.value, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    RegCloseKey(key);
    return present;
}

// Every key and value that the server's registry script writes.
std::vector<RegistryItem> ScriptItems()
{
    const std::wstring versioned = std::wstring(kProgId) + L".1";
    const std::wstring classKey = std::wstring(L"CLSID\\") + kClsid;
    return {
        {versioned, kDefaultValue},
        {versioned + L"\\CLSID", kDefaultValue},
        {kProgId, kDefaultValue},
        {std::wstring(kProgId) + L"\\CLSID", kDefaultValue},
        {std::wstring(kProgId) + L"\\CurVer", kDefaultValue},
        {classKey, kDefaultValue},
        {classKey + L"\\ProgID", kDefaultValue},
        {classKey + L"\\VersionIndependentProgID", kDefaultValue},
        {classKey + L"\\Programmable"},
        {classKey + L"\\InprocServer32", kDefaultValue},
        {classKey + L"\\InprocServer32", L"ThreadingModel"},
        {classKey + L"\\TypeLib", kDefaultValue},
    };
}

int PresentScriptItems()
{
    int present = 0;
    for (const RegistryItem& item : ScriptItems())
        present += IsPresent(item) ? 1 : 0;
    return present;
}

const RegistryItem kRegisteredLibrary{std::wstring(L"TypeLib\\") + kLibId + L"\\1.0\\0\\" + kTypeLibPlatformKeyW,
                                      kDefaultValue};
const RegistryItem kEnrolment{std::wstring(L"CLSID\\") + kClsid + L"\\Implemented Categories\\" + kCatId};

// Nothing of the server, the category apart.
bool NothingRegistered()
{
    return !IsPresent({kProgId}) && !IsPresent({std::wstring(kProgId) + L".1"}) &&
        !IsPresent({std::wstring(L"CLSID\\") + kClsid}) && !IsPresent({std::wstring(L"TypeLib\\") + kLibId});
}

bool FullyRegistered()
{
    return PresentScriptItems() == static_cast<int>(ScriptItems().size()) && IsPresent(kRegisteredLibrary) &&
        IsPresent(kEnrolment);
}

// Registration in the prefix's own classes root. Redirecting HKCR would not
// do: the categories manager writes the enrolment into the real root whatever
// the process redirects, and the script and library would land elsewhere.
class RegistrationAllocationFailures : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(getenv("OANOCACHE")) << "run with OANOCACHE=1 so that BSTRs are counted as task memory";
        ASSERT_TRUE(taskMemory.Registered());
        ASSERT_EQ(apartment.Result(), S_OK);
        ASSERT_TRUE(ServerIsUnloaded());
        // One unfailed round first: it also loads what the platform keeps
        // for the process (the categories manager, the library cache).
        FreshServer warm;
        ASSERT_TRUE(warm.Loaded());
        ASSERT_EQ(warm.Register(true), S_OK);
        ASSERT_TRUE(FullyRegistered());
        ASSERT_EQ(warm.Register(false), S_OK);
        ASSERT_TRUE(NothingRegistered());
    }

    void TearDown() override
    {
        FreshServer cleanup;
        cleanup.Register(false);
    }

    TaskMemoryCount taskMemory;
    ComApartment apartment;
};

// After a run: a registration that succeeded is complete; one that failed
// reports running out of memory, and the script's keys are all there or none
// (a failed root block is taken back). The server is then removed unfailed,
// and nothing of it stays.
RunCheck RegistrationCheck(bool doRegister)
{
    return [doRegister](FreshServer& server, const std::string& where, HRESULT hr, bool injected) {
        if (!injected)
            EXPECT_EQ(hr, S_OK) << where;
        if (hr == S_OK) {
            EXPECT_TRUE(doRegister ? FullyRegistered() : NothingRegistered()) << where << ": S_OK with a part missing";
        } else {
            EXPECT_EQ(hr, E_OUTOFMEMORY) << where << ": 0x" << std::hex << hr;
            const int present = PresentScriptItems();
            EXPECT_TRUE(present == 0 || present == static_cast<int>(ScriptItems().size()))
                << where << ": " << present << " of the script's keys and values left";
        }
        EXPECT_EQ(server.Register(false), S_OK) << where << ": removing afterwards";
        EXPECT_TRUE(NothingRegistered()) << where << ": left in the registry";
    };
}
}

TEST_F(RegistrationAllocationFailures, RegisterAndUnregisterFailCleanly)
{
    for (bool doRegister : {true, false}) {
        const char* name = doRegister ? "DllRegisterServer" : "DllUnregisterServer";
        const Scenario registered = [](FreshServer& fresh) { return fresh.Register(true); };
        const LONG allocations = WalkServer(
            name, taskMemory, doRegister ? Scenario() : registered,
            [doRegister](FreshServer& fresh) { return fresh.Register(doRegister); }, RegistrationCheck(doRegister));
        EXPECT_GE(allocations, 1) << name;
    }
    EXPECT_TRUE(NothingRegistered());
    EXPECT_TRUE(IsPresent({std::wstring(L"Component Categories\\") + kCatId})) << "the category stays";
}
