// vrl_typelib_builder win32|win64 IMPORTED.tlb OUTPUT.tlb MODULE LIBRARY-NAME {LIBID} CLASS-NAME {CLSID}
// Builds a language server's type library for a 32-bit (win32) or 64-bit
// (win64) server; either builder writes either. IMPORTED.tlb is the sibling
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

enum Argument {
    SystemKind = 1,
    ImportedPath,
    OutputPath,
    ModuleName,
    LibraryName,
    LibraryId,
    ClassName,
    ClassId,
    ArgumentCount
};

constexpr char kUsage[] =
    "usage: vrl_typelib_builder win32|win64 IMPORTED.tlb OUTPUT.tlb MODULE LIBRARY-NAME {LIBID} CLASS-NAME {CLSID}\n";

int Fail(const char* step, HRESULT hr)
{
    std::fprintf(stderr, "vrl_typelib_builder: %s failed: 0x%08lX\n", step, static_cast<unsigned long>(hr));
    return kExitFailure;
}

bool ReadSystemKind(const std::wstring& word, SYSKIND* kind)
{
    if (word == L"win32")
        *kind = SYS_WIN32;
    else if (word == L"win64")
        *kind = SYS_WIN64;
    else
        return false;
    return true;
}

int Build(const ServerTypeLibNames& names, SYSKIND kind, const wchar_t* importedPath, const wchar_t* outputPath)
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
    hr = WriteServerTypeLib(names, kind, dispatchSide.Get(), outputPath);
    if (FAILED(hr))
        return Fail("writing the library", hr);
    return kExitSuccess;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    SYSKIND kind = SYS_WIN32;
    if (argc != ArgumentCount || !ReadSystemKind(argv[SystemKind], &kind)) {
        std::fputs(kUsage, stderr);
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
    int result = Build(names, kind, argv[ImportedPath], argv[OutputPath]);
    CoUninitialize();
    return result;
}
