#include "library/TfrmDataMod.h"
#include "library/LibraryTables.h"
#include "tables/FileIo.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <set>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace tambrel {
namespace {

using test::TempDir;

std::string Trimmed(const TDbf& table, std::string_view field)
{
    std::string text = table.FieldText(field);
    return text.substr(0, text.find_last_not_of(' ') + 1);
}

// A library folder built from a small bundled data folder.
class DataModule : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.Path("data"));
        dir.Write("data/Methods.csv",
                  "0,TB_Method_Library,\"Test 1\",\n"
                  "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n"
                  "8,\"BRISTOL SURPRISE MAJOR\",\"-5-4.5-5.36.4-4.5-4-1 LH1\",M\n"
                  "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n");
        dir.Write("data/Calls.csv", "0,00,TB_Calls_Library,\"Calls 1\",\n8,01,Bob,14,\n");
    }

    TempDir dir;
    TfrmDataMod module{dir.Path("Library"), dir.Path("data")};
};

TEST_F(DataModule, CreationMakesEveryTableAndOpensCallsAndOptions)
{
    dir.Write("data/Methods.csv", test::ReadFile(dir.Path("data/Methods.csv")) +
                                      "8,\"JAN\xC3\x81\xC4\x8C"
                                      "EK SURPRISE MAJOR\",-5-4-5,Z\n");
    std::vector<std::string> created;
    ASSERT_TRUE(module.EnsureTables(&created));
    EXPECT_EQ(created, (std::vector<std::string>{"Methods.dbf", "My_Lib.dbf", "Find_Lib.dbf",
                                                 "Calls.dbf", "Options.dbf"}));
    // The letter code page 850 lacks is named, so the caller can say what the library holds.
    EXPECT_EQ(module.TakeWarnings(),
              (std::vector<std::string>{
                  "Methods.csv: 1 values have letters that code page 850 lacks; they are stored "
                  "with plain letters: JAN\xC3\x81\xC4\x8C"
                  "EK SURPRISE MAJOR."}));
    ASSERT_TRUE(module.frmDataModCreate());
    EXPECT_TRUE(module.dbfCalls.Active());
    EXPECT_TRUE(module.dbfOptions.Active());
    EXPECT_FALSE(module.dbfImportMeths.Active());
    EXPECT_EQ(module.dbfImportMeths.DbfFileName(), dir.Path("Library/ImpMeths.dbf"));
    EXPECT_EQ(module.dbfCalls.RecordCount(), 2U);
    EXPECT_EQ(module.dbfOptions.RecordCount(), 0U);

    ASSERT_TRUE(module.OpenTables("MAIN"));
    EXPECT_EQ(module.dbfMethods.RecordCount(), 5U);
    ASSERT_TRUE(module.dbfMethods.SetOrderToTag("NAME"));
    module.dbfMethods.GoTop();
    EXPECT_EQ(Trimmed(module.dbfMethods, "name"), "TB_Method_Library");
    EXPECT_EQ(Trimmed(module.dbfMethods, "places"), "Test 1");

    // A table made once is never made again, whatever the case of its name.
    ASSERT_TRUE(module.CloseTables());
    std::filesystem::rename(dir.Path("Library/My_Lib.dbf"), dir.Path("Library/MY_LIB.DBF"));
    created.clear();
    ASSERT_TRUE(module.EnsureTables(&created));
    EXPECT_TRUE(created.empty());
}

TEST_F(DataModule, CodesCountWhereverTheyStand)
{
    ASSERT_TRUE(module.EnsureTables());
    ASSERT_TRUE(module.OpenTables("IMPORTCALLS"));
    EXPECT_TRUE(module.dbfImportCalls.Active());
    EXPECT_TRUE(module.dbfCalls.Active()); // "CALLS" stands inside "IMPORTCALLS"
    EXPECT_FALSE(module.dbfMethods.Active());
    ASSERT_TRUE(module.CloseTables());
    EXPECT_FALSE(module.dbfCalls.Active());

    ASSERT_TRUE(module.OpenTables("MAIN,MYLIB_CHECK,IMPORTMETHS"));
    EXPECT_EQ(module.dbfMethods.DbfFileName(), dir.Path("Library/Methods.dbf"));
    EXPECT_EQ(module.dbfTemp.DbfFileName(), dir.Path("Library/My_Lib.dbf"));
    EXPECT_TRUE(module.dbfImportMeths.Active());
}

TEST_F(DataModule, ReopeningKeepsPositionOrderAndRestriction)
{
    ASSERT_TRUE(module.EnsureTables());
    ASSERT_TRUE(module.OpenTables("MAIN"));
    TDbf& methods = module.dbfMethods;
    ASSERT_TRUE(methods.SetOrderToTag("NAME"));
    ASSERT_TRUE(methods.Find("8 C"));
    ASSERT_TRUE(methods.SetWhileTo("Bells=\"8 \""));
    const std::uint32_t recno = methods.RecNo();

    ASSERT_TRUE(module.OpenTables("MAIN"));
    EXPECT_EQ(methods.RecNo(), recno);
    EXPECT_EQ(methods.CurrentTag(), "NAME");
    EXPECT_EQ(methods.WhileCondition(), "Bells=\"8 \"");

    // Another file on the same cursor starts afresh.
    ASSERT_TRUE(module.OpenTables("PERSONAL"));
    EXPECT_EQ(methods.DbfFileName(), dir.Path("Library/My_Lib.dbf"));
    EXPECT_EQ(methods.CurrentTag(), "");
    EXPECT_TRUE(methods.WhileCondition().empty());
}

