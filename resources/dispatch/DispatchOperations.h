#pragma once
// The four IDispatch operations of ILocaleResources, answered from the
// module's type information. self is the interface the call arrived on.

#include <windows.h>
#include <oaidl.h>

HRESULT DispatchGetTypeInfoCount(IDispatch* self, UINT* count);
HRESULT DispatchGetTypeInfo(IDispatch* self, UINT index, LCID lcid, ITypeInfo** typeInfo);
HRESULT DispatchGetIDsOfNames(IDispatch* self, REFIID riid, LPOLESTR* names, UINT nameCount, LCID lcid,
                              DISPID* memberIds);
HRESULT DispatchInvoke(IDispatch* self, DISPID memberId, REFIID riid, LCID lcid, WORD flags, DISPPARAMS* parameters,
                       VARIANT* result, EXCEPINFO* exceptionInfo, UINT* argumentError);
