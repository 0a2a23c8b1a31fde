#include "display/TBellOptions.h"
#include "engine/TextFunctions.h"
#include "library/OptionsTable.h"
#include "library/TfrmDataMod.h"
#include "tables/FileIo.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <sstream>
#include <string>
#include <vector>

namespace tambrel {
namespace {

// The options saved into and loaded from a library folder's options table.
class OptionsTableTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(module.EnsureTables()); }

    // The table's records as "key=value " with the padding of their fields taken off.
    std::string Stored()
    {
        std::vector<OptionRecord> records;
        EXPECT_EQ(store.ReadRecords(records), "");
        std::string texts;
        for (const OptionRecord& r : records) {
            texts += Trim(r.option) + "=" + Trim(r.value) + " ";
        }
        return texts;
    }

    test::LibraryDir dir;
    TfrmDataMod module{dir.Library(), dir.Data()};
    OptionsTable store{module};
};

TEST_F(OptionsTableTest, AnEmptyTableGivesDefaultsAndEverySettingSavedComesBack)
{
    TBellOptions changed;
    std::vector<std::string> warnings;
    changed.Load(store, warnings);
    EXPECT_TRUE(warnings.empty());
    const std::string defaults =
        "Bells=8 Treble=3 BlueBell1=2 BlueBell2=0 Numbers=0 Size=1 Fit2Screen=True ShowTitle=True "
        "ShowGrid=False ShowBob=True ShowSingle=False Colour=True GreyNumbers=False "
        "Continuous=False TidyPN=True Handstrokes=False OddFCH=True SplitTenorFCH=True "
        "TB2Notation=False PrintPoster=0 PrintColour=True PrintOrient=Portrait SaveOpenPos=True "
        "CheckMyLib=False ";
    for (int save = 0; save < 2; ++save) { // saving again gives the same table
        ASSERT_EQ(changed.Save(store), "");
        EXPECT_EQ(Stored(), defaults);
    }

    for (const std::string_view key : TBellOptions::StoredKeys()) {
        const std::string was = changed.ValueText(key);
        const std::string other = was == "True"          ? "False"
                                  : was == "False"       ? "True"
                                  : key == "PrintOrient" ? "Landscape"
                                  : key == "PrintPoster" ? "3"
                                                         : std::to_string(std::stoi(was) + 1);
        ASSERT_EQ(changed.SetValue(key, other), "") << key;
    }
    ASSERT_EQ(changed.Save(store), "");
    TBellOptions loaded;
    loaded.Load(store, warnings);
    EXPECT_TRUE(warnings.empty());
    for (const std::string_view key : TBellOptions::StoredKeys()) {
        EXPECT_NE(loaded.ValueText(key), TBellOptions().ValueText(key)) << key;
        EXPECT_EQ(loaded.ValueText(key), changed.ValueText(key)) << key;
    }
}

TEST_F(OptionsTableTest, KeysCompareWithCaseAndLaterRecordsWin)
{
    std::vector<OptionRecord> records;
    std::istringstream written("ShowGrid=true ShowBob=Yes bells=12 Bells=10 Bells=6 Size=3 Size=9 "
                               "Numbers=two BlueBell1=300 PrintPoster=1 PrintOrient=Landscape "
                               "Colour= Nonsense=1");
    for (std::string record; written >> record;) {
        const std::size_t equals = record.find('=');
        records.push_back({record.substr(0, equals), record.substr(equals + 1)});
    }
    ASSERT_EQ(store.WriteRecords(records), "");
    TBellOptions options;
    std::vector<std::string> warnings;
    options.Load(store, warnings);
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "Options: The option Size cannot be 9 (0 to 3). The default is kept.",
                            "Options: The option Numbers needs a whole number, not \"two\". The "
                            "default is kept.",
                            "Options: The option BlueBell1 cannot be 300 (0 to 16). The default is "
                            "kept.",
                            "Options: The option PrintPoster cannot be 1 (0, 2, 3 or 4). The "
                            "default is kept."}));
    // Any case of TRUE is true, anything else (empty too) false; "bells" is not a key, the last
    // "Bells" wins; a refused value leaves the default, as the warning says, not an earlier
    // record's. Saving leaves exactly the 24 stored keys, whatever the table held.
    ASSERT_EQ(options.Save(store), "");
    EXPECT_EQ(Stored(), "Bells=6 Treble=3 BlueBell1=2 BlueBell2=0 Numbers=0 Size=1 Fit2Screen=True "
                        "ShowTitle=True ShowGrid=True ShowBob=False ShowSingle=False Colour=False "
                        "GreyNumbers=False Continuous=False TidyPN=True Handstrokes=False "
                        "OddFCH=True SplitTenorFCH=True TB2Notation=False PrintPoster=0 "
                        "PrintColour=True PrintOrient=Landscape SaveOpenPos=True "
                        "CheckMyLib=False ");
}

TEST_F(OptionsTableTest, AnUnreadableTableGivesDefaultsAndAWarning)
{
    ASSERT_TRUE(WriteFileAtomically(dir.Path("Library/Options.dbf"), "garbage"));
    TBellOptions options;
    options.Bells = 12;
    std::vector<std::string> warnings;
    options.Load(store, warnings);
    EXPECT_EQ(options.Bells, 12);
    ASSERT_EQ(warnings.size(), 1U);
    EXPECT_EQ(warnings[0].rfind("The options could not be read, so the defaults are used: ", 0),
              0U);
    EXPECT_GT(warnings[0].size(), 58U); // with the table's reason
}

TEST(PageOptions, NewOrOpenedMethodsTakeTheGlobalDisplaySettings)
{
    TBellOptions global;
    global.Size = 0;
    global.ShowSingle = true;
    global.Treble = 4;
    global.Copies = 5;
    global.PrintPoster = 3;
    global.CCNotation = true;

    TBellOptions page;
    page.LeadToShow = 3;
    page.BobType = "07";
    page.InitialiseFrom(global, 12);
    EXPECT_EQ(page.Size, 1); // compressed is too narrow for twelve bells
    EXPECT_EQ(page.Treble, 4);
    EXPECT_TRUE(page.ShowSingle);
    EXPECT_TRUE(page.CCNotation);
    EXPECT_EQ(page.LeadToShow, 0);
    EXPECT_EQ(page.Copies, 1);      // not copied
    EXPECT_EQ(page.PrintPoster, 0); // not copied
    EXPECT_EQ(page.BobType, "07");  // the call choice is the store's business

    page.InitialiseFrom(global, 8);
    EXPECT_EQ(page.Size, 0);
    global.Size = 2;
    page.InitialiseFrom(global, 4);
    EXPECT_EQ(page.Size, 1); // expanded is too wide for four bells
    EXPECT_FALSE(page.ShowBob);
    EXPECT_FALSE(page.ShowSingle);
}

TEST(PageOptions, SettingsByName)
{
    TBellOptions options;
    // Key, value set, problem, value read back.
    for (const auto& [key, value, problem, read] : std::vector<std::array<std::string, 4>>{
             {"Numbers", "2", "", "2"},
             {"BobType", "05", "", "05"},
             {"Colour", "false", "", "False"},
             {"CCNotation", "TRUE", "", "True"},
             {"Colours", "x", "There is no option Colours.", ""},
             {"Copies", "0", "The option Copies cannot be 0 (1 to 99).", "1"}}) {
        EXPECT_EQ(options.SetValue(key, value), problem);
        EXPECT_EQ(options.ValueText(key), read) << key;
    }
}

} // namespace
} // namespace tambrel
