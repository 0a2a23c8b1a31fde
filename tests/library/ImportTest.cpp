#include "library/Import.h"
#include "engine/TextFunctions.h"
#include "library/LibraryTables.h"
#include "library/TfrmDataMod.h"
#include "tests/support/CollectionXml.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <array>
#include <csignal>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <vector>

namespace tambrel {
namespace {

using test::ReadFile;

constexpr std::string_view kMarker = "0,TB_Method_Library,\"Import 2\",\n";
constexpr std::string_view kCambridge = "-3-4-25-36-4-5-6-7 LH2";

// A record as the table holds it: bells, name, places and group, bells and group as stored
// (blank-padded), name and places without their trailing blanks.
using Stored = std::array<std::string, 4>;

const Stored kHeader{"0 ", "TB_Method_Library", "Import 2", "  "};
const std::vector<Stored> kBundled = {
    {"0 ", "TB_Method_Library", "Test 1", "  "},
    {"8 ", "CAMBRIDGE SURPRISE MAJOR", std::string(kCambridge), "B "},
    {"8 ", "BRISTOL SURPRISE MAJOR", "-5-4.5-5.36.4-4.5-4-1 LH1", "M "},
    {"6 ", "PLAIN BOB MINOR", "-1-1-1 LH2", "A "},
};

// Imports into the small library, the questions answered from a list (No once it is used up)
// and every label and question kept.
class Imports : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(module.EnsureTables());
        feedback.label = [this](std::string_view text) { labels.emplace_back(text); };
        feedback.ask = [this](ImportQuestion question, const std::string& text) {
            asked.push_back({question, text});
            return answered < answers.size() && answers[answered++];
        };
    }

    // Reads `content` as an import file and, when it is accepted, imports it.
    Status ImportMethods(const std::string& content, ImportMode mode, bool checkPersonal = false)
    {
        const std::string file = dir.Write("import.csv", content);
        Status status = methods.Open();
        if (status) {
            status = methods.ReadFile(file);
        }
        if (status) {
            status = methods.Run(mode, checkPersonal, feedback);
        }
        if (Status closed = methods.Close(); status && !closed) {
            status = closed;
        }
        return status;
    }

    // Every live record of the main or personal library in record order.
    std::vector<Stored> Main(std::string_view code = "MAIN")
    {
        std::vector<Stored> records;
        EXPECT_TRUE(module.OpenTables(code, TableAccess::Read));
        TDbf& table = module.dbfMethods;
        EXPECT_TRUE(table.Warnings().empty()); // the index file agrees with the table
        for (table.GoTop(); !table.Eof(); table.Skip()) {
            records.push_back({table.FieldText("bells"), TrimRight(table.FieldText("name")),
                               TrimRight(table.FieldText("places")), table.FieldText("group")});
        }
        module.CloseTables();
        return records;
    }

    // The library's files, byte for byte.
    std::string Images() const
    {
        std::string all;
        for (const char* name :
             {"Methods.dbf", "Methods.mdx", "My_Lib.dbf", "Calls.dbf", "Calls.mdx"}) {
            all += ReadFile(dir.Library() + "/" + name);
        }
        return all;
    }

    test::LibraryDir dir;
    TfrmDataMod module{dir.Library(), dir.Data()};
    MethodsImport methods{module};
    ImportFeedback feedback;
    std::vector<std::string> labels;
    std::vector<std::pair<ImportQuestion, std::string>> asked;
    std::vector<bool> answers;
    std::size_t answered = 0;
};

// The file's marker is the header: over the library's own in "IMPORT" (its group not taken),
// added where there is none, and after a first record that is a method.
TEST_F(Imports, TheMarkerBecomesTheHeader)
{
    ASSERT_TRUE(ImportMethods("0 , TB_Method_Library ,\"Build 9\",Q\n", ImportMode::Import));
    EXPECT_FALSE(methods.LibraryReplaced()); // no record has moved
    std::vector<Stored> expected = kBundled;
    expected[0][2] = "Build 9";
    EXPECT_EQ(Main(), expected);

    ASSERT_TRUE(module.OpenTables("MAIN") && module.dbfMethods.Zap() && module.CloseTables());
    ASSERT_TRUE(ImportMethods(std::string(kMarker) + "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n",
                              ImportMode::Import));
    EXPECT_EQ(Main(), (std::vector<Stored>{kHeader, kBundled[3]}));

    ASSERT_TRUE(module.OpenTables("MAIN"));
    module.dbfMethods.GoTop();
    ASSERT_TRUE(module.dbfMethods.DeleteRec() && module.CloseTables());
    ASSERT_TRUE(ImportMethods(std::string(kMarker), ImportMode::Import));
    EXPECT_EQ(Main(), (std::vector<Stored>{kBundled[3], kHeader}));
}

