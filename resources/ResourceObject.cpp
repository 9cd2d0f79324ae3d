#include "resources/ResourceObject.h"

#include "common/ResourceIds.h"
#include "resources/LocaleConstants.h"
#include "server/ServerModule.h"

namespace {
HRESULT CopyText(const wchar_t* text, BSTR* out)
{
    if (!out)
        return E_POINTER;
    *out = SysAllocString(text);
    return *out ? S_OK : E_OUTOFMEMORY;
}

template <class Number>
HRESULT CopyNumber(Number value, Number* out)
{
    if (!out)
        return E_POINTER;
    *out = value;
    return S_OK;
}

// A larger or negative id names no text, rather than the text of its low 16
// bits.
bool IsStringId(LONG id)
{
    return id >= 0 && id <= kLargestStringId;
}

HRESULT NotImplemented(LONG* result)
{
    return result ? E_NOTIMPL : E_POINTER;
}
}

HRESULT ResourceObject::FontName(BSTR* fontName)
{
    return CopyText(kLocaleConstants.fontFace, fontName);
}

HRESULT ResourceObject::LocaleNumber1(LONG* value)
{
    return CopyNumber(kLocaleConstants.number1, value);
}

HRESULT ResourceObject::LocaleNumber2(LONG* value)
{
    return CopyNumber(kLocaleConstants.number2, value);
}

// The text comes straight from the string table in UTF-16, so no character
// is lost to the ANSI code page of the system.
HRESULT ResourceObject::GetString(LONG id, BSTR* text)
{
    if (!text)
        return E_POINTER;
    *text = nullptr;
    if (!IsStringId(id))
        return S_OK;
    const wchar_t* stored = nullptr;
    int length = LoadStringW(g_module->resourceInstance, static_cast<UINT>(id), reinterpret_cast<LPWSTR>(&stored), 0);
    if (length <= 0 || !stored)
        return S_OK;
    if (length > kMaxStringLength)
        length = kMaxStringLength;
    *text = SysAllocStringLen(stored, static_cast<UINT>(length));
    return *text ? S_OK : E_OUTOFMEMORY;
}

HRESULT ResourceObject::Unsupported1(LONG, LONG, LONG* result)
{
    return NotImplemented(result);
}

HRESULT ResourceObject::Unsupported2(LONG, LONG, LONG* result)
{
    return NotImplemented(result);
}

HRESULT ResourceObject::Unsupported3(LONG, LONG* result)
{
    return NotImplemented(result);
}

HRESULT ResourceObject::LanguageName(BSTR* name)
{
    return CopyText(kLocaleConstants.languageName, name);
}

HRESULT ResourceObject::LocaleNumber3(LONG* value)
{
    return CopyNumber(kLocaleConstants.number3, value);
}

HRESULT ResourceObject::PrimaryLanguageId(SHORT* id)
{
    return CopyNumber(kLocaleConstants.primaryLanguageId, id);
}

HRESULT ResourceObject::SubLanguageId(SHORT* id)
{
    return CopyNumber(kLocaleConstants.subLanguageId, id);
}

HRESULT ResourceObject::Version(BSTR* version)
{
    return CopyText(kLocaleConstants.versionText, version);
}

HRESULT ResourceObject::HelpFilePath(BSTR* path)
{
    return CopyText(kLocaleConstants.helpFilePath, path);
}
