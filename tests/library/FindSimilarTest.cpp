#include "library/FindSimilar.h"

#include "analysis/FindSimilar.h"
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "library/LibraryTables.h"
#include "library/TfrmDataMod.h"
#include "tests/support/FindReference.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <memory>
#include <string>
#include <tuple>
#include <vector>

namespace tambrel {
namespace {

using test::Expected;
using test::Found;
using test::Method;
using test::Reference;

constexpr std::string_view kPlainBobMinor = "-1-1-1 LH2";
constexpr std::string_view kCambridgeMinor = "-3-4-2-3-4-5 LH2";
constexpr std::string_view kCambridgeMajor = "-3-4-25-36-4-5-6-7 LH2";

// Runs the search to its end, the variants in the order found.
std::vector<Found> RunSearch(SimilarMethods& search)
{
    std::vector<Found> found;
    const std::atomic<bool> stop{false};
    EXPECT_TRUE(search.Run(stop, [&](std::string_view n, std::string_view g) {
        found.push_back({std::string(n), std::string(g)});
        return true;
    }));
    return found;
}

TEST(SimilarMethods, AgreesWithTheSlowReference)
{
    struct Case {
        int bells;
        std::string_view notation;
        FindType type;
        bool right;
        std::string group;
        std::uint64_t possibilities = 0, stored = 0; // worked by hand, when given
    };
    std::vector<Case> cases = {
        // By hand: 23 candidates refused and 29 half leads with two lead ends each.
        {6, kPlainBobMinor, FindType::Above, false, "ALL", 81, 13},
        // By hand: 5 refused in the second change, 5 half leads.
        {6, kPlainBobMinor, FindType::Below, false, "ALL", 15, 3},
        {6, kPlainBobMinor, FindType::Above, true, "ALL"},
        {6, kCambridgeMinor, FindType::Below, false, "ALL"},
        {6, kCambridgeMinor, FindType::Below, true, "ALL"},
        {6, "-1-4 LH2", FindType::Above, false, "ALL"},         // little: places beside the treble
        {4, "3.3.3.1--2.1 LH1", FindType::Below, false, "ALL"}, // the treble lies at the back
        {4, "-14-12", FindType::Above, false, "ALL"},
        {5, "5.1.5.1.5 LH2", FindType::Above, false, "ALL"}, // P and Q by lead head
        {5, "3.1.5.1.5 LH5", FindType::Below, false, "ALL"}, // Grandsire-like lead heads
        {5, "5.1.5.1.5 LH2", FindType::Below, true, "S"},
        {7, "7.1.7.1.7.1.7 LH2", FindType::Above, false, "ALL"},
        {7, "7.1.7.1.7.1.7 LH2", FindType::Below, false, "Q"},
        {7, "3.1.7.1.7.1.7 LH7", FindType::Below, true, "ALL"},
        {8, "-1-4 LH2", FindType::Above, false, "ALL"}, // Little Bob
        {8, kCambridgeMajor, FindType::Below, false, "D"},
        {8, kCambridgeMajor, FindType::Below, true, "ALL"},
        {8, "-1-1-1-1 LH2", FindType::Below, false, "ALL"},
    };
    for (const std::string& group : FindGroups(6)) {
        cases.push_back({6, kCambridgeMinor, FindType::Above, false, group});
    }
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.notation) + (c.type == FindType::Above ? " above " : " below ") +
                     c.group + (c.right ? " right" : ""));
        Expected expected = Reference(c.bells, c.notation, c.type, c.right, c.group).Run();
        EXPECT_TRUE(expected.problems.empty()) << expected.problems.front();
        auto base = Method(c.bells, c.notation);
        SimilarMethods search(*base, {c.type, c.right, c.group});
        std::vector<Found> found = RunSearch(search);
        EXPECT_EQ(search.Possibilities(), expected.possibilities);
        std::sort(found.begin(), found.end());
        std::sort(expected.stored.begin(), expected.stored.end());
        EXPECT_EQ(found, expected.stored);
        if (c.possibilities != 0) {
            EXPECT_EQ(expected.possibilities, c.possibilities);
            EXPECT_EQ(expected.stored.size(), c.stored);
        }
    }
}