// What is stored of each record, and which records cannot be stored; every line is examined.
TEST_F(Imports, GroupsBellsAndRecordsThatCannotBeStored)
{
    // Each line with what is stored of it; nothing: examined, not added.
    const std::vector<std::pair<std::string, std::optional<Stored>>> cases = {
        {"6,lower minor,x16x16x16x16x16x16x16x16x16x12,c",
         Stored{"6 ", "LOWER MINOR", "-1-1-1-1-1 LH2", "C "}},
        {"6,GROUP EMPTY,-1-1-1 LH2,", Stored{"6 ", "GROUP EMPTY", "-1-1-1 LH2", "Z "}},
        {"6,GROUP DIGIT,-1-1-2 LH2,1A", Stored{"6 ", "GROUP DIGIT", "-1-1-2 LH2", "Z "}},
        {"6,GROUP ENDS Z,-1-1-3 LH2,BZ", Stored{"6 ", "GROUP ENDS Z", "-1-1-3 LH2", "Z "}},
        {"6,GROUP AX,-1-1-4 LH2,ax", Stored{"6 ", "GROUP AX", "-1-1-4 LH2", "A "}},
        {"6,GROUP C1,-1-1-5 LH2,C1", Stored{"6 ", "GROUP C1", "-1-1-5 LH2", "C1"}},
        {"08,BELLS WITH A NOUGHT,-1-1-1-1 LH2,A",
         Stored{"8 ", "BELLS WITH A NOUGHT", "-1-1-1-1 LH2", "A "}},
        {" 12 ,TWELVE,-1-1-1-1-1-1 LH2,A", Stored{"12", "TWELVE", "-1-1-1-1-1-1 LH2", "A "}},
        {"3,THREE BELLS,3.1.3 LH1,A", std::nullopt},
        {"17,SEVENTEEN BELLS,-1 LH2,A", std::nullopt},
        {"8.0,BELLS WITH A POINT,-1-1-1-1 LH2,A", std::nullopt},
        {"x,NO NUMBER,-1-1-1-1 LH2,A", std::nullopt},
        {"8,,-1-1-1-1 LH2,A", std::nullopt},
        {"8,NOTATION REFUSED,-1-Q-1 LH2,A", std::nullopt},
        {"8,NO NOTATION,,A", std::nullopt},
        {"8,NOTATION TOO LONG,-" + test::Repeat("1.2.", 30) + "3,A", std::nullopt},
        {"8,MISSING A FIELD,-1-1-1-1 LH2", std::nullopt},
        {"8," + std::string(61, 'W') + ",-1-1-1-1 LH2,A", std::nullopt}, // wider than the name
    };
    std::string file(kMarker);
    std::vector<Stored> expected = {kHeader};
    for (const auto& [line, stored] : cases) {
        file += line + "\n";
        if (stored) {
            expected.push_back(*stored);
        }
    }
    std::vector<std::pair<std::size_t, std::size_t>> steps;
    feedback.progress = [&](std::size_t position, std::size_t maximum) {
        steps.emplace_back(position, maximum);
    };
    ASSERT_TRUE(ImportMethods(file, ImportMode::Replace));
    EXPECT_EQ(methods.ResultText(ImportMode::Replace), "8 Methods Imported");
    EXPECT_EQ(Main(), expected);
    EXPECT_TRUE(methods.LibraryReplaced()); // record numbers are new
    EXPECT_EQ(steps.front().first, 0U);
    EXPECT_EQ(steps.back().first, steps.back().second); // the bar ends full

    ASSERT_TRUE(ImportMethods(file, ImportMode::Import));
    EXPECT_EQ(methods.ResultText(ImportMode::Import), "18 Methods Checked, 0 Imported, 0 Renamed.");
    EXPECT_TRUE(asked.empty());
}

