// The replacement map of script references.

#include <gtest/gtest.h>

#include "regscript/ReplacementMap.h"

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
    const std::wstring longest(kReferenceNameMaxBytes, L'N');
    const std::wstring longer(kReferenceNameMaxBytes + 1, L'L');
    ReplacementMap map;
    ASSERT_EQ(map.Insert(longest.c_str(), L"longest"), S_OK);
    ASSERT_EQ(map.Insert(longer.c_str(), L"longer"), S_OK);
    EXPECT_STREQ(map.Lookup(std::string(kReferenceNameMaxBytes, 'n').c_str()), L"longest");
    EXPECT_EQ(map.Lookup(std::string(kReferenceNameMaxBytes, 'L').c_str()), nullptr);
    EXPECT_EQ(map.Lookup(std::string(kReferenceNameMaxBytes + 1, 'L').c_str()), nullptr);
}

// Far more pairs than the first pointer array holds: every one stays
// findable with its own value as the array grows.
TEST(ReplacementMap, ManyPairsAllStayFindable)
{
    constexpr int kPairs = 200;
    ReplacementMap map;
    for (int i = 0; i < kPairs; ++i) {
        const std::wstring index = std::to_wstring(i);
        ASSERT_EQ(map.Insert((L"Name" + index).c_str(), (L"value " + index).c_str()), S_OK) << i;
    }
    EXPECT_EQ(map.Count(), kPairs);
    for (int i = 0; i < kPairs; ++i) {
        const std::string index = std::to_string(i);
        EXPECT_STREQ(map.Lookup(("NAME" + index).c_str()), (L"value " + std::to_wstring(i)).c_str()) << i;
    }
    EXPECT_EQ(map.Lookup("Name200"), nullptr);
}

// After a reset the old names are gone, and the map takes new pairs,
// including the old names with new values.
TEST(ReplacementMap, AResetForgetsEveryPairAndTakesNewOnes)
{
    ReplacementMap map;
    for (const wchar_t* name : {L"Module", L"Other", L"Third"})
        ASSERT_EQ(map.Insert(name, L"before"), S_OK);
    map.Reset();
    EXPECT_EQ(map.Count(), 0);
    for (const char* name : {"Module", "Other", "Third"})
        EXPECT_EQ(map.Lookup(name), nullptr) << name;

    ASSERT_EQ(map.Insert(L"Module", L"after"), S_OK);
    ASSERT_EQ(map.Insert(L"New", L"new"), S_OK);
    EXPECT_STREQ(map.Lookup("module"), L"after") << "no pair from before the reset may win";
    EXPECT_STREQ(map.Lookup("new"), L"new");
    EXPECT_EQ(map.Lookup("Other"), nullptr);
}

}  // namespace
