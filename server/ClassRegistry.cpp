// Registry entries of the resource class (applied by the registration code).

#include <windows.h>

HRESULT UpdateResourceClassRegistry(BOOL)
{
    return E_NOTIMPL;
}