// A table in use elsewhere refuses the command before any index is touched.
TEST_F(DataModule, ReindexRefusedChangesNothing)
{
    ASSERT_TRUE(module.EnsureTables());
    std::vector<std::string> before;
    for (const char* index : {"Methods.mdx", "My_Lib.mdx", "Find_Lib.mdx", "Calls.mdx"}) {
        before.push_back(test::ReadFile(dir.Path(std::string("Library/") + index)));
    }
    TDbf elsewhere(kMethodTags);
    elsewhere.SetDbfFileName(dir.Path("Library/Find_Lib.dbf"));
    ASSERT_TRUE(elsewhere.Open());
    EXPECT_EQ(module.ReindexTables().error,
              "The table Find_Lib.dbf is in use by another program (or another window of "
              "Tambrel). Close it there and try again.");
    std::size_t i = 0;
    for (const char* index : {"Methods.mdx", "My_Lib.mdx", "Find_Lib.mdx", "Calls.mdx"}) {
        EXPECT_EQ(test::ReadFile(dir.Path(std::string("Library/") + index)), before[i++]) << index;
    }
    ASSERT_TRUE(elsewhere.Close());
    EXPECT_TRUE(module.ReindexTables());
}

// What a stopped program left while writing goes at the next open of the folder; what a
// running one is writing stays.
TEST_F(DataModule, LeftoversOfStoppedProgramsAreRemoved)
{
    ASSERT_TRUE(module.EnsureTables());
    const pid_t stopped = ::fork();
    if (stopped == 0) {
        ::_exit(0);
    }
    ::waitpid(stopped, nullptr, 0);
    const std::string dead = std::to_string(stopped);
    const std::string alive = std::to_string(::getpid());
    dir.Write("Library/Methods.mdx.tmp-" + dead + "-Ab3xQ9", "half");
    dir.Write("Library/Methods.dbf.new" + dead, "half"); // as earlier versions named them
    std::filesystem::create_directories(dir.Path("Library/.building-" + dead + "-Zk2pLm"));
    dir.Write("Library/.building-" + dead + "-Zk2pLm/Methods.dbf", "half");
    dir.Write("Library/My_Lib.dbf.tmp-" + alive + "-Qw8eRt", "being written");
    dir.Write("Library/notes.tmp-" + dead, "not ours: no random part");
    dir.Write("Library/ImpMeths.dbf", "an import's staging table, its import stopped");
    // A running import's staging table, held with its library.
    TfrmDataMod importing{dir.Path("Library"), dir.Path("data")};
    ASSERT_TRUE(importing.OpenTables("CALLS,IMPORTCALLS"));
    module.TakeWarnings();

    ASSERT_TRUE(module.EnsureTables());
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path("Library"))) {
        names.insert(entry.path().filename().string());
    }
    EXPECT_EQ(names.count("Methods.mdx.tmp-" + dead + "-Ab3xQ9"), 0U);
    EXPECT_EQ(names.count("Methods.dbf.new" + dead), 0U);
    EXPECT_EQ(names.count(".building-" + dead + "-Zk2pLm"), 0U);
    EXPECT_EQ(names.count("My_Lib.dbf.tmp-" + alive + "-Qw8eRt"), 1U);
    EXPECT_EQ(names.count("notes.tmp-" + dead), 1U);
    EXPECT_EQ(names.count("ImpMeths.dbf"), 0U);
    EXPECT_EQ(names.count("ImpCalls.dbf"), 1U);
    EXPECT_EQ(module.TakeWarnings().size(), 4U); // each removal is said
}

TEST_F(DataModule, ReindexRemovesDeletedRecordsAndRebuildsIndexes)
{
    ASSERT_TRUE(module.EnsureTables());
    ASSERT_TRUE(module.OpenTables("MAIN"));
    ASSERT_TRUE(module.dbfMethods.SetOrderToTag("NAME"));
    ASSERT_TRUE(module.dbfMethods.FindExact("8 BRISTOL SURPRISE MAJOR"));
    ASSERT_TRUE(module.dbfMethods.DeleteRec());
    ASSERT_TRUE(module.CloseTables());
    ASSERT_TRUE(WriteFileAtomically(dir.Path("Library/Calls.mdx"), "damaged"));

    ASSERT_TRUE(module.ReindexTables());
    EXPECT_FALSE(module.dbfMethods.Active());
    ASSERT_TRUE(module.OpenTables("MAIN,CALLS"));
    EXPECT_EQ(module.dbfMethods.RecordCount(), 3U);
    EXPECT_TRUE(module.TakeWarnings().empty()); // both indexes were whole again
    ASSERT_TRUE(module.dbfCalls.SetOrderToTag("REF"));
    EXPECT_TRUE(module.dbfCalls.FindExact("8 01"));
}

TEST(LibraryFolder, BesideTheProgramWhenWritableElseInTheUsersData)
{
    const TempDir dir;
    const std::filesystem::path program = dir.Path("bin");
    std::filesystem::create_directories(program);
    ::setenv("XDG_DATA_HOME", dir.Path("xdg").c_str(), 1);
    EXPECT_EQ(DefaultLibraryFolder(program),
              std::filesystem::path(dir.Path("xdg")) / "tambrel" / "Library");
    ::setenv("XDG_DATA_HOME", "relative/is/ignored", 1);
    ::setenv("HOME", dir.Path("home").c_str(), 1);
    EXPECT_EQ(DefaultLibraryFolder(program),
              std::filesystem::path(dir.Path("home")) / ".local" / "share" / "tambrel" / "Library");
    std::filesystem::create_directories(program / "Library");
    EXPECT_EQ(DefaultLibraryFolder(program), program / "Library");
}

} // namespace
} // namespace tambrel