// A notation the library holds under another name asks to rename it, the stored name compared
// as the table stores it; No, the default, keeps it.
TEST_F(Imports, ANotationStoredUnderAnotherNameAsksToRename)
{
    const std::string file = std::string(kMarker) + "8,\"NEW NAME MAJOR\",\"" +
                             std::string(kCambridge) + "\",B\n6,\"OTHER MINOR\",-1-1-1 LH2,A\n" +
                             "6,\"ma\xC3\xBF"
                             "day minor\",-1-1-1 LH1,A\n6,\"SECOND MINOR\",-1-1-1 LH2,A\n";
    answers = {true, false};
    ASSERT_TRUE(ImportMethods(file, ImportMode::Import));
    EXPECT_EQ(methods.ResultText(ImportMode::Import), "4 Methods Checked, 1 Imported, 1 Renamed.");
    EXPECT_EQ(asked.size(), 3U);
    const std::vector<Stored> expected = {kHeader,
                                          {"8 ", "NEW NAME MAJOR", std::string(kCambridge), "B "},
                                          kBundled[2],
                                          kBundled[3],
                                          {"6 ", "MAYDAY MINOR", "-1-1-1 LH1", "A "}};
    EXPECT_EQ(Main(), expected);

    // Every question declined: nothing changes but the index, which is written anew.
    const std::string mdx = dir.Library() + "/Methods.mdx";
    struct stat before {};
    ASSERT_EQ(::stat(mdx.c_str(), &before), 0);
    asked.clear();
    ASSERT_TRUE(ImportMethods(file, ImportMode::Import));
    EXPECT_EQ(methods.ResultText(ImportMode::Import), "4 Methods Checked, 0 Imported, 0 Renamed.");
    EXPECT_EQ(asked.size(), 2U);
    struct stat after {};
    ASSERT_EQ(::stat(mdx.c_str(), &after), 0);
    EXPECT_NE(after.st_ino, before.st_ino);
    EXPECT_EQ(Main(), expected);

    // Replacing: a record asks about the method an earlier one added.
    asked.clear();
    ASSERT_TRUE(ImportMethods(file, ImportMode::Replace));
    EXPECT_EQ(asked, (std::vector<std::pair<ImportQuestion, std::string>>{
                         {ImportQuestion::Rename,
                          "SECOND MINOR exists in the Method Library\r\rbut with the name "
                          "OTHER MINOR.\r\rDo you want change the name?"}}));
    EXPECT_EQ(methods.ResultText(ImportMode::Replace), "3 Methods Imported");
}

// A file refused, or a library held elsewhere, changes no table; the import holds the tables
// from Open to Close, and its staging file, even a damaged one left behind, goes with it.
TEST_F(Imports, RejectedFilesAndHeldTablesChangeNothing)
{
    const std::string before = Images();
    const std::string staging = dir.Write("Library/ImpMeths.dbf", "left by an import, damaged");
    std::filesystem::create_directory(dir.Path("folder.csv"));
    ASSERT_EQ(::mkfifo(dir.Path("pipe.csv").c_str(), 0600), 0);
    dir.Write("junk.csv", std::string("\x7F"
                                      "ELF\x02\x01\x01\0\0\0,\xFF\xFE\n\0\0",
                                      17));
    dir.Write("calls.csv", "0,00,TB_Calls_Library,\"Calls 2\",\n8,01,Bob,14,\n");
    dir.Write("nomarker.csv", "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n");
    dir.Write("late.csv", std::string("0,TB_Method_Library\n") + std::string(kMarker));
    dir.Write("empty.csv", "");
    TDbf other(kMethodTags, kMethodLayout);
    other.SetDbfFileName(dir.Library() + "/Methods.dbf");
    for (const auto& [file, reason] : std::vector<std::pair<std::string, std::string>>{
             {"junk.csv", ""},
             {"calls.csv", ""},
             {"nomarker.csv", ""},
             {"late.csv", ""},
             {"empty.csv", ""},
             {"missing.csv", "No such file or directory."},
             {"folder.csv", "it is a folder, not a file."},
             {"pipe.csv", "it is a pipe, not a file."}}) {
        SCOPED_TRACE(file);
        ASSERT_TRUE(methods.Open());
        EXPECT_FALSE(other.Open(TableAccess::Read));
        std::string found; // what the reader found, if anything
        EXPECT_EQ(methods.ReadFile(dir.Path(file), &found).error,
                  "Unable to import Methods from file:\r\r" + dir.Path(file));
        EXPECT_EQ(found, reason.empty() ? "" : "Cannot read " + dir.Path(file) + ": " + reason);
        EXPECT_FALSE(methods.Run(ImportMode::Replace, false, feedback));
        ASSERT_TRUE(methods.Close());
        EXPECT_EQ(Images(), before);
        EXPECT_FALSE(std::filesystem::exists(staging));
    }
    ASSERT_TRUE(other.Open(TableAccess::Read));
    EXPECT_EQ(methods.Open().error, "The table Methods.dbf is in use by another program (or "
                                    "another window of Tambrel). Close it there and try again.");
    EXPECT_FALSE(module.dbfTemp.Active());
    EXPECT_FALSE(std::filesystem::exists(staging));
}

