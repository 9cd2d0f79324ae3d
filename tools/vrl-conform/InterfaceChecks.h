#pragma once
// The interface: every operation of ILocaleResources early-bound, a null out
// pointer, the member names, and every operation again through IDispatch.

#include "tools/vrl-conform/CheckList.h"
#include "tools/vrl-conform/ServerUnderTest.h"

void CheckInterface(const ServerUnderTest& server, CheckList& checks);
