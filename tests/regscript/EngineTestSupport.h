#pragma once
// What the engine tests share: one redirected test area per process, a way
// to apply a script with the usual replacement pairs, and readable codes.

#include <windows.h>

#include <string>

#include "regscript/ScriptEngine.h"
#include "tests/regscript/TestArea.h"

// The area of this process, created on first use and kept until exit.
TestArea& EngineArea();

// Applies `script` with the pair ("Module", "C:\x\y.dll").
HRESULT Apply(const char* script, ScriptMode mode);

// Every token of `text`, each followed by "|", then "end" when the text ran
// out cleanly or the name of the code that stopped the reading.
std::string ReadAllTokens(const std::string& text);

// "0x80020009" and the like, so that failures read well.
std::string HexCode(HRESULT hr);
