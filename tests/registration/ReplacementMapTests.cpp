// The replacement map and the quoting of values for quoted script text.

#include <gtest/gtest.h>

#include "registration/EscapeQuotes.h"
#include "registration/ReplacementMap.h"
#include "registration/ScriptParser.h"

#include <string>

namespace {

TEST(ReplacementMap, LooksNamesUpWithoutRegardToCaseFirstPairWinning)
{
    ReplacementMap map;
    ASSERT_EQ(map.Insert(L"Module", L"first"), S_OK);
    ASSERT_EQ(map.Insert(L"MODULE", L"second"), S_OK);
    ASSERT_EQ(map.Insert(L"Other", L""), S_OK);
    EXPECT_STREQ(map.Lookup("module"), L"first");
    EXPECT_STREQ(map.Lookup("MODULE"), L"first");
    EXPECT_STREQ(map.Lookup("other"), L"");
    EXPECT_EQ(map.Lookup("Modul"), nullptr);
    EXPECT_EQ(map.Lookup("Modules"), nullptr);
    EXPECT_EQ(map.Lookup(""), nullptr);
}

// A lookup converts the stored names on the stack, so a name longer than any
// reference can be matches none, not even by its first bytes.
TEST(ReplacementMap, FindsTheLongestReferenceNameAndNothingLonger)
{
    const std::wstring longest(ReferenceNameMaxBytes, L'N');
    const std::wstring longer(ReferenceNameMaxBytes + 1, L'L');
    ReplacementMap map;
    ASSERT_EQ(map.Insert(longest.c_str(), L"longest"), S_OK);
    ASSERT_EQ(map.Insert(longer.c_str(), L"longer"), S_OK);
    EXPECT_STREQ(map.Lookup(std::string(ReferenceNameMaxBytes, 'n').c_str()), L"longest");
    EXPECT_EQ(map.Lookup(std::string(ReferenceNameMaxBytes, 'L').c_str()), nullptr);
    EXPECT_EQ(map.Lookup(std::string(ReferenceNameMaxBytes + 1, 'L').c_str()), nullptr);
}

TEST(ReplacementMap, DoublesItsCapacityAndKeepsItOverAReset)
{
    ReplacementMap map;
    EXPECT_EQ(map.Capacity(), 10);
    wchar_t name[] = L"Pa";
    for (int i = 0; i < 11; ++i) {
        name[1] = static_cast<wchar_t>(L'a' + i);
        ASSERT_EQ(map.Insert(name, name), S_OK);
    }
    EXPECT_EQ(map.Count(), 11);
    EXPECT_EQ(map.Capacity(), 20);
    EXPECT_STREQ(map.Lookup("PK"), L"Pk");
    EXPECT_EQ(map.Reset(), S_OK);
    EXPECT_EQ(map.Count(), 0);
    EXPECT_EQ(map.Capacity(), 20);
    EXPECT_EQ(map.Lookup("Pa"), nullptr);
}

TEST(EscapeQuotes, DoublesEverySingleQuote)
{
    const struct {
        const wchar_t* source;
        const wchar_t* escaped;
    } cases[] = {
        {L"C:\\Program Files\\It's\\server.dll", L"C:\\Program Files\\It''s\\server.dll"},
        {L"C:\\plain\\path.dll", L"C:\\plain\\path.dll"},
        {L"''", L"''''"},
        {L"", L""},
    };
    for (const auto& c : cases) {
        wchar_t destination[80];
        EscapeQuotes(destination, c.source);
        EXPECT_STREQ(destination, c.escaped);
    }
}

}  // namespace
