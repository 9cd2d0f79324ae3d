#include "resources/dispatch/InterfaceTypeInfoLookup.h"

#include "common/Guids.h"
#include "common/Ownership.h"

namespace {

// GetRefTypeOfImplType's index for the other side of a dual interface.
constexpr UINT kOtherSideOfDual = static_cast<UINT>(-1);
constexpr UINT kFirstImplementedInterface = 0;

HRESULT ResolveReference(ITypeInfo* from, UINT implIndex, ITypeInfo** resolved)
{
    HREFTYPE reference = 0;
    HRESULT hr = from->GetRefTypeOfImplType(implIndex, &reference);
    if (FAILED(hr))
        return hr;
    return from->GetRefTypeInfo(reference, resolved);
}

// The dispatch side of a dual dispatches back into IDispatch::Invoke; the
// interface side calls the vtable.
HRESULT TakeVtableSide(ITypeInfo* found, ITypeInfo** vtableSide)
{
    TYPEATTR* attributes = nullptr;
    HRESULT hr = found->GetTypeAttr(&attributes);
    if (FAILED(hr))
        return hr;
    const bool dualDispatchSide =
        attributes->typekind == TKIND_DISPATCH && (attributes->wTypeFlags & TYPEFLAG_FDUAL) != 0;
    found->ReleaseTypeAttr(attributes);
    if (dualDispatchSide)
        return ResolveReference(found, kOtherSideOfDual, vtableSide);
    found->AddRef();
    *vtableSide = found;
    return S_OK;
}

HRESULT HasGuid(ITypeInfo* typeInfo, REFGUID expected)
{
    TYPEATTR* attributes = nullptr;
    HRESULT hr = typeInfo->GetTypeAttr(&attributes);
    if (FAILED(hr))
        return hr;
    const bool same = SameGuid(attributes->guid, expected);
    typeInfo->ReleaseTypeAttr(attributes);
    return same ? S_OK : TYPE_E_ELEMENTNOTFOUND;
}

HRESULT FindThroughClass(ITypeLib* library, REFIID interfaceId, REFCLSID classId, ITypeInfo** typeInfo)
{
    ComRef<ITypeInfo> coclass;
    HRESULT hr = library->GetTypeInfoOfGuid(classId, coclass.Put());
    if (FAILED(hr))
        return hr;
    ComRef<ITypeInfo> defaultInterface;
    hr = ResolveReference(coclass.Get(), kFirstImplementedInterface, defaultInterface.Put());
    if (FAILED(hr))
        return hr;
    hr = HasGuid(defaultInterface.Get(), interfaceId);
    if (FAILED(hr))
        return hr;
    *typeInfo = defaultInterface.Detach();
    return S_OK;
}

}  // namespace

HRESULT FindInterfaceTypeInfo(ITypeLib* library, REFIID interfaceId, REFCLSID classId, ITypeInfo** typeInfo)
{
    *typeInfo = nullptr;
    ComRef<ITypeInfo> found;
    HRESULT hr = library->GetTypeInfoOfGuid(interfaceId, found.Put());
    if (hr == TYPE_E_ELEMENTNOTFOUND)
        hr = FindThroughClass(library, interfaceId, classId, found.Put());
    if (FAILED(hr))
        return hr;
    return TakeVtableSide(found.Get(), typeInfo);
}
