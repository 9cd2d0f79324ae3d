#include "server/InterfaceTable.h"

HRESULT OffsetRow(void*, REFIID, void**, DWORD_PTR)
{
    return E_UNEXPECTED;
}
