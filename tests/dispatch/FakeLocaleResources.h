#pragma once
// A stand-in resource object for the dispatch tests: fixed answers, its
// IDispatch slots answered by the server's dispatch operations.

#include <windows.h>
#include <oleauto.h>

#include "resources/dispatch/LocaleResourcesDispatch.h"

class FakeLocaleResources : public LocaleResourcesDispatch {
public:
    static constexpr LONG kLocaleNumber1 = 8;
    static constexpr SHORT kPrimaryLanguageId = 10;

    // The id of the last GetString call.
    LONG lastStringId = 0;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

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

private:
    LONG refCount_ = 1;
};
