// vrl_typelib_builder IMPORTED.tlb OUTPUT.tlb
// Builds the server's type library. IMPORTED.tlb is the sibling library that
// defines ILocaleResources; give it by plain file name from the folder that
// holds it, since the import is recorded by the name it was loaded from.

#include <cstdio>

#include <windows.h>
#include <oleauto.h>

#include "common/Ownership.h"
#include "tools/console/ExitCodes.h"
#include "tools/typelib/ServerTypeLibWriter.h"
#include "vrllocale.h"

namespace {

int Fail(const char* step, HRESULT hr)
{
    std::fprintf(stderr, "vrl_typelib_builder: %s failed: 0x%08lX\n", step, static_cast<unsigned long>(hr));
    return ExitFailure;
}

int Build(const wchar_t* importedPath, const wchar_t* outputPath)
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
    hr = WriteServerTypeLib(dispatchSide.Get(), outputPath);
    if (FAILED(hr))
        return Fail("writing the library", hr);
    return ExitSuccess;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: vrl_typelib_builder IMPORTED.tlb OUTPUT.tlb\n");
        return ExitUsage;
    }
    if (FAILED(CoInitialize(nullptr)))
        return Fail("CoInitialize", E_FAIL);
    int result = Build(argv[1], argv[2]);
    CoUninitialize();
    return result;
}
