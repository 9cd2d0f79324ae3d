#pragma once
// The component category in which the discovery control finds its language
// servers.

#include <windows.h>

#include "common/Guids.h"

namespace LocalizationCategory {

inline constexpr const GUID& catid = CATID_LocalizationCategory;
inline constexpr wchar_t description[] = L"Varnel Instrument Discovery Control Localization Resources";

}  // namespace LocalizationCategory
