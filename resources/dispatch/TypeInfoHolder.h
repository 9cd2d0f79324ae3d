#pragma once
// The type information of ILocaleResources, loaded once per module life on
// the first late-bound call and kept, with a cache of its member names, until
// the module stops.

#include <windows.h>
#include <oaidl.h>

// One member name of the type information, in its own function order.
struct NameCacheEntry {
    BSTR name;  // owned; null when the name could not be read
    LONG length;  // SysStringLen(name)
    DISPID memberId;
};

struct TypeInfoHolder {
    const IID* interfaceId;
    const GUID* libraryId;
    WORD majorVersion;
    WORD minorVersion;
    // The holder's one reference; published only after the name cache is
    // complete, so whoever sees it also sees the cache.
    ITypeInfo* volatile typeInfo;
    NameCacheEntry* nameCache;
    LONG entryCount;
    // The class whose default interface leads to the interface when the
    // library only refers to it.
    const CLSID* classId;
    // 2 once CleanupTypeInfo is on the module's termination list, 1 while
    // it is being put there, 0 before.
    volatile LONG cleanupQueued;
};

// The module-wide holder of ILocaleResources.
TypeInfoHolder& LocaleResourcesTypeInfo();

// Makes sure the holder holds its type information; lcid picks the localized
// library on the first successful load.
HRESULT LoadTypeInfo(TypeInfoHolder& holder, LCID lcid);

// Fills the holder's name cache from typeInfo. Entries whose name cannot be
// read stay unnamed; without memory for the array there is no cache.
void BuildNameCache(TypeInfoHolder& holder, ITypeInfo* typeInfo);

// Termination callback: releases the type information and the name cache.
void CleanupTypeInfo(DWORD_PTR holder);

// The member id of name as the cache holds it, exact case only.
bool FindCachedMemberId(const TypeInfoHolder& holder, const OLECHAR* name, DISPID* memberId);
