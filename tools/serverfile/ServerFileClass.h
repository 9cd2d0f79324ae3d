#pragma once
// The class that a language server file serves, read from the file's own
// type library (its TYPELIB resource) without registering anything and
// without running the file's code: so a tool can ask any language's server
// for its class, not only the one it was built beside. A 32-bit tool reads a
// 64-bit file as well, and the other way round.

#include <windows.h>

#include <string>

struct ServerFileClass {
    CLSID clsid{};
    std::wstring clsidText;  // "{...}"
    std::wstring className;  // the coclass's name, e.g. "VrlDiscoverySpanishResources"
    std::wstring libraryName;  // the type library's name
};

// Reads the one coclass of the type library in the file at `path`.
// TYPE_E_ELEMENTNOTFOUND when the library holds no coclass, and whatever
// LoadTypeLibEx says when the file holds no type library or cannot be read.
HRESULT ReadServerFileClass(const wchar_t* path, ServerFileClass* serverClass);
