#include "library/MethodLookup.h"
#include "library/SaveMessages.h"
#include "library/TfrmDataMod.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace tambrel {
namespace {

// Two records share a notation, and a name is taken by one notation while another is stored
// under a different name.
constexpr std::string_view kHeldCsv =
    "0,TB_Method_Library,\"Test 1\",\n"
    "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n"
    "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n"
    "6,\"OTHER BOB MINOR\",\"-1-1-1 LH2\",A\n"
    "8,\"TAKEN NAME MAJOR\",\"-1-1-1-1 LH1\",G\n"
    "8,\"SOMETHING ELSE MAJOR\",\"-5-4.5-5.36.4-4.5-4-1 LH1\",M\n";

class MethodLookup : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data.EnsureTables());
        ASSERT_TRUE(data.OpenTables("MAIN"));
    }
    void TearDown() override { data.CloseTables(); }

    test::LibraryDir dir{kHeldCsv};
    TfrmDataMod data{dir.Library(), dir.Data()};
    TDbf& methods = data.dbfMethods;
};

TEST_F(MethodLookup, SaveDecidesFromWhatTheLibraryHolds)
{
    const std::string cambridge = "-3-4-25-36-4-5-6-7 LH2";
    const std::string tooLong(99, '1');
    struct Case {
        int bells;
        std::string name;
        std::string tidy;
        SaveOutcome outcome;
        std::string text;
    };
    for (const Case& c : {
             Case{8, "CAMBRIDGE SURPRISE MAJOR", cambridge, SaveOutcome::AlreadyStored,
                  "This Method is already in the Method Library"},
             // The name lookup finds this name with the places another record repeats.
             Case{6, "OTHER BOB MINOR", "-1-1-1 LH2", SaveOutcome::AlreadyStored,
                  "This Method is already in the Method Library"},
             Case{8, "NEW NAME MAJOR", cambridge, SaveOutcome::AskRename,
                  "This Method already exists as:\r\rCAMBRIDGE SURPRISE MAJOR\r\rDo you want to "
                  "rename it?"},
             Case{8, "PLAIN BOB MAJOR", "-1-1-1-1 LH2", SaveOutcome::Append, ""},
             Case{6, "CAMBRIDGE SURPRISE MAJOR", cambridge, SaveOutcome::Append, ""}, // bells
             Case{8, "TAKEN NAME MAJOR", "-1-1-1-1 LH2", SaveOutcome::NameTaken,
                  "A Method already exists with the name\r\rTAKEN NAME MAJOR\r\rso this Method "
                  "must be renamed before saving."},
             Case{8, "TAKEN NAME MAJOR", "-5-4.5-5.36.4-4.5-4-1 LH1", SaveOutcome::BothTaken,
                  "This Method already exists as:\r\rSOMETHING ELSE MAJOR\r\rand a different "
                  "method exists with the name\r\rTAKEN NAME MAJOR\r\rso the Method cannot be "
                  "saved."},
             Case{8, "LONG", tooLong, SaveOutcome::TooLong,
                  "The Place Notation of this Method is too long \rto store in the Method "
                  "Library."},
             Case{8, "FITS", std::string(98, '1'), SaveOutcome::Append, ""}, // the longest
         }) {
        SCOPED_TRACE(c.name + " " + c.tidy);
        const SaveDecision decision =
            DecideSave(c.name, c.tidy, LookUpHeld(methods, c.bells, c.name, c.tidy));
        EXPECT_EQ(decision.outcome, c.outcome);
        EXPECT_EQ(decision.text, c.text);
    }
}

TEST_F(MethodLookup, RenameWritesTheRecordOfTheNotationAndAppendAddsOne)
{
    const HeldMethod held = LookUpHeld(methods, 8, "NEW NAME MAJOR", "-3-4-25-36-4-5-6-7 LH2");
    ASSERT_EQ(held.name, "CAMBRIDGE SURPRISE MAJOR");
    ASSERT_TRUE(RenameMethod(methods, "NEW NAME MAJOR"));
    EXPECT_TRUE(FindMethod(methods, FindBy::Name, "8 ", "NEW NAME MAJOR"));
    EXPECT_FALSE(FindMethod(methods, FindBy::Name, "8 ", "CAMBRIDGE SURPRISE MAJOR"));

    ASSERT_TRUE(AppendMethod(methods, BellsKey(12), "BOB MAXIMUS", "-1T LH2", "A"));
    ASSERT_TRUE(FindMethod(methods, FindBy::Places, "12", "-1T LH2"));
    EXPECT_EQ(methods.FieldText("name").substr(0, 12), "BOB MAXIMUS ");
    EXPECT_EQ(methods.FieldText("group"), "A ");
    EXPECT_FALSE(FindMethod(methods, FindBy::Places, BellsKey(8), "-1T LH2"));
}

TEST(UniqueCheck, SaysWhereTheNotationIs)
{
    const UniqueReport inMain = ReportUnique("CAMBRIDGE SURPRISE MAJOR", "");
    EXPECT_TRUE(inMain.inMain);
    EXPECT_EQ(inMain.text,
              "This method exists in the Main Library as:\r\rCAMBRIDGE SURPRISE MAJOR");
    const UniqueReport personal = ReportUnique("", "MINE");
    EXPECT_FALSE(personal.inMain);
    EXPECT_EQ(personal.text, "This method is not in the Main Library and so it is probably "
                             "unique.\r\rIt exists in your Personal Library as:\r\rMINE");
    EXPECT_EQ(ReportUnique("", "").text,
              "This method is not in either Library\rand so it is probably unique.");
}

} // namespace
} // namespace tambrel
