// Racing threads and a server unloaded and loaded again, seen from a client
// process: one class object however many threads ask first, a lock count
// that comes back to zero after a storm of creations, and an unload that
// leaves nothing of the server behind, by FreeLibrary or through COM.

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Guids.h"
#include "common/ServerIdentity.h"
#include "common/Ownership.h"
#include "tests/dispatch/TypeLibRegistration.h"
#include "tests/support/FakeOuter.h"
#include "tests/survival/FreshServer.h"
#include "vrllocale.h"

namespace {
constexpr int kThreads = 8;
constexpr int kStormThreads = 4;
constexpr int kStormRounds = 500;
constexpr LCID kEnglishUs = 0x0409;
constexpr DISPID kGetStringId = 4;

template <class Work>
struct ThreadContext {
    HANDLE gate;
    Work* work;
    int index;
};

template <class Work>
DWORD WINAPI WaitAndWork(void* data)
{
    auto* context = static_cast<ThreadContext<Work>*>(data);
    WaitForSingleObject(context->gate, INFINITE);
    (*context->work)(context->index);
    return 0;
}

// Threads that wait at one gate and then all run `work` at once.
template <class Work>
void RunTogether(int count, Work work)
{
    HANDLE gate = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    using Context = ThreadContext<Work>;
    std::vector<Context> contexts;
    for (int i = 0; i < count; ++i)
        contexts.push_back({gate, &work, i});
    std::vector<HANDLE> threads;
    for (Context& context : contexts) {
        threads.push_back(CreateThread(nullptr, 0, WaitAndWork<Work>, &context, 0, nullptr));
    }
    SetEvent(gate);
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CloseHandle(gate);
}

// References an ITypeInfo holds, read as AddRef and Release report them.
ULONG ReferencesOf(ITypeInfo* typeInfo)
{
    typeInfo->AddRef();
    return typeInfo->Release();
}

HRESULT LateBoundCall(IUnknown* object, std::wstring& text)
{
    ComRef<IDispatch> dispatch;
    HRESULT hr = object->QueryInterface(IID_IDispatch, dispatch.PutVoid());
    if (FAILED(hr))
        return hr;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetString")};
    DISPID id = DISPID_UNKNOWN;
    hr = dispatch->GetIDsOfNames(IID_NULL, names, 1, kEnglishUs, &id);
    if (FAILED(hr))
        return hr;
    VARIANT argument;
    argument.vt = VT_I4;
    argument.lVal = 100;
    DISPPARAMS parameters{&argument, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    hr = dispatch->Invoke(id, IID_NULL, kEnglishUs, DISPATCH_METHOD, &parameters, &result, nullptr, nullptr);
    if (SUCCEEDED(hr) && result.vt == VT_BSTR)
        text.assign(result.bstrVal, SysStringLen(result.bstrVal));
    VariantClear(&result);
    return id == kGetStringId ? hr : E_UNEXPECTED;
}

class ServerLife : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(classesRoot.Active());
        ASSERT_EQ(sibling.Result(), S_OK);
        ASSERT_EQ(server.Result(), S_OK);
        ASSERT_TRUE(ServerIsUnloaded());
    }

    IsolatedClassesRoot classesRoot;
    RegisteredTypeLib sibling{L"vrllocale.tlb"};
    RegisteredTypeLib server{L"VrlDiscoveryResES.tlb"};
};
}

TEST_F(ServerLife, EightFirstClassObjectRequestsAtOnceGetOneClassObject)
{
    FreshServer fresh;
    ASSERT_TRUE(fresh.Loaded());
    IClassFactory* factories[kThreads] = {};
    HRESULT results[kThreads] = {};
    RunTogether(kThreads, [&](int i) {
        results[i] =
            fresh.ClassObject(CLSID_LanguageServer, IID_IClassFactory, reinterpret_cast<void**>(&factories[i]));
    });
    EXPECT_EQ(AllocationFaults::LiveHeapBlocks(), 1) << "exactly one class object was made";
    for (int i = 0; i < kThreads; ++i) {
        EXPECT_EQ(results[i], S_OK) << i;
        EXPECT_EQ(factories[i], factories[0]) << i;
        if (factories[i])
            factories[i]->Release();
    }
    EXPECT_EQ(fresh.CanUnload(), S_OK);
    EXPECT_TRUE(fresh.Unload());
    EXPECT_EQ(AllocationFaults::LiveHeapBlocks(), 0);
}

