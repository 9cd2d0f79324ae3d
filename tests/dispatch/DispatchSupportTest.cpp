// Late binding through the server's dispatch operations, against a stand-in
// object, with the type libraries registered in a private classes root.

#include <gtest/gtest.h>

#include <cstdio>
#include <vector>

#include <windows.h>
#include <oleauto.h>

#include "resources/dispatch/LocaleResourcesDispatch.h"
#include "resources/dispatch/TypeInfoHolder.h"
#include "common/Ownership.h"
#include "server/ServerModule.h"
#include "tests/support/CheckedModuleLife.h"
#include "tests/dispatch/FakeLocaleResources.h"
#include "tests/dispatch/TypeLibRegistration.h"
#include "tests/support/ImportPatch.h"

namespace {

constexpr LCID kEnglishUs = 0x0409;
constexpr DISPID kGetStringId = 4;
constexpr DISPID kVersionId = 12;
constexpr DISPID kPrimaryLanguageIdId = 10;
constexpr DISPID kUnsupported3Id = 7;
constexpr LONG kMemberCount = 13;
constexpr LONG kSizeLabelId = 452;
constexpr DISPID kFirstParameter = 0;

size_t TerminationListLength()
{
    size_t length = 0;
    for (TerminationNode* node = g_module->terminationList.newest; node; node = node->next)
        ++length;
    return length;
}

// One module life per test, as the server's module would have it.
class DispatchSupport : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(isolatedRoot.Active());
        ASSERT_NO_FATAL_FAILURE(StartModuleChecked(nullptr));
    }

    void TearDown() override
    {
        EXPECT_NO_FATAL_FAILURE(StopModuleChecked());
        const TypeInfoHolder& holder = LocaleResourcesTypeInfo();
        EXPECT_EQ(holder.typeInfo, nullptr);
        EXPECT_EQ(holder.nameCache, nullptr);
        EXPECT_EQ(holder.entryCount, 0);
        EXPECT_EQ(holder.cleanupQueued, 0);
    }

    HRESULT IdOf(const wchar_t* name, DISPID* id)
    {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        return object.GetIDsOfNames(IID_NULL, names, 1, kEnglishUs, id);
    }

    HRESULT Call(DISPID member, VARIANT* arguments, UINT argumentCount, VARIANT* result, EXCEPINFO* exception)
    {
        DISPPARAMS parameters{arguments, nullptr, argumentCount, 0};
        UINT argumentError = 0;
        return object.Invoke(member, IID_NULL, kEnglishUs, DISPATCH_METHOD, &parameters, result, exception,
                             &argumentError);
    }

    IsolatedClassesRoot isolatedRoot;
    FakeLocaleResources object;
};

class BothLibrariesRegistered : public DispatchSupport {
protected:
    void SetUp() override
    {
        ASSERT_EQ(sibling.Result(), S_OK);
        ASSERT_EQ(server.Result(), S_OK);
        DispatchSupport::SetUp();
    }

    RegisteredTypeLib sibling{L"vrllocale.tlb"};
    RegisteredTypeLib server{L"VrlDiscoveryResES.tlb"};
};

TEST_F(BothLibrariesRegistered, GetTypeInfoIgnoresItsIndexAndAddsAReference)
{
    UINT count = 0;
    EXPECT_EQ(object.GetTypeInfoCount(&count), S_OK);
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(object.GetTypeInfo(0, kEnglishUs, nullptr), E_POINTER);

    ComRef<ITypeInfo> first;
    ASSERT_EQ(object.GetTypeInfo(0, kEnglishUs, first.Put()), S_OK);
    ASSERT_TRUE(first);
    const ULONG referencesAfterFirst = first->AddRef() - 1;
    first->Release();

    ComRef<ITypeInfo> second;
    ASSERT_EQ(object.GetTypeInfo(7, kEnglishUs, second.Put()), S_OK);
    EXPECT_EQ(second.Get(), first.Get());
    EXPECT_EQ(second->AddRef() - 1, referencesAfterFirst + 1);
    second->Release();

    // The vtable side of the dual, reached through the class's reference.
    TYPEATTR* attributes = nullptr;
    ASSERT_EQ(first->GetTypeAttr(&attributes), S_OK);
    EXPECT_EQ(attributes->typekind, TKIND_INTERFACE);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, IID_ILocaleResources));
    first->ReleaseTypeAttr(attributes);
}

