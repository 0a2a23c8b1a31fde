#include "analysis/TBellStats.h"
#include "analysis/TBellFCH.h"
#include "analysis/TBellRolls.h"
#include "engine/CCNotation.h"
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"
#include "tables/Delimited.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {
namespace {

// One finder, counter and sheet for every method a test works out, so that nothing of an
// earlier method may stand in a later one's lines.
struct Stats {
    std::unique_ptr<TBellStore> store;
    TBellFCH fch;
    TBellRolls rolls;
    TBellStats stats;

    const StatsLines& Compute(int bells, std::string_view notation)
    {
        store = test::Calculated(bells, ExpandTypedNotation(notation));
        stats.Calculate(*store, fch, rolls);
        return stats.Lines();
    }
};

// Known values, found apart from the program: the class follows the collection's lh_code
// column, symmetry was checked by hand on each notation, and the tenor's figures and the rolls
// come from a separate script that rings the plain course row by row. In x14xx14x the tenor
// turns twice (a score of 2 in 6 blows); in "x" and "16" it never starts a path.
struct Known {
    std::string_view method;
    int bells;
    std::string_view notation; // the Council's or this program's
    std::string sentence;
    int lead, course, right, reversals, average, difficulty; // right < 0: no path to analyse
    int cru = 0, ups = 0, downs = 0;
    std::string_view pattern = ""; // of the roll-ups, from 7 bells; roll-downs reverse it
};

TEST(StatsSheet, KnownMethodsOf4To16Bells)
{
    const std::string regular = "a Regular Symetric Method of Lead Head Group ";
    const std::string irregular = "a Regular Assymetric Method of Lead Head Group ";
    const Known known[] = {
        {"Plain hunt on 4", 4, "x14x14x14x14", "a Symetric Cyclic Method", 8, 8, 100, 0, 0, 4},
        {"Reversals", 4, "x14xx14x", "a Assymetric Cyclic Method", 6, 6, 33, 2, 3, 7},
        // Its lead head 1342 is cyclic too, but it has a lead-head code.
        {"Plain Bob Minimus", 4, "-14-14,12", regular + "A", 8, 24, 100, 0, 0, 20},
        {"Cherington Al Minimus", 4, "-14-14-14.34", "a Assymetric Cyclic Method", 7, 21, 43, 1, 21,
         20},
        {"Dodging 3-4", 4, "x", "a Assymetric Differential Method", 1, 2, -1, 0, 0, 0},
        {"Aldingbourne Differential", 5, "5,1.3.5.3.5.3.145.3.5.345",
         "a Assymetric Differential Method", 20, 120, 57, 8, 15, 572},
        {"Tenor at home", 6, "16", "a Assymetric Differential Method", 1, 2, -1, 0, 0, 0},
        {"Cambridge S Minor", 6, "-36-14-12-36-14-56,12", regular + "B", 24, 120, 100, 0, 0, 148},
        {"Stedman Triples", 7, "3.1.7.3.1.3,1", "an Irregular Symetric Method", 12, 84, 83, 4, 21,
         160, 12, 26, 23, "xxx7"},
        {"Bristol S Major", 8, "-58-14.58-58.36.14-14.58-14-18,18", regular + "M", 32, 224, 64, 24,
         9, 2106, 8, 19, 19, "xx78"},
        {"Kent TB Major", 8, "34-34.18-12-18-12-18-12-18,18", regular + "M", 32, 224, 96, 0, 0, 228,
         8, 9, 7, "xx78"},
        {"Grandsire Caters", 9, "3,1.9.1.9.1.9.1.9.1", irregular + "A", 18, 126, 100, 0, 0, 52, 4,
         6, 6, "x789"},
        {"Cambridge S Royal", 10, "-30-14-1250-36-1470-58-16-70-18-90,12", regular + "B", 40, 360,
         100, 0, 0, 404, 8, 10, 1, "7890"},
        {"Cambridge S Maximus", 12, "-3T-14-125T-36-147T-58-169T-70-18-9T-10-ET,12", regular + "B",
         48, 528, 100, 0, 0, 580, 8, 14, 1, "90ET"},
        {"Cambridge S Fourteen", 14, "-3B-14-125B-36-147B-58-169B-70-18EB-9T-10-EB-1T-AB,12",
         regular + "B", 56, 728, 100, 0, 0, 788, 8, 18, 1, "ETAB"},
        {"Cambridge S Sixteen", 16, "-3D-14-125D-36-147D-58-169D-70-18ED-9T-10AD-EB-1T-AD-1B-CD,12",
         regular + "B", 64, 960, 100, 0, 0, 1028, 8, 22, 1, "ABCD"},
    };
    Stats s;
    for (const Known& k : known) {
        SCOPED_TRACE(k.method);
        const StatsLines& lines = s.Compute(k.bells, k.notation);
        std::vector<std::string> expected = {
            "This is " + std::string(k.sentence), "Changes in One Lead = " + std::to_string(k.lead),
            "Changes in the Plain Course = " + std::to_string(k.course)};
        if (k.right < 0) {
            expected.insert(expected.end(), {"Unable to analyse Right Places etc.", "", ""});
        } else {
            expected.push_back("Right Places = " + std::to_string(k.right) + "%");
            expected.push_back("Changes of Direction = " + std::to_string(k.reversals));
            if (k.reversals > 0) {
                expected.push_back("Average number of blows between direction changes = " +
                                   std::to_string(k.average));
            }
            expected.push_back("Difficulty Index = " + std::to_string(k.difficulty));
        }
        if (k.bells >= 7) {
            std::string down(k.pattern.rbegin(), k.pattern.rend());
            expected.push_back("CRU Positions = " + std::to_string(k.cru));
            expected.push_back("Four Bell plus Roll Ups (" + std::string(k.pattern) +
                               ") = " + std::to_string(k.ups));
            expected.push_back("Four Bell plus Roll Downs (" + down +
                               ") = " + std::to_string(k.downs));
        }
        std::vector<std::string> body;
        for (const SheetLine& line : s.stats.BodyLines()) {
            EXPECT_FALSE(line.bold) << line.text;
            body.push_back(line.text);
        }
        if (!lines.fchGroups.empty()) {
            body.pop_back(); // the groups are checked below and against the collection
        }
        EXPECT_EQ(body, expected);
    }
}

TEST(StatsSheet, ACourseCutAt2000RowsHasNeitherRollsNorGroups)
{
    // 68 changes a lead on 16 bells, a course of more than 2000 rows: 29 whole leads are used.
    // Lead head 536148207T9BEDAC: no code, the treble in a cycle of 1, 5 and 4 apart from the
    // other bells. The tenor's values from the same script, over the first 1972 rows.
    Stats s;
    s.Compute(16, test::Repeat("x16", 17) + "LH1D");
    const std::vector<SheetLine> expected = {
        {"This is a Symetric Differential Method", false},
        {"Changes in One Lead = 68", false},
        {"This method has over 2000 rows in the Plain Course.", true},
        {"Only the first 1972 have been used to calculate the following figures:", true},
        {"Right Places = 100%", false},
        {"Changes of Direction = 0", false},
        {"Difficulty Index = 3172", false}};
    EXPECT_EQ(s.stats.BodyLines(), expected);
}

TEST(StatsRules, RoundingAndTheDifficultyIndex)
{
    // Halves go to the even neighbour.
    const std::pair<double, long> rounding[] = {
        {2.5, 2},    {3.5, 4},    {-2.5, -2},    {-3.5, -4}, {0.5, 0},       {-0.5, 0},
        {2.4999, 2}, {2.5001, 3}, {-2.5001, -3}, {7.0, 7},   {100.0 / 3, 33}};
    for (const auto& [value, rounded] : rounding) {
        EXPECT_EQ(RoundHalfEven(value), rounded) << value;
    }
    // movement + movement x reversals x 0.5 x (1 - |rows - 2 score| / rows), held in single
    // precision before rounding.
    struct Case {
        int movement, reversals, score, rows;
        long index;
    };
    for (const Case c : {
             Case{4, 0, 8, 8, 4},   // no reversals: the movement alone
             Case{4, 2, 2, 6, 7},   // 4 + 4 x 2 x 0.5 x (1 - 2/6) = 6.67
             Case{1, 33, 1, 6, 6},  // 6.500000000000001 in double, 6.5 in single: even
             Case{3, 19, 1, 6, 12}, // 12.500000000000002 likewise
             Case{9, 1, 0, 2, 9},   // no right places in 2 blows: the movement alone
             Case{9, 1, 1, 2, 14},  // 9 + 9 x 1 x 0.5 x 1 = 13.5: even
         }) {
        EXPECT_EQ(DifficultyIndex(c.movement, c.reversals, c.score, c.rows), c.index)
            << c.movement << " " << c.reversals << " " << c.score << " " << c.rows;
    }
}

TEST(StatsGroups, EveryOrderOfTheWorkingBellsHasOneRowOfItsOwnParity)
{
    std::string order = "23456";
    std::map<int, int> members;
    do {
        int inversions = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            for (std::size_t j = i + 1; j < order.size(); ++j) {
                inversions += order[i] > order[j] ? 1 : 0;
            }
        }
        const int row = TBellStats::GroupRowOf(order);
        // In-course course heads are the even orders: they belong to rows 1 to 22.
        EXPECT_TRUE(row >= 1 && row <= 41 && (inversions % 2 == 0) == (row <= 22)) << order;
        ++members[row];
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(members.size(), 41U); // no row stands for nothing
    for (int row = 1; row <= 41; ++row) {
        EXPECT_EQ(TBellStats::GroupRowOf(TBellStats::Group(row).fch), row);
    }
    for (const std::string_view other : {"265743", "60+ FCHs", "", "2345", "23457", "22345"}) {
        EXPECT_EQ(TBellStats::GroupRowOf(other), 0) << other;
    }
}

TEST(StatsGroups, WhenTheLineIsWrittenAndHowItNamesTheGroups)
{
    struct Case {
        std::string method;
        int bells;
        std::string notation, line;
    };
    Stats s;
    for (const Case& c : {
             Case{"Plain Bob Major", 8, "x18x18x18x18,12", "FCH Groups = CPS"},
             Case{"Plain Bob Royal", 10, "x10x10x10x10x10,12",
                  "FCH Groups = CPS (In)  and  CPS (Out)"},
             Case{"Lincolnshire S Major", 8, "-38-14-58-16-14-58-36-78,12", "FCH Groups = BLce"},
             // Royal names the parts of a group and separates the names.
             Case{"Eanam Wharf D Royal", 10, "-50-16-12-10-12-1258-16-1670-58-70,12",
                  "FCH Groups = CPS (In)  and  B,N1,a2,c (Out)"},
             // Course heads count for their groups though not the table's own: in-course
             // 24365 (B itself); out-of-course 23654, 25436 and 43256 of B's part and 63452
             // of D's.
             Case{"The Wise Woman Alliance Royal", 10, "-30-14.50.12-10-12-58.16.30.18.30,10",
                  "FCH Groups = B (In)  and  B,D (Out)"},
             // In-course 43652 and 63254, both of U1 but not its 34256.
             Case{"Leda Little Alliance Sixteen", 16, "-3D.14-12,1D",
                  "FCH Groups = U1 (In)  and  CPS (Out)"},
             // On 8 bells the out-of-course part of F (26345 24563) has no letter of its own:
             // found without the in-course part, it adds nothing.
             Case{"Huntsham Major", 8, "-38-14-58-16-12-38-14-78-18-18-18-12", "FCH Groups = Bc"},
             // No line: lead-head code above M, no code, odd bells, under 8 bells.
             Case{"Carshalton Bob Major (P)", 8, "38,16-16-18-58-", ""},
             Case{"Plain hunt on 8 (Z)", 8, "x18x18x18x18,18", ""},
             Case{"Grandsire Caters", 9, "3,1.9.1.9.1.9.1.9.1", ""},
             Case{"Plain Bob Minor", 6, "x16x16x16,12", ""},
         }) {
        SCOPED_TRACE(c.method);
        EXPECT_EQ(s.Compute(c.bells, c.notation).fchGroups, c.line);
        int found = 0;
        for (int row = 1; row <= TBellStats::kGroupRows; ++row) {
            found += s.stats.Found(row) ? 1 : 0;
        }
        const bool none = c.line.empty() || c.line == "FCH Groups = CPS" ||
                          c.line == "FCH Groups = CPS (In)  and  CPS (Out)";
        EXPECT_EQ(found == 0, none); // nothing of the method before
        if (c.method == "Huntsham Major") {
            EXPECT_TRUE(s.stats.Found(27));
            EXPECT_FALSE(s.stats.Found(6));
        }
    }
}

// The Council writes Major groups as letters run together and Royal ones as in/out.
std::string CouncilForm(std::string line)
{
    for (const auto& [from, to] :
         std::vector<std::pair<std::string, std::string>>{{"FCH Groups = ", ""},
                                                          {" (In)  and  ", "/"},
                                                          {" (Out)", ""},
                                                          {",", ""},
                                                          {"CPS", ""}}) {
        for (std::size_t at = line.find(from); at != std::string::npos; at = line.find(from, at)) {
            line.replace(at, from.size(), to);
        }
    }
    return line;
}

TEST(StatsCollection, FchGroupsAgreeWithTheCouncil)
{
    std::ifstream csv(TAMBREL_COLLECTION_CSV, std::ios::binary);
    if (!csv) {
        GTEST_SKIP() << "the reference collection is not beside the checkout";
    }
    std::string line;
    std::getline(csv, line);
    const std::vector<std::string> header = SplitDelimitedLine(line);
    const std::size_t stage = test::ColumnOf(header, "stage");
    const std::size_t title = test::ColumnOf(header, "title");
    const std::size_t notation = test::ColumnOf(header, "notation");
    const std::size_t groups = test::ColumnOf(header, "fch_groups");
    int compared = 0;
    Stats s;
    while (std::getline(csv, line)) {
        const std::vector<std::string> values = SplitDelimitedLine(line);
        if (values.size() <= groups || values[groups].empty()) {
            continue;
        }
        SCOPED_TRACE(values[title]);
        const int bells = std::stoi(values[stage]);
        const Result<std::string> expanded = ExpandCCNotation(values[notation]);
        ASSERT_TRUE(expanded && CheckPlaceNotation(*expanded.value, bells).empty());
        EXPECT_EQ(CouncilForm(s.Compute(bells, *expanded.value).fchGroups), values[groups]);
        ++compared;
    }
    EXPECT_EQ(compared, 157);
}

} // namespace
} // namespace tambrel
