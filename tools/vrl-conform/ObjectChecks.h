#pragma once
// The object and its class factory: the class object, aggregation, the
// module's unload answer and QueryInterface.

#include "tools/vrl-conform/CheckList.h"
#include "tools/vrl-conform/ServerUnderTest.h"

void CheckObject(const ServerUnderTest& server, CheckList& checks);
