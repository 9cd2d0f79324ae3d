// Tokens, expansion and the lookup tables of the script lexer.

#include <gtest/gtest.h>

#include <string>

#include "regscript/ReplacementMap.h"
#include "regscript/ScriptLexer.h"
#include "common/Ownership.h"
#include "tests/regscript/EngineTestSupport.h"

namespace {

struct TokenCase {
    const char* text;
    const char* tokens;
};

const TokenCase TokenCases[] = {
    {"'it''s'", "it's|end"},
    {"''", "|end"},
    {"'a'b", "a|b|end"},
    {"abc'def", "abc'def|end"},
    {"'abc", "DISP_E_EXCEPTION"},
    {"'abc''", "DISP_E_EXCEPTION"},
    {"a\x0b"
     "b c\x0c"
     "d",
     "a\x0b"
     "b|c\x0c"
     "d|end"},
    {"\ta\r\nb  c", "a|b|c|end"},
    {"{ x = s 'y z' }", "{|x|=|s|y z|}|end"},
    {"{x}", "{x}|end"},
    {"'{ = }'", "{ = }|end"},
    {"a\xa0"
     "b",
     "a\xa0"
     "b|end"},
};

TEST(ReadToken, SplitsTextIntoBareAndQuotedTokens)
{
    for (const auto& c : TokenCases)
        EXPECT_EQ(ReadAllTokens(c.text), c.tokens) << "text: " << c.text;
}

TEST(ReadToken, FailsOnBlanksOnlyAndLeavesTheCursorAtTheEnd)
{
    ReplacementMap map;
    ScriptLexer lexer(map);
    const char text[] = " \t\r\n ";
    lexer.SetCursor(text);
    char token[kScriptTokenCapacity];
    EXPECT_EQ(lexer.ReadToken(token), DISP_E_EXCEPTION);
    EXPECT_EQ(*lexer.Cursor(), '\0');
}

TEST(ReadToken, HoldsAtMost4094SingleByteCharacters)
{
    for (const bool quoted : {true, false}) {
        const std::string longest(4094, 'x');
        const std::string tooLong(4095, 'x');
        const auto wrap = [quoted](const std::string& s) { return quoted ? "'" + s + "' next" : s + " next"; };
        EXPECT_EQ(ReadAllTokens(wrap(longest)), longest + "|next|end");
        EXPECT_EQ(ReadAllTokens(wrap(tooLong)), "DISP_E_EXCEPTION");
    }
}

TEST(IsClosingQuote, TellsALoneQuoteFromADoubledOne)
{
    ReplacementMap map;
    ScriptLexer lexer(map);
    const struct {
        const char* text;
        bool closing;
    } cases[] = {{"'", true}, {"'x", true}, {"''", false}, {"x'", false}, {"", false}};
    for (const auto& c : cases) {
        lexer.SetCursor(c.text);
        EXPECT_EQ(lexer.IsClosingQuote(), c.closing) << c.text;
    }
}

TEST(SkipValueClause, PassesOverAClauseOnlyWhenTheTokenIsEquals)
{
    ReplacementMap map;
    ScriptLexer lexer(map);
    char token[kScriptTokenCapacity] = "NextKey";
    const char text[] = "= s 'v' after";
    lexer.SetCursor(text);
    EXPECT_EQ(lexer.SkipValueClause(token), S_OK);
    EXPECT_STREQ(token, "NextKey");
    EXPECT_EQ(lexer.Cursor(), text);

    lstrcpyA(token, "=");
    lexer.SetCursor(text + 1);
    EXPECT_EQ(lexer.SkipValueClause(token), S_OK);
    EXPECT_STREQ(token, "after");

    lstrcpyA(token, "=");
    const char cut[] = " s 'v'";
    lexer.SetCursor(cut);
    EXPECT_EQ(lexer.SkipValueClause(token), DISP_E_EXCEPTION);
}

// Expansion with the pairs ("Module", "C:\x\y.dll"), ("Quote", "it's"),
// ("Percent", "50%x%"), and one pair with a 31-byte and one with a 32-byte name.
struct ExpansionCase {
    const char* text;
    HRESULT hr;
    const char* expanded;
};

const ExpansionCase ExpansionCases[] = {
    {"100%%", S_OK, "100%"},
    {"%%%%", S_OK, "%%"},
    {"%MODULE%|%module%|%Module%", S_OK, "C:\\x\\y.dll|C:\\x\\y.dll|C:\\x\\y.dll"},
    {"'%PERCENT%'", S_OK, "'50%x%'"},
    {"'%QUOTE%'", S_OK, "'it's'"},
    {"%NOSUCHNAME%", DISP_E_EXCEPTION, nullptr},
    {"abc%", DISP_E_EXCEPTION, nullptr},
    {"%Module", DISP_E_EXCEPTION, nullptr},
    {"%N234567890123456789012345678901%", S_OK, "thirty-one"},
    {"%N2345678901234567890123456789012%", E_FAIL, nullptr},
    {"", S_OK, ""},
    {"no references", S_OK, "no references"},
};

TEST(ExpandVariables, ReplacesReferencesAndDoubledPercentSigns)
{
    ReplacementMap map;
    ASSERT_EQ(map.Insert(L"Module", L"C:\\x\\y.dll"), S_OK);
    ASSERT_EQ(map.Insert(L"Quote", L"it's"), S_OK);
    ASSERT_EQ(map.Insert(L"Percent", L"50%x%"), S_OK);
    ASSERT_EQ(map.Insert(L"N234567890123456789012345678901", L"thirty-one"), S_OK);
    ASSERT_EQ(map.Insert(L"N2345678901234567890123456789012", L"thirty-two"), S_OK);
    ScriptLexer lexer(map);
    for (const auto& c : ExpansionCases) {
        char* expanded = reinterpret_cast<char*>(1);
        const HRESULT hr = lexer.ExpandVariables(c.text, &expanded);
        TaskMemory<char> owner(expanded);
        EXPECT_EQ(hr, c.hr) << c.text;
        if (c.expanded)
            EXPECT_STREQ(expanded, c.expanded) << c.text;
        else
            EXPECT_EQ(expanded, nullptr) << c.text;
    }
}

TEST(ExpandVariables, GrowsForValuesLongerThanTheText)
{
    const std::wstring longValue(5000, L'v');
    ReplacementMap map;
    ASSERT_EQ(map.Insert(L"L", longValue.c_str()), S_OK);
    ScriptLexer lexer(map);
    char* expanded = nullptr;
    ASSERT_EQ(lexer.ExpandVariables("%L%%L%", &expanded), S_OK);
    TaskMemory<char> owner(expanded);
    EXPECT_EQ(std::string(expanded), std::string(10000, 'v'));
}

TEST(ExpandVariables, AnUndoubledQuoteInAValueSplitsTheQuotedToken)
{
    for (const bool doubled : {false, true}) {
        ReplacementMap map;
        ASSERT_EQ(map.Insert(L"X", doubled ? L"it''s" : L"it's"), S_OK);
        ScriptLexer lexer(map);
        char* expanded = nullptr;
        ASSERT_EQ(lexer.ExpandVariables("'%X%'", &expanded), S_OK);
        TaskMemory<char> owner(expanded);
        EXPECT_EQ(ReadAllTokens(expanded), doubled ? "it's|end" : "it|s'|end");
    }
}

TEST(LookupRootKey, FindsShortAndLongNamesInAnyCase)
{
    const struct {
        const char* name;
        HKEY key;
    } cases[] = {
        {"hkcr", HKEY_CLASSES_ROOT},
        {"HKCR", HKEY_CLASSES_ROOT},
        {"HKEY_CLASSES_ROOT", HKEY_CLASSES_ROOT},
        {"HKCU", HKEY_CURRENT_USER},
        {"HKLM", HKEY_LOCAL_MACHINE},
        {"HKU", HKEY_USERS},
        {"HKPD", HKEY_PERFORMANCE_DATA},
        {"HKDD", HKEY_DYN_DATA},
        {"HKCC", HKEY_CURRENT_CONFIG},
        {"hkey_dyn_data", HKEY_DYN_DATA},
        {"HKEY_CURRENT_CONFIG", HKEY_CURRENT_CONFIG},
        {"HKEY_USERS", HKEY_USERS},
        {"HKEY_PERFORMANCE_DATA", HKEY_PERFORMANCE_DATA},
        {"HKCR\\Software", nullptr},
        {"HKC", nullptr},
        {"HKCRX", nullptr},
        {"", nullptr},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ScriptLexer::LookupRootKey(c.name), c.key) << c.name;
}

TEST(LookupValueType, KnowsSDAndBInAnyCase)
{
    const struct {
        const char* letter;
        bool found;
        VARTYPE type;
    } cases[] = {{"S", true, VT_BSTR}, {"s", true, VT_BSTR}, {"D", true, VT_UI4},
                 {"d", true, VT_UI4},  {"B", true, VT_UI1},  {"b", true, VT_UI1},
                 {"sz", false, 0},     {"", false, 0},       {"X", false, 0}};
    for (const auto& c : cases) {
        VARTYPE type = VT_EMPTY;
        EXPECT_EQ(ScriptLexer::LookupValueType(c.letter, &type), c.found) << c.letter;
        if (c.found) {
            EXPECT_EQ(type, c.type) << c.letter;
        }
    }
}

TEST(HexDigitValue, GivesZeroForAnythingButAHexDigit)
{
    const char digits[] = "0123456789abcdef";
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(ScriptLexer::HexDigitValue(digits[i]), i);
        const char upper = digits[i] >= 'a' ? static_cast<char>(digits[i] - 'a' + 'A') : digits[i];
        EXPECT_EQ(ScriptLexer::HexDigitValue(upper), i);
    }
    for (const char c : {'g', ' ', '-', 'G', '\xa0'})
        EXPECT_EQ(ScriptLexer::HexDigitValue(c), 0) << c;
}

}  // namespace
