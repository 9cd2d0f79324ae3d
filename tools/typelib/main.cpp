// vrl_typelib_builder IMPORTED.tlb OUTPUT.tlb MODULE LIBRARY-NAME {LIBID} CLASS-NAME {CLSID}
// Builds a language server's type library. IMPORTED.tlb is the sibling
// library that defines ILocaleResources; give it by plain file name from the
// folder that holds it, since the import is recorded by the name it was
// loaded from. The other arguments are the language server's identity.

#include <cstdio>
#include <string>

#include <windows.h>
#include <oleauto.h>

#include "common/Ownership.h"
#include "common/ServerTypeLibrary.h"
#include "tools/console/ExitCodes.h"
#include "tools/typelib/ServerTypeLibWriter.h"
#include "vrllocale.h"

namespace {

enum Argument { ImportedPath = 1, OutputPath, ModuleName, LibraryName, LibraryId, ClassName, ClassId, ArgumentCount };

int Fail(const char* step, HRESULT hr)
{
    std::fprintf(stderr, "vrl_typelib_builder: %s failed: 0x%08lX\n", step, static_cast<unsigned long>(hr));
    return kExitFailure;
}

int Build(const ServerTypeLibNames& names, const wchar_t* importedPath, const wchar_t* outputPath)
{
    ComRef<ITypeLib> imported;
    HRESULT hr = LoadTypeLibEx(importedPath, REGKIND_NONE, imported.Put());
    if (FAILED(hr))
        return Fail("loading the imported library", hr);
    ComRef<ITypeInfo> localeResources;
    hr = imported->GetTypeInfoOfGuid(IID_ILocaleResources, localeResources.Put());
    if (FAILED(hr))
        return Fail("finding ILocaleResources", hr);
    ComRef<ITypeInfo> dispatchSide;
    hr = GetDispatchSide(localeResources.Get(), dispatchSide.Put());
    if (FAILED(hr))
        return Fail("finding the dispatch side of ILocaleResources", hr);
    hr = WriteServerTypeLib(names, dispatchSide.Get(), outputPath);
    if (FAILED(hr))
        return Fail("writing the library", hr);
    return kExitSuccess;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != ArgumentCount) {
        std::fprintf(
            stderr,
            "usage: vrl_typelib_builder IMPORTED.tlb OUTPUT.tlb MODULE LIBRARY-NAME {LIBID} CLASS-NAME {CLSID}\n");
        return kExitUsage;
    }
    // "VrlDiscoveryResES 1.0 Type Library", "VrlDiscoverySpanishResources Class"
    const std::wstring libraryHelp = std::wstring(argv[ModuleName]) + L" " +
        std::to_wstring(ServerTypeLibrary::kMajorVersion) + L"." + std::to_wstring(ServerTypeLibrary::kMinorVersion) +
        L" Type Library";
    const std::wstring classHelp = std::wstring(argv[ClassName]) + L" Class";
    ServerTypeLibNames names = {argv[LibraryName], {}, libraryHelp.c_str(), argv[ClassName], {}, classHelp.c_str()};
    if (FAILED(IIDFromString(argv[LibraryId], &names.libraryId)) ||
        FAILED(CLSIDFromString(argv[ClassId], &names.classId))) {
        std::fprintf(stderr, "vrl_typelib_builder: {LIBID} and {CLSID} must be braced GUIDs\n");
        return kExitUsage;
    }
    if (FAILED(CoInitialize(nullptr)))
        return Fail("CoInitialize", E_FAIL);
    int result = Build(names, argv[ImportedPath], argv[OutputPath]);
    CoUninitialize();
    return result;
}
