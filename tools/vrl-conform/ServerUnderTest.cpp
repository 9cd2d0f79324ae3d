#include "tools/vrl-conform/ServerUnderTest.h"

#include <oleauto.h>

#include "tools/console/ConsoleText.h"
#include "tools/serverfile/ServerFileClass.h"

namespace {

template <class Function>
Function Export(HMODULE module, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void (*)()>(GetProcAddress(module, name)));
}

}  // namespace

std::wstring ServerUnderTest::Load()
{
    module_.emplace(LoadLibraryExW(path_.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
    if (!*module_) {
        const DWORD error = GetLastError();
        if (error == ERROR_BAD_EXE_FORMAT)
            return L"the file is not a module of this tool's bitness (" + std::to_wstring(sizeof(void*) * 8) +
                L"-bit); check it with the other build's vrl-conform";
        return L"the file cannot be loaded: " + Hex(HRESULT_FROM_WIN32(error));
    }
    const HMODULE module = module_->Get();
    exports_.getClassObject = Export<GetClassObjectFunction>(module, "DllGetClassObject");
    exports_.canUnloadNow = Export<CanUnloadNowFunction>(module, "DllCanUnloadNow");
    exports_.registerServer = Export<RegisterFunction>(module, "DllRegisterServer");
    exports_.unregisterServer = Export<RegisterFunction>(module, "DllUnregisterServer");
    exports_.install = Export<InstallFunction>(module, "DllInstall");
    std::wstring missing;
    if (!exports_.getClassObject)
        missing += L" DllGetClassObject";
    if (!exports_.canUnloadNow)
        missing += L" DllCanUnloadNow";
    if (!exports_.registerServer)
        missing += L" DllRegisterServer";
    if (!exports_.unregisterServer)
        missing += L" DllUnregisterServer";
    return missing.empty() ? missing : L"the file does not export" + missing;
}

std::wstring ServerUnderTest::ReadClass()
{
    ServerFileClass served;
    HRESULT hr = ReadServerFileClass(path_.c_str(), &served);
    if (hr == TYPE_E_ELEMENTNOTFOUND)
        return L"the file's type library describes no class";
    if (FAILED(hr))
        return L"the file holds no type library that loads: " + Hex(hr);
    class_.clsid = served.clsid;
    ComRef<ITypeLib> library;
    hr = LoadTypeLibEx(path_.c_str(), REGKIND_NONE, library.Put());
    if (FAILED(hr))
        return L"the file's type library cannot be loaded: " + Hex(hr);
    TLIBATTR* attributes = nullptr;
    hr = library->GetLibAttr(&attributes);
    if (FAILED(hr))
        return L"the file's type library has no attributes: " + Hex(hr);
    class_.libid = attributes->guid;
    class_.majorVersion = attributes->wMajorVerNum;
    class_.minorVersion = attributes->wMinorVerNum;
    library->ReleaseTLibAttr(attributes);
    return {};
}

HRESULT ServerUnderTest::GetFactory(ComRef<IClassFactory>& factory) const
{
    return exports_.getClassObject(class_.clsid, IID_IClassFactory, factory.PutVoid());
}

HRESULT ServerUnderTest::CreateObject(ComRef<ILocaleResources>& resources) const
{
    ComRef<IClassFactory> factory;
    const HRESULT hr = GetFactory(factory);
    if (FAILED(hr))
        return hr;
    return factory->CreateInstance(nullptr, IID_ILocaleResources, resources.PutVoid());
}
