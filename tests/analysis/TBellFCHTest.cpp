#include "analysis/TBellFCH.h"
#include "engine/TBellStore.h"

#include "tests/support/ReferenceFCH.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tambrel {
namespace {

using test::Calculated;
using test::FchLists;
using test::ListsOf;

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
        TBellFCH fch; // one search after another, as the sheets search
        for (int lead = 1; lead <= a->LeadsInCourse(); ++lead) {
            if (c.lead != 0 && lead != c.lead) {
                continue;
            }
            for (const bool labelled : {false, true}) {
                for (const bool second : {false, true}) {
                    fch.Search(*a, b, lead, labelled, second);
                    ASSERT_EQ(ListsOf(fch), test::ReferenceSearch(*a, b, lead, labelled, second))
                        << "lead " << lead << (labelled ? ", labelled" : "")
                        << (second ? ", second notation" : "");
                }
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
    ASSERT_EQ(fch.Count(TBellFCH::List::OutOfCourse), 4);
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