TEST_F(ServerLife, AStormOfCreationsAndReleasesEndsUnlocked)
{
    FreshServer fresh;
    ASSERT_TRUE(fresh.Loaded());
    ComRef<IClassFactory> factory;
    ASSERT_EQ(fresh.ClassObject(CLSID_LanguageServer, IID_IClassFactory, factory.PutVoid()), S_OK);
    volatile LONG failures = 0;
    RunTogether(kStormThreads, [&](int index) {
        FakeOuter outer(FakeOuter::Identity::AnswersNothing);
        for (int round = 0; round < kStormRounds; ++round) {
            IUnknown* object = nullptr;
            const bool aggregated = (round + index) % 2 == 1;
            const HRESULT hr = aggregated
                ? factory->CreateInstance(&outer, IID_IUnknown, reinterpret_cast<void**>(&object))
                : factory->CreateInstance(nullptr, IID_ILocaleResources, reinterpret_cast<void**>(&object));
            if (FAILED(hr) || !object) {
                InterlockedIncrement(&failures);
                continue;
            }
            // A second client of the class object on the way.
            IClassFactory* again = nullptr;
            fresh.ClassObject(CLSID_LanguageServer, IID_IClassFactory, reinterpret_cast<void**>(&again));
            object->Release();
            if (again)
                again->Release();
        }
    });
    EXPECT_EQ(failures, 0);
    EXPECT_EQ(fresh.CanUnload(), S_FALSE) << "the client still holds the class object";
    factory.Reset();
    EXPECT_EQ(fresh.CanUnload(), S_OK);
    EXPECT_EQ(AllocationFaults::LiveHeapBlocks(), 1) << "only the cached class object is left";
    EXPECT_TRUE(fresh.Unload());
    EXPECT_EQ(AllocationFaults::LiveHeapBlocks(), 0);
}

TEST_F(ServerLife, UnloadedByFreeLibraryItLeavesNothingAndLoadsAgain)
{
    for (int life = 0; life < 2; ++life) {
        FreshServer fresh;
        ASSERT_TRUE(fresh.Loaded()) << life;
        ComRef<ITypeInfo> typeInfo;
        {
            ComRef<IClassFactory> factory;
            ASSERT_EQ(fresh.ClassObject(CLSID_LanguageServer, IID_IClassFactory, factory.PutVoid()), S_OK);
            ComRef<ILocaleResources> object;
            ASSERT_EQ(factory->CreateInstance(nullptr, IID_ILocaleResources, object.PutVoid()), S_OK);
            UniqueBstr text;
            ASSERT_EQ(object->GetString(452, text.Put()), S_OK);
            EXPECT_STREQ(text.Get(), L"Tama\u00F1o:");
            std::wstring lateBound;
            ASSERT_EQ(LateBoundCall(object.Get(), lateBound), S_OK) << life;
            EXPECT_EQ(lateBound, L"Aceptar");
            ASSERT_EQ(object->GetTypeInfo(0, kEnglishUs, typeInfo.Put()), S_OK);
            EXPECT_EQ(fresh.CanUnload(), S_FALSE);
        }
        ASSERT_EQ(fresh.CanUnload(), S_OK) << life;
        // The class object, the termination node and the name cache.
        EXPECT_EQ(AllocationFaults::LiveHeapBlocks(), 3) << life;
        const ULONG referencesLoaded = ReferencesOf(typeInfo.Get());
        EXPECT_TRUE(fresh.Unload()) << life;
        // Each freed on its own: the termination callbacks ran and the class
        // object went; the type information lost the server's reference.
        EXPECT_EQ(AllocationFaults::LiveHeapBlocks(), 0) << life;
        EXPECT_EQ(ReferencesOf(typeInfo.Get()), referencesLoaded - 1) << life;
    }
}

TEST_F(ServerLife, UnloadedThroughComItLoadsAgain)
{
    ASSERT_EQ(CoInitialize(nullptr), S_OK);
    wchar_t path[MAX_PATH];
    ASSERT_NE(GetFullPathNameW(kServerFileName, MAX_PATH, path, nullptr), 0u);
    // The class as COM finds it; the classes root of this process is
    // redirected, the machine's classes are not.
    const std::wstring classKey = L"Software\\Classes\\CLSID\\{5D3A8C1E-2B47-4F90-9E6C-71A4D08B3F25}";
    HKEY server = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (classKey + L"\\InprocServer32").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &server, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(server, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                   static_cast<DWORD>((lstrlenW(path) + 1) * sizeof(wchar_t)));
    RegSetValueExW(server, L"ThreadingModel", 0, REG_SZ, reinterpret_cast<const BYTE*>(L"Apartment"),
                   sizeof L"Apartment");
    RegCloseKey(server);

    for (int life = 0; life < 2; ++life) {
        ComRef<ILocaleResources> object;
        ASSERT_EQ(CoCreateInstance(CLSID_LanguageServer, nullptr, CLSCTX_INPROC_SERVER, IID_ILocaleResources,
                                   object.PutVoid()),
                  S_OK)
            << life;
        EXPECT_FALSE(ServerIsUnloaded());
        LONG number = 0;
        EXPECT_EQ(object->LocaleNumber3(&number), S_OK);
        EXPECT_EQ(number, 34);
        CoFreeUnusedLibrariesEx(0, 0);
        EXPECT_FALSE(ServerIsUnloaded()) << "a live object holds the server";
        object.Reset();
        CoFreeUnusedLibrariesEx(0, 0);
        EXPECT_TRUE(ServerIsUnloaded()) << life;
    }
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, classKey.c_str());
    CoUninitialize();
}
