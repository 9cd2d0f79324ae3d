#pragma once
// The resource object: ILocaleResources answered from the fixed locale values
// and the module's string table. This is the abstract form: its IUnknown slots
// belong to the complete forms (StandaloneObject, ContainedPart).

#include <windows.h>
#include <oleauto.h>

#include "resources/dispatch/LocaleResourcesDispatch.h"

// Longest text handed out, in UTF-16 units; longer texts are cut.
inline constexpr int kMaxStringLength = 511;

class ResourceObject : public LocaleResourcesDispatch {
public:
    // ILocaleResources
    HRESULT STDMETHODCALLTYPE FontName(BSTR* fontName) override;
    HRESULT STDMETHODCALLTYPE LocaleNumber1(LONG* value) override;
    HRESULT STDMETHODCALLTYPE LocaleNumber2(LONG* value) override;
    HRESULT STDMETHODCALLTYPE GetString(LONG id, BSTR* text) override;
    HRESULT STDMETHODCALLTYPE Unsupported1(LONG first, LONG second, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Unsupported2(LONG first, LONG second, LONG* result) override;
    HRESULT STDMETHODCALLTYPE Unsupported3(LONG input, LONG* result) override;
    HRESULT STDMETHODCALLTYPE LanguageName(BSTR* name) override;
    HRESULT STDMETHODCALLTYPE LocaleNumber3(LONG* value) override;
    HRESULT STDMETHODCALLTYPE PrimaryLanguageId(SHORT* id) override;
    HRESULT STDMETHODCALLTYPE SubLanguageId(SHORT* id) override;
    HRESULT STDMETHODCALLTYPE Version(BSTR* version) override;
    HRESULT STDMETHODCALLTYPE HelpFilePath(BSTR* path) override;

protected:
    // One word, two uses: the reference count of a standalone object, the
    // controlling IUnknown of the part of an aggregate.
    union {
        LONG refCount;
        IUnknown* controllingUnknown;
    };
};
