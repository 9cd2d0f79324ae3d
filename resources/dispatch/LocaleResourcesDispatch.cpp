#include "resources/dispatch/LocaleResourcesDispatch.h"

#include "resources/dispatch/TypeInfoHolder.h"

namespace {

constexpr UINT theOnlyTypeInfo = 1;
constexpr UINT memberName = 0;

}  // namespace

HRESULT LocaleResourcesDispatch::GetTypeInfoCount(UINT* count)
{
    if (!count)
        return E_POINTER;
    *count = theOnlyTypeInfo;
    return S_OK;
}

// Every index gives the one type information.
HRESULT LocaleResourcesDispatch::GetTypeInfo(UINT, LCID lcid, ITypeInfo** typeInfo)
{
    if (!typeInfo)
        return E_POINTER;
    TypeInfoHolder& holder = LocaleResourcesTypeInfo();
    HRESULT hr = S_OK;
    if (!holder.typeInfo)
        hr = LoadTypeInfo(holder, lcid);
    ITypeInfo* held = holder.typeInfo;
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
    if (!holder.typeInfo)
        hr = LoadTypeInfo(holder, lcid);
    ITypeInfo* held = holder.typeInfo;
    if (!held)
        return hr;
    if (nameCount == 0)
        return hr;
    if (nameCount == 1 && FindCachedMemberId(holder, names[memberName], &memberIds[memberName]))
        return hr;
    return held->GetIDsOfNames(names, nameCount, memberIds);
}

HRESULT LocaleResourcesDispatch::Invoke(DISPID memberId, REFIID, LCID lcid, WORD flags, DISPPARAMS* parameters,
                                        VARIANT* result, EXCEPINFO* exceptionInfo, UINT* argumentError)
{
    TypeInfoHolder& holder = LocaleResourcesTypeInfo();
    if (!holder.typeInfo) {
        HRESULT hr = LoadTypeInfo(holder, lcid);
        if (!holder.typeInfo)
            return hr;
    }
    return holder.typeInfo->Invoke(static_cast<ILocaleResources*>(this), memberId, flags, parameters, result,
                                   exceptionInfo, argumentError);
}
