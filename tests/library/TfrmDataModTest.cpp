#include "library/TfrmDataMod.h"
#include "engine/TextFunctions.h"
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

class DataModule : public ::testing::Test {
protected:
    test::LibraryDir dir;
    TfrmDataMod module{dir.Library(), dir.Data()};
};

TEST_F(DataModule, CreationMakesEveryTableAndOpensThemByCodeKeepingTheirPlace)
{
    dir.Write("data/Methods.csv", std::string(test::kSmallMethodsCsv) +
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
    EXPECT_TRUE(module.dbfOptions.Active());
    EXPECT_FALSE(module.dbfImportMeths.Active());
    EXPECT_EQ(module.dbfImportMeths.DbfFileName(), dir.Library() + "/ImpMeths.dbf");
    EXPECT_EQ(module.dbfCalls.RecordCount(), 2U);
    EXPECT_EQ(module.dbfOptions.RecordCount(), 0U);

    ASSERT_TRUE(module.CloseTables() && module.OpenTables("IMPORTCALLS"));
    EXPECT_TRUE(module.dbfCalls.Active()); // "CALLS" stands inside "IMPORTCALLS"
    EXPECT_FALSE(module.dbfMethods.Active());
    ASSERT_TRUE(module.CloseTables() && module.OpenTables("MAIN,MYLIB_CHECK,IMPORTMETHS"));
    EXPECT_EQ(module.dbfTemp.DbfFileName(), dir.Library() + "/My_Lib.dbf");
    EXPECT_TRUE(module.dbfImportMeths.Active());
    EXPECT_EQ(module.dbfMethods.RecordCount(), 5U);
    ASSERT_TRUE(module.dbfMethods.SetOrderToTag("NAME"));
    module.dbfMethods.GoTop();
    EXPECT_EQ(TrimRight(module.dbfMethods.FieldText("name")), "TB_Method_Library");
    EXPECT_EQ(TrimRight(module.dbfMethods.FieldText("places")), "Test 1");
    // Reopened, a cursor keeps its place, order and restriction; another file starts afresh.
    TDbf& methods = module.dbfMethods;
    ASSERT_TRUE(methods.Find("8 C"));
    ASSERT_TRUE(methods.SetWhileTo("Bells=\"8 \""));
    const std::uint32_t recno = methods.RecNo();
    ASSERT_TRUE(module.OpenTables("MAIN"));
    EXPECT_EQ(methods.RecNo(), recno);
    EXPECT_EQ(methods.CurrentTag(), "NAME");
    EXPECT_EQ(methods.WhileCondition(), "Bells=\"8 \"");
    ASSERT_TRUE(module.dbfTemp.Close()); // it holds My_Lib.dbf
    ASSERT_TRUE(module.OpenTables("PERSONAL"));
    EXPECT_EQ(methods.DbfFileName(), dir.Library() + "/My_Lib.dbf");
    EXPECT_EQ(methods.CurrentTag(), "");
    EXPECT_TRUE(methods.WhileCondition().empty());

    // A table made once is never made again, whatever the case of its name.
    ASSERT_TRUE(module.CloseTables());
    EXPECT_FALSE(module.dbfCalls.Active());
    std::filesystem::rename(dir.Library() + "/My_Lib.dbf", dir.Library() + "/MY_LIB.DBF");
    created.clear();
    ASSERT_TRUE(module.EnsureTables(&created));
    EXPECT_TRUE(created.empty());
}

// A table in use elsewhere refuses the command before any index is touched; once free, the
// reindex drops deleted records and rebuilds a damaged index.
TEST_F(DataModule, ReindexIsRefusedWholeOrDoneWhole)
{
    ASSERT_TRUE(module.EnsureTables() && module.OpenTables("MAIN") &&
                module.dbfMethods.SetOrderToTag("NAME") &&
                module.dbfMethods.FindExact("8 BRISTOL SURPRISE MAJOR") &&
                module.dbfMethods.DeleteRec() && module.CloseTables());
    ASSERT_TRUE(WriteFileAtomically(dir.Library() + "/Calls.mdx", "damaged"));
    const auto indexes = [&] {
        std::string all;
        for (const char* index : {"Methods.mdx", "My_Lib.mdx", "Find_Lib.mdx", "Calls.mdx"}) {
            all += test::ReadFile(dir.Library() + "/" + index) + "|";
        }
        return all;
    };
    const std::string before = indexes();
    TDbf elsewhere(kMethodTags);
    elsewhere.SetDbfFileName(dir.Library() + "/Find_Lib.dbf");
    ASSERT_TRUE(elsewhere.Open());
    EXPECT_EQ(module.ReindexTables().error,
              "The table Find_Lib.dbf is in use by another program (or another window of "
              "Tambrel). Close it there and try again.");
    EXPECT_EQ(indexes(), before);
    ASSERT_TRUE(elsewhere.Close());

    ASSERT_TRUE(module.ReindexTables());
    EXPECT_FALSE(module.dbfMethods.Active());
    ASSERT_TRUE(module.OpenTables("MAIN,CALLS"));
    EXPECT_EQ(module.dbfMethods.RecordCount(), 3U);
    EXPECT_TRUE(module.TakeWarnings().empty()); // both indexes were whole again
    ASSERT_TRUE(module.dbfCalls.SetOrderToTag("REF"));
    EXPECT_TRUE(module.dbfCalls.FindExact("8 01"));
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
    const std::set<std::string> gone = {"Methods.mdx.tmp-" + dead + "-Ab3xQ9",
                                        "Methods.dbf.new" + dead, // as earlier versions named them
                                        ".building-" + dead + "-Zk2pLm", "ImpMeths.dbf"};
    const std::set<std::string> kept = {"My_Lib.dbf.tmp-" + alive + "-Qw8eRt",
                                        "notes.tmp-" + dead, // not ours: no random part
                                        "ImpCalls.dbf"};
    for (const std::string& name : gone) {
        if (name.starts_with(".building")) { // a table being built in a folder of its own
            std::filesystem::create_directories(dir.Library() + "/" + name);
        }
        dir.Write("Library/" + name + (name.starts_with(".building") ? "/Methods.dbf" : ""), "");
    }
    dir.Write("Library/My_Lib.dbf.tmp-" + alive + "-Qw8eRt", "being written");
    dir.Write("Library/notes.tmp-" + dead, "");
    // A running import's staging table, held with its library.
    TfrmDataMod importing{dir.Library(), dir.Data()};
    ASSERT_TRUE(importing.OpenTables("CALLS,IMPORTCALLS"));
    module.TakeWarnings();

    ASSERT_TRUE(module.EnsureTables());
    for (const auto& entry : std::filesystem::directory_iterator(dir.Library())) {
        EXPECT_EQ(gone.count(entry.path().filename().string()), 0U) << entry.path();
    }
    for (const std::string& name : kept) {
        EXPECT_TRUE(std::filesystem::exists(dir.Library() + "/" + name)) << name;
    }
    EXPECT_EQ(module.TakeWarnings().size(), 4U); // each removal is said
}

TEST(LibraryFolder, BesideTheProgramWhenWritableElseInTheUsersData)
{
    const test::TempDir dir;
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
