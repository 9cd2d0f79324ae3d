#include "tests/regscript/EngineTestSupport.h"

#include <cstdio>
#include <memory>

#include "regscript/ReplacementMap.h"
#include "regscript/ScriptEngine.h"

TestArea& EngineArea()
{
    static std::unique_ptr<TestArea> area;
    if (!area) {
        const std::string name = "Registration-" + std::to_string(GetCurrentProcessId());
        area = std::make_unique<TestArea>(name.c_str(), false);
    }
    return *area;
}

HRESULT Apply(const char* script, ScriptMode mode)
{
    ReplacementMap map;
    map.Insert(L"Module", L"C:\\x\\y.dll");
    ScriptLexer lexer(map);
    return ApplyScript(lexer, script, mode);
}

std::string HexCode(HRESULT hr)
{
    char text[16];
    std::snprintf(text, sizeof text, "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

std::string ReadAllTokens(const std::string& text)
{
    ReplacementMap map;
    ScriptLexer lexer(map);
    lexer.SetCursor(text.c_str());
    std::string result;
    char token[kScriptTokenCapacity];
    for (;;) {
        lexer.SkipBlanks();
        if (*lexer.Cursor() == '\0')
            return result + "end";
        const HRESULT hr = lexer.ReadToken(token);
        if (FAILED(hr))
            return result + (hr == DISP_E_EXCEPTION ? "DISP_E_EXCEPTION" : HexCode(hr));
        result += std::string(token) + "|";
    }
}
