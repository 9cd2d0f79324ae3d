#include "tools/serverfile/ServerFileClass.h"

#include <oleauto.h>

#include "common/Ownership.h"

namespace {

// The length of "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and its terminator.
constexpr int kGuidTextSize = 39;

// The type attributes of one type, released with the type.
class TypeAttributes {
public:
    explicit TypeAttributes(ITypeInfo* typeInfo) : typeInfo_(typeInfo) {}
    TypeAttributes(const TypeAttributes&) = delete;
    TypeAttributes& operator=(const TypeAttributes&) = delete;
    ~TypeAttributes()
    {
        if (attributes_)
            typeInfo_->ReleaseTypeAttr(attributes_);
    }

    HRESULT Read() { return typeInfo_->GetTypeAttr(&attributes_); }
    const TYPEATTR* operator->() const { return attributes_; }

private:
    ITypeInfo* typeInfo_;
    TYPEATTR* attributes_ = nullptr;
};

std::wstring NameOf(ITypeLib* library, INT index)
{
    UniqueBstr name;
    if (FAILED(library->GetDocumentation(index, name.Put(), nullptr, nullptr, nullptr)) || !name.Get())
        return {};
    return std::wstring(name.Get(), SysStringLen(name.Get()));
}

}  // namespace

HRESULT ReadServerFileClass(const wchar_t* path, ServerFileClass* serverClass)
{
    *serverClass = ServerFileClass{};
    ComRef<ITypeLib> library;
    HRESULT result = LoadTypeLibEx(path, REGKIND_NONE, library.Put());
    if (FAILED(result))
        return result;
    const UINT count = library->GetTypeInfoCount();
    for (UINT index = 0; index < count; ++index) {
        TYPEKIND kind = TKIND_MAX;
        if (FAILED(library->GetTypeInfoType(index, &kind)) || kind != TKIND_COCLASS)
            continue;
        ComRef<ITypeInfo> coclass;
        result = library->GetTypeInfo(index, coclass.Put());
        if (FAILED(result))
            return result;
        TypeAttributes attributes(coclass.Get());
        result = attributes.Read();
        if (FAILED(result))
            return result;
        serverClass->clsid = attributes->guid;
        wchar_t text[kGuidTextSize] = L"";
        StringFromGUID2(serverClass->clsid, text, kGuidTextSize);
        serverClass->clsidText = text;
        serverClass->className = NameOf(library.Get(), static_cast<INT>(index));
        serverClass->libraryName = NameOf(library.Get(), -1);
        return S_OK;
    }
    return TYPE_E_ELEMENTNOTFOUND;
}
