// The engine against the registry: each case resets the area, optionally
// registers a setup script, applies its script and compares the code and the
// whole area afterwards.

#include <gtest/gtest.h>

#include <string>

#include "regscript/RegistryTree.h"
#include "regscript/ScriptEngine.h"
#include "tests/regscript/EngineTestSupport.h"

namespace {

struct EngineCase {
    const char* name;
    const char* setup;  // registered first, or null
    const char* script;
    ScriptMode mode;
    HRESULT hr;
    const char* state;  // the area afterwards, one line per key or value
};

constexpr ScriptMode kReg = ScriptMode::Register;
constexpr ScriptMode kUnreg = ScriptMode::Unregister;
constexpr ScriptMode kKeepTop = ScriptMode::UnregisterKeepingTopKeys;

const char ClassScript[] = "HKCR { NoRemove CLSID { ForceRemove {G} = s 'x' { InprocServer32 = s 'p' { val "
                           "ThreadingModel = s 'Apartment' } } } }";

const EngineCase Cases[] = {
    // Values and their types.
    {"default string value", nullptr, "HKCR { K = s 'text' }", kReg, S_OK, "HKCR\\K\nHKCR\\K [] S text"},
    {"number", nullptr, "HKCU { K { val N = d '12' } }", kReg, S_OK, "HKCU\\K\nHKCU\\K [N] D 12"},
    {"binary pairs, first digit high", nullptr, "HKCU { K { val N = b '0A1b' } }", kReg, S_OK,
     "HKCU\\K\nHKCU\\K [N] B 0a1b"},
    {"binary, non-digits count as 0", nullptr, "HKCU { K { val N = b 'zF' } }", kReg, S_OK,
     "HKCU\\K\nHKCU\\K [N] B 0f"},
    {"empty binary", nullptr, "HKCU { K { val N = b '' } }", kReg, S_OK, "HKCU\\K\nHKCU\\K [N] B "},
    {"odd binary fails and rolls back", nullptr, "HKCU { K { val N = b 'ABC' } }", kReg, E_FAIL, ""},
    {"number that does not convert fails and rolls back", nullptr, "HKCU { K { val N = d 'x12' } L }", kReg,
     DISP_E_TYPEMISMATCH, ""},
    {"unknown type letter", nullptr, "HKCU { K = sz 'x' }", kReg, DISP_E_EXCEPTION, ""},
    {"type letters in any case", nullptr, "HKCU { K = S 'x' { val A = D '1' val B = B '01' } }", kReg, S_OK,
     "HKCU\\K\nHKCU\\K [] S x\nHKCU\\K [A] D 1\nHKCU\\K [B] B 01"},
    {"value in a root body", nullptr, "HKCU { val V = s 'x' }", kReg, S_OK, "HKCU [V] S x"},
    {"%MODULE% in a quoted value", nullptr, "HKCU { K = s '%module%' }", kReg, S_OK,
     "HKCU\\K\nHKCU\\K [] S C:\\x\\y.dll"},

    // Structure errors.
    {"unknown root", nullptr, "HKXX { }", kReg, DISP_E_EXCEPTION, ""},
    {"root without a block", nullptr, "HKCR K", kReg, DISP_E_EXCEPTION, ""},
    {"root name with a path", nullptr, "HKCU\\Software { K }", kReg, DISP_E_EXCEPTION, ""},
    {"backslash in a key name", nullptr, "HKCU { A { A\\B } }", kReg, DISP_E_EXCEPTION, ""},
    {"backslash in a key name when removing", "HKCU { A }", "HKCU { A\\B }", kUnreg, DISP_E_EXCEPTION, "HKCU\\A"},
    {"backslash after ForceRemove", nullptr, "HKCU { ForceRemove A\\B }", kReg, DISP_E_EXCEPTION, ""},
    {"Val is a keyword, not a key", nullptr, "HKCU { K { Val } }", kReg, DISP_E_EXCEPTION, ""},
    {"Val without a clause", nullptr, "HKCU { K { val N s 'x' } }", kReg, DISP_E_EXCEPTION, ""},
    {"missing last brace rolls back", nullptr, "HKCU { A { B = s 'x' }", kReg, DISP_E_EXCEPTION, ""},
    {"unclosed quote rolls back", nullptr, "HKCU { A { B = s 'x }", kReg, DISP_E_EXCEPTION, ""},
    {"empty script", nullptr, "", kReg, S_OK, ""},
    {"blanks only", nullptr, " \r\n", kReg, DISP_E_EXCEPTION, ""},
    {"blanks after the last block", nullptr, "HKCU { A }\r\n\t ", kReg, S_OK, "HKCU\\A"},
    {"two root blocks, the second fails", nullptr, "HKCU { A } HKCR { B { val V = b 'ABC' } }", kReg, E_FAIL,
     "HKCU\\A"},
    {"two root blocks, the second has an unknown root", nullptr, "HKCU { A } HKXX { B }", kReg, DISP_E_EXCEPTION,
     "HKCU\\A"},
    {"every redirected root", nullptr,
     "HKCR { A } HKCU { A } HKLM { A } HKU { A } HKDD { A } HKCC { A } HKEY_CURRENT_CONFIG { B }", kReg, S_OK,
     "HKCR\\A\nHKCU\\A\nHKLM\\A\nHKU\\A\nHKDD\\A\nHKCC\\A\nHKCC\\B"},

    // Keywords.
    {"keywords in any case", nullptr, "HKCU { forceremove A { VAL v = S 'x' } NOREMOVE B delete C }", kReg, S_OK,
     "HKCU\\A\nHKCU\\A [v] S x\nHKCU\\B"},
    {"ForceRemove clears what was there", "HKCU { K { Old { Deep } val V = s 'v' } }",
     "HKCU { ForceRemove K = s 'x' { New } }", kReg, S_OK, "HKCU\\K\nHKCU\\K [] S x\nHKCU\\K\\New"},
    {"ForceRemove leaves a protected key", "HKCR { CLSID { Existing } }", "HKCR { ForceRemove clsid { New } }", kReg,
     S_OK, "HKCR\\CLSID\nHKCR\\CLSID\\Existing\nHKCR\\CLSID\\New"},
    {"Delete removes a subtree and creates nothing", "HKCU { K { Sub } L }", "HKCU { Delete K = s 'x' M }", kReg, S_OK,
     "HKCU\\L\nHKCU\\M"},
    {"Delete leaves a protected key", "HKCR { TypeLib { T } }", "HKCR { Delete TYPELIB }", kReg, S_OK,
     "HKCR\\TypeLib\nHKCR\\TypeLib\\T"},
    {"Delete is a plain key when removing", "HKCU { K }", "HKCU { Delete K }", kUnreg, S_OK, ""},
    {"a block after Delete is refused", nullptr, "HKCU { A Delete K { B } }", kReg, DISP_E_EXCEPTION, ""},
    {"a block after a value is refused", nullptr, "HKCU { A { val V = s 'x' { B } } }", kReg, DISP_E_EXCEPTION, ""},
    {"an empty key name is refused", "HKCU { Keep }", "HKCU { ForceRemove '' }", kReg, DISP_E_EXCEPTION, "HKCU\\Keep"},
    {"an empty key name is refused when removing", "HKCU { Keep }", "HKCU { '' }", kUnreg, DISP_E_EXCEPTION,
     "HKCU\\Keep"},
    {"a name beginning with a brace is a key", nullptr, "HKCU { K {G} }", kReg, S_OK, "HKCU\\K\nHKCU\\{G}"},
    {"... and is removed as one", "HKCU { K {G} }", "HKCU { K {G} }", kUnreg, S_OK, ""},

    // Removal.
    {"removing the class script keeps CLSID", ClassScript, ClassScript, kUnreg, S_OK, "HKCR\\CLSID"},
    {"NoRemove holds for the rest of the body", "HKCU { A B }", "HKCU { NoRemove A B }", kUnreg, S_OK,
     "HKCU\\A\nHKCU\\B"},
    {"NoRemove does not reach into a nested body", "HKCU { A { B } C }", "HKCU { NoRemove A { B } C }", kUnreg, S_OK,
     "HKCU\\A\nHKCU\\C"},
    {"removing what is not there", nullptr, ClassScript, kUnreg, S_OK, ""},
    {"a lone default value does not keep a key", "HKCU { K = s 'x' }", "HKCU { K = s 'x' }", kUnreg, S_OK, ""},
    {"an unlisted subkey keeps its key", "HKCU { K { Listed Unlisted } }", "HKCU { K { Listed } }", kUnreg, S_OK,
     "HKCU\\K\nHKCU\\K\\Unlisted"},
    {"unlisted values do not keep a key", "HKCU { K { val V = s 'v' } }", "HKCU { K { } }", kUnreg, S_OK, ""},
    {"a key with content but no block does not swallow the next item", "HKCU { K { Sub } L }", "HKCU { K = s 'x' L }",
     kUnreg, S_OK, "HKCU\\K\nHKCU\\K\\Sub"},
    {"a key with values but no block does not swallow the next item", "HKCU { K { val V = s 'v' } L M }",
     "HKCU { K L M }", kUnreg, S_OK, ""},
    {"absent mode ends after a block", "HKCU { Present }", "HKCU { Missing { Present } Present }", kUnreg, S_OK, ""},
    {"absent mode ends after a key without a block", "HKCU { Present }", "HKCU { Missing = s 'x' Present }", kUnreg,
     S_OK, ""},
    {"absent mode reaches into nested bodies", "HKCU { Present }", "HKCU { Missing { Present { val V = s 'x' } } }",
     kUnreg, S_OK, "HKCU\\Present"},
    {"a value in a root body is removed", "HKCU { val V = s 'x' val W = s 'y' }", "HKCU { val V = s 'x' }", kUnreg,
     S_OK, "HKCU [W] S y"},
    {"an empty key with a block", "HKCU { A B }", "HKCU { A { X } B }", kUnreg, S_OK, ""},

    // Removal that keeps the top keys.
    {"top keys stay whole, the class below NoRemove goes",
     "HKCR { P = s 'p' { CLSID = s 'g' } NoRemove CLSID { {G} { InprocServer32 } } }",
     "HKCR { P = s 'p' { CLSID = s 'g' } NoRemove CLSID { ForceRemove {G} { InprocServer32 } } }", kKeepTop, S_OK,
     "HKCR\\CLSID\nHKCR\\P\nHKCR\\P [] S p\nHKCR\\P\\CLSID\nHKCR\\P\\CLSID [] S g"},
    {"NoRemove top keys are walked, and those after them stay whole", "HKCU { A { B } C { D } E { F } }",
     "HKCU { A { B } NoRemove C { D } E { F } }", kKeepTop, S_OK, "HKCU\\A\nHKCU\\A\\B\nHKCU\\C\nHKCU\\E\nHKCU\\E\\F"},
    {"a ProgID after the class block stays whole",
     "HKCR { NoRemove CLSID { {G} { InprocServer32 } } P = s 'p' { CLSID = s 'g' } }",
     "HKCR { NoRemove CLSID { ForceRemove {G} { InprocServer32 } } P = s 'p' { CLSID = s 'g' } }", kKeepTop, S_OK,
     "HKCR\\CLSID\nHKCR\\P\nHKCR\\P [] S p\nHKCR\\P\\CLSID\nHKCR\\P\\CLSID [] S g"},
    {"every root body keeps its top keys", "HKCU { A { B } } HKCR { C { D } }", "HKCU { A { B } } HKCR { C { D } }",
     kKeepTop, S_OK, "HKCU\\A\nHKCU\\A\\B\nHKCR\\C\nHKCR\\C\\D"},

    // Mended faults.
    {"a value in a nested body under NoRemove is removed", "HKCU { P { Q { val V = s 'x' val W = s 'y' } } }",
     "HKCU { NoRemove P { NoRemove Q { val V = s 'x' } } }", kUnreg, S_OK, "HKCU\\P\nHKCU\\P\\Q\nHKCU\\P\\Q [W] S y"},
    {"an empty key before a failing one rolls back whole", nullptr, "HKCU { A { } B { C = b 'ABC' } }", kReg, E_FAIL,
     ""},
    {"a failure deep in nested bodies rolls back whole", nullptr,
     "HKCU { A = s 'a' { val V = s 'v' B { val W = d '1' C { D = b 'ABC' } } } E }", kReg, E_FAIL, ""},
};

TEST(ApplyScript, TableOfScriptsAgainstTheRegistry)
{
    TestArea& area = EngineArea();
    for (const auto& c : Cases) {
        area.Reset();
        if (c.setup) {
            ASSERT_EQ(HexCode(Apply(c.setup, ScriptMode::Register)), HexCode(S_OK)) << c.name;
        }
        EXPECT_EQ(HexCode(Apply(c.script, c.mode)), HexCode(c.hr)) << c.name;
        EXPECT_EQ(area.Snapshot(), SortedLines(c.state)) << c.name;
    }
}

// "HKCU { 2 { 3 { ... { N { } } ... } }": N - 1 keys, N bodies with the root's.
std::string NestedScript(int bodies)
{
    std::string script = "HKCU {";
    for (int key = 2; key <= bodies; ++key)
        script.append(" ").append(std::to_string(key)).append(" {");
    for (int body = 0; body < bodies; ++body)
        script += " }";
    return script;
}

TEST(ApplyScript, NestingIsBoundedAndTooDeepAScriptRollsBack)
{
    TestArea& area = EngineArea();
    area.Reset();
    EXPECT_EQ(HexCode(Apply(NestedScript(kMaxNestingDepth).c_str(), ScriptMode::Register)), HexCode(S_OK));
    std::string deepest = "HKCU";
    for (int key = 2; key <= kMaxNestingDepth; ++key)
        deepest.append("\\").append(std::to_string(key));
    HKEY key = area.OpenKey(deepest.c_str(), KEY_READ);
    EXPECT_NE(key, nullptr);
    RegCloseKey(key);
    EXPECT_EQ(HexCode(Apply(NestedScript(kMaxNestingDepth).c_str(), ScriptMode::Unregister)), HexCode(S_OK));
    EXPECT_EQ(area.Snapshot(), "");

    EXPECT_EQ(HexCode(Apply(NestedScript(kMaxNestingDepth + 1).c_str(), ScriptMode::Register)),
              HexCode(DISP_E_EXCEPTION));
    EXPECT_EQ(area.Snapshot(), "");
}

// The removal names each key by its whole path from the root: the deepest
// nesting of the longest names, with a value at the bottom.
std::string DeepLongScript(const char* keyword)
{
    std::string script = "HKCU {";
    for (int level = 2; level <= kMaxNestingDepth; ++level)
        script.append(" ").append(keyword).append(std::string(255, static_cast<char>('a' + level % 26))).append(" {");
    script += " val V = s 'x' val W = s 'y'";
    for (int body = 0; body < kMaxNestingDepth; ++body)
        script += " }";
    return script;
}

TEST(ApplyScript, RemovalReachesTheDeepestKeyOfTheLongestNames)
{
    TestArea& area = EngineArea();
    area.Reset();
    const std::string plain = DeepLongScript("");
    ASSERT_EQ(HexCode(Apply(plain.c_str(), ScriptMode::Register)), HexCode(S_OK));
    EXPECT_EQ(HexCode(Apply(plain.c_str(), ScriptMode::Unregister)), HexCode(S_OK));
    EXPECT_EQ(area.Snapshot(), "");

    // Under NoRemove only the values go, the deepest one included.
    ASSERT_EQ(HexCode(Apply(plain.c_str(), ScriptMode::Register)), HexCode(S_OK));
    const std::string before = area.Snapshot();
    std::string kept = DeepLongScript("NoRemove ");
    kept.replace(kept.find(" val W = s 'y'"), 14, "");
    EXPECT_EQ(HexCode(Apply(kept.c_str(), ScriptMode::Unregister)), HexCode(S_OK));
    std::string expected = before;
    const auto valueLine = expected.find(" [V] S x\n");
    ASSERT_NE(valueLine, std::string::npos);
    expected.erase(expected.rfind('\n', valueLine) + 1,
                   expected.find('\n', valueLine) - expected.rfind('\n', valueLine));
    EXPECT_EQ(area.Snapshot(), expected);
}

TEST(ApplyScript, AValueNameHoldsAtMost259Bytes)
{
    TestArea& area = EngineArea();
    for (const int length : {259, 260}) {
        area.Reset();
        const std::string name(length, 'n');
        const std::string script = "HKCU { K { val " + name + " = s 'x' } }";
        const HRESULT expected = length == 259 ? S_OK : DISP_E_EXCEPTION;
        EXPECT_EQ(HexCode(Apply(script.c_str(), ScriptMode::Register)), HexCode(expected)) << length;
        EXPECT_EQ(area.Snapshot(), length == 259 ? "HKCU\\K\nHKCU\\K [" + name + "] S x\n" : "") << length;
    }
}

TEST(ApplyScript, StoresTheTerminatingNulOfAString)
{
    TestArea& area = EngineArea();
    area.Reset();
    ASSERT_EQ(Apply("HKCR { K = s 'text' }", ScriptMode::Register), S_OK);
    HKEY key = area.OpenKey("HKCR\\K", KEY_READ);
    ASSERT_NE(key, nullptr);
    DWORD size = 0;
    EXPECT_EQ(RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 5u);
    RegCloseKey(key);
}

// A root that may only be read: values cannot be written into it.
TEST(ApplyScript, AValueThatCannotBeWrittenFailsAndRollsBack)
{
    TestArea& area = EngineArea();
    area.Reset();
    HKEY readOnly = area.OpenKey("HKCU", KEY_READ);
    ASSERT_NE(readOnly, nullptr);
    TestArea::Redirect(HKEY_CURRENT_USER, readOnly);
    const HRESULT hr = Apply("HKCU { K = s 'x' val V = s 'y' }", ScriptMode::Register);
    area.RestoreRedirects();
    RegCloseKey(readOnly);
    EXPECT_EQ(HexCode(hr), HexCode(HRESULT_FROM_WIN32(ERROR_ACCESS_DENIED)));
    EXPECT_EQ(area.Snapshot(), "");
}

TEST(KeyIsEmpty, ALoneDefaultValueDoesNotCount)
{
    TestArea& area = EngineArea();
    const struct {
        const char* setup;
        bool empty;
    } cases[] = {
        {"HKCU { K }", true},
        {"HKCU { K = s 'x' }", true},
        {"HKCU { K { val N = s 'x' } }", false},
        {"HKCU { K { val 'A name longer than any buffer for a default name' = s 'x' } }", false},
        {"HKCU { K = s 'x' { val N = s 'x' } }", false},
        {"HKCU { K { val N = s 'x' val M = s 'y' } }", false},
        {"HKCU { K { S } }", false},
    };
    for (const auto& c : cases) {
        area.Reset();
        ASSERT_EQ(Apply(c.setup, ScriptMode::Register), S_OK) << c.setup;
        HKEY key = area.OpenKey("HKCU\\K", KEY_READ);
        ASSERT_NE(key, nullptr);
        EXPECT_EQ(KeyIsEmpty(key), c.empty) << c.setup;
        RegCloseKey(key);
    }
}

TEST(DeleteKeyTree, RemovesEveryLevelAndReportsAMissingKey)
{
    TestArea& area = EngineArea();
    area.Reset();
    ASSERT_EQ(Apply("HKCU { K { A { B { C } } D { val V = s 'x' } } L }", ScriptMode::Register), S_OK);
    EXPECT_EQ(DeleteKeyTree(HKEY_CURRENT_USER, "K"), ERROR_SUCCESS);
    EXPECT_EQ(area.Snapshot(), "HKCU\\L\n");
    EXPECT_EQ(DeleteKeyTree(HKEY_CURRENT_USER, "K"), ERROR_FILE_NOT_FOUND);
}

}  // namespace
