#pragma once
// --identity: what a server file says of itself, for the language kit's
// import: its class and library from its type library, and the fixed values
// its object reports, created from the file without registering anything.

#include <string>

#include "tools/vrl-conform/ServerUnderTest.h"

// One JSON document; an empty text on success, else what failed.
std::wstring IdentityReport(const ServerUnderTest& server, std::wstring& report);