// Nothing reaches the file before the import's end: killed part-way, or failing to write, the
// library is the old one, in memory too.
TEST_F(Imports, TheLibraryIsWrittenWholeAtTheEndOrNotAtAll)
{
    const std::string table = dir.Library() + "/Methods.dbf";
    const std::string image = ReadFile(table);
    std::string file(kMarker);
    for (int i = 1; i <= 20; ++i) {
        file += "8,\"METHOD " + std::to_string(i) + " MAJOR\",\"-" + std::to_string(i % 8 + 1) +
                "-1-1-1 LH2\",A\n";
    }
    std::size_t checks = 0;
    feedback.progress = [&](std::size_t position, std::size_t) {
        if (position == 11) {
            ++checks;
            EXPECT_EQ(ReadFile(table), image);
        }
    };
    ASSERT_TRUE(ImportMethods(file, ImportMode::Replace));
    EXPECT_EQ(checks, 1U);
    const std::vector<Stored> replaced = Main();
    EXPECT_GT(replaced.size(), 2U);

    // The disk refuses the write: the library stays as it was, and a later write (closing the
    // tables) cannot land the half-made one.
    feedback.progress = nullptr;
    const std::string replacedImage = ReadFile(table);
    ASSERT_TRUE(methods.Open());
    ASSERT_TRUE(methods.ReadFile(
        dir.Write("import.csv", std::string(kMarker) + "6,\"ONE\",\"-1-1-1 LH2\",A\n")));
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{1024, limit.rlim_max};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const Status status = methods.Run(ImportMode::Replace, false, feedback);
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_NE(status.error.find("Cannot write"), std::string::npos) << status.error;
    EXPECT_EQ(methods.Added(), 0U);
    EXPECT_FALSE(methods.LibraryReplaced());
    EXPECT_EQ(module.dbfMethods.RecordCount(), replaced.size()); // in memory as on disk
    ASSERT_TRUE(methods.Close());
    EXPECT_EQ(ReadFile(table), replacedImage);
    EXPECT_EQ(Main(), replaced);
}

// Deleting makes the next record current, so the walk must not move on after a deletion: two
// personal methods in a row that the main library holds are both asked about.
TEST_F(Imports, PersonalCheckAsksAboutEveryMethodTheMainLibraryHolds)
{
    ASSERT_TRUE(module.OpenTables("PERSONAL"));
    TDbf& personal = module.dbfMethods;
    for (const Stored& m : {Stored{"8", "MY CAMBRIDGE", std::string(kCambridge), "B"},
                            Stored{"6", "MY PLAIN BOB", "-1-1-1 LH2", "A"},
                            Stored{"6", "MY OWN MINOR", "-1-1-1-1-1 LH2", "A"},
                            Stored{"8", "my bristol", "-5-4.5-5.36.4-4.5-4-1 LH1", "M"},
                            Stored{"8", "MY BRISTOL AGAIN", "-5-4.5-5.36.4-4.5-4-1 LH1", "M"}}) {
        personal.ClearRecord();
        ASSERT_TRUE(personal.Replace("bells", m[0]) && personal.Replace("name", m[1]) &&
                    personal.Replace("places", m[2]) && personal.Replace("group", m[3]) &&
                    personal.AppendRec());
    }
    ASSERT_TRUE(module.CloseTables());

    answers = {true, true, false, true};
    ASSERT_TRUE(ImportMethods(std::string(kMarker), ImportMode::Import, true));
    std::vector<std::pair<ImportQuestion, std::string>> questions;
    for (const auto& [name, main] : {std::pair{"MY CAMBRIDGE", "CAMBRIDGE SURPRISE MAJOR"},
                                     {"MY PLAIN BOB", "PLAIN BOB MINOR"},
                                     {"MY BRISTOL", "BRISTOL SURPRISE MAJOR"},
                                     {"MY BRISTOL AGAIN", "BRISTOL SURPRISE MAJOR"}}) {
        questions.emplace_back(
            ImportQuestion::RemovePersonal,
            std::string(name) + " in your Personal Library\r\ris in the Main Library as " + main +
                ".\r\rDo you want to Delete it from your Personal "
                "Library?");
    }
    EXPECT_EQ(asked, questions);
    EXPECT_EQ(methods.PersonalRemoved(), 3U);
    EXPECT_EQ(labels, (std::vector<std::string>{"Importing Methods ...", "Re-indexing Library...",
                                                "Checking Personal Library...",
                                                "0 Methods Checked, 0 Imported, 0 Renamed."}));
    EXPECT_EQ(Main("PERSONAL"),
              (std::vector<Stored>{{"6 ", "MY OWN MINOR", "-1-1-1-1-1 LH2", "A "},
                                   {"8 ", "my bristol", "-5-4.5-5.36.4-4.5-4-1 LH1", "M "}}));
}

