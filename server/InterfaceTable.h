#pragma once
// Table-driven QueryInterface: each class lists the interfaces it answers.

#include <windows.h>
#include <unknwn.h>

// Resolves an interface for a row: (object start, requested IID, out, row data).
using InterfaceResolver = HRESULT (*)(void* objectStart, REFIID iid, void** out, DWORD_PTR data);

// Marks a row whose interface lies at `data` bytes from the object's start.
// Never called: only its address is used.
HRESULT OffsetRow(void* objectStart, REFIID iid, void** out, DWORD_PTR data);

inline constexpr InterfaceResolver kOffsetRow = &OffsetRow;
inline constexpr InterfaceResolver kEndOfTable = nullptr;

struct InterfaceTableRow {
    const IID* iid;  // null: a candidate for every IID
    DWORD_PTR data;  // offset of the interface, or the resolver's value
    InterfaceResolver kind;  // kOffsetRow, a resolver, or kEndOfTable
};

#include "common/Guids.h"

// Takes the reference that QueryInterface hands out, through the interface.
struct AddRefThroughInterface {
    void operator()(IUnknown* unknown) const { unknown->AddRef(); }
};

// Inline: every QueryInterface and every creation walks a table, and the walk
// is short enough to be cheaper in place than behind a call. A class whose
// interfaces all share one count may take the reference itself, without the
// call through the interface.
template <class AddReference = AddRefThroughInterface>
inline HRESULT InterfaceTableQuery(void* objectStart, const InterfaceTableRow* table, REFIID iid, void** out,
                                   AddReference addReference = {})
{
    auto handOut = [out, addReference](void* start, DWORD_PTR offset) {
        auto* unknown = reinterpret_cast<IUnknown*>(static_cast<BYTE*>(start) + offset);
        addReference(unknown);
        *out = unknown;
        return S_OK;
    };
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (SameGuid(iid, IID_IUnknown))
        return handOut(objectStart, table[0].data);

    for (const InterfaceTableRow* row = table; row->kind != kEndOfTable; ++row) {
        if (row->iid && !SameGuid(*row->iid, iid))
            continue;
        if (row->kind == kOffsetRow)
            return handOut(objectStart, row->data);
        const HRESULT result = row->kind(objectStart, iid, out, row->data);
        if (result == S_OK)
            return S_OK;
        if (FAILED(result) && row->iid)
            return result;
    }
    return E_NOINTERFACE;
}
