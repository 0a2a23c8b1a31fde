#include "analysis/TBellFCH.h"
#include "engine/CCNotation.h"
#include "engine/TBellStore.h"
#include "tables/Delimited.h"

#include "tests/support/ReferenceFCH.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {
namespace {

using test::Calculated;
using test::FchLists;
using test::ListsOf;
using test::ReferenceSearch;
using List = TBellFCH::List;

FchLists Search(const TBellStore& a, const TBellStore& b, int lead, bool labelled = false,
                bool second = false)
{
    TBellFCH fch;
    fch.Search(a, b, lead, labelled, second);
    return ListsOf(fch);
}

// Each lead (or the one given) in every kind of search against the plain search, on courses
// chosen to reach each rule: the few bells of Minimus and Doubles, the 7th on eight bells and
// above, labels of one, two and three digits, full lists, repeated rows, another method and
// another lead length, the same method in another store, and a course cut at 2000 rows.
TEST(TBellFCH, AgreesWithThePlainSearch)
{
    struct Case {
        int bells;
        std::string_view a, b; // b empty: A against itself
        int lead = 0;          // 0: every lead
        bool copy = false;     // B is A calculated again in a store of its own
    };
    const std::string longLead = test::Repeat("-1D", 49) + "-1T";
    for (const Case& c : {
             Case{4, "-14-12", ""},                                      // Plain Bob Minimus
             Case{4, "-.-.-.14", ""},                                    // a repeated row
             Case{5, "3.1.5.1.5.1.5.1.5.1", ""},                         // Grandsire Doubles
             Case{5, "5.1.5.1.5.123", "3.1.5.1.5.1.5.1.5.1"},            // other lead length
             Case{5, "3.1.5.3.5.3.5.23.5.1.5.1.5.3.5.3.5.1.5.1", "", 1}, // 60 out of course
             Case{6, "-3-4-1-3-3-34 LH2", ""},                           // full when labelled
             Case{7, "3456.4 LH1", ""},                                  // twelve leads
             Case{7, "5.3.7.5.4.5.3.45.3.5.2.5.3.7.3.5.1.7.3.5.1.5.3.1.3.5.1.5.3.7.5.1.5.1.7 LH4",
                  "", 2}, // both lists full
             Case{8, "-38-14-1258-36-14-58-16-78LH12", "-58-14.58-58.36.14-14.58-14-18LH18"},
             Case{8, "-38-14-1258-36-14-58-16-78LH12", "", 4, true},
             Case{8, "-3-456-56-6-2-5.34.256-1 LH2", "", 1},        // rows repeated in its course
             Case{8, "-38-14-58-36-1234-1458-16.34.18LH12", "", 0}, // the 7th moves
             Case{9, "3.1.9.3.1.3.1.3.9.1.3.1", ""},
             Case{10, "-50-14.50-50.36.14-14.50-14-10-12-90LH10", "", 3},
             Case{16, "1D.56AB", "", 0, true}, // 120 leads
             Case{16, longLead, ""},
         }) {
        SCOPED_TRACE(std::string(c.a) + " against " + std::string(c.b));
        const auto a = Calculated(c.bells, c.a);
        const auto other =
            !c.b.empty() || c.copy ? Calculated(c.bells, c.b.empty() ? c.a : c.b) : nullptr;
        const TBellStore& b = other ? *other : *a;
        for (int lead = 1; lead <= a->LeadsInCourse(); ++lead) {
            if (c.lead != 0 && lead != c.lead) {
                continue;
            }
            for (const bool labelled : {false, true}) {
                for (const bool second : {false, true}) {
                    ASSERT_EQ(Search(*a, b, lead, labelled, second),
                              ReferenceSearch(*a, b, lead, labelled, second))
                        << "lead " << lead << (labelled ? ", labelled" : "")
                        << (second ? ", second notation" : "");
                }
            }
        }
    }
}

// The Central Council's false course head groups on Major (Appendix E of its framework), each
// member marked + in course or - out of course, and the split-tenor groups named by one member
// each.
constexpr std::string_view kGroupMembers =
    "+A23456 +B24365 -B25436 -B32456 -B23654 -B43256 +C25634 -C42365 -C34265 +D32546 "
    "+D46253 -D53426 -D63452 -D24356 +E32465 +E43265 -E25364 -E24635 +F45236 +F32654 "
    "-F26345 -F24563 +G56423 +G63542 +H53462 +H63425 -H56243 -H62543 -H46523 -H36542 "
    "+I54632 +I65324 +K65432 +K53624 -K46352 -K52346 -K64253 -K34526 -K64325 -K54362 "
    "+L26543 +L42563 +L36245 +M23564 +M23645 +M25463 +M26435 +N34562 +N62345 +N46325 "
    "+N54263 -N62435 -N53264 -N43625 -N35462 -N65234 -N45632 -N52634 -N35624 +O52643 "
    "+O36524 +O65243 +O46532 -O63524 -O53642 -O56432 -O65423 +P54326 +P64352 +P56342 "
    "+P64523 +R45623 +R56234 +R35642 +R62534 +S52364 +S34625 +S64235 +S45362 +T24536 "
    "+T25346 +T36452 +T43526 +T62453 +T26354 +T53246 +T24653 -T32564 -T32645 -T46235 "
    "-T45263 +U34256 +U42356 +U43652 +U63254 +U52436 +U35426 +U35264 +U42635 -a23465 "
    "-a23546 -a26453 -b26534 -b25643 -c35246 -c42536 -c42653 -c36254 -d34652 -d45326 "
    "-d62354 -d54236 -e36425 -e52463 -e43562 -e63245 -f54623 -f56324 -f65342 -f64532 ";
const std::map<std::string, char, std::less<>> kSplitGroups = {
    {"265743", 'X'}, {"364752", 'Y'}, {"546732", 'Z'}};

// The groups the Council names for the 138 Major methods of its collection that carry them,
// from the FCHs of every lead against the plain course, in the Council's order (capitals, small
// letters, then the split-tenor groups); and every FCH stands in the list its group's parity
// says.
TEST(TBellFCH, TheCentralCouncilsGroupsOnMajor)
{
    std::ifstream csv(TAMBREL_COLLECTION_CSV, std::ios::binary);
    if (!csv) {
        GTEST_SKIP() << "the reference collection is not beside the checkout: "
                     << TAMBREL_COLLECTION_CSV;
    }
    std::map<std::string, std::pair<char, bool>, std::less<>> byFch;
    for (std::size_t at = 0; at < kGroupMembers.size(); at += 8) {
        byFch[std::string(kGroupMembers.substr(at + 2, 5))] = {kGroupMembers[at + 1],
                                                               kGroupMembers[at] == '+'};
    }
    ASSERT_EQ(byFch.size(), 120U); // every order of bells 2 to 6, once
    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    const std::vector<std::string> header = SplitDelimitedLine(line);
    const std::size_t stage = test::ColumnOf(header, "stage");
    const std::size_t title = test::ColumnOf(header, "title");
    const std::size_t notation = test::ColumnOf(header, "notation");
    const std::size_t groupsColumn = test::ColumnOf(header, "fch_groups");
    ASSERT_LT(groupsColumn, header.size());
    int checked = 0;
    while (std::getline(csv, line)) {
        const std::vector<std::string> values = SplitDelimitedLine(line);
        if (values.size() <= groupsColumn || values[groupsColumn].empty() || values[stage] != "8") {
            continue;
        }
        SCOPED_TRACE(values[title]);
        const auto method = Calculated(8, *ExpandCCNotation(values[notation]).value);
        std::set<char> capitals;
        std::set<char> small;
        std::set<char> split;
        for (int lead = 1; lead <= method->LeadsInCourse(); ++lead) {
            const FchLists lists = Search(*method, *method, lead);
            for (const std::size_t list : {0U, 1U}) {
                for (const std::string& fch : lists[list]) {
                    const auto found = byFch.find(fch);
                    ASSERT_NE(found, byFch.end()) << fch;
                    const auto [group, inCourse] = found->second;
                    EXPECT_EQ(inCourse, list == 0) << fch;
                    (group >= 'a' ? small : capitals).insert(group);
                }
            }
            for (const std::size_t list : {2U, 3U}) {
                for (const std::string& fch : lists[list]) {
                    if (kSplitGroups.contains(fch)) {
                        split.insert(kSplitGroups.at(fch));
                    }
                }
            }
        }
        std::string groups;
        for (const auto& set : {capitals, small, split}) {
            groups.append(set.begin(), set.end());
        }
        EXPECT_EQ(groups, values[groupsColumn]);
        ++checked;
    }
    EXPECT_EQ(checked, 138);
}

// Each search starts afresh; a lead outside the course, a method not calculated or a second
// method of another stage leave every list empty.
TEST(TBellFCH, EmptySearches)
{
    const auto utsire = Calculated(7, "3456.4 LH1");
    const auto major = Calculated(8, "-38-14-1258-36-14-58-16-78LH12");
    const TBellStore uncalculated;
    TBellFCH fch;
    fch.Search(*utsire, *utsire, 1, true, false);
    ASSERT_EQ(fch.Count(List::OutOfCourse), 4);
    struct Case {
        const TBellStore& a;
        const TBellStore& b;
        int lead;
    };
    for (const Case& c :
         {Case{*utsire, *utsire, 0}, Case{*utsire, *utsire, 13}, Case{*utsire, *major, 1},
          Case{*major, *utsire, 1}, Case{uncalculated, *major, 1}, Case{*major, uncalculated, 1}}) {
        fch.Search(c.a, c.b, c.lead, true, false);
        EXPECT_EQ(ListsOf(fch), FchLists{}) << "lead " << c.lead;
    }
}

} // namespace
} // namespace tambrel