// Where the treble makes a place beside places the table adds, the changes joined there are
// no changes: such variants are counted but never stored, and what is stored is a method of
// its group. A lead of 40 changes enumerates 20 deep.
TEST(SimilarMethods, StoresOnlyMethodsOfTheirGroup)
{
    struct Case {
        int bells;
        std::string notation;
        FindType type;
    };
    for (const Case& c :
         {Case{4, "3.1-1-1-1 LH1", FindType::Below}, Case{4, "1-3.1 LH3", FindType::Below},
          Case{6, "-1-4 LH2", FindType::Below},
          Case{4, test::Repeat("-14", 10) + " LH 12", FindType::Above}}) {
        SCOPED_TRACE(c.notation);
        auto base = Method(c.bells, c.notation);
        SimilarMethods search(*base, {c.type, false, "ALL"});
        const std::vector<Found> found = RunSearch(search);
        EXPECT_FALSE(found.empty());
        for (const Found& f : found) {
            ASSERT_EQ(CheckPlaceNotation(f.notation, c.bells), "") << f.notation;
            const auto again = Method(c.bells, f.notation);
            EXPECT_EQ(again->LeadHeadCode(), f.group) << f.notation;
            EXPECT_EQ(again->LeadLength(), base->LeadLength()) << f.notation;
        }
        EXPECT_GT(search.Possibilities(), found.size());
    }
}

TEST(SimilarMethods, StopsAtOnce)
{
    auto base = Method(8, kCambridgeMajor);
    std::atomic<bool> stop{true};
    SimilarMethods at(*base, {FindType::Above, false, "ALL"});
    EXPECT_FALSE(at.Run(stop, [](std::string_view, std::string_view) { return true; }));
    EXPECT_EQ(at.Possibilities(), 0U);

    // Set while a method is handed on: not one candidate more is tried.
    stop = false;
    SimilarMethods during(*base, {FindType::Above, false, "B"});
    int found = 0;
    std::uint64_t when = 0;
    EXPECT_FALSE(during.Run(stop, [&](std::string_view, std::string_view) {
        if (++found == 3) {
            stop = true;
            when = during.Possibilities();
        }
        return true;
    }));
    EXPECT_EQ(found, 3);
    EXPECT_EQ(during.Possibilities(), when);
}

TEST(SimilarMethods, RefusesWhatTheMainWindowRefuses)
{
    const std::string forty = test::Repeat("-18", 10);
    struct Case {
        int bells;
        std::string notation;
        bool refused;
    };
    for (const Case& c :
         {Case{6, std::string(kPlainBobMinor), false}, Case{6, "-14-16-16-16-16-12", true},
          Case{9, "3.1.9.1.9.1.9.1.9 LH 129", true}, Case{8, forty + " LH 12", false},
          Case{8, forty + "-18 LH 12", true}}) {
        SCOPED_TRACE(c.notation);
        EXPECT_EQ(FindRefusal(*Method(c.bells, c.notation)),
                  c.refused ? std::string(kMsgFindNeeds) : "");
    }
    EXPECT_EQ(FindGroupRefusal(6, "B"), "");
    EXPECT_EQ(FindGroupRefusal(5, "B"), "The lead-head group B is not offered on 5 bells; the "
                                        "groups are ALL, P, Q, R, S.");
    EXPECT_EQ(FindGroupRefusal(4, "C"), "The lead-head group C is not offered on 4 bells; the "
                                        "groups are ALL, A, F, G, M.");
    EXPECT_EQ(FindGroups(8), (std::vector<std::string>{"ALL", "A", "B", "C", "D", "E", "F", "G",
                                                       "H", "J", "K", "L", "M"}));
}

// A library folder whose main library knows a few methods the searches find.
class FindLibrary : public ::testing::Test {
protected:
    FindOutcome Search(int bells, std::string_view notation, FindRequest request,
                       FindControl control = {})
    {
        return FindSimilarMethods(module, *Method(bells, notation), request, control);
    }

    std::vector<FoundMethod> Records()
    {
        TDbf table(kMethodTags, kMethodLayout);
        table.SetDbfFileName(dir.Library() + "/Find_Lib.dbf");
        EXPECT_TRUE(table.Open(TableAccess::Read));
        std::vector<FoundMethod> records;
        for (table.GoTop(); !table.Eof(); table.Skip()) {
            records.push_back({Trim(table.FieldText("name")), Trim(table.FieldText("places")),
                               Trim(table.FieldText("group"))});
        }
        return records;
    }

