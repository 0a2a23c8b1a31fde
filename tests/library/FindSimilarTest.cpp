#include "library/FindSimilar.h"

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
#include <map>
#include <memory>
#include <set>
#include <string>
#include <thread>
#include <vector>

namespace tambrel {
namespace {

using test::TempDir;

std::unique_ptr<TBellStore> Method(int bells, std::string_view notation)
{
    EXPECT_EQ(CheckPlaceNotation(notation, bells), "");
    return test::Method(bells, notation);
}

using test::Expected;
using test::Found;
using test::Reference;

constexpr std::string_view kPlainBobMinor = "-1-1-1 LH2";
constexpr std::string_view kCambridgeMinor = "-3-4-2-3-4-5 LH2";
constexpr std::string_view kCambridgeMajor = "-3-4-25-36-4-5-6-7 LH2";

// A library folder whose main library knows a few methods the searches find.
class FindLibrary : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.Path("data"));
        dir.Write("data/Methods.csv",
                  "0,TB_Method_Library,\"Test 1\",\n"
                  "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n"
                  "6,\"PLAIN BOB MINOR AGAIN\",\"-1-1-1 LH2\",A\n"
                  "6,\"CAMBRIDGE SURPRISE MINOR\",\"-3-4-2-3-4-5 LH2\",B\n"
                  "6,\"PRIMROSE SURPRISE MINOR\",\"-3-4-2-3-4-5 LH1\",G\n"
                  "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n");
        ASSERT_TRUE(module.EnsureTables());
    }

    FindOutcome Search(int bells, std::string_view notation, FindRequest request,
                       FindControl control = {})
    {
        auto base = Method(bells, notation);
        return FindSimilarMethods(module, *base, request, control);
    }

    struct Record {
        std::string name;
        Found found;
    };
    std::vector<Record> FindLibraryRecords()
    {
        TDbf table(kMethodTags, kMethodLayout);
        table.SetDbfFileName(dir.Path("lib") + "/Find_Lib.dbf");
        EXPECT_TRUE(table.Open(TableAccess::Read));
        std::vector<Record> records;
        for (table.GoTop(); !table.Eof(); table.Skip()) {
            records.push_back({Trim(table.FieldText("name")),
                               {Trim(table.FieldText("places")), Trim(table.FieldText("group"))}});
        }
        return records;
    }

    TempDir dir;
    TfrmDataMod module{dir.Path("lib"), dir.Path("data")};
};

TEST(SimilarMethods, PlanOfPlainBobMinorAboveTheTreble)
{
    // Worked by hand: the treble hunts up, so the rows run 1..6 and the kept places are the
    // sixths made in the 16 changes.
    auto base = Method(6, kPlainBobMinor);
    SimilarMethods search(*base, {FindType::Above, false, "ALL"});
    ASSERT_EQ(search.HalfLead(), 6);
    const std::vector<std::vector<std::string>> candidates = {
        {""},
        {"1"},
        {"", "12"},
        {"1", "3", "123"},
        {"", "12", "14", "34", "1234"},
        {"1", "3", "5", "123", "125", "145", "345"}};
    for (int d = 1; d <= 6; ++d) {
        SCOPED_TRACE(d);
        EXPECT_EQ(search.TrebleRow(d), d);
        EXPECT_EQ(search.FixedPart(d), d % 2 == 0 ? "6" : "");
        EXPECT_EQ(search.Candidates(d), candidates[static_cast<std::size_t>(d - 1)]);
    }
    // By hand: 29 half leads survive; 23 candidates are refused for repeating a place.
    std::atomic<bool> stop{false};
    std::vector<Found> found;
    const auto keep = [&](std::string_view n, std::string_view g) {
        found.push_back({std::string(n), std::string(g)});
        return true;
    };
    EXPECT_TRUE(search.Run(stop, keep));
    EXPECT_EQ(search.Possibilities(), 23U + 2U * 29U);
    EXPECT_TRUE(std::find(found.begin(), found.end(), Found{"-1-1-1 LH2", "A"}) != found.end());

    SimilarMethods one(*base, {FindType::Above, false, "A"});
    EXPECT_TRUE(one.Run(stop, keep));
    EXPECT_EQ(one.Possibilities(), 23U + 29U);
}

