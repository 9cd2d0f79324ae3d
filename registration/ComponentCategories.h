#pragma once
// Component categories through the platform's categories manager: creating a
// category, and enrolling a class in categories or taking it out again.

#include <windows.h>

// One row of a class's category map; a row of kind kEndOfCategoryMap ends it.
struct CategoryMapEntry {
    int categoryKind;
    const GUID* catid;
};

constexpr int kEndOfCategoryMap = 0;
constexpr int kImplementedCategory = 1;
// Every other non-zero kind names a category the class requires.
constexpr int kRequiredCategory = 2;

// A category description holds at most this many characters.
constexpr int kCategoryDescriptionMaxChars = 127;

// Registers or unregisters every row of `map` for `clsid`. A null map, or a
// platform without a categories manager, is a success.
HRESULT RegisterClassCategories(REFCLSID clsid, const CategoryMapEntry* map, bool doRegister);
HRESULT RegisterCategory(REFGUID catid, const wchar_t* description);
HRESULT AddClassToCategory(REFCLSID clsid, REFGUID catid);
HRESULT RemoveClassFromCategory(REFCLSID clsid, REFGUID catid);
