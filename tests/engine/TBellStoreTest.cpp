#include "engine/TBellStore.h"
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
    EXPECT_EQ(store->LeadLength(), 12);
    EXPECT_TRUE(store->Symmetric());
    EXPECT_EQ(store->TidyNotation(), "-1-1-1 LH2");
    EXPECT_EQ(store->GetRowText(0), "123456");
    EXPECT_EQ(store->GetRowText(1), "214365");
    EXPECT_EQ(store->GetRowText(12), "135264");
    EXPECT_EQ(store->GetRowText(60), "123456");
    EXPECT_EQ(store->RowAt(1)[6], 0); // past the stage
    EXPECT_EQ(store->RowCount(), 60);
    EXPECT_EQ(store->LeadsInCourse(), 5);
    EXPECT_FALSE(store->CourseTooLong());
    EXPECT_EQ(store->GetChange(12), "12");
    EXPECT_EQ(store->GetMove(12, 1), 0);
    EXPECT_EQ(store->GetMove(12, 3), 1);
    EXPECT_EQ(store->GetMove(12, 4), -1);
}

// Lead heads and codes; the collection test checks the codes of every stage against the
// Council's.
TEST(TBellStore, CoursesAndCodes)
{
    struct Case {
        int bells;
        std::string_view notation, leadHead, code;
        int rows;
    };
    for (const Case c : {
             Case{8, "-38-14-1258-36-14-58-16-78 LH 12", "15738264", "B", 224},     // Cambridge S
             Case{8, "-58-14.58-58.36.14-14.58-14-18 LH 18", "14263857", "M", 224}, // Bristol S
             Case{8, "-14-36-58-18 LH 18", "18674523", "K", 112},    // Double Norwich Court Bob
             Case{8, "-18-14 LH 12", "16482735", "E", 56},           // Little Bob
             Case{5, "3.1.5.1.5.1.5.1.5.1", "12534", "A", 30},       // Grandsire Doubles
             Case{7, "3.1.7.3.1.3.1.3.7.1.3.1", "6347251", "Z", 84}, // Stedman: treble works
             Case{5, "1.3.1", "32154", "Z", 6}, // Grandsire's lead end, treble away: no code
             Case{6, "x", "214365", "Z", 2},
             Case{4, "x.x", "1234", "Z", 2},    // the lead head at rounds: one lead
             Case{4, "x.x.12", "1243", "P", 6}, // rounds inside a lead rings on
         }) {
        SCOPED_TRACE(c.notation);
        const auto store = Calculated(c.bells, c.notation);
        EXPECT_EQ(store->GetRowText(store->LeadLength()), c.leadHead);
        EXPECT_EQ(store->LeadHeadCode(), c.code);
        EXPECT_EQ(store->RowCount(), c.rows);
    }
}

TEST(TBellStore, CourseCutAtTwoThousandRows)
{
    // 100 changes a lead; the lead head needs 21 leads to come round.
    const auto tooLong = Calculated(16, Repeat("x16", 49) + "x10");
    EXPECT_EQ(tooLong->LeadLength(), 100);
    EXPECT_TRUE(tooLong->CourseTooLong());
    EXPECT_EQ(tooLong->RowCount(), 2000);
    EXPECT_EQ(tooLong->LeadsInCourse(), 20);

    // 20 leads of 100 changes: exactly 2000 rows is a whole course.
    const auto exact = Calculated(16, Repeat("x123D", 49) + "x1456");
    EXPECT_FALSE(exact->CourseTooLong());
    EXPECT_EQ(exact->RowCount(), 2000);
    EXPECT_EQ(exact->GetRowText(2000), RoundsText(16));

    // 24 changes a lead and 90 leads to come round: the course keeps the 83 leads that fit.
    const auto cut = Calculated(16, Repeat("x123D", 11) + "x34");
    EXPECT_TRUE(cut->CourseTooLong());
    EXPECT_EQ(cut->RowCount(), 83 * 24);

    // A recalculation starts afresh.
    auto again = Calculated(16, Repeat("x16", 49) + "x10");
    again->SetBells(6);
    again->SetPlaceNotation("x16x16x16x16x16x12");
    again->Calculate();
    EXPECT_FALSE(again->CourseTooLong());
    EXPECT_EQ(again->RowCount(), 60);
    EXPECT_EQ(again->LeadHeadCode(), "A");
}

TEST(TBellStore, NameAndTheShortCalculations)
{
    const auto named = Calculated(6, "x16x16x16x16x16x12", "Sainte-Église " + std::string(70, 'a'));
    EXPECT_EQ(named->Name().substr(0, 16), "SAINTE-ÉGLISE A");
    EXPECT_EQ(Utf8Length(named->Name()), 60);

    const auto store = std::make_unique<TBellStore>();
    store->SetBells(8);
    store->SetPlaceNotation("x18x18x18x18x18x18x18x12");
    store->ParseAndTidy();
    EXPECT_EQ(store->LeadLength(), 16);
    EXPECT_TRUE(store->Symmetric());
    EXPECT_EQ(store->TidyNotation(), "-1-1-1-1 LH2");
    EXPECT_EQ(store->RowCount(), 0);
    EXPECT_EQ(store->LeadHeadCode(), "");

    store->SetPlaceNotation("-38-14-1258-36-14-58-16-78 LH 12");
    store->CalculateFirstLead();
    EXPECT_EQ(store->LeadHeadCode(), "B");
    EXPECT_EQ(store->RowCount(), 32);
}

} // namespace
} // namespace tambrel
