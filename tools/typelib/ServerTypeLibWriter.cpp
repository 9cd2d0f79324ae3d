#include "tools/typelib/ServerTypeLibWriter.h"

#include "common/ServerTypeLibrary.h"
#include "common/Ownership.h"

namespace {

// GetRefTypeOfImplType's index that names the other side of a dual interface.
constexpr UINT kOtherSideOfDual = static_cast<UINT>(-1);

HRESULT GetTypeKind(ITypeInfo* typeInfo, TYPEKIND* kind, WORD* typeFlags)
{
    TYPEATTR* attributes = nullptr;
    HRESULT hr = typeInfo->GetTypeAttr(&attributes);
    if (FAILED(hr))
        return hr;
    *kind = attributes->typekind;
    *typeFlags = attributes->wTypeFlags;
    typeInfo->ReleaseTypeAttr(attributes);
    return S_OK;
}

HRESULT DescribeLibrary(const ServerTypeLibNames& names, ICreateTypeLib2* library)
{
    HRESULT hr = library->SetName(const_cast<LPOLESTR>(names.libraryName));
    if (FAILED(hr))
        return hr;
    hr = library->SetGuid(names.libraryId);
    if (FAILED(hr))
        return hr;
    hr = library->SetVersion(ServerTypeLibrary::kMajorVersion, ServerTypeLibrary::kMinorVersion);
    if (FAILED(hr))
        return hr;
    hr = library->SetLcid(ServerTypeLibrary::kLocale);
    if (FAILED(hr))
        return hr;
    hr = library->SetLibFlags(ServerTypeLibrary::kLibraryFlags);
    if (FAILED(hr))
        return hr;
    return library->SetDocString(const_cast<LPOLESTR>(names.libraryHelpString));
}

HRESULT DescribeClass(const ServerTypeLibNames& names, ICreateTypeLib2* library, ITypeInfo* defaultInterface)
{
    ComRef<ICreateTypeInfo> coclass;
    HRESULT hr = library->CreateTypeInfo(const_cast<LPOLESTR>(names.className), TKIND_COCLASS, coclass.Put());
    if (FAILED(hr))
        return hr;
    hr = coclass->SetGuid(names.classId);
    if (FAILED(hr))
        return hr;
    hr = coclass->SetTypeFlags(ServerTypeLibrary::kClassTypeFlags);
    if (FAILED(hr))
        return hr;
    hr = coclass->SetDocString(const_cast<LPOLESTR>(names.classHelpString));
    if (FAILED(hr))
        return hr;

    // A reference into the imported library, not a copy of the interface.
    HREFTYPE reference = 0;
    hr = coclass->AddRefTypeInfo(defaultInterface, &reference);
    if (FAILED(hr))
        return hr;
    hr = coclass->AddImplType(0, reference);
    if (FAILED(hr))
        return hr;
    hr = coclass->SetImplTypeFlags(0, IMPLTYPEFLAG_FDEFAULT);
    if (FAILED(hr))
        return hr;
    return coclass->LayOut();
}

}  // namespace

HRESULT GetDispatchSide(ITypeInfo* typeInfo, ITypeInfo** dispatchSide)
{
    *dispatchSide = nullptr;
    TYPEKIND kind = TKIND_MAX;
    WORD typeFlags = 0;
    HRESULT hr = GetTypeKind(typeInfo, &kind, &typeFlags);
    if (FAILED(hr))
        return hr;
    if (kind == TKIND_DISPATCH) {
        typeInfo->AddRef();
        *dispatchSide = typeInfo;
        return S_OK;
    }
    if (kind != TKIND_INTERFACE || !(typeFlags & TYPEFLAG_FDUAL))
        return TYPE_E_WRONGTYPEKIND;
    HREFTYPE reference = 0;
    hr = typeInfo->GetRefTypeOfImplType(kOtherSideOfDual, &reference);
    if (FAILED(hr))
        return hr;
    return typeInfo->GetRefTypeInfo(reference, dispatchSide);
}

HRESULT WriteServerTypeLib(const ServerTypeLibNames& names, SYSKIND systemKind, ITypeInfo* localeResources,
                           const wchar_t* outputPath)
{
    ComRef<ICreateTypeLib2> library;
    HRESULT hr = CreateTypeLib2(systemKind, outputPath, library.Put());
    if (FAILED(hr))
        return hr;
    hr = DescribeLibrary(names, library.Get());
    if (FAILED(hr))
        return hr;
    hr = DescribeClass(names, library.Get(), localeResources);
    if (FAILED(hr))
        return hr;
    return library->SaveAllChanges();
}
