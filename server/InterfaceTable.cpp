#include "server/InterfaceTable.h"

#include "server/Guids.h"

HRESULT OffsetRow(void*, REFIID, void**, DWORD_PTR)
{
    return E_UNEXPECTED;
}

namespace {
IUnknown* InterfaceAt(void* objectStart, DWORD_PTR offset)
{
    return reinterpret_cast<IUnknown*>(static_cast<BYTE*>(objectStart) + offset);
}

HRESULT HandOut(IUnknown* unknown, void** out)
{
    unknown->AddRef();
    *out = unknown;
    return S_OK;
}
}

HRESULT InterfaceTableQuery(void* objectStart, const InterfaceTableRow* table, REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (SameGuid(iid, IID_IUnknown))
        return HandOut(InterfaceAt(objectStart, table[0].data), out);

    for (const InterfaceTableRow* row = table; row->kind != kEndOfTable; ++row) {
        if (row->iid && !SameGuid(*row->iid, iid))
            continue;
        if (row->kind == kOffsetRow)
            return HandOut(InterfaceAt(objectStart, row->data), out);
        const HRESULT result = row->kind(objectStart, iid, out, row->data);
        if (result == S_OK)
            return S_OK;
        if (FAILED(result) && row->iid)
            return result;
    }
    return E_NOINTERFACE;
}