TEST(SimilarMethods, LeadHeadLists)
{
    struct Case {
        int bells;
        std::string_view notation, group, list;
    };
    for (const Case& c : {
             Case{6, kPlainBobMinor, "ALL", "135264,156342,164523,142635"},
             Case{6, kPlainBobMinor, "E", "164523"},
             Case{6, kPlainBobMinor, "M", "142635"},
             Case{8, kCambridgeMajor, "G", "13527486"}, // G is with A, not with D and K
             Case{8, kCambridgeMajor, "D", "18674523"},
             Case{8, kCambridgeMajor, "K", "18674523"},
             Case{5, "5.1.5.1.5 LH2", "Q", "14253"},
             Case{5, "5.1.5.1.5 LH2", "R", "13524"},
             Case{5, "5.1.5.1.5 LH2", "ALL",
                  "13524,14253,13452,15234,14532,15423,12453,12534,13425,14235"},
             Case{7, "7.1.7.1.7.1.7 LH2", "ALL", "1352746,1426375"},
         }) {
        SCOPED_TRACE(std::string(c.notation) + " " + std::string(c.group));
        auto base = Method(c.bells, c.notation);
        EXPECT_EQ(
            SimilarMethods(*base, {FindType::Above, false, std::string(c.group)}).LeadHeadList(),
            c.list);
    }
}

TEST(SimilarMethods, AgreesWithTheSlowReference)
{
    struct Case {
        std::string_view notation;
        FindType type;
        bool right;
        std::string group;
        std::uint64_t possibilities, stored; // as the reference counted them
    };
    for (const Case& c : {
             // 81 by hand too: 23 candidates refused and 29 half leads with two lead ends each.
             Case{kPlainBobMinor, FindType::Above, false, "ALL", 81, 13},
             // By hand: 5 refused in the second change, 5 half leads.
             Case{kPlainBobMinor, FindType::Below, false, "ALL", 15, 3},
             Case{kPlainBobMinor, FindType::Above, true, "ALL", 55, 7},
             Case{kPlainBobMinor, FindType::Above, false, "B", 52, 2},
             Case{kCambridgeMinor, FindType::Above, false, "ALL", 463, 36},
             Case{kCambridgeMinor, FindType::Below, false, "ALL", 119, 15},
             Case{kCambridgeMinor, FindType::Below, false, "G", 91, 2},
         }) {
        SCOPED_TRACE(std::string(c.notation) + (c.type == FindType::Above ? " above " : " below ") +
                     c.group + (c.right ? " right" : ""));
        Expected expected = Reference(6, c.notation, c.type, c.right, c.group).Run();
        EXPECT_TRUE(expected.problems.empty()) << expected.problems.front();
        auto base = Method(6, c.notation);
        SimilarMethods search(*base, {c.type, c.right, c.group});
        std::vector<Found> found;
        std::atomic<bool> stop{false};
        EXPECT_TRUE(search.Run(stop, [&](std::string_view n, std::string_view g) {
            found.push_back({std::string(n), std::string(g)});
            return true;
        }));
        EXPECT_EQ(search.Possibilities(), expected.possibilities);
        std::sort(found.begin(), found.end());
        std::sort(expected.stored.begin(), expected.stored.end());
        EXPECT_EQ(found, expected.stored);
        EXPECT_EQ(expected.possibilities, c.possibilities);
        EXPECT_EQ(expected.stored.size(), c.stored);
    }
}

