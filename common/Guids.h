#pragma once
// The server's own identifiers, and GUID comparison as the server makes it.

#include <windows.h>

// {5D3A8C1E-2B47-4F90-9E6C-71A4D08B3F25}
inline constexpr CLSID CLSID_VrlDiscoverySpanishResources = {
    0x5D3A8C1E, 0x2B47, 0x4F90, {0x9E, 0x6C, 0x71, 0xA4, 0xD0, 0x8B, 0x3F, 0x25}};
// {C2E94B07-6A1D-4E38-B5F2-0D7C93A1E864}
inline constexpr GUID LIBID_VRLDISCOVERYRESESLib = {
    0xC2E94B07, 0x6A1D, 0x4E38, {0xB5, 0xF2, 0x0D, 0x7C, 0x93, 0xA1, 0xE8, 0x64}};
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
inline constexpr int GuidTextCapacity = 39;

// All 16 bytes, compared as four 32-bit words.
inline bool SameGuid(const GUID& a, const GUID& b)
{
    const DWORD* x = reinterpret_cast<const DWORD*>(&a);
    const DWORD* y = reinterpret_cast<const DWORD*>(&b);
    return x[0] == y[0] && x[1] == y[1] && x[2] == y[2] && x[3] == y[3];
}