// The Central Council's XML collection is taken as it comes: told by its content, converted,
// and imported as a methods file, its date the library's build.
TEST_F(Imports, TheCouncilsXmlCollectionIsImportedAsItIs)
{
    ASSERT_TRUE(ImportMethods(
        test::Collection(test::MethodSet(6, test::Method("Plain Bob Minor", "x16x16x16,12") +
                                                test::Method("Cambridge Surprise Minor",
                                                             "x36x14x12x36x14x56,12")) +
                             test::MethodSet(2, test::Method("Cross Two", "x")),
                         "2024-02-03"),
        ImportMode::Replace));
    // The two-bell method, which no library holds, is left out unread: said, but not checked.
    EXPECT_EQ(methods.ResultText(ImportMode::Replace), "2 Methods Imported. 1 Left Out.");
    EXPECT_EQ(methods.ResultText(ImportMode::Import),
              "2 Methods Checked, 2 Imported, 0 Renamed. 1 Left Out.");
    const StagedDetails details(methods.Staged());
    EXPECT_EQ(details.Summary(), "1 methods of the collection left out: see Details.");
    EXPECT_EQ(details.Text(20),
              "Left out, as a library cannot hold it: Cross Two (stage 2): under 4 bells.");
    EXPECT_EQ(Main(),
              (std::vector<Stored>{{"0 ", "TB_Method_Library", "CCCBR 2024-02-03", "  "},
                                   kBundled[3],
                                   {"6 ", "CAMBRIDGE SURPRISE MINOR", "-3-4-2-3-4-5 LH2", "B "}}));
    for (const auto& entry : std::filesystem::directory_iterator(dir.Library())) {
        EXPECT_FALSE(entry.path().filename().string().starts_with(".building")); // cleared away
    }
    // A document that is no collection is refused like any other file.
    EXPECT_FALSE(ImportMethods("<?xml version=\"1.0\"?><notes/>\n", ImportMode::Replace));
}

