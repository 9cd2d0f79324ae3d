#pragma once
// The server's category and its enrolment in it, written straight into
// HKEY_CLASSES_ROOT as the categories manager writes them: for a classes root
// that the manager does not see, one redirected by a ClassesRootRedirect.

#include <windows.h>

// "Component Categories\{catid}" with the description.
HRESULT WriteCategoryDirectly();
// "CLSID\{clsid}\Implemented Categories\{catid}".
HRESULT WriteEnrolmentDirectly();
// The same for another server's class (the tools record the rows of any
// language server file).
HRESULT WriteEnrolmentOfClassDirectly(REFCLSID clsid);
// Takes the enrolment away again, and the "Implemented Categories" key when
// it is left empty; a missing enrolment is a success.
HRESULT RemoveEnrolmentDirectly();