    test::LibraryDir dir{"0,TB_Method_Library,\"Test 1\",\n"
                         "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n"
                         "6,\"PLAIN BOB MINOR AGAIN\",\"-1-1-1 LH2\",A\n"
                         "6,\"CAMBRIDGE SURPRISE MINOR\",\"-3-4-2-3-4-5 LH2\",B\n"
                         "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n"};
    TfrmDataMod module{dir.Library(), dir.Data()};
};

TEST_F(FindLibrary, StoresTheVariantsNamedAndCounted)
{
    ASSERT_TRUE(module.EnsureTables());
    FindControl control;
    control.keep = 1000;
    const FindOutcome outcome = Search(6, kPlainBobMinor, {FindType::Above, false, "ALL"}, control);
    ASSERT_TRUE(outcome.status) << outcome.status.error;
    EXPECT_FALSE(outcome.stopped);
    EXPECT_EQ(outcome.counts.possibilities, 81U);
    const std::vector<FoundMethod> records = Records();
    ASSERT_EQ(records.size(), 13U);
    ASSERT_EQ(outcome.methods.size(), 13U);
    std::uint64_t unknown = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const FoundMethod& r = records[i];
        const FoundMethod& handed = outcome.methods[i];
        EXPECT_EQ(std::tie(handed.name, handed.notation, handed.group),
                  std::tie(r.name, r.notation, r.group));
        std::string expected = "PLAIN BOB MINOR"; // the first of the two records wins
        if (r.notation != kPlainBobMinor) {
            expected = "#"; // appended, not prefixed: GCC 12 warns falsely of the latter
            expected += ZeroFill(static_cast<std::int64_t>(++unknown), 6);
            expected += " Unknown Method";
        }
        EXPECT_EQ(r.name, expected);
    }
    EXPECT_EQ(outcome.counts.found, 13U);
    EXPECT_EQ(outcome.counts.newMethods, 12U);
    EXPECT_EQ(FindTotalsText(outcome.counts.newMethods, outcome.counts.Existing()),
              "12 New Methods and 1 Existing Methods");
}

// A stop or a limit keeps what was stored; a locked find library or a refused search changes
// nothing.
TEST_F(FindLibrary, StopLimitLockAndRefusals)
{
    ASSERT_TRUE(module.EnsureTables());
    ASSERT_TRUE(Search(6, kPlainBobMinor, {}).status);
    const std::string before = test::ReadFile(dir.Library() + "/Find_Lib.dbf");
    {
        TDbf held(kMethodTags, kMethodLayout);
        held.SetDbfFileName(dir.Library() + "/Find_Lib.dbf");
        ASSERT_TRUE(held.Open(TableAccess::Read));
        const FindOutcome outcome = Search(6, kCambridgeMinor, {});
        EXPECT_EQ(outcome.status.error,
                  "The table Find_Lib.dbf is in use by another program (or another window of "
                  "Tambrel). Close it there and try again.");
        EXPECT_EQ(outcome.counts.found, 0U);
    }
    EXPECT_EQ(Search(6, "-14-16-16-16-16-12", {}).status.error, kMsgFindNeeds);
    EXPECT_EQ(Search(6, kPlainBobMinor, {FindType::Above, false, "P"}).status.error,
              FindGroupRefusal(6, "P"));
    EXPECT_EQ(test::ReadFile(dir.Library() + "/Find_Lib.dbf"), before);

    std::atomic<bool> stop{true};
    FindControl control;
    control.stop = &stop;
    FindOutcome outcome = Search(8, kCambridgeMajor, {}, control);
    ASSERT_TRUE(outcome.status);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.counts.possibilities, 0U);
    EXPECT_TRUE(Records().empty()); // emptied, and nothing stored yet
    control = {};
    control.most = 5;
    outcome = Search(8, kCambridgeMajor, {}, control);
    ASSERT_TRUE(outcome.status);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.counts.found, 5U);
    EXPECT_EQ(Records().size(), 5U);
}

} // namespace
} // namespace tambrel