// A replace by a file with nothing the library can take is refused before anything changes;
// one that has something says how much, for the question the dialog asks first.
TEST_F(Imports, AReplaceWithNothingToTakeChangesNoFile)
{
    const std::string before = Images();
    for (const std::string& content :
         {std::string(kMarker), std::string(kMarker) + "3,THREE,3.1.3,A\n8,NO NOTATION,,A\n"}) {
        EXPECT_EQ(ImportMethods(content, ImportMode::Replace).error,
                  "import.csv holds no method that the Main Library can take, so it was not "
                  "replaced.\r\rNothing was changed.");
    }
    CallsImport calls(module);
    ASSERT_TRUE(calls.Open());
    ASSERT_TRUE(calls.ReadFile(dir.Write("calls.csv", "0,00,TB_Calls_Library,x,\n3,01,B,1,\n")));
    EXPECT_EQ(calls.Usable(), 0U);
    EXPECT_EQ(calls.Run(feedback).error, "calls.csv holds no call that the Calls Library can "
                                         "take, so it was not replaced.\r\rNothing was changed.");
    EXPECT_EQ(calls.LibraryCalls(), 1U);
    ASSERT_TRUE(calls.Close());
    EXPECT_EQ(Images(), before);
    EXPECT_TRUE(labels.empty());

    // A notation twice is one method of the library; the header is no method. What the reading
    // left out or changed is listed in the file's order, for the dialog to show.
    ASSERT_TRUE(methods.Open());
    ASSERT_TRUE(methods.ReadFile(dir.Write(
        "two.csv", std::string(kMarker) + "6,ONE,-1-1-1 LH2,A\n6,TWO,x16x16x16x16x16x12,A\n" +
                       "8,SHORT\n6,\"M\xC5\x81ODY\",-1-1-1 LH2,A\n8,\"ESC\x1B\",x,A\n8," +
                       std::string(61, 'W') + ",x,A\n")));
    EXPECT_EQ(methods.Usable(), 1U);
    EXPECT_EQ(methods.LibraryMethods(), 3U);
    const StagedDetails details(methods.Staged());
    EXPECT_EQ(details.Summary(), "4 lines of the file left out or changed: see Details.");
    EXPECT_EQ(details.Text(20),
              "Line 4: not one value to each field, or a quote left open; left out.\r"
              "Line 5: M\xC5\x81ODY is stored with plain letters for those the library lacks.\r"
              "Line 6: a control character in a value; left out.\r"
              "Line 7: a value too wide for the library; left out.");
    EXPECT_EQ(details.Text(1),
              "Line 4: not one value to each field, or a quote left open; left out.\r"
              "... and 3 more.");
    ASSERT_TRUE(methods.Close());
    EXPECT_EQ(ReplaceQuestion(true, 23678, 7, "small.csv"),
              "Replace the 23678 Methods of the Main Library with the 7 Methods of small.csv?");
    EXPECT_EQ(ReplaceQuestion(false, 108, 1, "calls.csv"),
              "Replace the 108 Calls of the Calls Library with the 1 Call of calls.csv?");
}

TEST_F(Imports, CallsReplaceTheCallsLibraryMarkerFirst)
{
    CallsImport calls(module);
    ASSERT_TRUE(calls.Open());
    EXPECT_EQ(calls.ReadFile(dir.Path("none.csv")).error,
              "Unable to import Calls from file:\r\r" + dir.Path("none.csv"));
    ASSERT_TRUE(calls.ReadFile(dir.Write("calls.csv", "0,00,TB_Calls_Library,\"Calls 2\",\n"
                                                      "8,7,\"Bob\",14,234\n"
                                                      "08,12,\" Single \",1234,23\n"
                                                      "10,1,Bob,14,\n"
                                                      "x,01,No bells,14,\n"
                                                      "3,01,Three bells,1,\n"
                                                      "8,01,Missing lines,14\n")));
    EXPECT_EQ(calls.Staged().skipped, 1U);
    ASSERT_TRUE(calls.Run(feedback));
    EXPECT_EQ(labels, (std::vector<std::string>{"Importing Calls ...", "Re-indexing Calls...",
                                                "4 Calls Imported"}));
    ASSERT_TRUE(calls.Close() && module.OpenTables("CALLS", TableAccess::Read));
    std::vector<std::string> records;
    TDbf& table = module.dbfCalls;
    EXPECT_TRUE(table.Warnings().empty());
    for (table.GoTop(); !table.Eof(); table.Skip()) {
        records.push_back(table.FieldText("bells") + "|" + table.FieldText("call_ref") + "|" +
                          TrimRight(table.FieldText("name")) + "|" +
                          TrimRight(table.FieldText("places")) + "|" +
                          TrimRight(table.FieldText("lines")));
    }
    EXPECT_EQ(records,
              (std::vector<std::string>{"0 |00|TB_Calls_Library|Calls 2|", "8 |07|Bob|14|234",
                                        "8 |12|Single|1234|23", "10|01|Bob|14|"}));
    ASSERT_TRUE(table.SetOrderToTag("REF"));
    EXPECT_TRUE(table.FindExact("8 12")); // found by the key the calls are looked up with
    EXPECT_FALSE(std::filesystem::exists(dir.Library() + "/ImpCalls.dbf"));
}

} // namespace
} // namespace tambrel
