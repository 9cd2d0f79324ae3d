#pragma once
// The server's category and its enrolment in it, written straight into
// HKEY_CLASSES_ROOT as the categories manager writes them: for a classes root
// that the manager does not see, one redirected by a ClassesRootRedirect.

#include <windows.h>

// "Component Categories\{catid}" with the description.
HRESULT WriteCategoryDirectly();
// "CLSID\{clsid}\Implemented Categories\{catid}", for the server's own class
// or, when the tools record the rows of a language server file, for that
// file's class.
HRESULT WriteEnrolmentDirectly(REFCLSID clsid);
// Takes the enrolment away again, and the "Implemented Categories" key when
// it is left empty; a missing enrolment is a success.
HRESULT RemoveEnrolmentDirectly(REFCLSID clsid);

// The categories manager leaves an empty "Implemented Categories" key behind
// when the last enrolment goes; the class key can only be removed without it.
void RemoveEmptyImplementedCategories(REFCLSID clsid);
