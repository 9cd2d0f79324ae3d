#include "tests/dispatch/TypeLibRegistration.h"

#include "common/Ownership.h"

RegisteredTypeLib::RegisteredTypeLib(const wchar_t* fileName)
{
    wchar_t fullPath[MAX_PATH];
    if (!GetFullPathNameW(fileName, MAX_PATH, fullPath, nullptr))
        return;
    ComRef<ITypeLib> library;
    result_ = LoadTypeLibEx(fullPath, REGKIND_NONE, library.Put());
    if (FAILED(result_))
        return;
    TLIBATTR* attributes = nullptr;
    result_ = library->GetLibAttr(&attributes);
    if (FAILED(result_))
        return;
    attributes_ = *attributes;
    library->ReleaseTLibAttr(attributes);
    result_ = RegisterTypeLib(library.Get(), fullPath, nullptr);
}

RegisteredTypeLib::~RegisteredTypeLib()
{
    if (SUCCEEDED(result_))
        UnRegisterTypeLib(attributes_.guid, attributes_.wMajorVerNum, attributes_.wMinorVerNum, attributes_.lcid,
                          attributes_.syskind);
}

std::wstring ExecutableFolder()
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path, length);
    return folder.substr(0, folder.find_last_of(L"\\/"));
}
