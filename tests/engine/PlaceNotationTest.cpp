#include "engine/PlaceNotation.h"
#include "engine/Messages.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tambrel {
namespace {

using test::Repeat;

std::vector<std::string> Split(std::string_view notation, int bells)
{
    ChangeList changes;
    const int count = SplitNotation(notation, bells, changes);
    return {changes.begin(), changes.begin() + count};
}

std::string ErrorAt(std::string_view notation, std::string_view shown)
{
    return "Error in the Place Notation:\r\r" + std::string(notation) + "\r\rError at:\r\r" +
           std::string(shown) + " <--";
}

TEST(CheckPlaceNotation, AcceptsWhatRingersWriteAndShowsWhereErrorsAre)
{
    struct Case {
        std::string_view notation;
        int bells;
        std::string_view shown; // empty: accepted
    };
    for (const Case c : {
             Case{"x18x18x18x18x18x18x18x12", 8, ""},
             Case{"-38-14-1258-36-14-58-16-78 LH 12", 8, ""},
             Case{"3.1.5.1.5.1.5.1.5.1", 5, ""},
             Case{"X16X16 x16", 6, ""},
             Case{"1 2", 5, ""},
             Case{"-38 LH -", 8, ""},
             Case{"-38 le 2", 8, ""},
             Case{"o", 10, ""},
             Case{"1t", 12, ""},
             Case{".12", 6, ""},
             Case{"12.-.14", 6, ""},
             Case{"21", 8, "21"},             // places must ascend
             Case{"13", 8, "13"},             // an odd number of bells between two places
             Case{"9", 8, "9"},               // beyond the stage
             Case{"-", 7, "-"},               // a cross needs an even stage
             Case{"12..14", 8, "12.."},       // two separators
             Case{"-38 L12", 8, "-38 L1"},    // the mark needs H or E
             Case{"-38 LH", 8, "-38 LH"},     // nothing after the mark
             Case{"-38 LH X", 8, "-38 LH X"}, // no substitution after the mark
             Case{"..12", 8, "."},            // two separators at the start
             Case{"12,14", 8, "12,"},         // the comma form is not this grammar
             Case{"-38L", 8, "-38L"},         // the mark cut short at the end
         }) {
        SCOPED_TRACE(c.notation);
        EXPECT_EQ(CheckPlaceNotation(c.notation, c.bells),
                  c.shown.empty() ? "" : ErrorAt(c.notation, c.shown));
    }
}

TEST(CheckPlaceNotation, EmptyAndLengthLimits)
{
    struct Case {
        std::string notation;
        int bells;
        std::string_view message;
    };
    for (const Case& c :
         {Case{"", 8, kMsgNoNotation}, Case{".", 8, kMsgNoNotation}, // no change at all
          Case{Repeat("1.", 100), 5, ""}, Case{Repeat("1.", 101), 5, kMsgTooManyRows},
          // A half lead of 51 changes mirrors to 101.
          Case{Repeat("-", 51) + "LH-", 8, kMsgTooManyRows}, Case{Repeat("-", 50) + "LH-", 8, ""},
          Case{Repeat("x", 10000), 8, kMsgTooManyRows},
          // Nothing before the mark mirrors to nothing, so the changes after it all count.
          Case{"LH" + Repeat("1.", 101), 5, kMsgTooManyRows},
          Case{"LH" + Repeat("1.", 100), 5, ""}}) {
        SCOPED_TRACE(c.notation.substr(0, 20));
        EXPECT_EQ(CheckPlaceNotation(c.notation, c.bells), c.message);
    }
    EXPECT_EQ(CheckPlaceNotation(std::string(10000, '1'), 8),
              ErrorAt(std::string(10000, '1'), "11"));
    // The shown part ends with the whole offending character, however many bytes it has.
    EXPECT_EQ(CheckPlaceNotation("12é4", 8), ErrorAt("12é4", "12é"));
    EXPECT_EQ(CheckPlaceNotation(".12é4", 8), ErrorAt(".12é4", ".12")); // ends before it
    const std::string binary("1\xC3", 2); // a lead byte with nothing after it
    EXPECT_EQ(CheckPlaceNotation(binary, 8), ErrorAt(binary, binary));
}

TEST(SplitNotation, ImpliedPlacesCrossesSeparatorsAndTheMark)
{
    using Changes = std::vector<std::string>;
    struct Case {
        std::string notation;
        int bells;
        Changes changes;
    };
    for (const Case& c :
         {Case{"3", 8, {"38"}}, Case{"2", 8, {"12"}}, Case{"4", 8, {"14"}}, Case{"125", 5, {"125"}},
          Case{"2", 5, {"125"}}, Case{"1", 4, {"14"}}, Case{"x1o", 10, {"", "10"}},
          Case{"-12-14", 6, {"", "12", "", "14"}}, Case{"12.-.14", 6, {"12", "", "14"}},
          Case{"-38 LH -", 8, {"", "38", "", ""}}, Case{"-38 LE 2", 8, {"", "38", "", "12"}},
          Case{"LH12", 6, {"12"}},
          // Unchecked input: places that do not ascend or lie beyond the stage are dropped.
          Case{"21.9", 8, {"12", ""}}, Case{"1.", 99, {}}}) {
        SCOPED_TRACE(c.notation);
        EXPECT_EQ(Split(c.notation, c.bells), c.changes);
    }
    const Changes cambridge = Split("-38-14-1258-36-14-58-16-78 LH 12", 8);
    ASSERT_EQ(cambridge.size(), 32U);
    EXPECT_EQ(Changes(cambridge.rbegin() + 1, cambridge.rend() - 16),
              Changes(cambridge.begin(), cambridge.begin() + 15)); // 17..31 mirror 15..1
    EXPECT_EQ(cambridge[15], "78");
    EXPECT_EQ(cambridge[31], "12");
    // The splitter stops at 100 changes whatever it is given.
    EXPECT_EQ(Split("LH" + Repeat("1.", 100), 5).size(), 100U);
    EXPECT_EQ(Split(Repeat("1.", 300), 5).size(), 100U);
    EXPECT_EQ(Split(Repeat("-", 80) + "LH" + Repeat("-", 80), 8).size(), 100U);
}

TEST(BuildTidyNotation, ShortFormAndRoundTrip)
{
    struct Case {
        std::string_view notation;
        int bells;
        std::string_view tidy;
        bool symmetric;
    };
    for (const Case c :
         {Case{"x18x18x18x18x18x18x18x12", 8, "-1-1-1-1 LH2", true},
          Case{"-38-14-1258-36-14-58-16-78 LH 12", 8, "-3-4-25-36-4-5-6-7 LH2", true},
          Case{"x16x16x16x16x16x12", 6, "-1-1-1 LH2", true},
          Case{"3.1.5.1.5.1.5.1.5.1", 5, "3.1.5.1.5.1.5.1.5.1", false},
          Case{"-38 LH -", 8, "-3 LH-", true}, Case{"1456.36.12", 6, "45.3.2", false},
          Case{"x.12", 6, "- LH2", true},
          // Mirrored except for the changes either side of the half-lead: no mark.
          Case{"x14x16.36.14x12", 6, "-4-1.3.4-2", false}}) {
        SCOPED_TRACE(c.notation);
        const std::vector<std::string> changes = Split(c.notation, c.bells);
        const TidyForm tidy = BuildTidyNotation(changes, c.bells);
        EXPECT_EQ(tidy.notation, c.tidy);
        EXPECT_EQ(tidy.symmetric, c.symmetric);
        EXPECT_EQ(CheckPlaceNotation(tidy.notation, c.bells), "");
        EXPECT_EQ(Split(tidy.notation, c.bells), changes);
    }
}

} // namespace
} // namespace tambrel
