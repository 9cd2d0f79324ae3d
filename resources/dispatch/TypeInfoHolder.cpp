#include "resources/dispatch/TypeInfoHolder.h"

#include "common/ServerTypeLibrary.h"
#include "common/ServerIdentity.h"
#include "resources/dispatch/InterfaceTypeInfoLookup.h"
#include "common/Ownership.h"
#include "server/ServerModule.h"
#include "vrllocale.h"

namespace {

constinit TypeInfoHolder localeResourcesHolder = {
    &IID_ILocaleResources,
    &LIBID_LanguageServerLib,
    ServerTypeLibrary::kMajorVersion,
    ServerTypeLibrary::kMinorVersion,
    nullptr,
    nullptr,
    0,
    &CLSID_LanguageServer,
    0,
};

void PublishTypeInfo(TypeInfoHolder& holder, ITypeInfo* typeInfo)
{
    InterlockedExchangePointer(reinterpret_cast<PVOID volatile*>(&holder.typeInfo), typeInfo);
}

// The reference the holder keeps: ITypeInfo2 where offered.
ITypeInfo* PreferTypeInfo2(ITypeInfo* typeInfo)
{
    ITypeInfo2* typeInfo2 = nullptr;
    if (SUCCEEDED(typeInfo->QueryInterface(IID_ITypeInfo2, reinterpret_cast<void**>(&typeInfo2))))
        return typeInfo2;
    typeInfo->AddRef();
    return typeInfo;
}

HRESULT LoadUnderLock(TypeInfoHolder& holder, LCID lcid)
{
    ComRef<ITypeLib> library;
    HRESULT hr = LoadRegTypeLib(*holder.libraryId, holder.majorVersion, holder.minorVersion, lcid, library.Put());
    if (FAILED(hr))
        return hr;
    ComRef<ITypeInfo> found;
    hr = FindInterfaceTypeInfo(library.Get(), *holder.interfaceId, *holder.classId, found.Put());
    if (FAILED(hr))
        return hr;
    ITypeInfo* kept = PreferTypeInfo2(found.Get());
    BuildNameCache(holder, kept);
    PublishTypeInfo(holder, kept);
    return hr;
}

constexpr LONG kCleanupNotQueued = 0;
constexpr LONG kCleanupBeingQueued = 1;
constexpr LONG kCleanupQueued = 2;

// One cleanup per module life, however many loads are tried, and queued
// before the first load: a type information whose cleanup could not be
// queued would outlive the module. When it cannot be queued, the next load
// tries again; a thread that finds another queueing it waits for the outcome.
bool QueueCleanupOnce(TypeInfoHolder& holder)
{
    for (;;) {
        const LONG state = InterlockedCompareExchange(&holder.cleanupQueued, kCleanupBeingQueued, kCleanupNotQueued);
        if (state == kCleanupQueued)
            return true;
        if (state == kCleanupNotQueued)
            break;
        Sleep(0);
    }
    const bool queued = SUCCEEDED(AddTerminationCallback(CleanupTypeInfo, reinterpret_cast<DWORD_PTR>(&holder)));
    InterlockedExchange(&holder.cleanupQueued, queued ? kCleanupQueued : kCleanupNotQueued);
    return queued;
}

void ReadEntry(ITypeInfo* typeInfo, UINT index, NameCacheEntry& entry)
{
    FUNCDESC* function = nullptr;
    if (FAILED(typeInfo->GetFuncDesc(index, &function)))
        return;
    UniqueBstr name;
    if (SUCCEEDED(typeInfo->GetDocumentation(function->memid, name.Put(), nullptr, nullptr, nullptr))) {
        entry.length = static_cast<LONG>(SysStringLen(name.Get()));
        entry.memberId = function->memid;
        entry.name = name.Detach();
    }
    typeInfo->ReleaseFuncDesc(function);
}

bool SameCharacters(const OLECHAR* a, const OLECHAR* b, LONG length)
{
    for (LONG i = 0; i < length; ++i) {
        if (a[i] != b[i])
            return false;
    }
    return true;
}

}  // namespace

TypeInfoHolder& LocaleResourcesTypeInfo()
{
    return localeResourcesHolder;
}

HRESULT LoadTypeInfo(TypeInfoHolder& holder, LCID lcid)
{
    if (holder.typeInfo)
        return S_OK;
    // Outside the lock: adding to the termination list takes it too.
    if (!QueueCleanupOnce(holder))
        return E_OUTOFMEMORY;
    CriticalSectionLock lock(g_module->typeInfoLock);
    if (holder.typeInfo)
        return S_OK;
    return LoadUnderLock(holder, lcid);
}

void BuildNameCache(TypeInfoHolder& holder, ITypeInfo* typeInfo)
{
    TYPEATTR* attributes = nullptr;
    if (FAILED(typeInfo->GetTypeAttr(&attributes)))
        return;
    const UINT functionCount = attributes->cFuncs;
    typeInfo->ReleaseTypeAttr(attributes);

    holder.nameCache = nullptr;
    holder.entryCount = 0;
    if (functionCount == 0)
        return;
    auto* entries = static_cast<NameCacheEntry*>(ModuleAlloc(functionCount * sizeof(NameCacheEntry)));
    if (!entries)
        return;
    for (UINT i = 0; i < functionCount; ++i) {
        entries[i] = NameCacheEntry{nullptr, 0, DISPID_UNKNOWN};
        ReadEntry(typeInfo, i, entries[i]);
    }
    holder.nameCache = entries;
    holder.entryCount = static_cast<LONG>(functionCount);
}

void CleanupTypeInfo(DWORD_PTR data)
{
    auto& holder = *reinterpret_cast<TypeInfoHolder*>(data);
    if (ITypeInfo* typeInfo = holder.typeInfo) {
        PublishTypeInfo(holder, nullptr);
        typeInfo->Release();
    }
    if (holder.nameCache) {
        for (LONG i = holder.entryCount - 1; i >= 0; --i)
            SysFreeString(holder.nameCache[i].name);
        ModuleFree(holder.nameCache);
        holder.nameCache = nullptr;
    }
    holder.entryCount = 0;
    InterlockedExchange(&holder.cleanupQueued, kCleanupNotQueued);
}

bool FindCachedMemberId(const TypeInfoHolder& holder, const OLECHAR* name, DISPID* memberId)
{
    const LONG length = lstrlenW(name);
    for (LONG i = holder.entryCount - 1; i >= 0; --i) {
        const NameCacheEntry& entry = holder.nameCache[i];
        if (entry.name && entry.length == length && SameCharacters(entry.name, name, length)) {
            *memberId = entry.memberId;
            return true;
        }
    }
    return false;
}
