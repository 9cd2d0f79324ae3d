#pragma once
// --check: the conformance check (vrl-conform, beside this tool) run on the
// server file of every class found, in a process of its own, its report
// passed through.

#include "tools/vrl-discover/LanguageServer.h"

// Runs the check on each server file, then prints "N of M servers failed the
// conformance check". Returns N; a class without a server file, or a check
// that cannot be started, counts as failed.
size_t CheckServers(const CategoryListing& listing);
