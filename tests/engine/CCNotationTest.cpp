#include "engine/CCNotation.h"
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace tambrel {
namespace {

TEST(ExpandCCNotation, EachShapeOfTheCommaForm)
{
    struct Case {
        std::string_view cc, expanded;
        int bells;
    };
    for (const Case c : {
             Case{"-38-14-1258-36-14-58-16-78,12",
                  "-38-14-1258-36-14-58-16-78-16-58-14-36-1258-14-38-12", 8}, // AB,C
             Case{"3,1.5.1.5.1", "3.1.5.1.5.1.5.1.5.1", 5},                   // single change first
             Case{"7,3.1.3", "7.3.1.3.1.3", 7},                               // Erin Triples
             Case{"3.3.1,1.3.3.3", "3.3.1.3.3.1.3.3.3.3.3.1", 5},             // both sides long
             Case{"34.16-14,12", "34.16-14-16.34.12", 6}, // Canterbury Little Bob
             Case{"-12-14.36", "-12-14.36", 6},           // no comma: as written
             Case{"-5T-14.5T-5T.36.14-7T.58.16-9T.70.18-18.9T-18-1T,1T",
                  "-5T-14.5T-5T.36.14-7T.58.16-9T.70.18-18.9T-18-1T-18-9T.18-18.70.9T-16.58.7T-"
                  "14.36.5T-5T.14-5T-1T",
                  12}, // Bristol Maximus: E, T and 0
         }) {
        SCOPED_TRACE(c.cc);
        const Result<std::string> lead = ExpandCCNotation(c.cc);
        ASSERT_TRUE(lead) << lead.error;
        EXPECT_EQ(*lead.value, c.expanded);
        EXPECT_EQ(CheckPlaceNotation(*lead.value, c.bells), "");
        // And back: the lead's changes written in the Council's form.
        TBellStore store;
        store.SetBells(c.bells);
        store.SetPlaceNotation(*lead.value);
        store.Calculate();
        EXPECT_EQ(store.ShownNotation(true), c.cc);
        EXPECT_EQ(CCNotationOfPlaces(store.TidyNotation(), c.bells), c.cc);
    }
    // What the check refuses is shown as it is.
    EXPECT_EQ(CCNotationOfPlaces("-3-4-Q", 8), "-3-4-Q");
    EXPECT_EQ(CCNotationOfPlaces("-1-1", 3), "-1-1");
    // A two-change lead is a plain list, as the Council writes it.
    EXPECT_EQ(CCNotationOf({"", "16"}), "-16");
    EXPECT_EQ(CCNotationOf({"5", "1"}), "5.1");
}

TEST(ExpandCCNotation, EmptySidesAreRefusedAndTypedTextStays)
{
    for (const std::string_view cc : {"", ",12", "12,", "1,,2", " . "}) {
        SCOPED_TRACE(cc);
        const Result<std::string> lead = ExpandCCNotation(cc);
        EXPECT_FALSE(lead);
        EXPECT_EQ(lead.error, "Empty part in the notation \"" + std::string(cc) + "\".");
    }
    EXPECT_EQ(ExpandTypedNotation("x16x16x16,12"), "-16-16-16-16-16-12");
    EXPECT_EQ(ExpandTypedNotation("-38-14LH12"), "-38-14LH12");
    // Unexpandable: left for the validator, whose message points at the comma.
    EXPECT_EQ(ExpandTypedNotation("12,"), "12,");
}

} // namespace
} // namespace tambrel