TEST_F(BothLibrariesRegistered, LateBoundCallsReachTheObject)
{
    DISPID id = DISPID_UNKNOWN;
    ASSERT_EQ(IdOf(L"GetString", &id), S_OK);
    EXPECT_EQ(id, kGetStringId);

    VARIANT argument;
    VariantInit(&argument);
    V_VT(&argument) = VT_I4;
    V_I4(&argument) = kSizeLabelId;
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(Call(id, &argument, 1, &result, nullptr), S_OK);
    EXPECT_EQ(object.lastStringId, kSizeLabelId);
    ASSERT_EQ(V_VT(&result), VT_BSTR);
    EXPECT_STREQ(V_BSTR(&result), L"Tama\u00F1o:");
    VariantClear(&result);

    ASSERT_EQ(Call(kPrimaryLanguageIdId, nullptr, 0, &result, nullptr), S_OK);
    ASSERT_EQ(V_VT(&result), VT_I2);
    EXPECT_EQ(V_I2(&result), FakeLocaleResources::kPrimaryLanguageId);

    // A failing operation reaches the caller through the exception record.
    EXCEPINFO exception{};
    VariantInit(&result);
    EXPECT_EQ(Call(kUnsupported3Id, &argument, 1, &result, &exception), DISP_E_EXCEPTION);
    EXPECT_EQ(exception.scode, E_NOTIMPL);
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
}

TEST_F(BothLibrariesRegistered, MemberNamesComeFromTheCacheInExactCase)
{
    DISPID untouched = DISPID_UNKNOWN;
    EXPECT_EQ(object.GetIDsOfNames(IID_NULL, nullptr, 0, kEnglishUs, &untouched), S_OK);
    EXPECT_EQ(untouched, DISPID_UNKNOWN);

    // Count 0 loaded the type information and its cache: every member in order.
    const TypeInfoHolder& holder = LocaleResourcesTypeInfo();
    ASSERT_EQ(holder.entryCount, kMemberCount);
    for (LONG i = 0; i < kMemberCount; ++i) {
        EXPECT_EQ(holder.nameCache[i].memberId, i + 1);
        EXPECT_EQ(holder.nameCache[i].length, static_cast<LONG>(SysStringLen(holder.nameCache[i].name)));
    }

    DISPID id = DISPID_UNKNOWN;
    EXPECT_TRUE(FindCachedMemberId(holder, L"Version", &id));
    EXPECT_EQ(id, kVersionId);
    EXPECT_FALSE(FindCachedMemberId(holder, L"version", &id));
    EXPECT_FALSE(FindCachedMemberId(holder, L"Versio", &id));

    // Another letter case misses the cache; the platform finds the same id.
    id = DISPID_UNKNOWN;
    EXPECT_EQ(IdOf(L"gETsTRING", &id), S_OK);
    EXPECT_EQ(id, kGetStringId);
    EXPECT_EQ(IdOf(L"NoSuchMember", &id), DISP_E_UNKNOWNNAME);
}

TEST_F(BothLibrariesRegistered, OnlyTheFirstNameIsAMember)
{
    LPOLESTR withParameter[] = {const_cast<LPOLESTR>(L"GetString"), const_cast<LPOLESTR>(L"id")};
    DISPID ids[2] = {DISPID_UNKNOWN, DISPID_UNKNOWN};
    EXPECT_EQ(object.GetIDsOfNames(IID_NULL, withParameter, 2, kEnglishUs, ids), S_OK);
    EXPECT_EQ(ids[0], kGetStringId);
    EXPECT_EQ(ids[1], kFirstParameter);

    // A member's name in the place of a parameter is not taken for the member.
    LPOLESTR withMemberName[] = {const_cast<LPOLESTR>(L"GetString"), const_cast<LPOLESTR>(L"Version")};
    ids[1] = kFirstParameter;
    EXPECT_EQ(object.GetIDsOfNames(IID_NULL, withMemberName, 2, kEnglishUs, ids), DISP_E_UNKNOWNNAME);
    EXPECT_NE(ids[1], kVersionId);
}

// Counts the type library loads the dispatch support makes, and holds each
// one up a little so that racing threads meet inside it.
volatile LONG typeLibraryLoads = 0;
decltype(&LoadRegTypeLib) realLoadRegTypeLib = nullptr;

HRESULT WINAPI CountedLoadRegTypeLib(REFGUID library, WORD major, WORD minor, LCID lcid, ITypeLib** loaded)
{
    constexpr DWORD kHoldUpMilliseconds = 50;
    InterlockedIncrement(&typeLibraryLoads);
    Sleep(kHoldUpMilliseconds);
    return realLoadRegTypeLib(library, major, minor, lcid, loaded);
}

struct FirstCall {
    HANDLE start;
    HRESULT result;
    DISPID id;
};

DWORD WINAPI FirstGetIDsOfNamesOnThread(void* context)
{
    auto* call = static_cast<FirstCall*>(context);
    WaitForSingleObject(call->start, INFINITE);
    FakeLocaleResources object;
    LPOLESTR names[] = {const_cast<LPOLESTR>(L"GetString")};
    call->result = object.GetIDsOfNames(IID_NULL, names, 1, kEnglishUs, &call->id);
    return 0;
}

