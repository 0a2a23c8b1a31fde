#include "analysis/TBellRolls.h"
#include "engine/Bells.h"
#include "engine/TBellStore.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tambrel {
namespace {

TEST(TBellRolls, OneRow)
{
    struct Case {
        std::string_view row;
        bool cru, rollUp, rollDown;
        std::string_view up, down;
    };
    for (const Case& c : {
             // Eight bells: a run of two, the treble kept out of the four places.
             Case{"13245678", true, true, false, "13245678", ""},
             Case{"21345678", true, true, false, "21345678", ""},
             Case{"23415678", true, true, false, "23415678", ""}, // treble in t - 4
             Case{"23451678", false, false, false, "", ""},       // treble in 5ths, t - 3
             Case{"23456178", false, false, false, "", ""},       // treble in 6ths, t - 2
             Case{"23456718", false, false, false, "", ""},       // 7th away from home
             Case{"23178456", false, false, false, "", ""},       // treble in t - 2
             Case{"21347856", false, true, false, "213478xx", ""},
             Case{"23487651", false, false, true, "", "xxx87651"},
             Case{"23487615", false, false, false, "", ""}, // treble in 7ths, t + 3
             Case{"23487165", false, false, false, "", ""}, // treble in 6ths, t + 2
             Case{"87654321", false, false, true, "", "87654321"},
             Case{"81234567", false, false, false, "", ""}, // tenor leads: no roll-up
             Case{"12345687", false, false, false, "", ""}, // tenor in 7ths: no roll-down
             // Seven bells: a run of one, so any tenor from 4ths up with the treble clear.
             Case{"1234567", true, true, false, "1234567", ""},
             Case{"2347156", false, true, false, "2347xxx", ""},
             Case{"2317456", false, false, true, "", "xxx7456"},
             Case{"2345671", false, true, false, "234567x", ""},
             Case{"2341567", true, false, false, "2341567", ""}, // treble in t - 3
             Case{"2345617", false, false, false, "", ""},
             Case{"7123456", false, false, false, "", ""},
             // Ten bells: four named bells, no test on the treble.
             Case{"2345617890", false, true, false, "2345617890", ""},
             Case{"2317890456", false, true, false, "2317890xxx", ""},
             Case{"0987123456", false, false, true, "", "0987123456"},
             Case{"1234567809", false, false, false, "", ""},
             // Twelve bells: still four.
             Case{"1234567890ET", true, true, false, "1234567890ET", ""},
             Case{"213456789E0T", false, false, false, "", ""},
             Case{"2134567890ET", true, true, false, "2134567890ET", ""},
             Case{"23T0E1456789", false, false, false, "", ""},
             Case{"23TE09145678", false, false, true, "", "xxTE09145678"},
         }) {
        SCOPED_TRACE(c.row);
        const TBellRolls::RowMusic music =
            TBellRolls::Examine(ParseRow(c.row), static_cast<int>(c.row.size()));
        EXPECT_EQ(music.cru, c.cru);
        EXPECT_EQ(music.rollUp, c.rollUp);
        EXPECT_EQ(music.rollDown, c.rollDown);
        EXPECT_EQ(music.upPattern, c.up);
        EXPECT_EQ(music.downPattern, c.down);
    }
}

// The rows counted are those after the lead's first row, through the next lead head.
TEST(TBellRolls, TheRowsOfALead)
{
    // One change a lead: lead 1 is 13245678, lead 2 comes back to rounds.
    const auto method = test::Calculated(8, "145678");
    TBellRolls rolls;
    for (const int lead : {1, 2}) {
        rolls.Count(*method, lead);
        EXPECT_EQ(rolls.Cru(), 1);
        EXPECT_EQ(rolls.RollUps(), 1);
        EXPECT_EQ(rolls.RollDowns(), 0);
        ASSERT_EQ(rolls.PatternCount(), 1);
        EXPECT_EQ(rolls.Pattern(1), lead == 1 ? "13245678" : "12345678");
    }
    rolls.Count(*method, 3); // past the course
    EXPECT_EQ(rolls.PatternCount(), 0);
    EXPECT_EQ(rolls.Cru(), 0);
}

// A row can give two patterns, so a lead of 100 changes keeps up to 200, none lost and no
// count cut short. On six bells every row with the treble leading and the tenor in 2nds or
// 3rds is a CRU position and a roll-down.
TEST(TBellRolls, TwoPatternsARowOverALongLead)
{
    const auto method = test::Calculated(6, "1234.1236.1256." + test::Repeat("1456.", 96) + "1456");
    ASSERT_EQ(method->LeadLength(), 100);
    TBellRolls rolls;
    rolls.Count(*method, 1);
    EXPECT_EQ(rolls.Cru(), 100);
    EXPECT_EQ(rolls.RollUps(), 1);    // 123465 only: in 123645 the treble is in t - 3
    EXPECT_EQ(rolls.RollDowns(), 98); // 126345 and 162345 in turn
    ASSERT_EQ(rolls.PatternCount(), 198);
    const std::vector<std::string_view> first = {"12346x", "1236xx", "126xxx",
                                                 "xx6345", "16xxxx", "x62345"};
    for (std::size_t k = 0; k < first.size(); ++k) {
        EXPECT_EQ(rolls.Pattern(static_cast<int>(k + 1)), first[k]);
    }
    EXPECT_EQ(rolls.Pattern(197), "16xxxx");
    EXPECT_EQ(rolls.Pattern(198), "x62345");
}

} // namespace
} // namespace tambrel
