// How the resource object's calls compare with the platform work they stand
// on: the early-bound string call against loading the string directly, the
// late-bound call against the early-bound one, the name cache against the
// type information's own name lookup, and object creation against a heap
// block. Prints a table of ratios; exits 0 whether or not the goals are met,
// and non-zero only when the server cannot be set up or answers wrongly.

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "bench/Comparison.h"
#include "common/Guids.h"
#include "common/ServerIdentity.h"
#include "common/Ownership.h"
#include "common/ResourceIds.h"
#include "tests/support/ComApartment.h"
#include "tests/dispatch/TypeLibRegistration.h"
#include "vrllocale.h"
#include "common/Win32Result.h"

namespace {

constexpr int kSetupFailed = 2;
constexpr SIZE_T kObjectSizedBlock = 16;
constexpr LCID kLateBoundLocale = LOCALE_USER_DEFAULT;
constexpr Repetition kRepetition{1000, 60};

// The same goals for both bitnesses, each measured in its own lane. The
// early-bound call may cost a little more over the 64-bit LoadStringW, which
// is cheaper itself.
constexpr bool kSixtyFourBit = sizeof(void*) == sizeof(ULONG64);
constexpr double kEarlyBoundGoal = kSixtyFourBit ? 1.10 : 1.05;
constexpr double kReportedOnly = 0;
constexpr double kNameCacheGoal = 0.05;
// Creation against what it must at least do: a block of the private heap,
// and the module lock taken and given back.
constexpr double kLeastCreationWorkGoal = 1.15;

wchar_t kGetStringName[] = L"GetString";

bool Failed(const char* step, HRESULT result)
{
    if (SUCCEEDED(result))
        return false;
    std::fprintf(stderr, "error: %s failed: 0x%08lX\n", step, static_cast<unsigned long>(result));
    return true;
}

bool Wrong(const char* what)
{
    std::fprintf(stderr, "error: %s\n", what);
    return true;
}

// A heap of the bench's own: HeapDestroy on destruction.
using OwnedHeap = UniqueHandle<HANDLE, HeapDestroy>;

std::wstring ServerPath()
{
    return ExecutableFolder() + L"\\VrlDiscoveryResES.dll";
}

// The server loaded by path, one object of it, and the late-bound view of it.
struct ServerUnderBench {
    LoadedModule module{LoadLibraryW(ServerPath().c_str())};
    ComRef<IClassFactory> factory;
    ComRef<ILocaleResources> resources;
    ComRef<IDispatch> dispatch;
    ComRef<ITypeInfo> typeInfo;
    DISPID getStringId = DISPID_UNKNOWN;

    HRESULT Open()
    {
        if (!module)
            return LastErrorResult();
        using GetClassObject = HRESULT(WINAPI*)(REFCLSID, REFIID, void**);
        auto getClassObject = reinterpret_cast<GetClassObject>(GetProcAddress(module.Get(), "DllGetClassObject"));
        if (!getClassObject)
            return LastErrorResult();
        HRESULT result = getClassObject(CLSID_LanguageServer, IID_IClassFactory, factory.PutVoid());
        if (FAILED(result))
            return result;
        result = factory->CreateInstance(nullptr, IID_ILocaleResources, resources.PutVoid());
        if (FAILED(result))
            return result;
        result = resources->QueryInterface(IID_IDispatch, dispatch.PutVoid());
        if (FAILED(result))
            return result;
        LPOLESTR names[] = {kGetStringName};
        result = dispatch->GetIDsOfNames(IID_NULL, names, 1, kLateBoundLocale, &getStringId);
        if (FAILED(result))
            return result;
        return dispatch->GetTypeInfo(0, kLateBoundLocale, typeInfo.Put());
    }
};

// GetString of the size label, called late-bound as a script client calls it.
HRESULT InvokeGetString(IDispatch* dispatch, DISPID getStringId, VARIANT* text)
{
    VARIANT argument;
    argument.vt = VT_I4;
    argument.lVal = kSizeLabelTextId;
    DISPPARAMS parameters{&argument, nullptr, 1, 0};
    return dispatch->Invoke(getStringId, IID_NULL, kLateBoundLocale, DISPATCH_METHOD, &parameters, text, nullptr,
                            nullptr);
}

bool SameText(BSTR text, const wchar_t* expected, int expectedLength)
{
    return text && static_cast<int>(SysStringLen(text)) == expectedLength &&
        std::wmemcmp(text, expected, expectedLength) == 0;
}

// The figures mean nothing unless every side does its work: each is called
// once and its answer checked before anything is timed.
bool AnswersAgree(ServerUnderBench& server)
{
    const wchar_t* stored = nullptr;
    const int length = LoadStringW(server.module.Get(), kSizeLabelTextId, reinterpret_cast<LPWSTR>(&stored), 0);
    if (length <= 0)
        return Wrong("the size label is not in the string table");

    UniqueBstr early;
    if (Failed("GetString", server.resources->GetString(kSizeLabelTextId, early.Put())))
        return false;
    if (!SameText(early.Get(), stored, length))
        return Wrong("GetString does not give the stored text");

    VARIANT late;
    VariantInit(&late);
    if (Failed("Invoke of GetString", InvokeGetString(server.dispatch.Get(), server.getStringId, &late)))
        return false;
    const bool lateAgrees = late.vt == VT_BSTR && SameText(late.bstrVal, stored, length);
    VariantClear(&late);
    if (!lateAgrees)
        return Wrong("the late-bound GetString does not give the stored text");

    LPOLESTR names[] = {kGetStringName};
    DISPID platformId = DISPID_UNKNOWN;
    if (Failed("ITypeInfo::GetIDsOfNames", server.typeInfo->GetIDsOfNames(names, 1, &platformId)))
        return false;
    if (platformId != server.getStringId)
        return Wrong("the name cache and the type information disagree on GetString");
    return true;
}

}  // namespace