TEST(SimilarMethods, BothLeadEndsCountWithAll)
{
    // Every group tries one lead end on the same half leads, so ALL counts one possibility more
    // per half lead than any group, and stores what the groups store between them.
    auto base = Method(6, kCambridgeMinor);
    std::atomic<bool> stop{false};
    const auto run = [&](const std::string& group, FindType type) {
        SimilarMethods search(*base, {type, false, group});
        std::multiset<Found> found;
        search.Run(stop, [&](std::string_view n, std::string_view g) {
            found.insert({std::string(n), std::string(g)});
            return true;
        });
        return std::make_pair(search.Possibilities(), found);
    };
    for (const FindType type : {FindType::Above, FindType::Below}) {
        const auto [all, allFound] = run("ALL", type);
        std::multiset<Found> together;
        std::set<std::uint64_t> halfLeads;
        for (const std::string& group : FindGroups(6)) {
            if (group == "ALL") {
                continue;
            }
            SCOPED_TRACE(group);
            const auto [possibilities, found] = run(group, type);
            halfLeads.insert(all - possibilities);
            for (const Found& f : found) {
                EXPECT_EQ(f.group, group);
                together.insert(f);
            }
        }
        EXPECT_EQ(halfLeads.size(), 1U);
        EXPECT_GT(*halfLeads.begin(), 0U);
        EXPECT_EQ(together, allFound);
    }
}

TEST(SimilarMethods, FortyChangesEnumerateTwenty)
{
    std::string notation;
    for (int i = 0; i < 10; ++i) {
        notation += "-14";
    }
    auto base = Method(4, notation + " LH 12");
    ASSERT_EQ(base->LeadLength(), 40);
    ASSERT_EQ(FindRefusal(*base), "");
    SimilarMethods search(*base, {FindType::Above, false, "ALL"});
    EXPECT_EQ(search.HalfLead(), 20);
    std::atomic<bool> stop{false};
    int stored = 0;
    EXPECT_TRUE(search.Run(stop, [&](std::string_view n, std::string_view) {
        ChangeList changes;
        EXPECT_EQ(SplitNotation(n, 4, changes), 40) << n;
        ++stored;
        return true;
    }));
    EXPECT_GT(stored, 0);
    EXPECT_GT(search.Possibilities(), static_cast<std::uint64_t>(stored));
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
    struct Case {
        int bells;
        std::string notation;
        bool refused;
    };
    std::string forty;
    std::string fortyTwo;
    for (int i = 0; i < 10; ++i) {
        forty += "-18";
    }
    fortyTwo = forty + "-18";
    for (const Case& c :
         {Case{6, std::string(kPlainBobMinor), false}, Case{6, "-14-16-16-16-16-12", true},
          Case{9, "3.1.9.1.9.1.9.1.9 LH 129", true}, Case{8, forty + " LH 12", false},
          Case{8, fortyTwo + " LH 12", true}}) {
        SCOPED_TRACE(c.notation);
        auto base = Method(c.bells, c.notation);
        EXPECT_EQ(FindRefusal(*base), c.refused ? std::string(kMsgFindNeeds) : "");
    }
    EXPECT_EQ(FindGroupRefusal(6, "B"), "");
    EXPECT_EQ(FindGroupRefusal(5, "B"), "The lead-head group B is not offered on 5 bells; the "
                                        "groups are ALL, P, Q, R, S.");
    EXPECT_EQ(FindGroupRefusal(4, "C"), "The lead-head group C is not offered on 4 bells; the "
                                        "groups are ALL, A, F, G, M.");
}

