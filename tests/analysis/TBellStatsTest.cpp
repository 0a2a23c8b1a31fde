// The statistics sheet's lines: classification, the tenor's path, roll-ups and the false course
// head groups, and the groups against the Central Council's collection.
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
#include <array>
#include <fstream>
#include <iostream>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace tambrel {
namespace {

// A method calculated from its notation (Tambrel's or the Council's comma form), with the
// statistics worked out by a finder and counter of its own.
struct Stats {
    std::unique_ptr<TBellStore> store = std::make_unique<TBellStore>();
    TBellFCH fch;
    TBellRolls rolls;
    TBellStats stats;

    Stats() = default;
    Stats(int bells, std::string_view notation) { Compute(bells, notation); }
    void Compute(int bells, std::string_view notation)
    {
        store->SetBells(bells);
        store->SetName("TEST");
        store->SetPlaceNotation(ExpandTypedNotation(notation));
        store->Calculate();
        stats.Calculate(*store, fch, rolls);
    }
    const StatsLines& Lines() const { return stats.Lines(); }
};

TEST(StatsGroups, EveryOrderOfTheWorkingBellsHasOneRowOfItsOwnParity)
{
    std::string order = "23456";
    std::map<int, int> members;
    int orders = 0;
    do {
        SCOPED_TRACE(order);
        int inversions = 0;
        for (std::size_t i = 0; i < order.size(); ++i) {
            for (std::size_t j = i + 1; j < order.size(); ++j) {
                inversions += order[i] > order[j] ? 1 : 0;
            }
        }
        const int row = TBellStats::GroupRowOf(order);
        ASSERT_GE(row, 1);
        ASSERT_LE(row, 41);
        // In-course course heads are the even orders: they belong to rows 1 to 22.
        EXPECT_EQ(inversions % 2 == 0, row <= 22);
        ++members[row];
        ++orders;
    } while (std::next_permutation(order.begin(), order.end()));
    EXPECT_EQ(orders, 120);
    EXPECT_EQ(members.size(), 41U); // no row stands for nothing
    for (int row = 1; row <= 41; ++row) {
        SCOPED_TRACE(row);
        EXPECT_EQ(TBellStats::GroupRowOf(TBellStats::Group(row).fch), row);
    }
    for (const std::string_view other : {"265743", "60+ FCHs", "", "2345", "23457", "22345"}) {
        EXPECT_EQ(TBellStats::GroupRowOf(other), 0) << other;
    }
}

TEST(StatsRounding, HalvesGoToTheEvenNeighbour)
{
    struct Case {
        double value;
        long rounded;
    };
    for (const Case c :
         {Case{2.5, 2}, Case{3.5, 4}, Case{-2.5, -2}, Case{-3.5, -4}, Case{0.5, 0}, Case{-0.5, 0},
          Case{2.4999, 2}, Case{2.5001, 3}, Case{-2.5001, -3}, Case{7.0, 7}, Case{100.0 / 3, 33}}) {
        EXPECT_EQ(RoundHalfEven(c.value), c.rounded) << c.value;
    }
}

TEST(StatsDifficulty, HeldInSinglePrecisionBeforeRounding)
{
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
        SCOPED_TRACE(testing::Message()
                     << c.movement << " " << c.reversals << " " << c.score << " " << c.rows);
        EXPECT_EQ(DifficultyIndex(c.movement, c.reversals, c.score, c.rows), c.index);
    }
}

TEST(StatsClassification, TheFirstRuleThatApplies)
{
    struct Case {
        int bells;
        std::string notation, sentence;
    };
    for (const Case& c : {
             Case{8, "-38-14-1258-36-14-58-16-78,12",
                  "This is a Regular Symetric Method of Lead Head Group B"},
             // Plain Bob Minimus: its lead head 1342 is cyclic too, but it has a code.
             Case{4, "-14-14,12", "This is a Regular Symetric Method of Lead Head Group A"},
             // Lead head rounds, no code: it passes the cyclic test.
             Case{4, "x14x14x14x14", "This is a Symetric Cyclic Method"},
             Case{4, "-14-14-14.34", "This is a Assymetric Cyclic Method"}, // lead head 1342
             // Lead head 21534: bells 1 and 2 swap, 3, 4 and 5 go round apart from them.
             Case{5, "5,1.3.5.3.5.3.145.3.5.345", "This is a Assymetric Differential Method"},
             Case{7, "3.1.7.3.1.3,1", "This is an Irregular Symetric Method"}, // Stedman
         }) {
        SCOPED_TRACE(c.notation);
        const Stats s(c.bells, c.notation);
        EXPECT_EQ(s.Lines().classification, c.sentence);
    }
}

