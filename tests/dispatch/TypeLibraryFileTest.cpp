// The server's type library as the build writes it: the library, its one
// class, and a default interface that is only referred to in vrllocale.tlb.

#include <gtest/gtest.h>

#include <windows.h>
#include <oleauto.h>

#include "common/ServerIdentity.h"
#include "common/ServerTypeLibrary.h"
#include "common/Ownership.h"
#include "vrllocale.h"

namespace {

constexpr UINT kOtherSideOfDual = static_cast<UINT>(-1);

class ServerTypeLibFile : public ::testing::Test {
protected:
    // The working folder is the build's bin folder, which also holds the
    // imported library, so the class's reference resolves without registration.
    void SetUp() override { ASSERT_EQ(LoadTypeLibEx(L"VrlDiscoveryResES.tlb", REGKIND_NONE, library.Put()), S_OK); }

    ComRef<ITypeLib> library;
};

struct TypeAttributes {
    TYPEKIND kind;
    WORD flags;
    GUID guid;
    WORD implementedCount;
};

TypeAttributes ReadAttributes(ITypeInfo* typeInfo)
{
    TYPEATTR* attributes = nullptr;
    EXPECT_EQ(typeInfo->GetTypeAttr(&attributes), S_OK);
    if (!attributes)
        return {};
    TypeAttributes copy{attributes->typekind, attributes->wTypeFlags, attributes->guid, attributes->cImplTypes};
    typeInfo->ReleaseTypeAttr(attributes);
    return copy;
}

TEST_F(ServerTypeLibFile, LibraryAttributes)
{
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(library->GetLibAttr(&attributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(attributes->guid, LIBID_LanguageServerLib));
    EXPECT_EQ(attributes->wMajorVerNum, 1);
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    EXPECT_EQ(attributes->lcid, 0u);
    EXPECT_EQ(attributes->syskind, ServerTypeLibrary::kSystemKind);
    // The loader may add LIBFLAG_FHASDISKIMAGE of its own.
    EXPECT_EQ(attributes->wLibFlags & ~LIBFLAG_FHASDISKIMAGE, LIBFLAG_FHIDDEN);
    library->ReleaseTLibAttr(attributes);

    UniqueBstr name, helpString, helpFile;
    DWORD helpContext = 1;
    ASSERT_EQ(library->GetDocumentation(-1, name.Put(), helpString.Put(), &helpContext, helpFile.Put()), S_OK);
    EXPECT_STREQ(name.Get(), L"VRLDISCOVERYRESESLib");
    EXPECT_STREQ(helpString.Get(), L"VrlDiscoveryResES 1.0 Type Library");
    EXPECT_EQ(helpContext, 0u);
    EXPECT_EQ(SysStringLen(helpFile.Get()), 0u);
    EXPECT_EQ(library->GetTypeInfoCount(), 1u);
}

TEST_F(ServerTypeLibFile, TheOneClass)
{
    ComRef<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_LanguageServer, coclass.Put()), S_OK);
    TypeAttributes attributes = ReadAttributes(coclass.Get());
    EXPECT_EQ(attributes.kind, TKIND_COCLASS);
    EXPECT_EQ(attributes.flags, TYPEFLAG_FHIDDEN | TYPEFLAG_FCANCREATE);
    EXPECT_EQ(attributes.implementedCount, 1);

    UniqueBstr name, helpString;
    ASSERT_EQ(coclass->GetDocumentation(MEMBERID_NIL, name.Put(), helpString.Put(), nullptr, nullptr), S_OK);
    EXPECT_STREQ(name.Get(), L"VrlDiscoverySpanishResources");
    EXPECT_STREQ(helpString.Get(), L"VrlDiscoverySpanishResources Class");

    INT implFlags = 0;
    ASSERT_EQ(coclass->GetImplTypeFlags(0, &implFlags), S_OK);
    EXPECT_EQ(implFlags, IMPLTYPEFLAG_FDEFAULT);
}

TEST_F(ServerTypeLibFile, InterfaceIsReferredToNotCopied)
{
    ComRef<ITypeInfo> copied;
    EXPECT_EQ(library->GetTypeInfoOfGuid(IID_ILocaleResources, copied.Put()), TYPE_E_ELEMENTNOTFOUND);

    ComRef<ITypeInfo> coclass;
    ASSERT_EQ(library->GetTypeInfoOfGuid(CLSID_LanguageServer, coclass.Put()), S_OK);
    HREFTYPE reference = 0;
    ASSERT_EQ(coclass->GetRefTypeOfImplType(0, &reference), S_OK);
    ComRef<ITypeInfo> defaultInterface;
    ASSERT_EQ(coclass->GetRefTypeInfo(reference, defaultInterface.Put()), S_OK);

    ComRef<ITypeLib> container;
    UINT index = 0;
    ASSERT_EQ(defaultInterface->GetContainingTypeLib(container.Put(), &index), S_OK);
    TLIBATTR* containerAttributes = nullptr;
    ASSERT_EQ(container->GetLibAttr(&containerAttributes), S_OK);
    EXPECT_TRUE(IsEqualGUID(containerAttributes->guid, LIBID_VRLLOCALELib));
    container->ReleaseTLibAttr(containerAttributes);

    // The class lists the dispatch side of the dual; its other side is the vtable.
    TypeAttributes listed = ReadAttributes(defaultInterface.Get());
    EXPECT_TRUE(IsEqualGUID(listed.guid, IID_ILocaleResources));
    EXPECT_EQ(listed.kind, TKIND_DISPATCH);
    EXPECT_TRUE(listed.flags & TYPEFLAG_FDUAL);
    ASSERT_EQ(defaultInterface->GetRefTypeOfImplType(kOtherSideOfDual, &reference), S_OK);
    ComRef<ITypeInfo> vtableSide;
    ASSERT_EQ(defaultInterface->GetRefTypeInfo(reference, vtableSide.Put()), S_OK);
    EXPECT_EQ(ReadAttributes(vtableSide.Get()).kind, TKIND_INTERFACE);
}

}  // namespace
