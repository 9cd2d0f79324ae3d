#pragma once
// COM initialised on this thread for one scope, in a single-threaded
// apartment; uninitialised again only when the initialisation succeeded.

#include <objbase.h>

class ComApartment {
public:
    ComApartment() : result_(CoInitialize(nullptr)) {}
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
    ~ComApartment()
    {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    HRESULT Result() const { return result_; }

private:
    HRESULT result_;
};