TEST_F(FindLibrary, StoresTheVariantsNamedAndCounted)
{
    FindControl control;
    control.keep = 1000;
    const FindOutcome outcome = Search(6, kPlainBobMinor, {FindType::Above, false, "ALL"}, control);
    ASSERT_TRUE(outcome.status) << outcome.status.error;
    EXPECT_FALSE(outcome.stopped);
    EXPECT_EQ(outcome.counts.possibilities, 81U);
    EXPECT_EQ(outcome.counts.found, 13U);
    const std::vector<Record> records = FindLibraryRecords();
    ASSERT_EQ(records.size(), 13U);
    ASSERT_EQ(outcome.methods.size(), 13U);
    std::uint64_t unknown = 0;
    for (std::size_t i = 0; i < records.size(); ++i) {
        const Record& r = records[i];
        SCOPED_TRACE(r.found.notation);
        EXPECT_EQ(outcome.methods[i].name, r.name);
        EXPECT_EQ(outcome.methods[i].notation, r.found.notation);
        EXPECT_EQ(outcome.methods[i].group, r.found.group);
        if (r.found.notation == kPlainBobMinor) {
            EXPECT_EQ(r.name, "PLAIN BOB MINOR"); // the first of the two records wins
            EXPECT_EQ(r.found.group, "A");
        } else if (r.found.notation == "-1-1-1 LH1") {
            ADD_FAILURE() << "not in the test library";
        } else {
            EXPECT_EQ(r.name,
                      "#" + ZeroFill(static_cast<std::int64_t>(++unknown), 6) + " Unknown Method");
        }
    }
    EXPECT_EQ(outcome.counts.newMethods, unknown);
    EXPECT_EQ(outcome.counts.Existing(), 1U);
    EXPECT_EQ(FindTotalsText(outcome.counts.newMethods, outcome.counts.Existing()),
              "12 New Methods and 1 Existing Methods");
}

TEST_F(FindLibrary, EveryStoredMethodCalculatesToItsGroup)
{
    struct Case {
        int bells;
        std::string_view notation;
        FindType type;
        std::string group;
    };
    for (const Case& c : {
             Case{6, kPlainBobMinor, FindType::Above, "ALL"},
             Case{6, kCambridgeMinor, FindType::Below, "ALL"},
             Case{5, "5.1.5.1.5 LH2", FindType::Above, "ALL"},    // P and Q by lead head
             Case{5, "3.1.5.1.5 LH5", FindType::Below, "ALL"},    // Grandsire-like lead heads
             Case{4, "3.3.3.1--2.1 LH1", FindType::Below, "ALL"}, // the treble lies at the back
             Case{6, "-1-4 LH2", FindType::Above, "ALL"},         // little: places the treble
             Case{8, kCambridgeMajor, FindType::Above, "G"},      // G is 13527486
             Case{8, kCambridgeMajor, FindType::Below, "D"},
         }) {
        SCOPED_TRACE(std::string(c.notation) + " " + c.group);
        const FindOutcome outcome = Search(c.bells, c.notation, {c.type, false, c.group});
        ASSERT_TRUE(outcome.status) << outcome.status.error;
        const std::vector<Record> records = FindLibraryRecords();
        EXPECT_EQ(records.size(), outcome.counts.found);
        for (const Record& r : records) {
            ASSERT_EQ(CheckPlaceNotation(r.found.notation, c.bells), "") << r.found.notation;
            auto again = Method(c.bells, r.found.notation);
            EXPECT_EQ(again->LeadHeadCode(), r.found.group) << r.found.notation;
            EXPECT_EQ(again->TidyNotation(), r.found.notation);
            if (c.group != "ALL") {
                EXPECT_EQ(r.found.group, c.group);
            }
        }
    }
}

TEST(SimilarMethods, VariantsThatAreNoMethodAreCountedNotStored)
{
    // The treble makes a place where the table adds places beside it: the changes joined there
    // are no changes, and variants whose lead head is admitted are counted but never stored
    // unless their notation is a method ringing that lead head.
    struct Case {
        int bells;
        std::string_view notation;
        FindType type;
    };
    std::uint64_t unstorable = 0;
    for (const Case& c :
         {Case{4, "3.1-1-1-1 LH1", FindType::Below}, Case{4, "1-3.1 LH3", FindType::Below},
          Case{6, "-1-4 LH2", FindType::Below}}) {
        SCOPED_TRACE(c.notation);
        auto base = Method(c.bells, c.notation);
        SimilarMethods search(*base, {c.type, false, "ALL"});
        std::atomic<bool> stop{false};
        std::uint64_t stored = 0;
        search.Run(stop, [&](std::string_view n, std::string_view g) {
            ++stored;
            EXPECT_EQ(CheckPlaceNotation(n, c.bells), "") << n;
            EXPECT_EQ(Method(c.bells, n)->LeadHeadCode(), g) << n;
            return true;
        });
        EXPECT_GE(search.Possibilities(), stored + search.Unstorable());
        unstorable += search.Unstorable();
    }
    EXPECT_EQ(unstorable, 3U + 6U);
}

