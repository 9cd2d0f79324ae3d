// Registers or unregisters type libraries in the machine's classes root, as
// a late-bound client needs the sibling library vrllocale.tlb registered:
//
//   vrl-regtlb register FILE...     in the order given
//   vrl-regtlb unregister FILE...   in reverse order, all attempted
//
// A FILE is a .tlb or a module holding the library as resource "TYPELIB" 1.
// Exit code 0 when every step succeeded, 1 when one failed, 2 on a usage
// error.

#include <windows.h>
#include <oleauto.h>

#include <cstdio>
#include <cwchar>
#include <string>

#include "common/Ownership.h"
#include "tools/console/ExitCodes.h"

namespace {

constexpr wchar_t kUsageText[] = L"usage: vrl-regtlb register|unregister FILE...\n";

int Usage(FILE* stream, int exitCode)
{
    std::fputws(kUsageText, stream);
    return exitCode;
}

std::wstring FullPath(const wchar_t* file)
{
    wchar_t path[MAX_PATH];
    DWORD length = GetFullPathNameW(file, MAX_PATH, path, nullptr);
    if (length == 0 || length >= MAX_PATH)
        return std::wstring();
    return std::wstring(path, length);
}

HRESULT Register(std::wstring path)
{
    ComRef<ITypeLib> library;
    HRESULT result = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put());
    if (FAILED(result))
        return result;
    return RegisterTypeLib(library.Get(), path.data(), nullptr);
}

HRESULT Unregister(const std::wstring& path)
{
    ComRef<ITypeLib> library;
    HRESULT result = LoadTypeLibEx(path.c_str(), REGKIND_NONE, library.Put());
    if (FAILED(result))
        return result;
    TLIBATTR* attributes = nullptr;
    result = library->GetLibAttr(&attributes);
    if (FAILED(result))
        return result;
    const TLIBATTR copy = *attributes;
    library->ReleaseTLibAttr(attributes);
    return UnRegisterTypeLib(copy.guid, copy.wMajorVerNum, copy.wMinorVerNum, copy.lcid, copy.syskind);
}

bool Report(const char* step, const wchar_t* file, HRESULT result)
{
    if (SUCCEEDED(result))
        return true;
    std::fprintf(stderr, "%s %ls: 0x%08lX\n", step, file, static_cast<unsigned long>(result));
    return false;
}

}  // namespace

int wmain(int argc, wchar_t** argv)
{
    if (argc == 2 && (std::wcscmp(argv[1], L"--help") == 0 || std::wcscmp(argv[1], L"/?") == 0))
        return Usage(stdout, kExitSuccess);
    if (argc < 3)
        return Usage(stderr, kExitUsage);
    const bool registering = std::wcscmp(argv[1], L"register") == 0;
    if (!registering && std::wcscmp(argv[1], L"unregister") != 0) {
        std::fwprintf(stderr, L"vrl-regtlb: no command %ls\n", argv[1]);
        return Usage(stderr, kExitUsage);
    }

    bool allSucceeded = true;
    if (registering) {
        for (int i = 2; i < argc && allSucceeded; ++i)
            allSucceeded = Report("register", argv[i], Register(FullPath(argv[i])));
    } else {
        for (int i = argc - 1; i >= 2; --i)
            allSucceeded = Report("unregister", argv[i], Unregister(FullPath(argv[i]))) && allSucceeded;
    }
    return allSucceeded ? kExitSuccess : kExitFailure;
}
