#pragma once
// The texts: every string id of the source language is served and not
// empty, with the source's accelerators and trailing line breaks. The source
// texts are this tool's own string table, built from the source language.

#include "tools/vrl-conform/CheckList.h"
#include "tools/vrl-conform/ServerUnderTest.h"

void CheckTexts(const ServerUnderTest& server, CheckList& checks);
