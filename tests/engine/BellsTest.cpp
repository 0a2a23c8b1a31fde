#include "engine/Bells.h"
#include "engine/TextFunctions.h"

#include <gtest/gtest.h>

#include <algorithm>

#include <string>
#include <string_view>

namespace tambrel {
namespace {

TEST(Bells, SymbolsAndNumbers)
{
    EXPECT_EQ(SymbolOf(10), '0');
    EXPECT_EQ(SymbolOf(12), 'T');
    EXPECT_EQ(SymbolOf(16), 'D');
    EXPECT_EQ(BellOf('E'), 11);
    EXPECT_EQ(BellOf('e'), 11); // input is upper-cased first
    EXPECT_EQ(BellOf('0'), 10);
    EXPECT_EQ(BellOf('X'), 0);
    EXPECT_EQ(BellOf('-'), 0);
    EXPECT_EQ(RoundsText(12), "1234567890ET");
    EXPECT_EQ(RowText(Rounds(16), 16), "1234567890ETABCD");
}

TEST(Bells, StageNamesAndListEntries)
{
    EXPECT_EQ(StageName(4), "Minimus");
    EXPECT_EQ(StageName(9), "Caters");
    EXPECT_EQ(StageName(14), "Fourteen");
    EXPECT_EQ(StageName(16), "Sixteen");
    EXPECT_EQ(StageName(3), "");
    EXPECT_EQ(StageName(17), "");
    EXPECT_EQ(StageListEntry(4), "  4 - Minimus");
    EXPECT_EQ(StageListEntry(16), "16 - Sixteen");
}

TEST(Bells, MovementOfCrossAndPlaces)
{
    const Movement cross = ChangeMovement("", 6);
    const Movement fourths = ChangeMovement("14", 6);
    const int expectedCross[6] = {1, -1, 1, -1, 1, -1};
    const int expectedFourths[6] = {0, 1, -1, 0, 1, -1};
    for (std::size_t p = 0; p < 6; ++p) {
        EXPECT_EQ(cross[p], expectedCross[p]) << "position " << p + 1;
        EXPECT_EQ(fourths[p], expectedFourths[p]) << "position " << p + 1;
    }
    EXPECT_EQ(cross[6], 0); // positions past the stage never move
}

TEST(Bells, ApplyChangeOnEight)
{
    struct Case {
        std::string_view change, expected;
    };
    for (const Case c : {Case{"", "21436587"}, Case{"18", "13254768"}, Case{"12", "12436587"}}) {
        SCOPED_TRACE(c.change);
        EXPECT_EQ(RowText(ApplyChange(Rounds(8), ChangeMovement(c.change, 8)), 8), c.expected);
    }
}

TEST(Bells, BrokenChangesStillPermute)
{
    // A cross on an odd stage or places that do not ascend never push a bell off the row.
    for (const std::string_view change : {"", "13", "31", "9", "2"}) {
        SCOPED_TRACE(change);
        const std::string row = RowText(ApplyChange(Rounds(7), ChangeMovement(change, 7)), 7);
        std::string sorted = row;
        std::sort(sorted.begin(), sorted.end());
        EXPECT_EQ(sorted, "1234567");
    }
}

TEST(TextFunctions, CutsTakeWhatThereIs)
{
    EXPECT_EQ(Left("abc", 2), "ab");
    EXPECT_EQ(Left("abc", 10), "abc");
    EXPECT_EQ(Left("abc", -1), "");
    EXPECT_EQ(Mid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(Mid("abcdef", 5, 10), "ef");
    EXPECT_EQ(Mid("abc", 4, 1), "");
    EXPECT_EQ(Mid("abc", 0, 1), "");
    EXPECT_EQ(Right("abcdef", 2), "ef");
    EXPECT_EQ(Right("ab", 5), "ab");
}

TEST(TextFunctions, TrimsAndPadding)
{
    EXPECT_EQ(TrimRight("  ab  "), "  ab");
    EXPECT_EQ(Trim("  ab c  "), "ab c");
    EXPECT_EQ(Trim("    "), "");
    EXPECT_EQ(PadRight("8", 2), "8 ");
    EXPECT_EQ(PadRight("12", 2), "12");
    EXPECT_EQ(PadRight("123", 2), "12");
}

TEST(TextFunctions, NumbersAsText)
{
    EXPECT_EQ(ZeroFill(7, 3), "007");
    EXPECT_EQ(ZeroFill(1234, 3), "234");
    EXPECT_EQ(GroupThousands(0), "0");
    EXPECT_EQ(GroupThousands(999), "999");
    EXPECT_EQ(GroupThousands(1000), "1,000");
    EXPECT_EQ(GroupThousands(1234567), "1,234,567");
}

TEST(TextFunctions, UpperCaseOfNames)
{
    EXPECT_EQ(UpperCase("Cambridge Surprise Major"), "CAMBRIDGE SURPRISE MAJOR");
    EXPECT_EQ(UpperCase("Sainte-Mère-Église"), "SAINTE-MÈRE-ÉGLISE");
    EXPECT_EQ(UpperCase("Škoda Łódź ÿ"), "ŠKODA ŁÓDŹ Ÿ");
    EXPECT_EQ(UpperCase("ṟ"), "Ṟ");
    EXPECT_EQ(UpperCase("straße £2 ₃"), "STRAßE £2 ₃"); // no single upper-case sharp s
    // Broken UTF-8 passes unchanged rather than being lost.
    EXPECT_EQ(UpperCase(std::string("a\xC3") + "b\xFF"), std::string("A\xC3") + "B\xFF");
}

TEST(TextFunctions, Utf8CutsKeepWholeCharacters)
{
    EXPECT_EQ(Utf8Length("Église"), 6);
    EXPECT_EQ(Utf8Left("Église", 1), "É");
    EXPECT_EQ(Utf8Left("ab", 5), "ab");
    EXPECT_EQ(Utf8Length("\xFF\xFE"), 2);
}

} // namespace
} // namespace tambrel