TEST(StatsTenorPath, RightPlacesDirectionChangesAndDifficulty)
{
    struct Case {
        int bells;
        std::string notation;
        std::array<std::string, 4> lines; // right places, direction, average, difficulty
    };
    for (const Case& c : {
             // Plain hunting: every blow a right place, no reversal.
             Case{4,
                  "x14x14x14x14",
                  {"Right Places = 100%", "Changes of Direction = 0", "", "Difficulty Index = 4"}},
             // The tenor hunts down to lead, turns at once, hunts up and turns at once again:
             // two reversals (not in a row), score 2 of 6 blows.
             Case{4,
                  "x14xx14x",
                  {"Right Places = 33%", "Changes of Direction = 2",
                   "Average number of blows between direction changes = 3",
                   "Difficulty Index = 7"}},
             // The tenor only dodges 3-4 (Cross Minimus), or never moves: no starting blow.
             Case{4, "x", {"Unable to analyse Right Places etc.", "", "", ""}},
             Case{6, "16", {"Unable to analyse Right Places etc.", "", "", ""}},
         }) {
        SCOPED_TRACE(c.notation);
        const Stats s(c.bells, c.notation);
        EXPECT_EQ(s.Lines().rightPlaces, c.lines[0]);
        EXPECT_EQ(s.Lines().changesOfDirection, c.lines[1]);
        EXPECT_EQ(s.Lines().averageBlows, c.lines[2]);
        EXPECT_EQ(s.Lines().difficulty, c.lines[3]);
    }
}

TEST(StatsRolls, PatternsFollowTheStageAndCountEveryLead)
{
    struct Case {
        int bells;
        std::string notation, up, down;
    };
    for (const Case& c : {
             Case{6, "x16x16x16,12", "", ""}, // under 7 bells: no roll lines at all
             Case{7, "3,1.7.1.7.1.7.1.7.1.7.1.7.1", "xxx7", "7xxx"},
             Case{8, "-38-14-1258-36-14-58-16-78,12", "xx78", "87xx"},
             Case{9, "3,1.9.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1", "x789", "987x"},
             Case{10, "x10x10x10x10x10,12", "7890", "0987"},
             Case{12, "-3T-14-125T-36-147T-58-169T-70-18-9T-10-ET,1T", "90ET", "TE09"},
         }) {
        SCOPED_TRACE(c.bells);
        Stats s(c.bells, c.notation);
        if (c.up.empty()) {
            EXPECT_EQ(s.Lines().cruPositions, "");
            EXPECT_EQ(s.Lines().rollUps, "");
            EXPECT_EQ(s.Lines().rollDowns, "");
            continue;
        }
        // The totals are over every lead of the plain course.
        int cru = 0;
        int ups = 0;
        int downs = 0;
        for (int lead = 1; lead <= s.store->LeadsInCourse(); ++lead) {
            TBellRolls rolls;
            rolls.Count(*s.store, lead);
            cru += rolls.Cru();
            ups += rolls.RollUps();
            downs += rolls.RollDowns();
        }
        EXPECT_GT(ups + downs, 0);
        EXPECT_EQ(s.Lines().cruPositions, "CRU Positions = " + std::to_string(cru));
        EXPECT_EQ(s.Lines().rollUps,
                  "Four Bell plus Roll Ups (" + c.up + ") = " + std::to_string(ups));
        EXPECT_EQ(s.Lines().rollDowns,
                  "Four Bell plus Roll Downs (" + c.down + ") = " + std::to_string(downs));
    }
}

