#pragma once
// The IDispatch half of ILocaleResources, answered from the module's type
// information. The operations half and IUnknown belong to the classes that
// derive from it.

#include <windows.h>
#include <oleauto.h>

#include "vrllocale.h"

class LocaleResourcesDispatch : public ILocaleResources {
public:
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID lcid, ITypeInfo** typeInfo) override;
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT nameCount, LCID lcid,
                                            DISPID* memberIds) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID memberId, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* parameters,
                                     VARIANT* result, EXCEPINFO* exceptionInfo, UINT* argumentError) override;
};