TEST_F(FindLibrary, StopAndLimitKeepWhatWasStored)
{
    ASSERT_TRUE(Search(6, kPlainBobMinor, {FindType::Above, false, "ALL"}).status);
    ASSERT_EQ(FindLibraryRecords().size(), 13U);

    std::atomic<bool> stop{true};
    FindControl control;
    control.stop = &stop;
    FindOutcome outcome = Search(8, kCambridgeMajor, {FindType::Above, false, "ALL"}, control);
    ASSERT_TRUE(outcome.status);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.counts.possibilities, 0U);
    EXPECT_TRUE(FindLibraryRecords().empty()); // emptied, and nothing stored yet

    control = {};
    control.most = 5;
    outcome = Search(8, kCambridgeMajor, {FindType::Above, false, "ALL"}, control);
    ASSERT_TRUE(outcome.status);
    EXPECT_TRUE(outcome.stopped);
    EXPECT_EQ(outcome.counts.found, 5U);
    EXPECT_EQ(FindLibraryRecords().size(), 5U);

    // Stopped from another thread while it runs: what was counted was stored.
    stop = false;
    control = {};
    control.stop = &stop;
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        stop = true;
    });
    outcome = Search(8, kCambridgeMajor, {FindType::Above, false, "ALL"}, control);
    stopper.join();
    ASSERT_TRUE(outcome.status);
    if (outcome.stopped) {
        EXPECT_LT(outcome.counts.possibilities, 900'000U);
    }
    const std::vector<Record> records = FindLibraryRecords();
    EXPECT_EQ(records.size(), outcome.counts.found);
    std::uint64_t named = 0;
    for (const Record& r : records) {
        named += r.name.starts_with('#') ? 0 : 1;
    }
    EXPECT_EQ(named, outcome.counts.Existing());
}

TEST_F(FindLibrary, ALockedOrRefusedSearchChangesNothing)
{
    ASSERT_TRUE(Search(6, kPlainBobMinor, {FindType::Above, false, "ALL"}).status);
    const std::string before = test::ReadFile(dir.Path("lib") + "/Find_Lib.dbf");
    {
        TDbf held(kMethodTags, kMethodLayout);
        held.SetDbfFileName(dir.Path("lib") + "/Find_Lib.dbf");
        ASSERT_TRUE(held.Open(TableAccess::Read));
        const FindOutcome outcome = Search(6, kCambridgeMinor, {FindType::Above, false, "ALL"});
        EXPECT_EQ(outcome.status.error,
                  "The table Find_Lib.dbf is in use by another program (or another window of "
                  "Tambrel). Close it there and try again.");
        EXPECT_EQ(outcome.counts.found, 0U);
    }
    struct Case {
        int bells;
        std::string_view notation;
        std::string group;
        std::string error;
    };
    for (const Case& c : {Case{6, "-14-16-16-16-16-12", "ALL", std::string(kMsgFindNeeds)},
                          Case{6, kPlainBobMinor, "P", FindGroupRefusal(6, "P")}}) {
        const FindOutcome outcome = Search(c.bells, c.notation, {FindType::Above, false, c.group});
        EXPECT_EQ(outcome.status.error, c.error);
    }
    EXPECT_EQ(test::ReadFile(dir.Path("lib") + "/Find_Lib.dbf"), before);
    EXPECT_EQ(FindLibraryRecords().size(), 13U);
}

} // namespace
} // namespace tambrel