// The line the table's own course heads alone would give, as the sheet once read them: each
// FCH counts only when it is some row's text. `offTable` tells whether any FCH was passed over.
std::string OnlyTheTablesOwnRows(const TBellStore& store, TBellFCH& fch, bool& offTable)
{
    using List = TBellFCH::List;
    const int bells = store.Bells();
    offTable = false;
    std::array<bool, TBellStats::kGroupRows + 1> found{};
    const auto look = [&](List list, int first, int last) {
        for (int k = 1; k <= fch.Count(list); ++k) {
            bool hit = false;
            for (int row = first; row <= last && !hit; ++row) {
                hit = TBellStats::Group(row).fch == fch.Entry(list, k);
                found[static_cast<std::size_t>(row)] = found[static_cast<std::size_t>(row)] || hit;
            }
            offTable = offTable || !hit;
        }
    };
    for (int lead = 1; lead <= store.LeadsInCourse(); ++lead) {
        fch.Search(store, store, lead, false, false);
        look(List::InCourse, 1, 22);
        look(List::OutOfCourse, 23, 41);
        if (bells == 8) {
            look(List::SplitIn, 42, 44);
            look(List::SplitOut, 42, 44);
        }
    }
    std::string in;
    std::string out;
    for (int row = 1; row <= TBellStats::kGroupRows; ++row) {
        if (found[static_cast<std::size_t>(row)]) {
            const GroupRow& group = TBellStats::Group(row);
            (row <= 22 ? in : out) +=
                bells == 8 ? std::string(group.nameOnEight) : std::string(group.nameOnMore) + ",";
        }
    }
    if (bells == 8) {
        return "FCH Groups = " + (in.empty() && out.empty() ? std::string("CPS") : in + out);
    }
    in = in.empty() ? "CPS" : in.substr(0, in.size() - 1);
    out = out.empty() ? "CPS" : out.substr(0, out.size() - 1);
    return "FCH Groups = " + in + " (In)  and  " + out + " (Out)";
}

TEST(StatsGroups, WhenTheLineIsWrittenAndHowItNamesTheGroups)
{
    struct Case {
        std::string method;
        int bells;
        std::string notation, line;
    };
    for (const Case& c : {
             Case{"Plain Bob Major", 8, "x18x18x18x18,12", "FCH Groups = CPS"},
             Case{"Plain Bob Royal", 10, "x10x10x10x10x10,12",
                  "FCH Groups = CPS (In)  and  CPS (Out)"},
             Case{"Lincolnshire S Major", 8, "-38-14-58-16-14-58-36-78,12", "FCH Groups = BLce"},
             // Royal names the parts of a group and separates the names.
             Case{"Eanam Wharf D Royal", 10, "-50-16-12-10-12-1258-16-1670-58-70,12",
                  "FCH Groups = CPS (In)  and  B,N1,a2,c (Out)"},
             // On 8 bells the out-of-course part of F (26345 24563) has no letter of its own:
             // found without the in-course part, it adds nothing.
             Case{"Huntsham Major", 8, "-38-14-58-16-12-38-14-78-18-18-18-12", "FCH Groups = Bc"},
             // No line: lead-head code above M, no code, odd bells, under 8 bells.
             Case{"Carshalton Bob Major (P)", 8, "38,16-16-18-58-", ""},
             Case{"Plain hunt on 8 (Z)", 8, "x18x18x18x18,18", ""},
             Case{"Grandsire Caters", 9, "3,1.9.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1", ""},
             Case{"Plain Bob Minor", 6, "x16x16x16,12", ""},
         }) {
        SCOPED_TRACE(c.method);
        Stats s(c.bells, c.notation);
        EXPECT_EQ(s.Lines().fchGroups, c.line);
        if (!c.line.empty()) {
            // Their groups are all found through the table's own rows: they read as before.
            bool offTable = false;
            EXPECT_EQ(OnlyTheTablesOwnRows(*s.store, s.fch, offTable), c.line);
        }
        if (c.method == "Huntsham Major") {
            EXPECT_TRUE(s.stats.Found(27));
            EXPECT_FALSE(s.stats.Found(6));
        }
    }
}

