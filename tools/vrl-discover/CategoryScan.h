#pragma once
// Finds the language servers as the discovery control does: the classes that
// the platform's component category manager lists for the localization
// category, each created by CLSID and asked through ILocaleResources.

#include <windows.h>

#include "tools/vrl-discover/LanguageServer.h"

enum class TextsWanted { No, Yes };

// Fills listing with every class enrolled in the category. A class that
// cannot be created or asked is listed with its failing step; the scan goes
// on with the others. Fails only when the category manager cannot be used.
// COM must be initialised on the calling thread.
HRESULT ScanCategory(const GUID& catid, TextsWanted texts, CategoryListing& listing);
