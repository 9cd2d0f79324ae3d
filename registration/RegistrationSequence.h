#pragma once
// A server's registration, in the one order that every target follows: the
// classes' registry scripts, the type library, the localization category and
// the class's enrolment in it. A target supplies the four steps:
//
//   HRESULT WriteClasses();
//   HRESULT WriteTypeLib();
//   HRESULT WriteCategory();
//   HRESULT WriteEnrolment();
//
// The targets: the machine's classes (ServerRegistration.cpp), the current
// user's (UserInstallation.cpp), and the rows that vrlrgs records from a
// server file.

#include <windows.h>
#include <olectl.h>

// Stops at the first failure. A failed category or enrolment step is
// SELFREG_E_CLASS; the scripts and the library stay registered then.
template <class Target>
HRESULT RunRegistration(Target& target)
{
    HRESULT hr = target.WriteClasses();
    if (SUCCEEDED(hr))
        hr = target.WriteTypeLib();
    if (FAILED(hr))
        return hr;
    if (FAILED(target.WriteCategory()) || FAILED(target.WriteEnrolment()))
        return SELFREG_E_CLASS;
    return S_OK;
}
