// The exported class-object protocol of the real DLL: the cached class
// factory, the module lock count seen through DllCanUnloadNow, object
// creation and aggregation.

#include <windows.h>
#include <oleauto.h>

#include <gtest/gtest.h>

#include "common/Guids.h"
#include "common/ServerIdentity.h"
#include "common/Ownership.h"
#include "tests/support/FakeOuter.h"
#include "tests/support/ServerDll.h"
#include "vrllocale.h"

namespace {
// {0D2F6E4B-1C58-4A3E-9B77-6E5A0C4D3B21}: a class the server does not have.
constexpr CLSID kUnknownClass = {0x0D2F6E4B, 0x1C58, 0x4A3E, {0x9B, 0x77, 0x6E, 0x5A, 0x0C, 0x4D, 0x3B, 0x21}};

class ClassObjectTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dll.Loaded()) << "VrlDiscoveryResES.dll did not load with its exports";
        ASSERT_EQ(dll.CanUnload(), S_OK) << "an earlier test left the module locked";
    }
    void TearDown() override { EXPECT_EQ(dll.CanUnload(), S_OK) << "the test left the module locked"; }

    ComRef<IClassFactory> Factory()
    {
        ComRef<IClassFactory> factory;
        EXPECT_EQ(dll.ClassObject(CLSID_LanguageServer, IID_IClassFactory, factory.PutVoid()), S_OK);
        return factory;
    }

    LoadedServer& dll = SharedServer();
};

}

TEST_F(ClassObjectTest, RejectsNullOutPointerAndUnknownClass)
{
    EXPECT_EQ(dll.ClassObject(CLSID_LanguageServer, IID_IClassFactory, nullptr), E_POINTER);
    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(dll.ClassObject(kUnknownClass, IID_IClassFactory, &out), CLASS_E_CLASSNOTAVAILABLE);
    EXPECT_EQ(out, nullptr);
}

TEST_F(ClassObjectTest, CachedFactoryKeepsModuleLockedOnlyWhileClientsHoldIt)
{
    ComRef<IClassFactory> first = Factory();
    ASSERT_TRUE(first);
    EXPECT_EQ(dll.CanUnload(), S_FALSE);

    ComRef<IUnknown> second;
    ASSERT_EQ(dll.ClassObject(CLSID_LanguageServer, IID_IUnknown, second.PutVoid()), S_OK);
    EXPECT_EQ(static_cast<IUnknown*>(first.Get()), second.Get()) << "two calls must hand out the same class object";

    // The cache, two clients and one more reference.
    EXPECT_EQ(first->AddRef(), 4u);
    EXPECT_EQ(first->Release(), 3u);
    second.Reset();
    EXPECT_EQ(dll.CanUnload(), S_FALSE);
    EXPECT_EQ(first->AddRef(), 3u);
    EXPECT_EQ(first->Release(), 2u);
    first.Reset();
    EXPECT_EQ(dll.CanUnload(), S_OK) << "the module's own cached reference must not hold the module";
}