TEST(StatsGroups, CourseHeadsOffTheTablesOwnRowsCountForTheirGroups)
{
    struct Case {
        std::string method;
        int bells;
        std::string notation, line;
    };
    for (const Case& c : {
             // In-course 24365 (B itself); out-of-course 23654, 25436 and 43256 of B's
             // out-of-course part and 63452 of D's, none of them the table's own.
             Case{"The Wise Woman Alliance Royal", 10, "-30-14.50.12-10-12-58.16.30.18.30,10",
                  "FCH Groups = B (In)  and  B,D (Out)"},
             // In-course 43652 and 63254, both of U1 but not its 34256.
             Case{"Leda Little Alliance Sixteen", 16, "-3D.14-12,1D",
                  "FCH Groups = U1 (In)  and  CPS (Out)"},
         }) {
        SCOPED_TRACE(c.method);
        Stats s(c.bells, c.notation);
        EXPECT_EQ(s.Lines().fchGroups, c.line);
        bool offTable = false;
        EXPECT_NE(OnlyTheTablesOwnRows(*s.store, s.fch, offTable), c.line);
        EXPECT_TRUE(offTable);
    }
}

TEST(StatsSheet, ACourseCutAt2000RowsHasNeitherRollsNorGroups)
{
    // 68 changes a lead on 16 bells, a course of more than 2000 rows: 29 whole leads are used.
    const Stats s(16, test::Repeat("x16", 17) + "LH1D");
    ASSERT_TRUE(s.store->CourseTooLong());
    const std::vector<SheetLine> lines = s.stats.BodyLines();
    ASSERT_EQ(lines.size(), 7U); // plain hunting: no reversal, no average line
    EXPECT_EQ(lines[1], (SheetLine{"Changes in One Lead = 68", false}));
    EXPECT_EQ(lines[2], (SheetLine{"This method has over 2000 rows in the Plain Course.", true}));
    EXPECT_EQ(lines[3],
              (SheetLine{"Only the first 1972 have been used to calculate the following figures:",
                         true}));
    EXPECT_EQ(lines[4].text, s.Lines().rightPlaces);
    EXPECT_EQ(lines[5].text, "Changes of Direction = 0");
    EXPECT_EQ(lines[6].text, s.Lines().difficulty);
    EXPECT_EQ(s.Lines().cruPositions, "");
    EXPECT_EQ(s.Lines().fchGroups, "");
}

TEST(StatsSheet, BodyLinesKeepTheirPlacesAndNothingCarriesOver)
{
    Stats s(8, "-38-14-1258-36-14-58-16-78,12");
    std::vector<SheetLine> lines = s.stats.BodyLines();
    ASSERT_EQ(lines.size(), 10U); // no average line: no reversals
    EXPECT_EQ(lines[0].text, "This is a Regular Symetric Method of Lead Head Group B");
    EXPECT_EQ(lines[2].text, "Changes in the Plain Course = 224");
    EXPECT_EQ(lines[3].text, s.Lines().rightPlaces);
    EXPECT_EQ(lines[5].text, s.Lines().difficulty);
    EXPECT_EQ(lines[6].text, s.Lines().cruPositions);
    EXPECT_EQ(lines[9].text, s.Lines().fchGroups);

    // The same sheet for a method whose tenor cannot be analysed: the three empty lines keep
    // their places, and nothing of Cambridge is left.
    s.Compute(6, "16");
    lines = s.stats.BodyLines();
    const std::vector<SheetLine> expected = {
        {"This is a Assymetric Differential Method", false},
        {"Changes in One Lead = 1", false},
        {"Changes in the Plain Course = 2", false},
        {"Unable to analyse Right Places etc.", false},
        {"", false},
        {"", false},
    };
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(s.stats.LeadHeadCode(), "Z");
    for (int row = 1; row <= TBellStats::kGroupRows; ++row) {
        EXPECT_FALSE(s.stats.Found(row)) << row;
    }
}

// The Council writes Major groups as letters run together and Royal ones as in/out.
std::string CouncilForm(const std::string& line, int bells)
{
    const std::string head = "FCH Groups = ";
    if (line.rfind(head, 0) != 0) {
        return "(" + line + ")";
    }
    std::string body = line.substr(head.size());
    if (bells == 8) {
        return body == "CPS" ? "" : body;
    }
    const std::size_t middle = body.find(" (In)  and  ");
    const std::size_t outEnd = body.rfind(" (Out)");
    if (middle == std::string::npos || outEnd == std::string::npos) {
        return "(" + line + ")";
    }
    const auto names = [](std::string part) {
        if (part == "CPS") {
            return std::string();
        }
        part.erase(std::remove(part.begin(), part.end(), ','), part.end());
        return part;
    };
    return names(body.substr(0, middle)) + "/" +
           names(body.substr(middle + 12, outEnd - middle - 12));
}

