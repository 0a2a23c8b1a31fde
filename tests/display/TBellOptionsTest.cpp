#include "display/TBellOptions.h"
#include "library/TfrmDataMod.h"
#include "tables/FileIo.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tambrel {
namespace {

using test::TempDir;
using Records = std::vector<TBellOptions::Record>;

class OptionsTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.Path("data"));
        dir.Write("data/Methods.csv", "0,TB_Method_Library,x,\n");
        ASSERT_TRUE(module.EnsureTables());
    }

    Records Stored()
    {
        Records records;
        EXPECT_TRUE(module.OpenTables("OPTIONS"));
        for (module.dbfOptions.GoTop(); !module.dbfOptions.Eof(); module.dbfOptions.Skip()) {
            records.push_back(
                {module.dbfOptions.FieldText("option"), module.dbfOptions.FieldText("value")});
        }
        module.CloseTables();
        return records;
    }

    void Store(const Records& records)
    {
        ASSERT_TRUE(module.OpenTables("OPTIONS"));
        std::vector<std::vector<std::string>> rows;
        for (const auto& r : records) {
            rows.push_back({r.option, r.value});
        }
        ASSERT_TRUE(module.dbfOptions.ReplaceAllRecords(rows));
        module.CloseTables();
    }

    TempDir dir;
    TfrmDataMod module{dir.Path("Library"), dir.Path("data")};
};

TEST_F(OptionsTable, AnEmptyTableGivesDefaultsAndTheFirstSaveWritesAll)
{
    TBellOptions options;
    std::vector<std::string> warnings;
    options.Load(module, warnings);
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(options.Bells, 8);
    EXPECT_EQ(options.Treble, 3);
    EXPECT_TRUE(options.ShowBob);
    EXPECT_EQ(options.PrintOrient, "Portrait");

    ASSERT_EQ(options.Save(module), "");
    const Records stored = Stored();
    ASSERT_EQ(stored.size(), 24U);
    EXPECT_EQ(stored[0].option, "Bells" + std::string(10, ' '));
    EXPECT_EQ(stored[0].value.substr(0, 2), "8 ");
    EXPECT_EQ(stored[6].option.substr(0, 10), "Fit2Screen");
    EXPECT_EQ(stored[6].value.substr(0, 5), "True ");
    EXPECT_EQ(stored[21].option.substr(0, 11), "PrintOrient");
    EXPECT_EQ(stored[23].option.substr(0, 10), "CheckMyLib");
    EXPECT_EQ(stored[23].value.substr(0, 6), "False ");

    ASSERT_EQ(options.Save(module), ""); // saving twice gives the same table
    EXPECT_EQ(Stored().size(), 24U);
}

TEST_F(OptionsTable, KeysCompareWithCaseAndLaterRecordsWin)
{
    Store({{"ShowGrid", "true"},
           {"ShowBob", "Yes"},
           {"bells", "12"},
           {"Bells", "10"},
           {"Bells", "6"},
           {"Size", "3"},
           {"Size", "9"},
           {"Numbers", "two"},
           {"BlueBell1", "300"},
           {"PrintPoster", "1"},
           {"PrintOrient", "Landscape"},
           {"Colour", ""},
           {"Nonsense", "1"}});
    TBellOptions options;
    std::vector<std::string> warnings;
    options.Load(module, warnings);
    EXPECT_TRUE(options.ShowGrid); // any case of TRUE
    EXPECT_FALSE(options.ShowBob); // anything else is false
    EXPECT_FALSE(options.Colour);  // empty too
    EXPECT_EQ(options.Bells, 6);   // "bells" is not a key; the last "Bells" wins
    EXPECT_EQ(options.Size, 1);    // the later value is refused: the default, as the warning says
    EXPECT_EQ(options.Numbers, 0);
    EXPECT_EQ(options.BlueBell1, 2);
    EXPECT_EQ(options.PrintPoster, 0);
    EXPECT_EQ(options.PrintOrient, "Landscape");
    EXPECT_EQ(warnings, (std::vector<std::string>{
                            "Options: The option Size cannot be 9 (0 to 3). The default is kept.",
                            "Options: The option Numbers needs a whole number, not \"two\". The "
                            "default is kept.",
                            "Options: The option BlueBell1 cannot be 300 (0 to 16). The default is "
                            "kept.",
                            "Options: The option PrintPoster cannot be 1 (0, 2, 3 or 4). The "
                            "default is kept."}));

    // Saving leaves exactly the 24 stored keys, whatever the table held.
    ASSERT_EQ(options.Save(module), "");
    const Records stored = Stored();
    ASSERT_EQ(stored.size(), 24U);
    EXPECT_EQ(stored[0].value.substr(0, 2), "6 ");
}

TEST_F(OptionsTable, AnUnreadableTableGivesDefaultsAndAWarning)
{
    ASSERT_TRUE(WriteFileAtomically(dir.Path("Library/Options.dbf"), "garbage"));
    TBellOptions options;
    options.Bells = 12;
    std::vector<std::string> warnings;
    options.Load(module, warnings);
    EXPECT_EQ(options.Bells, 12);
    ASSERT_EQ(warnings.size(), 1U);
    EXPECT_EQ(warnings[0].rfind("The options could not be read, so the defaults are used: ", 0),
              0U);
}

TEST(PageOptions, NewOrOpenedMethodsTakeTheGlobalDisplaySettings)
{
    TBellOptions global;
    global.Size = 0;
    global.ShowSingle = true;
    global.Treble = 4;
    global.Copies = 5;
    global.PrintPoster = 3;

    TBellOptions page;
    page.LeadToShow = 3;
    page.BobType = "07";
    page.InitialiseFrom(global, 12);
    EXPECT_EQ(page.Size, 1); // compressed is too narrow for twelve bells
    EXPECT_EQ(page.Treble, 4);
    EXPECT_TRUE(page.ShowSingle);
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
    EXPECT_EQ(options.SetValue("Numbers", "2"), "");
    EXPECT_EQ(options.Numbers, 2);
    EXPECT_EQ(options.SetValue("LeadToShow", "3"), "");
    EXPECT_EQ(options.SetValue("BobType", "05"), "");
    EXPECT_EQ(options.BobType, "05");
    EXPECT_EQ(options.SetValue("Colour", "false"), "");
    EXPECT_FALSE(options.Colour);
    EXPECT_EQ(options.SetValue("Colours", "x"), "There is no option Colours.");
    EXPECT_EQ(options.SetValue("Copies", "0"), "The option Copies cannot be 0 (1 to 99).");
    EXPECT_EQ(options.ValueText("ShowTitle"), "True");
    EXPECT_EQ(options.ValueText("Colours"), "");
}

} // namespace
} // namespace tambrel
