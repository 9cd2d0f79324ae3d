#pragma once
// Writes a language server's type library: the library record and its one
// class, whose default interface refers to ILocaleResources in the imported
// library.

#include <windows.h>
#include <oaidl.h>

// What differs between the languages' libraries.
struct ServerTypeLibNames {
    const wchar_t* libraryName;
    GUID libraryId;
    const wchar_t* libraryHelpString;
    const wchar_t* className;
    CLSID classId;
    const wchar_t* classHelpString;
};

// localeResources: ILocaleResources as loaded from the imported library (the
// library must have been loaded from its plain file name so that the import
// is recorded by that name). systemKind: the bitness of the module that the
// library describes, whatever the bitness of the process that writes it.
// outputPath: the .tlb file to create.
HRESULT WriteServerTypeLib(const ServerTypeLibNames& names, SYSKIND systemKind, ITypeInfo* localeResources,
                           const wchar_t* outputPath);

// The dispatch side of a dual interface: the side a class lists as its
// interface. Hands back the given type info (with a new reference) when it is
// the dispatch side already.
HRESULT GetDispatchSide(ITypeInfo* typeInfo, ITypeInfo** dispatchSide);
