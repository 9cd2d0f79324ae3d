// The bounded random run: mutated scripts applied in both modes under a test
// area that every root is redirected into. Each must finish with S_OK or a
// documented code, and a failed registration of a script without NoRemove
// must take back everything its failed root block made.
//
// VRL_RANDOM_SCRIPTS sets the number of scripts (default 20000) and
// VRL_RANDOM_SEED the seed, for longer runs by hand.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "regscript/ReplacementMap.h"
#include "regscript/ScriptEngine.h"
#include "regscript/ScriptLexer.h"
#include "tests/regscript/EngineTestSupport.h"
#include "tests/regscript/ScriptMutator.h"
#include "tests/support/SourceTreeFile.h"

namespace {

constexpr unsigned long kDefaultScriptCount = 20000;
constexpr std::uint32_t kDefaultSeed = 20240611;

// The server's own script, read from its file, then hand-made ones.
std::vector<std::string> Seeds()
{
    return {
        ReadServerScript(),
        // The same without NoRemove, so that its failures are checked for rollback.
        "HKCR { P.1 = s 'Class' { CLSID = s '{G}' } P = s 'Class' { CLSID = s '{G}' CurVer = s 'P.1' } "
        "CLSID { ForceRemove {G} = s 'Class' { ProgID = s 'P.1' ForceRemove 'Programmable' "
        "InprocServer32 = s '%MODULE%' { val ThreadingModel = s 'Apartment' } 'TypeLib' = s '{T}' } } }",
        "HKCU { K { val N = d '12' val M = b '0A1b' } L = s 'x' { M { N } } }",
        "HKLM { forceremove A { VAL v = S 'x' } B delete C D = s 'it''s' }",
        "HKU { A { } B { C = b 'ABC' } val R = s 'root' }",
        "HKCC { A = s 'a' { val V = s 'v' B { val W = d '1' C { D = b '00' } } } E }",
        "HKDD { Delete K = s 'x' M { '{x}' = s '%%' } }",
        "HKCU { A } HKEY_CLASSES_ROOT { B { val V = s 'x' } }",
    };
}

const HRESULT DocumentedCodes[] = {
    S_OK, DISP_E_EXCEPTION, E_FAIL, E_OUTOFMEMORY, DISP_E_TYPEMISMATCH, DISP_E_OVERFLOW,
};

bool IsDocumented(HRESULT hr)
{
    for (const HRESULT code : DocumentedCodes) {
        if (hr == code)
            return true;
    }
    return false;
}

unsigned long FromEnvironment(const char* name, unsigned long fallback)
{
    const char* text = std::getenv(name);
    return text && *text ? std::strtoul(text, nullptr, 10) : fallback;
}

bool ContainsIgnoringCase(std::string text, std::string part)
{
    CharLowerA(text.data());
    CharLowerA(part.data());
    return text.find(part) != std::string::npos;
}

// Where the first root block of `script` ends, found by reading the block
// through in absent mode, which touches no key; npos when it does not read
// through. A reference in the script never changes where tokens end, as the
// only replacement value holds no blank and no quote.
std::string::size_type FirstBlockEnd(const std::string& script)
{
    ReplacementMap map;
    ScriptLexer lexer(map);
    lexer.SetCursor(script.c_str());
    char token[kScriptTokenCapacity];
    if (FAILED(lexer.ReadToken(token)))
        return std::string::npos;
    const HKEY root = ScriptLexer::LookupRootKey(token);
    if (!root || FAILED(lexer.ReadToken(token)) || token[0] != '{' ||
        FAILED(WalkKeyBlock(lexer, token, root, ScriptMode::Unregister, KeyPresence::Absent, kRootBodyDepth)))
        return std::string::npos;
    return static_cast<std::string::size_type>(lexer.Cursor() - script.c_str());
}

bool IsBlank(const std::string& text)
{
    return text.find_first_not_of(" \t\r\n") == std::string::npos;
}

// After a failed registration, the area must be empty again when the first
// root block is the one that failed. When that block succeeded on its own,
// a later item failed and the block rightly stays.
bool FirstBlockLeftSomething(TestArea& area, const std::string& script)
{
    if (area.IsEmpty())
        return false;
    const auto end = FirstBlockEnd(script);
    if (end == std::string::npos || IsBlank(script.substr(end)))
        return true;
    area.Reset();
    return FAILED(Apply(script.substr(0, end).c_str(), ScriptMode::Register)) && !area.IsEmpty();
}

TEST(RandomScripts, EndWithADocumentedCodeAndRollBackCleanly)
{
    const unsigned long count = FromEnvironment("VRL_RANDOM_SCRIPTS", kDefaultScriptCount);
    const auto seed = static_cast<std::uint32_t>(FromEnvironment("VRL_RANDOM_SEED", kDefaultSeed));
    const std::string areaName = "Random-" + std::to_string(GetCurrentProcessId());
    TestArea area(areaName.c_str(), true);
    ScriptMutator mutator(seed);
    const std::vector<std::string> seeds = Seeds();
    ASSERT_FALSE(seeds.front().empty()) << "the server's script could not be read";
    const auto start = std::chrono::steady_clock::now();
    unsigned long failures = 0;
    unsigned long rollbacksChecked = 0;

    for (unsigned long i = 0; i < count && failures < 10; ++i) {
        const std::string script = mutator.Next(seeds);
        if (!area.IsEmpty())
            area.Reset();
        const HRESULT registered = Apply(script.c_str(), ScriptMode::Register);
        if (!IsDocumented(registered)) {
            ADD_FAILURE() << "script " << i << " registered with " << HexCode(registered) << ":\n" << script;
            ++failures;
        }
        if (FAILED(registered) && !ContainsIgnoringCase(script, "NoRemove")) {
            ++rollbacksChecked;
            if (FirstBlockLeftSomething(area, script)) {
                ADD_FAILURE() << "script " << i << " failed with " << HexCode(registered) << " but left:\n"
                              << area.Snapshot() << "script:\n"
                              << script;
                ++failures;
            }
        }
        const HRESULT unregistered = Apply(script.c_str(), ScriptMode::Unregister);
        if (!IsDocumented(unregistered)) {
            ADD_FAILURE() << "script " << i << " unregistered with " << HexCode(unregistered) << ":\n" << script;
            ++failures;
        }
    }
    const auto seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("random run: %lu scripts from seed %u, %lu rollbacks checked, %.1f s\n", count,
                static_cast<unsigned>(seed), rollbacksChecked, seconds);
}

}  // namespace