TEST_F(ClassObjectTest, MissingInterfaceKeepsTheCachedFactory)
{
    IUnknown* before = Factory().Get();

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(dll.ClassObject(CLSID_LanguageServer, IID_IDispatch, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(dll.CanUnload(), S_OK);

    ComRef<IClassFactory> after = Factory();
    EXPECT_EQ(static_cast<IUnknown*>(after.Get()), before);
}

TEST_F(ClassObjectTest, LockServerCountsEveryCall)
{
    ComRef<IClassFactory> factory = Factory();
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
    factory.Reset();
    EXPECT_EQ(dll.CanUnload(), S_FALSE);

    factory = Factory();
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(dll.CanUnload(), S_OK);

    // An unbalanced unlock drives the count below zero: not unloadable.
    factory = Factory();
    EXPECT_EQ(factory->LockServer(FALSE), S_OK);
    factory.Reset();
    EXPECT_EQ(dll.CanUnload(), S_FALSE);
    factory = Factory();
    EXPECT_EQ(factory->LockServer(TRUE), S_OK);
}

TEST_F(ClassObjectTest, EachObjectHoldsOneModuleLockUntilItsLastRelease)
{
    ComRef<IClassFactory> factory = Factory();
    const IID* iids[] = {&IID_IUnknown, &IID_ILocaleResources, &IID_IDispatch};
    for (const IID* iid : iids) {
        IUnknown* object = nullptr;
        ASSERT_EQ(factory->CreateInstance(nullptr, *iid, reinterpret_cast<void**>(&object)), S_OK);
        ASSERT_NE(object, nullptr);
        EXPECT_EQ(object->AddRef(), 2u) << "a new object is handed out with one reference";
        EXPECT_EQ(object->Release(), 1u);

        // One interface pointer answers all three interfaces.
        for (const IID* other : iids) {
            void* same = nullptr;
            EXPECT_EQ(object->QueryInterface(*other, &same), S_OK);
            EXPECT_EQ(same, static_cast<void*>(object));
            object->Release();
        }
        void* none = reinterpret_cast<void*>(1);
        EXPECT_EQ(object->QueryInterface(IID_IClassFactory, &none), E_NOINTERFACE);
        EXPECT_EQ(none, nullptr);
        EXPECT_EQ(object->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

        factory.Reset();
        EXPECT_EQ(dll.CanUnload(), S_FALSE) << "a live object holds the module";
        EXPECT_EQ(object->Release(), 0u);
        EXPECT_EQ(dll.CanUnload(), S_OK);
        factory = Factory();
    }
}

TEST_F(ClassObjectTest, CreateInstanceFailuresLeaveNothingBehind)
{
    ComRef<IClassFactory> factory = Factory();
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_ILocaleResources, nullptr), E_POINTER);

    void* out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(nullptr, IID_IClassFactory, &out), E_NOINTERFACE);
    EXPECT_EQ(out, nullptr);

    FakeOuter outer;
    out = reinterpret_cast<void*>(1);
    EXPECT_EQ(factory->CreateInstance(&outer, IID_ILocaleResources, &out), CLASS_E_NOAGGREGATION);
    EXPECT_EQ(out, nullptr);
    EXPECT_EQ(outer.References(), 1);

    factory.Reset();
    EXPECT_EQ(dll.CanUnload(), S_OK);
}

TEST_F(ClassObjectTest, AggregatedObjectDelegatesToItsOuterObject)
{
    FakeOuter outer;
    ComRef<IUnknown> inner;
    {
        ComRef<IClassFactory> factory = Factory();
        ASSERT_EQ(factory->CreateInstance(&outer, IID_IUnknown, inner.PutVoid()), S_OK);
    }
    EXPECT_EQ(dll.CanUnload(), S_FALSE);
    EXPECT_EQ(outer.References(), 1) << "creating the inner object must not count on the outer one";

    // The non-delegating IUnknown answers IUnknown with itself.
    void* self = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_IUnknown, &self), S_OK);
    EXPECT_EQ(self, static_cast<void*>(inner.Get()));
    EXPECT_EQ(inner->Release(), 1u);
    EXPECT_EQ(inner->QueryInterface(IID_IUnknown, nullptr), E_POINTER);

    // The contained part's references count on the outer object.
    ILocaleResources* part = nullptr;
    ASSERT_EQ(inner->QueryInterface(IID_ILocaleResources, reinterpret_cast<void**>(&part)), S_OK);
    EXPECT_NE(static_cast<void*>(part), static_cast<void*>(inner.Get()));
    EXPECT_EQ(outer.References(), 2);
    EXPECT_EQ(part->AddRef(), 3u);
    EXPECT_EQ(part->Release(), 2u);

    // The part answers IUnknown through the outer object.
    const int queriesBefore = outer.Queries();
    void* identity = nullptr;
    ASSERT_EQ(part->QueryInterface(IID_IUnknown, &identity), S_OK);
    EXPECT_EQ(identity, static_cast<void*>(&outer));
    EXPECT_EQ(outer.Queries(), queriesBefore + 1);
    outer.Release();

    // An interface the outer object lacks comes from the part itself.
    IDispatch* dispatch = nullptr;
    ASSERT_EQ(part->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&dispatch)), S_OK);
    EXPECT_EQ(static_cast<void*>(dispatch), static_cast<void*>(part));
    dispatch->Release();

    LONG number = 0;
    EXPECT_EQ(part->LocaleNumber3(&number), S_OK);
    EXPECT_EQ(number, 34);

    part->Release();
    EXPECT_EQ(outer.References(), 1);
    inner.Reset();
    EXPECT_EQ(dll.CanUnload(), S_OK);
}
