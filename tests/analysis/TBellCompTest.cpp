#include "analysis/TBellComp.h"
#include "analysis/Messages.h"
#include "analysis/TBellFCH.h"
#include "analysis/TBellIntMeth.h"
#include "analysis/TBellRolls.h"
#include "engine/Bells.h"
#include "engine/TBellStore.h"

#include "tests/support/ReferenceFCH.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {
namespace {

using S = SheetSection;

using test::Calculated;

constexpr std::string_view kCambridgeMajor = "-38-14-1258-36-14-58-16-78LH12";
constexpr std::string_view kYorkshireMajor = "-38-14-58-16-12-38-14-78LH12";
constexpr std::string_view kStedmanTriples = "3.1.7.3.1.3.1.3.7.1.3.1";
constexpr std::string_view kGrandsireTriples = "3.1.7.1.7.1.7.1.7.1.7.1.7.1";
constexpr std::string_view kCambridgeRoyal = "-30-14-1250-36-1470-58-16-70-18-90LH12";
constexpr std::string_view kCambridgeSixteen = "-3-4-25-36-47-58-69-70-8E-9T-0A-EB-T-A-B-C LH2";

constexpr std::array<SheetSection, 4> kFchSections = {S::Even, S::Odd, S::SplitEven, S::SplitOdd};

TEST(ColumnSheetSections, WhichSectionsStandAndInWhatOrder)
{
    struct Case {
        int bells;
        bool odd, split, rollUps;
        std::vector<SheetSection> sections;
    };
    for (const Case& c : {
             Case{8, true, true, true, {S::RollUps, S::Even, S::Odd, S::SplitEven, S::SplitOdd}},
             // Without the odd sections the split even section follows the even one.
             Case{8, false, true, true, {S::RollUps, S::Even, S::SplitEven}},
             Case{8, true, false, true, {S::RollUps, S::Even, S::Odd}},
             Case{8, false, false, false, {S::Even}},
             Case{8, true, true, false, {S::Even, S::Odd, S::SplitEven, S::SplitOdd}},
             // Split tenors belong to 8 bells alone.
             Case{7, true, true, true, {S::RollUps, S::Even, S::Odd}},
             Case{9, true, true, false, {S::Even, S::Odd}},
             Case{10, true, true, true, {S::RollUps, S::Even, S::Odd}},
             Case{16, false, true, true, {S::RollUps, S::Even}},
         }) {
        SCOPED_TRACE(testing::Message() << c.bells << " odd " << c.odd << " split " << c.split);
        EXPECT_EQ(TBellComp::Sections(c.bells, FchDisplay{c.odd, c.split, false}, c.rollUps),
                  c.sections);
    }
}

TEST(ColumnSheetSections, HeightsComeFromTheLongestListOfEachSection)
{
    ColumnSheet sheet;
    sheet.sections = {S::Even, S::SplitEven};
    sheet.columns.resize(2);
    sheet.columns[0].Entries(S::Even) = {"a", "b"};
    sheet.columns[1].Entries(S::SplitEven) = {"a"};
    // The lead heading and row, then each section's heading lines, entries and a blank line.
    EXPECT_EQ(sheet.RowLines(), 2 + (1 + 2 + 1) + (2 + 1 + 1));
}

// The columns against the plain search, written the slow way, and the roll-up counter.
void ExpectColumnsOfTheCourse(const ColumnSheet& sheet, const TBellStore& a, const TBellStore& b,
                              bool rollUps, bool secondNotation)
{
    ASSERT_EQ(sheet.columns.size(), static_cast<std::size_t>(a.LeadsInCourse()));
    TBellRolls rolls;
    for (const SheetColumn& column : sheet.columns) {
        const int lead = static_cast<int>(&column - sheet.columns.data()) + 1;
        SCOPED_TRACE(lead);
        EXPECT_EQ(column.lead, lead);
        EXPECT_EQ(column.firstRow, a.GetRowText((lead - 1) * a.LeadLength()));
        const test::FchLists expected = test::ReferenceSearch(a, b, lead, true, secondNotation);
        for (std::size_t list = 0; list < kFchSections.size(); ++list) {
            const SheetSection section = kFchSections[list];
            EXPECT_EQ(column.Entries(section),
                      sheet.Shows(section) ? expected[list] : std::vector<std::string>{})
                << static_cast<int>(section);
        }
        rolls.Count(a, lead);
        EXPECT_EQ(column.Entries(S::RollUps).size(),
                  rollUps ? static_cast<std::size_t>(rolls.PatternCount()) : 0U);
    }
}

TEST(TBellComp, EachLeadsColumnHoldsItsRowItsRollUpsAndItsLabelledFalseCourseHeads)
{
    struct Case {
        std::string_view name;
        int bells;
        std::string_view notation;
        bool tb2;
    };
    for (const Case& c : {
             Case{"Cambridge S Major", 8, kCambridgeMajor, false},
             Case{"Cambridge S Major, second notation", 8, kCambridgeMajor, true},
             Case{"Stedman Triples", 7, kStedmanTriples, false},
             Case{"Cambridge S Sixteen", 16, kCambridgeSixteen, true},
         }) {
        SCOPED_TRACE(c.name);
        const auto store = Calculated(c.bells, c.notation, c.name);
        TBellFCH fch;
        TBellRolls rolls;
        const ColumnSheet sheet =
            TBellComp::Calculate(*store, FchDisplay{true, true, c.tb2}, fch, rolls);
        EXPECT_EQ(sheet.title, store->Name());
        EXPECT_EQ(sheet.subtitle, "Composition Sheet");
        ExpectColumnsOfTheCourse(sheet, *store, *store, true, c.tb2);
        // The lead heads' rows in turn: lead 1 starts from rounds.
        EXPECT_EQ(sheet.columns.front().firstRow, RowText(Rounds(c.bells), c.bells));
    }
}

TEST(TBellComp, RefusalsOfBothSheets)
{
    const auto minor = Calculated(6, "x16x16x16LH12");
    const auto long16 = Calculated(16, test::Repeat("x16", 20) + "LH1D");
    const auto triples = Calculated(7, kStedmanTriples);
    const auto major = Calculated(8, kCambridgeMajor);
    const auto royal = Calculated(10, kCambridgeRoyal);
    // 100 changes a lead, and more than 20 leads to come round.
    const auto longRoyal = Calculated(
        10, "--14--90-56.10.12.90--1270.10-12.16-3450.10-3670.90-90.90.78.70.30.1230.38.14.3470."
            "30.5690.70-16.78.36--50-1256-10.58.38 LH5");
    struct Case {
        const TBellStore &a, &b;
        std::string_view comp, intMeth;
    };
    for (const Case& c : {
             Case{*minor, *minor, kMsgCompFewBells, kMsgIntMethFewBells},
             Case{*long16, *long16, kMsgCompTooLong, kMsgIntMethTooLong},
             Case{*triples, *triples, "", ""},
             Case{*major, *triples, "", kMsgIntMethStages},
             Case{*triples, *major, "", kMsgIntMethStages},
             Case{*royal, *longRoyal, "", kMsgIntMethTooLong},
             Case{*longRoyal, *royal, kMsgCompTooLong, kMsgIntMethTooLong},
             Case{*royal, *royal, "", ""},
         }) {
        SCOPED_TRACE(std::to_string(c.a.Bells()) + " " + c.a.PlaceNotation());
        EXPECT_EQ(TBellComp::Refusal(c.a), c.comp);
        EXPECT_EQ(TBellIntMeth::Refusal(c.a, c.b), c.intMeth);
        if (&c.a == &c.b) {
            EXPECT_EQ(TBellIntMeth::Refusal(c.a), c.intMeth);
        }
    }
    EXPECT_EQ(kMsgCompTooLong,
              "Composition Sheets are not available for methods \rwith more than 2000 rows in "
              "the Plain Course.");
}

TEST(TBellIntMeth, ColumnsByTheLeadsOfALabelsByTheLeadsOfB)
{
    // Grandsire Triples: 5 leads of 14 changes; Stedman Triples: 7 leads of 12.
    const auto a = Calculated(7, kGrandsireTriples, "GRANDSIRE TRIPLES");
    const auto b = Calculated(7, kStedmanTriples, "STEDMAN TRIPLES");
    ASSERT_EQ(a->LeadsInCourse(), 5);
    ASSERT_EQ(b->LeadsInCourse(), 7);
    TBellFCH fch;
    // The second notation asked for is not used: the labels are always "L" + lead.
    const ColumnSheet sheet = TBellIntMeth::Calculate(*a, *b, FchDisplay{true, true, true}, fch);
    EXPECT_EQ(sheet.title, "Plain Course of GRANDSIRE TRIPLES");
    EXPECT_EQ(sheet.subtitle, "Against FCH's of STEDMAN TRIPLES");
    EXPECT_EQ(sheet.sections, (std::vector<SheetSection>{S::Even, S::Odd}));
    ExpectColumnsOfTheCourse(sheet, *a, *b, false, false);
    int highest = 0;
    for (const SheetColumn& column : sheet.columns) {
        for (const SheetSection section : {S::Even, S::Odd}) {
            for (const std::string& entry : column.Entries(section)) {
                ASSERT_EQ(entry[0], 'L') << entry;
                highest = std::max(highest, std::stoi(entry.substr(1)));
            }
        }
    }
    EXPECT_GT(highest, a->LeadsInCourse()); // leads of B that A does not have
    EXPECT_LE(highest, b->LeadsInCourse());

    // A method against itself never meets its own row.
    const auto store = Calculated(8, kYorkshireMajor, "YORKSHIRE");
    // The lists of the plain search, as the composition sheet's are, without roll-ups.
    const ColumnSheet self = TBellIntMeth::Calculate(*store, *store, FchDisplay{}, fch);
    ExpectColumnsOfTheCourse(self, *store, *store, false, false);
    // A copy in another store is a different method: each row meets its own copy, in course
    // head 23456 (the "L1-" copy of lead 1's rows, and so on).
    const auto copy = Calculated(8, kYorkshireMajor, "YORKSHIRE");
    const ColumnSheet other = TBellIntMeth::Calculate(*store, *copy, FchDisplay{}, fch);
    for (const SheetColumn& column : other.columns) {
        std::string own = "L"; // appended: GCC 12 warns falsely of a prefixed temporary
        own += std::to_string(column.lead);
        own += "-23456";
        const auto& even = column.Entries(S::Even);
        EXPECT_NE(std::find(even.begin(), even.end(), own), even.end()) << own;
    }
}

TEST(SecondMethod, StillTheSameOnlyWhileItsPageHoldsTheMethodChosen)
{
    auto store = Calculated(8, kCambridgeMajor, "CAMBRIDGE");
    const SecondMethod chosen = SecondMethod::Of(2, *store);
    EXPECT_EQ(chosen.slot, 2);
    EXPECT_TRUE(chosen.Matches(store.get()));
    EXPECT_FALSE(chosen.Matches(nullptr)); // the page was closed
    EXPECT_FALSE(SecondMethod{}.Matches(store.get()));
    const auto same = Calculated(8, kCambridgeMajor, "CAMBRIDGE");
    EXPECT_TRUE(chosen.Matches(same.get())); // opened again: the same rows
    for (const auto& changed :
         {Calculated(8, kYorkshireMajor, "CAMBRIDGE"), Calculated(8, kCambridgeMajor, "RENAMED"),
          Calculated(10, "-30-14-1250-36-1470-58-16-70-18-90LH12", "CAMBRIDGE")}) {
        EXPECT_FALSE(chosen.Matches(changed.get())) << changed->Name() << changed->Bells();
    }
}

} // namespace
} // namespace tambrel