struct CollectionRow {
    int bells = 0;
    std::string title, notation, fchGroups;
};

// Reads the rows a method store can hold (4 to 16 bells, a lead of at most 100 changes).
std::vector<CollectionRow> ReadCollection(std::istream& csv)
{
    std::vector<CollectionRow> rows;
    std::string line;
    std::getline(csv, line);
    const std::vector<std::string> header = SplitDelimitedLine(line);
    const std::size_t stage = test::ColumnOf(header, "stage");
    const std::size_t title = test::ColumnOf(header, "title");
    const std::size_t notation = test::ColumnOf(header, "notation");
    const std::size_t groups = test::ColumnOf(header, "fch_groups");
    while (std::getline(csv, line)) {
        const std::vector<std::string> values = SplitDelimitedLine(line);
        if (values.size() <= groups) {
            continue;
        }
        CollectionRow row{std::stoi(values[stage]), values[title], "", values[groups]};
        const Result<std::string> expanded = ExpandCCNotation(values[notation]);
        if (row.bells < 4 || row.bells > 16 || !expanded ||
            !CheckPlaceNotation(*expanded.value, row.bells).empty()) {
            continue;
        }
        row.notation = *expanded.value;
        rows.push_back(std::move(row));
    }
    return rows;
}

TEST(StatsCollection, FchGroupsAgreeWithTheCouncil)
{
    std::ifstream csv(TAMBREL_COLLECTION_CSV, std::ios::binary);
    if (!csv) {
        GTEST_SKIP() << "the reference collection is not beside the checkout";
    }
    int compared = 0;
    int offTable = 0;
    Stats s;
    for (const CollectionRow& row : ReadCollection(csv)) {
        if (row.fchGroups.empty()) {
            continue;
        }
        SCOPED_TRACE(row.title);
        s.Compute(row.bells, row.notation);
        EXPECT_EQ(CouncilForm(s.Lines().fchGroups, row.bells), row.fchGroups);
        ++compared;
        // The Council's methods have their false course heads in whole groups or parts, so
        // each group is also found through the table's own row: they read as they always did,
        // whether or not other members of the groups were found too.
        bool off = false;
        EXPECT_EQ(OnlyTheTablesOwnRows(*s.store, s.fch, off), s.Lines().fchGroups);
        offTable += off ? 1 : 0;
    }
    EXPECT_EQ(compared, 157);
    std::cout << "[ collection ] " << compared << " FCH group lines compared, " << offTable
              << " of them with course heads besides the table's own\n";
}

TEST(StatsCollection, MethodsWhoseTenorCannotBeAnalysed)
{
    std::ifstream csv(TAMBREL_COLLECTION_CSV, std::ios::binary);
    if (!csv) {
        GTEST_SKIP() << "the reference collection is not beside the checkout";
    }
    int methods = 0;
    int unable = 0;
    Stats s;
    for (const CollectionRow& row : ReadCollection(csv)) {
        s.Compute(row.bells, row.notation);
        ++methods;
        const bool failed = s.Lines().rightPlaces == "Unable to analyse Right Places etc.";
        unable += failed ? 1 : 0;
        // A tenor that never moves down in the whole course has no starting blow.
        bool movesDown = false;
        const int length = s.store->LeadLength();
        for (int r = 0; r < s.store->RowCount() && !movesDown; ++r) {
            const Row& before = s.store->RowAt(r);
            const auto tenor = std::find(before.begin(), before.begin() + row.bells, row.bells);
            const int place = static_cast<int>(tenor - before.begin()) + 1;
            movesDown = s.store->GetMove(r % length + 1, place) == -1;
        }
        if (!movesDown) {
            EXPECT_TRUE(failed) << row.title;
        }
        // A failed analysis leaves the three lines after it empty.
        if (failed) {
            EXPECT_EQ(s.Lines().changesOfDirection + s.Lines().averageBlows + s.Lines().difficulty,
                      "")
                << row.title;
        }
    }
    EXPECT_GT(methods, 23000);
    std::cout << "[ collection ] " << unable << " of " << methods
              << " methods give \"Unable to analyse Right Places etc.\"\n";
}

} // namespace
} // namespace tambrel