TEST_F(BothLibrariesRegistered, LoadedOnceWhenThreadsMakeTheirFirstCallTogether)
{
    constexpr size_t kThreads = 8;
    ImportPatch patch(GetModuleHandleW(nullptr), "oleaut32.dll", "LoadRegTypeLib",
                      reinterpret_cast<const void*>(&CountedLoadRegTypeLib));
    ASSERT_TRUE(patch.Active());
    realLoadRegTypeLib = reinterpret_cast<decltype(&LoadRegTypeLib)>(const_cast<void*>(patch.Original()));
    typeLibraryLoads = 0;

    HANDLE start = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ASSERT_NE(start, nullptr);
    std::vector<FirstCall> calls(kThreads, FirstCall{start, E_UNEXPECTED, DISPID_UNKNOWN});
    std::vector<HANDLE> threads;
    for (auto& call : calls)
        threads.push_back(CreateThread(nullptr, 0, FirstGetIDsOfNamesOnThread, &call, 0, nullptr));
    SetEvent(start);
    WaitForMultipleObjects(static_cast<DWORD>(threads.size()), threads.data(), TRUE, INFINITE);
    for (HANDLE thread : threads)
        CloseHandle(thread);
    CloseHandle(start);

    EXPECT_EQ(typeLibraryLoads, 1) << "the type information must be loaded exactly once";
    for (const FirstCall& call : calls) {
        EXPECT_EQ(call.result, S_OK);
        EXPECT_EQ(call.id, kGetStringId);
    }
    EXPECT_NE(LocaleResourcesTypeInfo().typeInfo, nullptr);
    EXPECT_EQ(TerminationListLength(), 1u);
}

// The server's library is registered, but the library it refers to cannot be
// found: neither registered nor in the working or executable folder.
class SiblingNotRegistered : public DispatchSupport {
protected:
    void SetUp() override
    {
        ASSERT_EQ(server.Result(), S_OK);
        wchar_t folder[MAX_PATH];
        ASSERT_NE(GetCurrentDirectoryW(MAX_PATH, folder), 0u);
        workingFolder = folder;
        ASSERT_TRUE(SetCurrentDirectoryW(ExecutableFolder().c_str()));
        ASSERT_EQ(GetFileAttributesW(L"vrllocale.tlb"), INVALID_FILE_ATTRIBUTES);
        DispatchSupport::SetUp();
    }

    void TearDown() override
    {
        DispatchSupport::TearDown();
        SetCurrentDirectoryW(workingFolder.c_str());
    }

    RegisteredTypeLib server{L"VrlDiscoveryResES.tlb"};
    std::wstring workingFolder;
};

TEST_F(SiblingNotRegistered, EveryLateBoundCallFailsWithoutGrowingTheTerminationList)
{
    constexpr int kAttempts = 5;
    HRESULT firstFailure = S_OK;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        ITypeInfo* typeInfo = reinterpret_cast<ITypeInfo*>(&object);
        HRESULT hr = object.GetTypeInfo(0, kEnglishUs, &typeInfo);
        EXPECT_TRUE(FAILED(hr));
        EXPECT_EQ(typeInfo, nullptr);
        if (attempt == 0)
            firstFailure = hr;
        EXPECT_EQ(hr, firstFailure);

        DISPID id = DISPID_UNKNOWN;
        EXPECT_EQ(IdOf(L"GetString", &id), firstFailure);
        EXPECT_EQ(id, DISPID_UNKNOWN);
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(Call(kGetStringId, nullptr, 0, &result, nullptr), firstFailure);
        EXPECT_EQ(V_VT(&result), VT_EMPTY);
    }
    // The failure comes from the reference, not from a missing registration.
    EXPECT_NE(firstFailure, TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(LocaleResourcesTypeInfo().typeInfo, nullptr);
    EXPECT_EQ(TerminationListLength(), 1u) << "one cleanup, queued before the first load";
    std::printf("late binding without the imported library: 0x%08lX\n", static_cast<unsigned long>(firstFailure));
}

TEST_F(DispatchSupport, WithoutTheServerLibraryTheLoadFailureIsReturned)
{
    ITypeInfo* typeInfo = nullptr;
    EXPECT_EQ(object.GetTypeInfo(0, kEnglishUs, &typeInfo), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(typeInfo, nullptr);
    EXPECT_EQ(Call(kGetStringId, nullptr, 0, nullptr, nullptr), TYPE_E_LIBNOTREGISTERED);
    EXPECT_EQ(TerminationListLength(), 1u) << "one cleanup, queued before the first load";
}

}  // namespace
