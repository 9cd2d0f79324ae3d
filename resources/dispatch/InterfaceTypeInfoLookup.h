#pragma once
// Finds the type information of an interface in a type library, in the form
// that ITypeInfo::Invoke dispatches through the object's vtable.

#include <windows.h>
#include <oaidl.h>

// The interface's own type information where the library describes it;
// where the library only refers to it, the one reached through the default
// interface of the class classId (which resolves into the library that
// defines it). For a dual interface the vtable side is handed back.
HRESULT FindInterfaceTypeInfo(ITypeLib* library, REFIID interfaceId, REFCLSID classId, ITypeInfo** typeInfo);
