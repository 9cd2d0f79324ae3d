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
    const IID* iid;           // null: a candidate for every IID
    DWORD_PTR data;           // offset of the interface, or the resolver's value
    InterfaceResolver kind;   // kOffsetRow, a resolver, or kEndOfTable
};

HRESULT InterfaceTableQuery(void* objectStart, const InterfaceTableRow* table, REFIID iid, void** out);
