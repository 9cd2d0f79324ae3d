// The module record on its own, with class tables made up for the test:
// start and stop, the termination list and the class-object cache.

#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "server/ClassFactory.h"
#include "common/Guids.h"
#include "server/ServerModule.h"
#include "tests/support/CheckedModuleLife.h"

namespace {
// {7A1E0B44-55C2-4F0D-8E61-3C9B2D7F1A08}
constexpr CLSID kTestClass = {0x7A1E0B44, 0x55C2, 0x4F0D, {0x8E, 0x61, 0x3C, 0x9B, 0x2D, 0x7F, 0x1A, 0x08}};

std::vector<int> calls;

void Record(DWORD_PTR data)
{
    calls.push_back(static_cast<int>(data));
}

void RecordClassInit(BOOL starting)
{
    calls.push_back(starting ? 1000 : 2000);
}

HRESULT FailingCreator(void*, REFIID, void**)
{
    return E_OUTOFMEMORY;
}

HRESULT NoInstances(void*, REFIID, void** out)
{
    *out = nullptr;
    return E_NOTIMPL;
}

// A class object that records what the module does with it.
class RecordingClassObject : public IClassFactory {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (!SameGuid(iid, IID_IUnknown) && !SameGuid(iid, IID_IClassFactory)) {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        *out = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override
    {
        ++releases;
        return --references;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown*, REFIID, void** out) override
    {
        *out = nullptr;
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL) override { return S_OK; }

    LONG references = 0;
    int releases = 0;
};

RecordingClassObject recordingClassObject;

HRESULT CreateRecordingClassObject(void*, REFIID iid, void** out)
{
    recordingClassObject.references = 0;
    recordingClassObject.releases = 0;
    return recordingClassObject.QueryInterface(iid, out);
}

ClassEntry MakeEntry(CreatorFunction createClassObject)
{
    return {&kTestClass, nullptr, createClassObject, NoInstances, nullptr, nullptr, RecordClassInit};
}

class ModuleLifecycleTest : public ::testing::Test {
protected:
    void SetUp() override { calls.clear(); }
};
}

TEST_F(ModuleLifecycleTest, TerminationCallbacksRunNewestFirstAndDuplicatesRunTwice)
{
    ClassEntry table[] = {MakeEntry(CreateClassFactory), {}};
    ASSERT_NO_FATAL_FAILURE(StartModuleChecked(table));
    EXPECT_EQ(AddTerminationCallback(Record, 1), S_OK);
    EXPECT_EQ(AddTerminationCallback(Record, 2), S_OK);
    EXPECT_EQ(AddTerminationCallback(Record, 3), S_OK);
    EXPECT_EQ(AddTerminationCallback(Record, 2), S_OK);
    EXPECT_NO_FATAL_FAILURE(StopModuleChecked());

    // classInit runs at start and stop; the callbacks after the class rows.
    EXPECT_EQ(calls, (std::vector<int>{1000, 2000, 2, 3, 2, 1}));
}

TEST_F(ModuleLifecycleTest, StopReleasesTheCachedClassObject)
{
    ClassEntry table[] = {MakeEntry(CreateRecordingClassObject), {}};
    ASSERT_NO_FATAL_FAILURE(StartModuleChecked(table));

    IClassFactory* factory = nullptr;
    ASSERT_EQ(ModuleGetClassObject(g_module, kTestClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(factory), table[0].classObject);
    EXPECT_EQ(recordingClassObject.references, 2) << "the cache and the caller";
    factory->Release();
    EXPECT_EQ(recordingClassObject.references, 1);

    EXPECT_NO_FATAL_FAILURE(StopModuleChecked());
    EXPECT_EQ(recordingClassObject.references, 0) << "stop must release the cached reference";
    EXPECT_EQ(recordingClassObject.releases, 2);
    EXPECT_EQ(calls, (std::vector<int>{1000, 2000}));
}

TEST_F(ModuleLifecycleTest, TheFactoryHandsBackItsCreatorsFailure)
{
    ClassEntry table[] = {MakeEntry(CreateClassFactory), {}};
    ASSERT_NO_FATAL_FAILURE(StartModuleChecked(table));
    IClassFactory* factory = nullptr;
    ASSERT_EQ(ModuleGetClassObject(g_module, kTestClass, IID_IClassFactory, reinterpret_cast<void**>(&factory)), S_OK);
    EXPECT_EQ(g_module->lockCount, 1);
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IUnknown, &object), E_NOTIMPL);
    EXPECT_EQ(object, nullptr);
    factory->Release();
    EXPECT_EQ(g_module->lockCount, 0);
    EXPECT_NO_FATAL_FAILURE(StopModuleChecked());
}

TEST_F(ModuleLifecycleTest, FailingCreatorCachesNothing)
{
    ClassEntry table[] = {MakeEntry(FailingCreator), {}};
    ASSERT_NO_FATAL_FAILURE(StartModuleChecked(table));
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(ModuleGetClassObject(g_module, kTestClass, IID_IClassFactory, &out), E_OUTOFMEMORY);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(table[0].classObject, nullptr);
    EXPECT_NO_FATAL_FAILURE(StopModuleChecked());
}

TEST_F(ModuleLifecycleTest, RowsWithoutClassObjectCreatorAreNeverOffered)
{
    ClassEntry table[] = {MakeEntry(nullptr), {}};
    ASSERT_NO_FATAL_FAILURE(StartModuleChecked(table));
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(ModuleGetClassObject(g_module, kTestClass, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
    EXPECT_NO_FATAL_FAILURE(StopModuleChecked());
}

TEST_F(ModuleLifecycleTest, AllocatorServesFromThePrivateHeap)
{
    ASSERT_NO_FATAL_FAILURE(StartModuleChecked(nullptr));
    void* block = ModuleAlloc(24);
    ASSERT_NE(block, nullptr);
    EXPECT_TRUE(HeapValidate(g_module->heap.mainHeap, 0, block));
    EXPECT_NE(g_module->heap.mainHeap, GetProcessHeap());
    void* grown = ModuleRealloc(block, 4096);
    ASSERT_NE(grown, nullptr);
    void* fresh = ModuleRealloc(nullptr, 8);
    EXPECT_NE(fresh, nullptr);
    ModuleFree(grown);
    ModuleFree(fresh);
    ModuleFree(nullptr);
    EXPECT_NO_FATAL_FAILURE(StopModuleChecked());
}
