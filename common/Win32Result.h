#pragma once
// Win32 status codes as HRESULTs, at the edge of the registration code.

#include <windows.h>

inline HRESULT FromWin32Status(LONG status)
{
    return status == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(status);
}

// The calling thread's last error; E_FAIL when a failed call left none.
inline HRESULT LastErrorResult()
{
    const DWORD error = GetLastError();
    return error == ERROR_SUCCESS ? E_FAIL : HRESULT_FROM_WIN32(error);
}
