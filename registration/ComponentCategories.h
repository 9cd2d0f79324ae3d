#pragma once
// Component categories through the platform's categories manager: creating a
// category, and enrolling a class in it or taking it out again.

#include <windows.h>

// A category description holds at most this many characters.
constexpr int kCategoryDescriptionMaxChars = 127;

HRESULT RegisterCategory(REFGUID catid, const wchar_t* description);
HRESULT AddClassToCategory(REFCLSID clsid, REFGUID catid);
HRESULT RemoveClassFromCategory(REFCLSID clsid, REFGUID catid);
