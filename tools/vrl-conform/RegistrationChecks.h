#pragma once
// Registration: the file's own registration run into a scratch copy of the
// current user's hive, never the machine's or the user's real classes; the
// rows it writes, and what its removal leaves.

#include "tools/vrl-conform/CheckList.h"
#include "tools/vrl-conform/ServerUnderTest.h"

void CheckRegistration(const ServerUnderTest& server, CheckList& checks);
