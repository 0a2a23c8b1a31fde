#include "analysis/CallingPositions.h"
#include "engine/Bells.h"
#include "engine/CCNotation.h"
#include "engine/Calls.h"
#include "engine/TBellStore.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {
namespace {

TEST(CallingPositions, NameByPlaces)
{
    struct Case {
        int bells;
        LeadCall call;
        LeadEndPlaces places; // before, after, plain
        std::string_view name;
    };
    constexpr LeadCall P = LeadCall::Plain, B = LeadCall::Bob, S = LeadCall::Single;
    // Major, 4ths-place bobs and 1234 singles at a 2nds-place lead end; O is a far bob, which
    // runs out at every lead end. Minor has no Middle; Triples and Caters count W and M from the
    // other side.
    for (const Case& c : {Case{8, B, {7, 8, 8}, "H"},     Case{8, B, {8, 7, 7}, "W"},
                          Case{8, B, {5, 6, 6}, "M"},     Case{8, B, {6, 5, 5}, "V"},
                          Case{8, B, {4, 4, 3}, "F"},     Case{8, B, {2, 3, 2}, "B"},
                          Case{8, B, {3, 2, 4}, "I"},     Case{8, S, {2, 2, 2}, "B"},
                          Case{8, S, {3, 3, 4}, "T"},     Case{8, B, {2, 3, 3}, "O"},
                          Case{8, P, {7, 8, 8}, ""},      Case{6, B, {6, 5, 5}, "W"},
                          Case{6, B, {4, 4, 3}, "F"},     Case{6, B, {5, 6, 6}, "H"},
                          Case{5, B, {3, 4, 4}, "F"},     Case{7, B, {6, 7, 7}, "H"},
                          Case{7, B, {4, 5, 5}, "W"},     Case{7, B, {7, 6, 6}, "M"},
                          Case{9, B, {6, 7, 7}, "W"},     Case{9, B, {9, 8, 8}, "M"},
                          Case{10, B, {10, 9, 9}, "W"},   Case{10, B, {7, 8, 8}, "M"},
                          Case{10, B, {8, 7, 7}, "7"},    Case{10, B, {5, 6, 6}, "6"},
                          Case{12, B, {12, 11, 11}, "W"}, Case{12, B, {9, 10, 10}, "M"},
                          Case{12, B, {10, 9, 9}, "9"}}) {
        EXPECT_EQ(CallingPosition(c.bells, c.call, c.places), c.name)
            << c.bells << " " << c.places.before << c.places.after << c.places.plain;
    }
}

// Bobs and singles as the bundled calls have them: near calls on codes 01 and 02, far calls
// on 03 and 04 for the 8ths-place lead ends. `spill` gives a bob that also changes the first
// change of the next lead.
CallsLibrary MakeCalls(bool spill)
{
    CallsLibrary made;
    for (const int bells : {6, 7, 8}) {
        made.Add(bells, "01", "Bob", spill ? "-14.18" : "14", "");
        made.Add(bells, "02", "Single", "1234", "");
        made.Add(bells, "03", "Bob", "16", "");
        made.Add(bells, "04", "Single", "1678", "");
        made.Add(bells, "05", "Grandsire Bob", "3.1", "");
    }
    return made;
}
const CallsLibrary kNear = MakeCalls(false);
const CallsLibrary kSpill = MakeCalls(true);

struct Method {
    std::string_view cc;
    const CallsLibrary* calls;
    std::unique_ptr<TBellStore> Store(int bells) const
    {
        return test::Calculated(bells, *ExpandCCNotation(cc).value, "Test", calls);
    }
};
constexpr Method kPlainBob{"-18-18-18-18,12", &kNear};
constexpr Method kCambridge{"-38-14-1258-36-14-58-16-78,12", &kNear};

TEST(CallingPositions, TouchesWrittenBothWays)
{
    struct Case {
        Method method;
        int observation;
        std::string_view calling;
        std::string_view leads;  // ".", "-", "s" for each lead
        std::string_view shown;  // PositionsOfCalls of the leads, blanks between
        std::string_view places; // the observation bell's place after each call
    };
    constexpr Method kSpilling{"-18-18-18-18,12", &kSpill};
    for (const Case& c : {
             Case{kPlainBob, 8, "H H H", "......-......-......-", "H H H", "888"},
             Case{kPlainBob, 8, "H*3", "......-......-......-", "H H H", "888"},
             Case{kPlainBob, 8, "sH sH", "......s......s", "sH sH", "88"},
             Case{kPlainBob, 8, "W M H", "-....--", "W M H", "768"},
             Case{kPlainBob, 8, "W W", "-......-......", "W W", "77"},
             Case{kPlainBob, 8, "W / W", "-......-......", "W W", "77"},
             Case{kPlainBob, 8, "2w", "-......-......", "W W", "77"},
             Case{kPlainBob, 8, "B", "...-....", "B", "3"},
             Case{kPlainBob, 8, "O", "...-....", "B", "3"},
             Case{kPlainBob, 8, "sB", "...s...", "sB", "2"},
             Case{kPlainBob, 8, "I", "....-...", "I", "2"},
             Case{kPlainBob, 8, "F", "..-..", "F", "4"},
             Case{kPlainBob, 8, "5", ".-.....", "V", "5"},
             Case{kPlainBob, 7, "H", ".....-.", "H", "8"},
             Case{kCambridge, 8, "M W H", "..--..-", "M W H", "678"},
             Case{kCambridge, 8, "B", ".-..", "B", "3"},
             Case{kCambridge, 8, "sB", ".s.....", "sB", "2"},
             Case{kCambridge, 8, "I", ".....-.....", "I", "2"},
             Case{kCambridge, 8, "F", "....-.", "F", "4"},
             Case{kCambridge, 8, "V,H", "-.....-", "V H", "58"},
             // 18 for the cross after the call holds the tenor back a change.
             Case{kSpilling, 8, "H H", "......-.....-......", "H H", "88"},
         }) {
        SCOPED_TRACE(std::string(c.method.cc) + " " + std::string(c.calling));
        const auto store = c.method.Store(8);
        const Result<std::vector<LeadCall>> leads =
            CallingFromPositions(*store, c.calling, c.observation);
        ASSERT_TRUE(leads) << leads.error;
        std::vector<LeadCall> expected;
        for (const char lead : c.leads) {
            expected.push_back(lead == '.'   ? LeadCall::Plain
                               : lead == '-' ? LeadCall::Bob
                                             : LeadCall::Single);
        }
        EXPECT_EQ(*leads.value, expected);
        std::string shown;
        for (const std::string& name : PositionsOfCalls(*store, expected, c.observation)) {
            shown += name.empty() ? "" : (shown.empty() ? "" : " ") + name;
        }
        EXPECT_EQ(shown, c.shown);

        // The expected leads rung by hand, change by change: each call written over the
        // plain changes so that its middle change replaces the lead-end change.
        const std::span<const std::string> plain = store->UsedChanges();
        std::vector<std::string> changes; // a lead more, for a call that runs on
        for (std::size_t lead = 0; lead <= c.leads.size(); ++lead) {
            changes.insert(changes.end(), plain.begin(), plain.end());
        }
        for (std::size_t lead = 0; lead < c.leads.size(); ++lead) {
            if (c.leads[lead] != '.') {
                const auto& call =
                    c.method.calls->Find(8, c.leads[lead] == '-' ? "01" : "02")->changes;
                const std::size_t first = (lead + 1) * plain.size() - 1 - call.size() / 2;
                std::ranges::copy(call, changes.begin() + static_cast<std::ptrdiff_t>(first));
            }
        }
        Row row = Rounds(8);
        std::string places;
        for (std::size_t i = 0; i < c.leads.size() * plain.size(); ++i) {
            row = ApplyChange(row, ChangeMovement(changes[i], 8));
            if ((i + 1) % plain.size() == 0 && c.leads[i / plain.size()] != '.') {
                const auto at = std::ranges::find(row, c.observation) - row.begin();
                places += SymbolOf(static_cast<int>(at) + 1);
            }
        }
        EXPECT_EQ(places, c.places);
        // Every calling ends at a course end; the two touches of Plain Bob at Home come round.
        EXPECT_EQ(row[static_cast<std::size_t>(c.observation - 1)], c.observation);
        if (c.method.calls == &kNear && (c.shown == "H H H" || c.shown == "sH sH")) {
            EXPECT_EQ(row, Rounds(8));
        }
    }
}

TEST(CallingPositions, RefusedCallings)
{
    struct Case {
        int bells;
        Method method;
        int observation;
        std::string_view calling;
        std::string_view error;
    };
    constexpr Method kMinor{"-16-16-16,12", &kNear};
    constexpr Method kNoCalls{kPlainBob.cc, nullptr};
    // Far calls at an 8ths-place lead end leave the bell that led running out as it always
    // does, so it is never "Before".
    constexpr Method kFar{"-14-36-58-18,18", &kNear};
    constexpr Method kGrandsire{"3,1.7.1.7.1.7", &kNear};
    for (const Case& c : {
             Case{8, kPlainBob, 8, "W X", "\"X\" is not a calling position on 8 bells."},
             Case{6, kMinor, 6, "M", "\"M\" is not a calling position on 6 bells."},
             Case{8, kPlainBob, 8, "H 9", "There is no calling position 9 on 8 bells."},
             Case{8, kPlainBob, 8, "H *0", "After \"*\" give the number of parts, 1 to 999."},
             Case{8, kPlainBob, 8, " / ", "Write the calling as positions, such as \"W H H\"."},
             Case{8, kPlainBob, 1, "H", "The observation bell is one of the bells 2 to 8."},
             Case{8, kNoCalls, 8, "H", "This method has no bob."},
             Case{8, kFar, 8, "B", "The observation bell never reaches B in this course."},
             Case{7, kGrandsire, 7, "H",
                  "Calling positions are only for methods with Plain Bob lead heads."},
         }) {
        const Result<std::vector<LeadCall>> leads =
            CallingFromPositions(*c.method.Store(c.bells), c.calling, c.observation);
        EXPECT_FALSE(leads) << c.calling;
        EXPECT_EQ(leads.error, c.error);
    }
}

} // namespace
} // namespace tambrel
