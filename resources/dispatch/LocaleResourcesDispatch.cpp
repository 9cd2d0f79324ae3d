#include "resources/dispatch/LocaleResourcesDispatch.h"

#include "resources/dispatch/TypeInfoHolder.h"

namespace {

constexpr UINT kTheOnlyTypeInfo = 1;
constexpr UINT kMemberName = 0;

// The holder's type information, loaded the first time that an operation
// needs it; null when it cannot be, with the reason in `result`.
ITypeInfo* HeldTypeInfo(TypeInfoHolder& holder, LCID lcid, HRESULT& result)
{
    result = S_OK;
    if (!holder.typeInfo)
        result = LoadTypeInfo(holder, lcid);
    return holder.typeInfo;
}

}  // namespace

HRESULT LocaleResourcesDispatch::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = kTheOnlyTypeInfo;
    return S_OK;
}

// Every index gives the one type information.
HRESULT LocaleResourcesDispatch::GetTypeInfo(UINT, LCID lcid, ITypeInfo** typeInfo)
{
    if (!typeInfo)
        return E_POINTER;
    HRESULT hr = S_OK;
    ITypeInfo* held = HeldTypeInfo(LocaleResourcesTypeInfo(), lcid, hr);
    *typeInfo = held;
    if (!held)
        return hr;
    held->AddRef();
    return S_OK;
}

// Only the first name is a member's; any further names are its parameters,
// which the type information resolves (and a member name alone, when the
// cache does not hold it in exactly that case).
HRESULT LocaleResourcesDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT nameCount, LCID lcid, DISPID* memberIds)
{
    if (nameCount != 0 && (!names || !memberIds))
        return E_POINTER;
    TypeInfoHolder& holder = LocaleResourcesTypeInfo();
    HRESULT hr = S_OK;
    ITypeInfo* held = HeldTypeInfo(holder, lcid, hr);
    if (!held)
        return hr;
    if (nameCount == 0)
        return hr;
    if (nameCount == 1 && FindCachedMemberId(holder, names[kMemberName], &memberIds[kMemberName]))
        return hr;
    return held->GetIDsOfNames(names, nameCount, memberIds);
}

HRESULT LocaleResourcesDispatch::Invoke(DISPID memberId, REFIID, LCID lcid, WORD flags, DISPPARAMS* parameters,
                                        VARIANT* result, EXCEPINFO* exceptionInfo, UINT* argumentError)
{
    HRESULT hr = S_OK;
    ITypeInfo* held = HeldTypeInfo(LocaleResourcesTypeInfo(), lcid, hr);
    if (!held)
        return hr;
    return held->Invoke(static_cast<ILocaleResources*>(this), memberId, flags, parameters, result, exceptionInfo,
                        argumentError);
}
