#include "tests/support/FakeOuter.h"

#include "common/Guids.h"

HRESULT STDMETHODCALLTYPE FakeOuter::QueryInterface(REFIID iid, void** out)
{
    if (!out)
        return E_POINTER;
    InterlockedIncrement(&queries_);
    *out = nullptr;
    if (identity_ == Identity::AnswersItsOwnUnknown && SameGuid(iid, IID_IUnknown)) {
        *out = static_cast<IUnknown*>(this);
        AddRef();
        return S_OK;
    }
    if (inner)
        return inner->QueryInterface(iid, out);
    return E_NOINTERFACE;
}
