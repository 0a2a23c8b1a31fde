#include "analysis/TBellFCH.h"
#include "engine/Bells.h"
#include "engine/CCNotation.h"
#include "engine/TBellStore.h"
#include "tables/Delimited.h"

#include "tests/support/CollectionXml.h"
#include "tests/support/ReferenceFCH.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {
namespace {

using test::FchLists;
using test::ListsOf;
using test::ReferenceSearch;
using List = TBellFCH::List;

constexpr std::size_t kIn = 0;
constexpr std::size_t kOut = 1;
constexpr std::size_t kSplitIn = 2;
constexpr std::size_t kSplitOut = 3;

// The store is large (rows of a 2000-row course), so tests keep it on the heap.
std::unique_ptr<TBellStore> Calculated(int bells, std::string_view notation)
{
    auto store = std::make_unique<TBellStore>();
    store->SetBells(bells);
    store->SetName("Test");
    store->SetPlaceNotation(notation);
    store->Calculate();
    return store;
}

FchLists Search(const TBellStore& a, const TBellStore& b, int lead, bool labelled = false,
                bool second = false)
{
    TBellFCH fch;
    fch.Search(a, b, lead, labelled, second);
    return ListsOf(fch);
}

// Every entry of every lead of `method` against its own course, list by list.
FchLists AllLeads(const TBellStore& method, bool labelled = false, bool second = false)
{
    FchLists all;
    for (int lead = 1; lead <= method.LeadsInCourse(); ++lead) {
        const FchLists lists = Search(method, method, lead, labelled, second);
        for (std::size_t list = 0; list < all.size(); ++list) {
            all[list].insert(all[list].end(), lists[list].begin(), lists[list].end());
        }
    }
    return all;
}

bool Holds(const std::vector<std::string>& list, std::string_view text)
{
    return std::find(list.begin(), list.end(), text) != list.end();
}

// Whether the FCH text (bells 2, 3, ... in turn) is an even permutation, by its cycles.
bool EvenByCycles(std::string_view fch)
{
    std::vector<bool> seen(fch.size(), false);
    int transpositions = 0;
    for (std::size_t start = 0; start < fch.size(); ++start) {
        std::size_t length = 0;
        for (std::size_t k = start; !seen[k]; k = static_cast<std::size_t>(BellOf(fch[k]) - 2)) {
            seen[k] = true;
            ++length;
        }
        transpositions += length > 0 ? static_cast<int>(length) - 1 : 0;
    }
    return transpositions % 2 == 0;
}

std::string Describe(const FchLists& lists)
{
    std::string text;
    for (const auto& list : lists) {
        text += "[";
        for (const std::string& entry : list) {
            text += entry + " ";
        }
        text += "] ";
    }
    return text;
}

// Every method of the bundled library on 8 or more bells, each one lead of it searched with
// one of the four kinds of search, against itself or, for every fifth, against the method
// before it. One lead a method keeps the run short under the sanitizers.
TEST(TBellFCH, AgreesWithThePlainSearchOnTheLibrary)
{
    const std::vector<test::LibraryMethod> methods = test::ReadLibraryMethods(TAMBREL_METHODS_CSV);
    ASSERT_GT(methods.size(), 20000U);
    std::array<std::unique_ptr<TBellStore>, 2> stores{std::make_unique<TBellStore>(),
                                                      std::make_unique<TBellStore>()};
    TBellFCH fch;
    std::size_t searched = 0;
    std::size_t differing = 0;
    for (const test::LibraryMethod& method : methods) {
        if (method.bells < 8) {
            continue;
        }
        TBellStore& a = *stores[searched % 2];
        const TBellStore& previous = *stores[(searched + 1) % 2];
        a.SetBells(method.bells);
        a.SetName(method.name);
        a.SetPlaceNotation(method.places);
        a.Calculate();
        ASSERT_GT(a.LeadsInCourse(), 0) << method.name;
        const bool other = searched % 5 == 4 && previous.Bells() == a.Bells();
        const TBellStore& b = other ? previous : a;
        const int lead =
            1 + static_cast<int>(searched % static_cast<std::size_t>(a.LeadsInCourse()));
        const bool labelled = searched % 2 == 1;
        const bool second = (searched / 2) % 2 == 1;
        ++searched;
        fch.Search(a, b, lead, labelled, second);
        const FchLists expected = ReferenceSearch(a, b, lead, labelled, second);
        if (ListsOf(fch) != expected && ++differing <= 5) {
            ADD_FAILURE() << method.name << ", lead " << lead << (labelled ? ", labelled" : "")
                          << (second ? ", second notation" : "")
                          << (other ? ", against the method before" : "") << "\n  expected "
                          << Describe(expected) << "\n  found    " << Describe(ListsOf(fch));
        }
    }
    EXPECT_EQ(differing, 0U);
    EXPECT_GT(searched, 14000U);
}

// Stages, lengths and courses the library has few of, each lead in every kind of search.
TEST(TBellFCH, AgreesWithThePlainSearchOnUnusualCourses)
{
    struct Case {
        int bells;
        std::string_view a, b; // b empty: A against itself
    };
    const std::string longLead = test::Repeat("-1D", 49) + "-1T"; // cut at 2000 rows
    for (const Case& c : {
             Case{4, "-14-12", ""},                           // Plain Bob Minimus
             Case{4, "-.-.-.14", ""},                         // a repeated row
             Case{5, "3.1.5.1.5.1.5.1.5.1", ""},              // Grandsire Doubles
             Case{5, "5.1.5.1.5.123", "3.1.5.1.5.1.5.1.5.1"}, // other lead length
             Case{6, "-3-4-1-3-3-34 LH2", ""},                // overflows when labelled
             Case{7, "3456.4 LH1", ""},                       // twelve leads
             Case{8, "-38-14-1258-36-14-58-16-78LH12", "-58-14.58-58.36.14-14.58-14-18LH18"},
             Case{9, "3.1.9.3.1.3.1.3.9.1.3.1", ""},
             Case{16, longLead, ""},
         }) {
        SCOPED_TRACE(std::string(c.a) + " against " + std::string(c.b));
        const auto a = Calculated(c.bells, c.a);
        const auto other = c.b.empty() ? nullptr : Calculated(c.bells, c.b);
        const TBellStore& b = other ? *other : *a;
        for (int lead = 1; lead <= a->LeadsInCourse(); ++lead) {
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

// The Central Council's false course head groups (Appendix E of its framework), member by
// member: group on Major, group or numbered part on Royal, and whether in course.
struct GroupMember {
    std::string_view fch;
    char group;
    std::string_view part; // the Royal name where the group has numbered parts
    bool inCourse;
};

const std::vector<GroupMember>& FalsenessGroups()
{
    static const std::vector<GroupMember> members = [] {
        struct Row {
            char group;
            std::string_view part;
            bool inCourse;
            std::string_view fchs;
        };
        static constexpr Row kRows[] = {
            {'A', "", true, "23456"},
            {'B', "", true, "24365"},
            {'B', "", false, "25436 32456 23654 43256"},
            {'C', "", true, "25634"},
            {'C', "", false, "42365 34265"},
            {'D', "", true, "32546 46253"},
            {'D', "", false, "53426 63452 24356"},
            {'E', "", true, "32465 43265"},
            {'E', "", false, "25364 24635"},
            {'F', "", true, "45236 32654"},
            {'F', "", false, "26345 24563"},
            {'G', "", true, "56423 63542"},
            {'H', "", true, "53462 63425"},
            {'H', "", false, "56243 62543 46523 36542"},
            {'I', "", true, "54632 65324"},
            {'K', "", true, "65432 53624"},
            {'K', "K1", false, "46352 52346 64253 34526"},
            {'K', "K2", false, "64325 54362"},
            {'L', "L1", true, "26543"},
            {'L', "L2", true, "42563 36245"},
            {'M', "", true, "23564 23645 25463 26435"},
            {'N', "", true, "34562 62345 46325 54263"},
            {'N', "N1", false, "62435 53264 43625 35462"},
            {'N', "N2", false, "65234 45632 52634 35624"},
            {'O', "", true, "52643 36524 65243 46532"},
            {'O', "", false, "63524 53642 56432 65423"},
            {'P', "P1", true, "54326 64352"},
            {'P', "P2", true, "56342 64523"},
            {'R', "", true, "45623 56234 35642 62534"},
            {'S', "", true, "52364 34625 64235 45362"},
            {'T', "", true, "24536 25346 36452 43526 62453 26354 53246 24653"},
            {'T', "", false, "32564 32645 46235 45263"},
            {'U', "U1", true, "34256 42356 43652 63254 52436 35426"},
            {'U', "U2", true, "35264 42635"},
            {'a', "a1", false, "23465"},
            {'a', "a2", false, "23546 26453"},
            {'b', "", false, "26534 25643"},
            {'c', "", false, "35246 42536 42653 36254"},
            {'d', "", false, "34652 45326 62354 54236"},
            {'e', "", false, "36425 52463 43562 63245"},
            {'f', "", false, "54623 56324 65342 64532"},
        };
        std::vector<GroupMember> all;
        for (const Row& row : kRows) {
            for (std::size_t at = 0; at < row.fchs.size(); at += 6) {
                all.push_back({row.fchs.substr(at, 5), row.group, row.part, row.inCourse});
            }
        }
        return all;
    }();
    return members;
}

// Group names in the Council's order: capitals, then small letters, each alphabetically.
std::string Joined(const std::set<std::string>& names)
{
    std::vector<std::string> sorted(names.begin(), names.end());
    std::stable_sort(sorted.begin(), sorted.end(), [](const std::string& x, const std::string& y) {
        const bool capitalX = x[0] >= 'A' && x[0] <= 'Z';
        const bool capitalY = y[0] >= 'A' && y[0] <= 'Z';
        return capitalX != capitalY ? capitalX : x < y;
    });
    std::string out;
    for (const std::string& name : sorted) {
        out += name;
    }
    return out;
}

// The groups the Council names for the methods of its collection that carry them (138 Major,
// 19 Royal), from the FCHs of every lead against the plain course; and every FCH stands in the
// list its group's parity says.
TEST(TBellFCH, TheCentralCouncilsGroups)
{
    std::ifstream csv(TAMBREL_COLLECTION_CSV, std::ios::binary);
    if (!csv) {
        GTEST_SKIP() << "the reference collection is not beside the checkout: "
                     << TAMBREL_COLLECTION_CSV;
    }
    std::map<std::string, const GroupMember*, std::less<>> byFch;
    for (const GroupMember& member : FalsenessGroups()) {
        byFch[std::string(member.fch)] = &member;
    }
    ASSERT_EQ(byFch.size(), 120U); // every order of bells 2 to 6, once
    // The split-tenor groups, named on Major by one member each.
    const std::map<std::string, std::string, std::less<>> splitGroups = {
        {"265743", "X"}, {"364752", "Y"}, {"546732", "Z"}};

    std::string line;
    ASSERT_TRUE(std::getline(csv, line));
    const std::vector<std::string> header = SplitDelimitedLine(line);
    const std::size_t stageColumn = test::ColumnOf(header, "stage");
    const std::size_t titleColumn = test::ColumnOf(header, "title");
    const std::size_t notationColumn = test::ColumnOf(header, "notation");
    const std::size_t groupsColumn = test::ColumnOf(header, "fch_groups");
    ASSERT_LT(groupsColumn, header.size());
    int checked = 0;
    while (std::getline(csv, line)) {
        const std::vector<std::string> values = SplitDelimitedLine(line);
        if (values.size() <= groupsColumn || values[groupsColumn].empty()) {
            continue;
        }
        const int bells = std::stoi(values[stageColumn]);
        const Result<std::string> notation = ExpandCCNotation(values[notationColumn]);
        ASSERT_TRUE(notation.value) << values[titleColumn];
        const auto method = Calculated(bells, *notation.value);
        const FchLists all = AllLeads(*method);
        std::set<std::string> major;
        std::set<std::string> royalIn;
        std::set<std::string> royalOut;
        for (const std::size_t list : {kIn, kOut}) {
            for (const std::string& fch : all[list]) {
                const auto found = byFch.find(fch);
                ASSERT_NE(found, byFch.end()) << values[titleColumn] << ": " << fch;
                const GroupMember& member = *found->second;
                EXPECT_EQ(member.inCourse, list == kIn) << values[titleColumn] << ": " << fch;
                major.insert(std::string(1, member.group));
                (list == kIn ? royalIn : royalOut)
                    .insert(member.part.empty() ? std::string(1, member.group)
                                                : std::string(member.part));
            }
        }
        for (const std::size_t list : {kSplitIn, kSplitOut}) {
            for (const std::string& fch : all[list]) {
                EXPECT_EQ(fch.size(), 6U);
                EXPECT_EQ(EvenByCycles(fch), list == kSplitIn) << values[titleColumn] << fch;
                if (const auto found = splitGroups.find(fch); found != splitGroups.end()) {
                    major.insert(found->second);
                }
            }
        }
        std::string groups;
        if (bells == 8) {
            // Split-tenor groups come last, after the small letters.
            std::set<std::string> split;
            for (const char name : {'X', 'Y', 'Z'}) {
                if (major.erase(std::string(1, name)) > 0) {
                    split.insert(std::string(1, name));
                }
            }
            groups = Joined(major) + Joined(split);
        } else {
            groups = Joined(royalIn) + "/" + Joined(royalOut);
        }
        EXPECT_EQ(groups, values[groupsColumn]) << values[titleColumn];
        ++checked;
    }
    EXPECT_EQ(checked, 157);
}

// A row that comes twice in a plain course shows the course head 23456 (the plain course
// itself); a row is never compared with itself, but the same method held in another store
// is another method, whose rows all recur.
TEST(TBellFCH, ARepeatedRowShowsThePlainCourse)
{
    struct Case {
        std::string_view notation;
        bool sameStore;
        int lead;
        bool plainCourseFound;
    };
    for (const Case& c : {
             Case{"-3-456-56-6-2-5.34.256-1 LH2", true, 1, true}, // Normandy S Major
             Case{"-38-14-1258-36-14-58-16-78LH12", true, 1, false},
             Case{"-38-14-1258-36-14-58-16-78LH12", true, 4, false},
             Case{"-38-14-1258-36-14-58-16-78LH12", false, 4, true},
         }) {
        SCOPED_TRACE(c.notation);
        const auto a = Calculated(8, c.notation);
        const auto copy = Calculated(8, c.notation);
        const FchLists lists = Search(*a, c.sameStore ? *a : *copy, c.lead);
        EXPECT_EQ(Holds(lists[kIn], "23456"), c.plainCourseFound) << Describe(lists);
    }
    // Normandy's first lead is false against its course only through its repeated rows.
    const auto normandy = Calculated(8, "-3-456-56-6-2-5.34.256-1 LH2");
    EXPECT_EQ(Search(*normandy, *normandy, 1)[kIn], std::vector<std::string>{"23456"});
}

// On 8 bells an FCH that leaves the 7th at home drops it; one that moves it has six symbols
// and a list of its own. From 9 bells up the 7th is a fixed bell.
TEST(TBellFCH, TheSeventhOnEightAndAbove)
{
    struct Case {
        int bells;
        std::string_view notation;
        std::string_view splitFch; // expected among the six-symbol FCHs, when given
    };
    for (const Case& c : {
             Case{8, "-38-14-58-16-14-58-14.36.58LH12", ""},           // Beaconsfield S Major
             Case{8, "-38-14-58-36-1234-1458-16.34.18LH12", "364752"}, // Brue S Major (Y)
             Case{8, "-38-14-58-16-14-58-16-78LH18", ""},
             Case{9, "3.1.9.3.1.3.1.3.9.1.3.1", ""},                         // Stedman Caters
             Case{10, "-30-14-1250-36-1470-58-16-70-18-90LH12", ""},         // Cambridge S Royal
             Case{10, "-50-14.50-50.36.14-14.50-14-10-12-90LH10", ""},       // Perlethorpe D Royal
             Case{12, "-3T-14-125T-36-147T-58-169T-70-18-9T-10-ETLH12", ""}, // Cambridge S Maximus
             Case{16, "-3-4-25-36-47-58-69-70-8E-9T-0A-EB-T-A-B-C LH2", ""}, // Cambridge S Sixteen
         }) {
        SCOPED_TRACE(c.notation);
        const auto method = Calculated(c.bells, c.notation);
        const FchLists all = AllLeads(*method);
        for (const std::size_t list : {kIn, kOut}) {
            for (const std::string& fch : all[list]) {
                ASSERT_EQ(fch.size(), 5U) << fch;
                EXPECT_EQ(fch.find_first_not_of("23456"), std::string::npos) << fch;
                EXPECT_EQ(EvenByCycles(fch), list == kIn) << fch;
            }
        }
        for (const std::size_t list : {kSplitIn, kSplitOut}) {
            for (const std::string& fch : all[list]) {
                ASSERT_EQ(fch.size(), 6U) << fch;
                EXPECT_NE(fch[5], '7') << fch;
                EXPECT_EQ(EvenByCycles(fch), list == kSplitIn) << fch;
            }
        }
        if (c.bells != 8) {
            EXPECT_TRUE(all[kSplitIn].empty() && all[kSplitOut].empty()) << Describe(all);
        }
        if (!c.splitFch.empty()) {
            EXPECT_TRUE(Holds(all[kSplitIn], c.splitFch) || Holds(all[kSplitOut], c.splitFch))
                << Describe(all);
        }
        EXPECT_FALSE(all[kIn].empty() && all[kOut].empty()) << "found no falseness at all";
    }
}

// The 4- and 5-bell stages name fewer bells than the map holds: the missing ones must not
// change any parity. Every lead of every Minimus and Doubles method of the library.
TEST(TBellFCH, ParityOnFourAndFiveBells)
{
    struct Case {
        int bells;
        std::string_view notation;
        std::string_view in, out; // texts expected in the in-course and out-of-course lists
    };
    for (const Case& c : {
             Case{4, "-14-12", "342", "432"},            // Plain Bob Minimus
             Case{4, "-.-.-.14", "234", ""},             // a repeated row
             Case{5, "3.1.5.1.5.1.5.1.5.1", "3254", ""}, // Grandsire Doubles
             Case{5, "5.1.5.1.5.125", "3425", "3452"},   // Plain Bob Doubles
         }) {
        SCOPED_TRACE(c.notation);
        const auto method = Calculated(c.bells, c.notation);
        const FchLists all = AllLeads(*method);
        if (!c.in.empty()) {
            EXPECT_TRUE(Holds(all[kIn], c.in)) << Describe(all);
        }
        if (!c.out.empty()) {
            EXPECT_TRUE(Holds(all[kOut], c.out)) << Describe(all);
        }
    }
    const std::vector<test::LibraryMethod> methods = test::ReadLibraryMethods(TAMBREL_METHODS_CSV);
    auto store = std::make_unique<TBellStore>();
    int entries = 0;
    for (const test::LibraryMethod& method : methods) {
        if (method.bells > 5) {
            continue;
        }
        store->SetBells(method.bells);
        store->SetName(method.name);
        store->SetPlaceNotation(method.places);
        store->Calculate();
        const FchLists all = AllLeads(*store);
        for (const std::size_t list : {kIn, kOut}) {
            for (const std::string& fch : all[list]) {
                ASSERT_EQ(fch.size(), static_cast<std::size_t>(method.bells - 1)) << method.name;
                ASSERT_EQ(EvenByCycles(fch), list == kIn) << method.name << ": " << fch;
                ++entries;
            }
        }
        ASSERT_TRUE(all[kSplitIn].empty() && all[kSplitOut].empty()) << method.name;
    }
    EXPECT_GT(entries, 10000);
}

// Labels name B's lead: with two digits when B has more than nine leads (never cut), as
// " V" and the lead in the second notation. Two stores of one method make every row recur in
// its own lead, so the label of a lead is that lead.
TEST(TBellFCH, LeadLabels)
{
    struct Case {
        int bells;
        std::string_view notation;
        int leads, lead;
        bool second;
        std::string_view text;
    };
    for (const Case& c : {
             Case{10, "-1-1-1-1-1 LH2", 9, 1, false, "L1-23456"}, // Plain Bob Royal
             Case{10, "-1-1-1-1-1 LH2", 9, 9, false, "L9-23456"},
             Case{10, "-1-1-1-1-1 LH2", 9, 9, true, "23456 V9"},
             Case{7, "3456.4 LH1", 12, 1, false, "L01-23456"},
             Case{7, "3456.4 LH1", 12, 9, false, "L09-23456"},
             Case{7, "3456.4 LH1", 12, 10, false, "L10-23456"},
             Case{7, "3456.4 LH1", 12, 12, false, "L12-23456"},
             Case{7, "3456.4 LH1", 12, 3, true, "23456 V3"},
             Case{7, "3456.4 LH1", 12, 12, true, "23456 V12"},
             Case{16, "1D.56AB", 120, 1, false, "L01-23456"},
             Case{16, "1D.56AB", 120, 100, false, "L100-23456"},
             Case{16, "1D.56AB", 120, 101, false, "L101-23456"},
         }) {
        SCOPED_TRACE(std::string(c.notation) + ", lead " + std::to_string(c.lead));
        const auto a = Calculated(c.bells, c.notation);
        const auto b = Calculated(c.bells, c.notation);
        ASSERT_EQ(b->LeadsInCourse(), c.leads);
        const FchLists lists = Search(*a, *b, c.lead, true, c.second);
        EXPECT_TRUE(Holds(lists[kIn], c.text)) << Describe(lists);
    }
    // Against its own course North Utsire is false in every lead, each label of two digits.
    const auto utsire = Calculated(7, "3456.4 LH1");
    std::set<std::string> labels;
    const FchLists all = AllLeads(*utsire, true);
    for (const std::size_t list : {kIn, kOut}) {
        for (const std::string& entry : all[list]) {
            ASSERT_EQ(entry.size(), 9U) << entry;
            labels.insert(entry.substr(0, 4));
        }
    }
    EXPECT_EQ(labels, (std::set<std::string>{"L01-", "L02-", "L03-", "L04-", "L05-", "L06-", "L07-",
                                             "L08-", "L09-", "L10-", "L11-", "L12-"}));
}

// The FCH of the lead's text without its label.
std::string Unlabelled(const std::string& entry, bool second)
{
    return second ? entry.substr(0, entry.find(' ')) : entry.substr(entry.find('-') + 1);
}

// With labels an FCH found through several leads of B is kept once for each; without, once.
TEST(TBellFCH, LabelsKeepAnFchOncePerLead)
{
    const auto utsire = Calculated(7, "3456.4 LH1");
    const FchLists labelled = Search(*utsire, *utsire, 1, true);
    EXPECT_EQ(labelled[kIn], std::vector<std::string>{"L09-32465"});
    EXPECT_EQ(labelled[kOut],
              (std::vector<std::string>{"L05-32456", "L05-23465", "L01-32456", "L09-23465"}));
    const FchLists plain = Search(*utsire, *utsire, 1);
    EXPECT_EQ(plain[kIn], std::vector<std::string>{"32465"});
    EXPECT_EQ(plain[kOut], (std::vector<std::string>{"32456", "23465"}));

    // In general: the unlabelled lists are the labelled ones without their labels, each text
    // at its first place.
    struct Case {
        int bells;
        std::string_view notation;
    };
    for (const Case& c :
         {Case{8, "-3-456-56-6-2-5.34.256-1 LH2"}, Case{8, "-38-14-58-36-1234-1458-16.34.18LH12"},
          Case{10, "-3-4-2-1-4-1-2-1-34-9 LH2"}, Case{6, "-1-1-1 LH2"}}) {
        SCOPED_TRACE(c.notation);
        const auto method = Calculated(c.bells, c.notation);
        for (int lead = 1; lead <= method->LeadsInCourse(); ++lead) {
            for (const bool second : {false, true}) {
                const FchLists withLabels = Search(*method, *method, lead, true, second);
                const FchLists without = Search(*method, *method, lead, false, second);
                for (std::size_t list = 0; list < withLabels.size(); ++list) {
                    std::vector<std::string> stripped;
                    for (const std::string& entry : withLabels[list]) {
                        if (!Holds(stripped, Unlabelled(entry, second))) {
                            stripped.push_back(Unlabelled(entry, second));
                        }
                    }
                    EXPECT_EQ(stripped, without[list]) << "lead " << lead;
                }
            }
        }
    }
}

// More than 60 distinct texts of one kind leave the one entry "60+ FCHs"; 60 stay whole, and
// the other lists keep their entries.
TEST(TBellFCH, SixtyAndMoreDistinctFchs)
{
    struct Case {
        int bells;
        std::string_view notation; // searched against itself, labelled, first notation
        int lead;
        std::size_t in, out; // expected counts; 0: overflowed
    };
    for (const Case& c : {
             Case{6, "-3-4-1-3-3-34 LH2", 1, 0, 40},                         // County Town TP
             Case{5, "3.1.5.3.5.3.5.23.5.1.5.1.5.3.5.3.5.1.5.1", 1, 47, 60}, // Gold Diff.
             Case{7, "5.3.7.5.4.5.3.45.3.5.2.5.3.7.3.5.1.7.3.5.1.5.3.1.3.5.1.5.3.7.5.1.5.1.7 LH4",
                  2, 0, 0}, // Upham Differential Triples
         }) {
        SCOPED_TRACE(c.notation);
        const auto method = Calculated(c.bells, c.notation);
        TBellFCH fch;
        fch.Search(*method, *method, c.lead, true, false);
        const FchLists lists = ListsOf(fch);
        EXPECT_EQ(lists, ReferenceSearch(*method, *method, c.lead, true, false));
        for (const auto& [list, expected] : {std::pair{kIn, c.in}, std::pair{kOut, c.out}}) {
            if (expected == 0) {
                EXPECT_EQ(lists[list], std::vector<std::string>{"60+ FCHs"});
            } else {
                EXPECT_EQ(lists[list].size(), expected);
                EXPECT_EQ(std::set<std::string>(lists[list].begin(), lists[list].end()).size(),
                          expected);
                EXPECT_FALSE(Holds(lists[list], "60+ FCHs"));
            }
        }
    }
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
        for (const List list : {List::InCourse, List::OutOfCourse, List::SplitIn, List::SplitOut}) {
            EXPECT_EQ(fch.Count(list), 0) << "lead " << c.lead;
        }
    }
}

} // namespace
} // namespace tambrel
