#include "engine/TBellStore.h"
#include "engine/LeadHeadCode.h"
#include "engine/TextFunctions.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>

namespace tambrel {
namespace {

using test::Calculated;
using test::Repeat;

TEST(TBellStore, PlainBobMinor)
{
    const auto store = Calculated(6, "x16x16x16x16x16x12");
    EXPECT_TRUE(store->Calculated());
    EXPECT_EQ(store->LeadLength(), 12);
    EXPECT_TRUE(store->Symmetric());
    EXPECT_EQ(store->GetRowText(12), "135264");
    EXPECT_EQ(store->RowCount(), 60);
    EXPECT_EQ(store->LeadsInCourse(), 5);
    EXPECT_FALSE(store->CourseTooLong());
    EXPECT_EQ(store->LeadHeadCode(), "A");
    EXPECT_EQ(store->TidyNotation(), "-1-1-1 LH2");
    EXPECT_EQ(store->GetRowText(0), "123456");
    EXPECT_EQ(store->GetRowText(60), "123456");
    EXPECT_EQ(store->GetChange(12), "12");
    EXPECT_EQ(store->GetMove(12, 1), 0);
    EXPECT_EQ(store->GetMove(12, 3), 1);
    EXPECT_EQ(store->GetMove(12, 4), -1);
    std::uint8_t row[16] = {};
    store->GetRow(1, row);
    EXPECT_EQ(row[0], 2);
    EXPECT_EQ(row[5], 5);
    EXPECT_EQ(row[6], 0); // only the bells of the stage are copied
}

TEST(TBellStore, GrandsireDoubles)
{
    const auto store = Calculated(5, "3.1.5.1.5.1.5.1.5.1");
    EXPECT_EQ(store->LeadLength(), 10);
    EXPECT_EQ(store->GetRowText(10), "12534");
    EXPECT_EQ(store->LeadEndType(), LeadEndType::Grandsire);
    EXPECT_EQ(store->LeadHeadCode(), "A");
    EXPECT_EQ(store->RowCount(), 30);
}

TEST(TBellStore, CodesOfWellKnownMethods)
{
    struct Case {
        int bells;
        std::string_view notation, leadHead, code;
    };
    for (const Case c : {
             Case{8, "-38-14-1258-36-14-58-16-78 LH 12", "15738264", "B"},     // Cambridge S
             Case{8, "-58-14.58-58.36.14-14.58-14-18 LH 18", "14263857", "M"}, // Bristol S
             Case{8, "-14-36-58-18 LH 18", "18674523", "K"},         // Double Norwich Court Bob
             Case{8, "-18-14 LH 12", "16482735", "E"},               // Little Bob
             Case{6, "34-34.16-12-16-12-16 LH 16", "142635", "M"},   // Kent TB
             Case{7, "3.1.7.1.7.1.7.1.7.1.7.1.7.1", "1253746", "A"}, // Grandsire Triples
             Case{7, "3.1.7.3.1.3.1.3.7.1.3.1", "6347251", "Z"},     // Stedman: treble works
         }) {
        SCOPED_TRACE(c.notation);
        const auto store = Calculated(c.bells, c.notation);
        EXPECT_EQ(store->GetRowText(store->LeadLength()), c.leadHead);
        EXPECT_EQ(store->LeadHeadCode(), c.code);
    }
}

TEST(TBellStore, ReferenceLeadHeads)
{
    EXPECT_EQ(ApplyLeadEndPair(LeadEndType::PB, "12345678"), "13527486");
    EXPECT_EQ(ApplyLeadEndPair(LeadEndType::PB, "13527486"), "15738264");
    EXPECT_EQ(ApplyLeadEndPair(LeadEndType::Grandsire, "12345"), "12534");
    // Doubles: the PB pair gives p once and q three times; twice is no entry of the table.
    const auto row = [](std::string_view text) {
        Row r{};
        for (std::size_t p = 0; p < text.size(); ++p) {
            r[p] = static_cast<std::uint8_t>(BellOf(text[p]));
        }
        return r;
    };
    EXPECT_EQ(LeadHeadCodeOf(row("13524"), 5, LeadEndType::PB, "2"), "P");
    EXPECT_EQ(LeadHeadCodeOf(row("14253"), 5, LeadEndType::PB, "2"), "Q");
    EXPECT_EQ(LeadHeadCodeOf(row("15432"), 5, LeadEndType::PB, "2"), "Z");
    EXPECT_EQ(LeadHeadCodeOf(row("13524"), 5, LeadEndType::PB, ""), "R");
    EXPECT_EQ(LeadHeadCodeOf(row("13524"), 5, LeadEndType::PB, "24"), "Z");
    EXPECT_EQ(LeadHeadCodeOf(row("14263857"), 8, LeadEndType::PB, "2"), "F");
    EXPECT_EQ(LeadHeadCodeOf(row("1795E3T20486"), 12, LeadEndType::PB, ""), "J");
}

TEST(TBellStore, LeadHeadAtRoundsIsOneLead)
{
    const auto store = Calculated(4, "x.x");
    EXPECT_EQ(store->LeadLength(), 2);
    EXPECT_EQ(store->RowCount(), 2);
    EXPECT_EQ(store->LeadsInCourse(), 1);
    EXPECT_FALSE(store->CourseTooLong());
}

TEST(TBellStore, RoundsInsideALeadRingsOn)
{
    const auto store = Calculated(4, "x.x.12");
    EXPECT_EQ(store->GetRowText(2), "1234"); // rounds, but not at a lead head
    EXPECT_EQ(store->RowCount(), 6);
    EXPECT_EQ(store->LeadsInCourse(), 2);
}

TEST(TBellStore, TrebleNotLeadingHasNoCodeButHasALeadEndType)
{
    const auto store = Calculated(5, "1.3.1");
    EXPECT_EQ(store->GetRowText(3), "32154");
    EXPECT_EQ(store->LeadHeadCode(), "Z");
    // Bell 2 comes from 3rds to 2nds at the lead head: the calls need to know.
    EXPECT_EQ(store->LeadEndType(), LeadEndType::Grandsire);
    EXPECT_EQ(Calculated(6, "x")->LeadHeadCode(), "Z");
}

TEST(TBellStore, CourseCutAtTwoThousandRows)
{
    // 100 changes a lead; the lead head needs 21 leads to come round.
    const auto tooLong = Calculated(16, Repeat("x16", 49) + "x10");
    EXPECT_EQ(tooLong->LeadLength(), 100);
    EXPECT_TRUE(tooLong->CourseTooLong());
    EXPECT_EQ(tooLong->RowCount(), 2000);
    EXPECT_EQ(tooLong->LeadsInCourse(), 20);
    EXPECT_NE(tooLong->GetRowText(2000), RoundsText(16));

    // 20 leads of 100 changes: exactly 2000 rows is a whole course.
    const auto exact = Calculated(16, Repeat("x123D", 49) + "x1456");
    EXPECT_FALSE(exact->CourseTooLong());
    EXPECT_EQ(exact->RowCount(), 2000);
    EXPECT_EQ(exact->GetRowText(2000), RoundsText(16));
    for (int lead = 1; lead < 20; ++lead) {
        EXPECT_NE(exact->GetRowText(lead * 100), RoundsText(16)) << "lead " << lead;
    }

    // 24 changes a lead and 90 leads to come round: the course keeps the 83 leads that fit.
    const auto cut = Calculated(16, Repeat("x123D", 11) + "x34");
    EXPECT_EQ(cut->LeadLength(), 24);
    EXPECT_TRUE(cut->CourseTooLong());
    EXPECT_EQ(cut->RowCount(), 83 * 24);
}

TEST(TBellStore, NameIsUpperCaseAndAtMostSixtyCharacters)
{
    const auto store = Calculated(6, "x16x16x16x16x16x12", "Sainte-Église " + std::string(70, 'a'));
    EXPECT_EQ(store->Name().substr(0, 16), "SAINTE-ÉGLISE A");
    EXPECT_EQ(Utf8Length(store->Name()), 60);
}

TEST(TBellStore, ParseAndTidyLeavesTheCourseAlone)
{
    const auto owner = std::make_unique<TBellStore>();
    TBellStore& store = *owner;
    store.SetBells(8);
    store.SetPlaceNotation("x18x18x18x18x18x18x18x12");
    store.ParseAndTidy();
    EXPECT_EQ(store.LeadLength(), 16);
    EXPECT_TRUE(store.Symmetric());
    EXPECT_EQ(store.TidyNotation(), "-1-1-1-1 LH2");
    EXPECT_FALSE(store.Calculated());
    EXPECT_EQ(store.RowCount(), 0);
}

TEST(TBellStore, RecalculationStartsAfresh)
{
    auto store = Calculated(16, Repeat("x16", 49) + "x10");
    store->SetBells(6);
    store->SetPlaceNotation("x16x16x16x16x16x12");
    store->Calculate();
    EXPECT_FALSE(store->CourseTooLong());
    EXPECT_EQ(store->RowCount(), 60);
    EXPECT_EQ(store->LeadHeadCode(), "A");
}

} // namespace
} // namespace tambrel