int main()
{
    ComApartment com;
    if (Failed("CoInitialize", com.Result()))
        return kSetupFailed;
    IsolatedClassesRoot classesRoot;
    if (!classesRoot.Active()) {
        Wrong("no private classes root");
        return kSetupFailed;
    }
    RegisteredTypeLib sibling{L"vrllocale.tlb"};
    RegisteredTypeLib server{L"VrlDiscoveryResES.tlb"};
    if (Failed("registering vrllocale.tlb", sibling.Result()) ||
        Failed("registering VrlDiscoveryResES.tlb", server.Result()))
        return kSetupFailed;

    ServerUnderBench bench;
    if (Failed("opening the server", bench.Open()) || !AnswersAgree(bench))
        return kSetupFailed;

    const HMODULE module = bench.module.Get();
    ILocaleResources* resources = bench.resources.Get();
    IDispatch* dispatch = bench.dispatch.Get();
    ITypeInfo* typeInfo = bench.typeInfo.Get();
    IClassFactory* factory = bench.factory.Get();
    const HANDLE processHeap = GetProcessHeap();
    const DISPID getStringId = bench.getStringId;

    auto earlyBoundGetString = [resources] {
        BSTR text = nullptr;
        resources->GetString(kSizeLabelTextId, &text);
        SysFreeString(text);
    };
    auto loadStringDirectly = [module] {
        const wchar_t* stored = nullptr;
        const int length = LoadStringW(module, kSizeLabelTextId, reinterpret_cast<LPWSTR>(&stored), 0);
        SysFreeString(SysAllocStringLen(stored, static_cast<UINT>(length)));
    };
    auto lateBoundGetString = [dispatch, getStringId] {
        VARIANT text;
        VariantInit(&text);
        InvokeGetString(dispatch, getStringId, &text);
        VariantClear(&text);
    };
    auto cachedName = [dispatch] {
        LPOLESTR names[] = {kGetStringName};
        DISPID id;
        dispatch->GetIDsOfNames(IID_NULL, names, 1, kLateBoundLocale, &id);
    };
    auto typeInfoName = [typeInfo] {
        LPOLESTR names[] = {kGetStringName};
        DISPID id;
        typeInfo->GetIDsOfNames(names, 1, &id);
    };
    auto createAndRelease = [factory] {
        ILocaleResources* object = nullptr;
        if (SUCCEEDED(factory->CreateInstance(nullptr, IID_ILocaleResources, reinterpret_cast<void**>(&object))))
            object->Release();
    };
    auto heapBlock = [processHeap] { HeapFree(processHeap, 0, HeapAlloc(processHeap, 0, kObjectSizedBlock)); };
    // A private heap made as the server makes its own. Nearly empty, it takes
    // every freed block back into its free tail, which the process heap, full
    // of other blocks, does not: these rows tell that cost from the server's.
    const OwnedHeap privateHeap{HeapCreate(0, 0, 0)};
    auto privateHeapBlock = [heap = privateHeap.Get()] { HeapFree(heap, 0, HeapAlloc(heap, 0, kObjectSizedBlock)); };
    static volatile LONG moduleLock = 0;
    auto leastCreationWork = [heap = privateHeap.Get()] {
        InterlockedIncrement(&moduleLock);
        HeapFree(heap, 0, HeapAlloc(heap, 0, kObjectSizedBlock));
        InterlockedDecrement(&moduleLock);
    };

    const ComparisonResult results[] = {
        Compare("early-bound GetString", earlyBoundGetString,
                "LoadStringW (pointer form) + SysAllocStringLen + SysFreeString", loadStringDirectly, kRepetition,
                kEarlyBoundGoal),
        Compare("late-bound Invoke of GetString", lateBoundGetString, "the early-bound call", earlyBoundGetString,
                kRepetition, kReportedOnly),
        Compare("GetIDsOfNames answered from the cache", cachedName, "ITypeInfo::GetIDsOfNames (same type info)",
                typeInfoName, kRepetition, kNameCacheGoal),
        Compare("CreateInstance + Release", createAndRelease, "HeapAlloc + HeapFree", heapBlock, kRepetition,
                kReportedOnly),
        Compare("HeapAlloc + HeapFree, private heap", privateHeapBlock, "HeapAlloc + HeapFree, process heap", heapBlock,
                kRepetition, kReportedOnly),
        Compare("CreateInstance + Release", createAndRelease, "HeapAlloc + HeapFree, private heap", privateHeapBlock,
                kRepetition, kReportedOnly),
        Compare("CreateInstance + Release", createAndRelease,
                "private-heap HeapAlloc + HeapFree + module lock taken and given back", leastCreationWork, kRepetition,
                kLeastCreationWorkGoal),
    };
    std::printf("Fastest of %d passes of %d calls each, both sides alternating.\n\n", kRepetition.passes,
                kRepetition.callsPerPass);
    PrintTable(results, static_cast<int>(sizeof results / sizeof results[0]));
    return 0;
}
