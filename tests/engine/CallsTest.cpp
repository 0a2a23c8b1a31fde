#include "engine/Calls.h"
#include "engine/CCNotation.h"
#include "engine/TBellStore.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {
namespace {

using test::Calculated;
using test::Repeat;

// A small calls library: the fourths-place bob and single on six and eight bells, and calls
// that cannot be laid on some leads.
CallsLibrary SmallLibrary()
{
    CallsLibrary calls;
    for (const int bells : {6, 8}) {
        calls.Add(bells, "01", "Bob", "14", "234");
        calls.Add(bells, "02", "Single", "1234", "34");
    }
    calls.Add(7, "07", "Stedman Bob", "5.1.3.1.3.1.7", "467");
    calls.Add(7, "08", "Stedman Single", "567.1.3.1.3.1.7", "47");
    calls.Add(7, "01", "Cross", "-", "23"); // a cross on seven bells: refused
    calls.Add(8, "03", "Empty", "", "23");
    calls.Add(5, "05", "Grandsire Bob", "3.1", "245");
    return calls;
}

std::string Expanded(std::string_view cc)
{
    return *ExpandCCNotation(cc).value;
}

TEST(DefaultCalls, ByNameLeadEndAndTenor)
{
    struct Case {
        int bells;
        std::string notation, name, bob, single, bobLines, singleLines;
    };
    const std::string stedmanTriples = Expanded("3.1.7.3.1.3,1");
    const std::vector<Case> cases = {
        {7, stedmanTriples, "Stedman Triples", "07", "08", "", ""},
        {7, stedmanTriples, "Stedman", "07", "08", "", ""}, // any part of the Stedman list
        {5, Expanded("3.1.5.3.1.3,1"), "Stedman Doubles", "01", "08", "", ""},
        {9, Expanded("9,1.5.1.7.3.9.5.9.1"), "Double Norwich Court Bob Caters", "09", "10", "", ""},
        // Double Norwich on ten bells falls through: no 2nds, no tenor in 8ths, so 16 calls.
        {10, Expanded("-14-30-18-70-10,10"), "Double Norwich Court Bob Royal", "03", "04", "", ""},
        {5, "3.1.5.1.5.1.5.1.5.1", "Grandsire Doubles", "05", "06", "", ""},
        {6, "x16x16x16x16x16x12", "Plain Bob Minor", "01", "02", "", ""},
        {6, "x16x16x16x16x16x12", "", "01", "02", "", ""}, // an empty name is no Stedman
        {12, "-5-4.5-5.36.47.58.6.7-1-1 LH1", "'88 Alliance Maximus", "01", "02", "45680",
         "2345680"},
        {5, "3.1.5.3.1.5", "Test Doubles", "01", "02", "", ""},      // n <= 5 falls back
        {6, "x14x16", "Test Minor", "01", "02", "45", "2345"},       // tenor in 4ths
        {6, "x16x16x16x16x16x16", "Test Minor", "05", "06", "", ""}, // 2 from 3rds to 2nds
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const auto store = Calculated(c.bells, c.notation, c.name);
        const CallChoice& calls = store->Owner();
        EXPECT_EQ(calls.BobType, c.bob);
        EXPECT_EQ(calls.SingleType, c.single);
        EXPECT_EQ(calls.BobLines, c.bobLines); // no library: only the tenor rule's lines
        EXPECT_EQ(calls.SingleLines, c.singleLines);
    }
}

TEST(CallLeads, TheCallIsCentredOnTheLeadEnd)
{
    const CallsLibrary calls = SmallLibrary();
    // Plain Bob Major: 16 changes; the bob lead is changes 9..15, then 14, then 1..8.
    const auto store = Calculated(8, "x18x18x18x18x18x18x18x12", "Plain Bob Major", &calls);
    for (int i = 1; i <= 16; ++i) {
        EXPECT_EQ(store->GetBobChange(i), i == 8 ? "14" : store->GetChange((i + 7) % 16 + 1)) << i;
    }
    EXPECT_EQ(store->GetSingleChange(8), "1234");
    EXPECT_EQ(store->BobLines(), "234");
    EXPECT_EQ(store->Owner().BobLines, "234"); // the page takes the library's lines
    EXPECT_EQ(store->SingleLines(), "34");

    // Stedman: a seven-change call over positions 3..9 of the turned lead.
    const auto stedman = Calculated(7, Expanded("3.1.7.3.1.3,1"), "Stedman Triples", &calls);
    EXPECT_EQ(stedman->GetChange(9), "7");
    EXPECT_EQ(stedman->GetBobChange(3), "5");
    EXPECT_EQ(stedman->GetSingleChange(3), "567");
    for (int i = 4; i <= 12; ++i) {
        EXPECT_EQ(stedman->GetBobChange(i), stedman->GetSingleChange(i)) << i;
    }
}

// What cannot be laid leaves the turned plain lead and no lines, never a crash.
TEST(CallLeads, SafeOutcomeWhenTheCallCannotBeLaid)
{
    const CallsLibrary calls = SmallLibrary();
    const auto turnedPlain = [](const TBellStore& store) {
        const int length = store.LeadLength();
        for (int p = 1; p <= length; ++p) {
            const int change = p <= length / 2 ? length - length / 2 + p : p - length / 2;
            if (store.GetBobChange(p) != store.GetChange(change)) {
                return false;
            }
        }
        return true;
    };
    struct Case {
        int bells;
        std::string notation, name, bob;
    };
    for (const Case& c : {
             Case{8, "x18x18x18x18x18x18x18x12", "No Such Record", "09"}, // missing record
             Case{8, "x18x18x18x18x18x18x18x12", "Empty Places", "03"},   // empty notation
             Case{7, "3.1.7.1.7.1.7.1.7.1.7.1.7.127", "Odd Cross", "01"}, // refused by the stage
             Case{6, "x", "One Change", "01"},                            // H = 0
             Case{7, "3.1.7.1", "Stedman", "07"}, // seven changes around a lead of four
         }) {
        SCOPED_TRACE(c.name);
        auto store = Calculated(c.bells, c.notation, c.name, &calls);
        store->Owner().BobType = c.bob;
        store->Owner().BobLines.clear();
        store->RecalcCalls();
        EXPECT_TRUE(turnedPlain(*store));
        EXPECT_EQ(store->BobLines(), "");
    }
}

// The page's choice: an exact code or empty for the default, and its lines, kept until the next
// calculation.
TEST(CallLeads, ThePagesChoiceUntilTheNextCalculation)
{
    const CallsLibrary calls = SmallLibrary();
    CallChoice page;
    auto store = std::make_unique<TBellStore>();
    store->SetOwner(&page);
    store->SetCallsLibrary(&calls);
    store->SetBells(6);
    store->SetName("Plain Bob Minor");
    store->SetPlaceNotation("x16x16x16x16x16x12");
    store->Calculate();
    EXPECT_EQ(page.BobType, "01");
    EXPECT_EQ(page.SingleLines, "34");

    page.BobType = "0"; // a prefix of "01" and "02" names no call
    page.BobLines.clear();
    store->RecalcCalls();
    EXPECT_EQ(store->GetBobChange(6), store->GetChange(12));
    EXPECT_EQ(store->BobLines(), "");

    page.BobType = "";
    page.BobLines = "56";
    page.SingleType = "01"; // the bob as single, by the user's choice
    store->RecalcCalls();
    EXPECT_EQ(store->GetBobChange(6), "14");
    EXPECT_EQ(store->BobLines(), "56");
    EXPECT_EQ(page.SingleType, "01");
    EXPECT_EQ(store->GetSingleChange(6), "14");

    store->Calculate(); // a new calculation resets the choice to the defaults
    EXPECT_EQ(page.SingleType, "02");
    EXPECT_EQ(store->BobLines(), "234");
    EXPECT_EQ(store->GetSingleChange(6), "1234");
    EXPECT_EQ(calls.Find(6, "1"), nullptr);
    EXPECT_EQ(CallsLibrary::NormalRef("7"), "07");
    EXPECT_EQ(CallsLibrary::NormalRef("12"), "12");
}

} // namespace
} // namespace tambrel
