#pragma once
// The identifiers that every language server shares (its own class and type
// library are in ServerIdentity.h), and GUID comparison as the
// server makes it.

#include <windows.h>

// {8F16D2A9-3C5E-4B71-A0D8-E2479B6C5F13}
inline constexpr GUID CATID_LocalizationCategory = {
    0x8F16D2A9, 0x3C5E, 0x4B71, {0xA0, 0xD8, 0xE2, 0x47, 0x9B, 0x6C, 0x5F, 0x13}};
// The platform's component categories manager and its registration interface.
// {0002E005-0000-0000-C000-000000000046}
inline constexpr CLSID CLSID_CategoriesManager = {
    0x0002E005, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {0002E012-0000-0000-C000-000000000046}
inline constexpr IID IID_CategoryRegistration = {
    0x0002E012, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
// {0002E013-0000-0000-C000-000000000046}
inline constexpr IID IID_CategoryInformation = {
    0x0002E013, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// "{xxxxxxxx-xxxx-xxxx-xxxx-xxxxxxxxxxxx}" and its NUL, as StringFromGUID2
// writes it.
inline constexpr int kGuidTextCapacity = 39;

// All 16 bytes, compared as four 32-bit words.
inline bool SameGuid(const GUID& a, const GUID& b)
{
    const DWORD* x = reinterpret_cast<const DWORD*>(&a);
    const DWORD* y = reinterpret_cast<const DWORD*>(&b);
    return x[0] == y[0] && x[1] == y[1] && x[2] == y[2] && x[3] == y[3];
}
