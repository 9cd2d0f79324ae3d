#pragma once
// The two forms of the discovery tool's output, both UTF-8 on standard output:
// text for people, and one JSON document for scripts.

#include <string>

#include "tools/vrl-discover/CategoryScan.h"
#include "tools/vrl-discover/LanguageServer.h"

std::wstring PlainReport(const CategoryListing& listing, TextsWanted texts);
std::wstring JsonReport(const CategoryListing& listing, TextsWanted texts);
