// Double-byte text under code page 932, where the trail byte of a character
// may have the value of a backslash, a quote or a percent sign. These run in
// a process of their own started with that code page; elsewhere they skip.

#include <gtest/gtest.h>

#include <string>

#include "regscript/ReplacementMap.h"
#include "regscript/ScriptLexer.h"
#include "common/Ownership.h"
#include "tests/regscript/EngineTestSupport.h"

namespace {

constexpr UINT kJapaneseCodePage = 932;
// U+8868, two bytes in code page 932 of which the second is a backslash.
const char TableCharacter[] = "\x95\x5c";

bool RunsUnderJapaneseCodePage()
{
    return GetACP() == kJapaneseCodePage;
}

TEST(DbcsLexer, NeverSplitsACharacterOrTakesItsTrailByteForPunctuation)
{
    ASSERT_TRUE(RunsUnderJapaneseCodePage()) << "these cases run only in a process started for code page 932";
    const std::string table = TableCharacter;
    const struct {
        std::string text;
        std::string tokens;
    } cases[] = {
        {"'" + table + "'", table + "|end"},
        {table + " " + table, table + "|" + table + "|end"},
        // A lead byte takes the quote after it as its trail byte.
        {"'\x81'' x", "\x81'|x|end"},
        {"'\x81'", "DISP_E_EXCEPTION"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ReadAllTokens(c.text), c.tokens) << c.text;
}

TEST(DbcsLexer, ALastDoubleByteCharacterMayMakeA4095ByteToken)
{
    ASSERT_TRUE(RunsUnderJapaneseCodePage()) << "these cases run only in a process started for code page 932";
    const std::string fits = std::string(4093, 'x') + TableCharacter;
    const std::string tooLong = std::string(4094, 'x') + TableCharacter;
    EXPECT_EQ(ReadAllTokens("'" + fits + "'"), fits + "|end");
    EXPECT_EQ(ReadAllTokens("'" + tooLong + "'"), "DISP_E_EXCEPTION");
}

TEST(DbcsExpansion, MatchesDoubleByteNamesAndCopiesValuesWhole)
{
    ASSERT_TRUE(RunsUnderJapaneseCodePage()) << "these cases run only in a process started for code page 932";
    ReplacementMap map;
    ASSERT_EQ(map.Insert(L"\x8868", L"v"), S_OK);
    ASSERT_EQ(map.Insert(L"Path", L"C:\\\x8868\\x.dll"), S_OK);
    ScriptLexer lexer(map);
    const struct {
        std::string text;
        HRESULT hr;
        std::string expanded;
    } cases[] = {
        {std::string("%") + TableCharacter + "%", S_OK, "v"},
        {"'%PATH%'", S_OK, std::string("'C:\\") + TableCharacter + "\\x.dll'"},
        // The percent sign after a lead byte is its trail byte, not an end.
        {"%\x81%X%", DISP_E_EXCEPTION, ""},
        {"\x81%", S_OK, "\x81%"},
    };
    for (const auto& c : cases) {
        char* expanded = nullptr;
        EXPECT_EQ(HexCode(lexer.ExpandVariables(c.text.c_str(), &expanded)), HexCode(c.hr)) << c.text;
        TaskMemory<char> owner(expanded);
        if (SUCCEEDED(c.hr)) {
            ASSERT_NE(expanded, nullptr);
            EXPECT_EQ(std::string(expanded), c.expanded) << c.text;
        }
    }
}

TEST(DbcsEngine, KeyNamesWithBackslashTrailBytesAreOneLevelDeep)
{
    ASSERT_TRUE(RunsUnderJapaneseCodePage()) << "these cases run only in a process started for code page 932";
    TestArea& area = EngineArea();
    area.Reset();
    const std::string table = TableCharacter;
    const std::string script = "HKCU { " + table + " = s '" + table + "' { val " + table + " = s 'x' } }";
    EXPECT_EQ(HexCode(Apply(script.c_str(), ScriptMode::Register)), HexCode(S_OK));
    EXPECT_EQ(area.Snapshot(),
              SortedLines("HKCU\\" + table + "\nHKCU\\" + table + " [] S " + table + "\nHKCU\\" + table + " [" + table +
                          "] S x"));
    EXPECT_EQ(HexCode(Apply(script.c_str(), ScriptMode::Unregister)), HexCode(S_OK));
    EXPECT_EQ(area.Snapshot(), "");
}

// 200 double-byte characters are 400 bytes: the name must reach the removal whole.
TEST(DbcsEngine, ALongDoubleByteKeyNameIsRemovedWhole)
{
    ASSERT_TRUE(RunsUnderJapaneseCodePage()) << "these cases run only in a process started for code page 932";
    TestArea& area = EngineArea();
    area.Reset();
    std::string name;
    for (int i = 0; i < 200; ++i)
        name += TableCharacter;
    const std::string script = "HKCU { '" + name + "' }";
    EXPECT_EQ(HexCode(Apply(script.c_str(), ScriptMode::Register)), HexCode(S_OK));
    EXPECT_EQ(area.Snapshot(), "HKCU\\" + name + "\n");
    EXPECT_EQ(HexCode(Apply(script.c_str(), ScriptMode::Unregister)), HexCode(S_OK));
    EXPECT_EQ(area.Snapshot(), "");
}

}  // namespace
