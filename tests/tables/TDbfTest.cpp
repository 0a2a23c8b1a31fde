#include "tables/TDbf.h"
#include "library/LibraryTables.h"
#include "tables/DelimitedAppend.h"
#include "tables/FileIo.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <tuple>
#include <vector>

namespace tambrel {
namespace {

using test::ReadFile;
using Names = std::vector<std::string>;

// A method table in a folder of its own, opened for writing on a cursor with the method tags.
class MethodTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(CreateTable(path, kMethodLayout));
        table.SetDbfFileName(path);
        ASSERT_TRUE(table.Open());
    }

    void Add(const Names& method) // bells, name, places, group
    {
        table.ClearRecord();
        for (std::size_t f = 0; f < 4; ++f) {
            ASSERT_TRUE(table.Replace(kMethodLayout[f].first, method[f]));
        }
        ASSERT_TRUE(table.AppendRec());
    }

    void AddLibrary()
    {
        table.BeginBulkUpdate();
        for (const Names& m : {Names{"0", "TB_Method_Library", "Test build", ""},
                               {"8", "CAMBRIDGE SURPRISE MAJOR", "-3-4-25-36-4-5-6-7 LH2", "B"},
                               {"8", "BRISTOL SURPRISE MAJOR", "-5-4.5-5.36.4-4.5-4-1 LH1", "M"},
                               {"12", "BRISTOL SURPRISE MAXIMUS", "-5T-14.5T LH1", "J"},
                               {"6", "plain bob minor", "-1-1-1 LH2", "A"},
                               {"8", "PLAIN BOB MAJOR", "-1-1-1-1 LH2", "A"},
                               {"8", "YORKSHIRE SURPRISE MAJOR", "-3-4-5-36-4-5-6-7 LH2", "B"}}) {
            Add(m);
        }
        ASSERT_TRUE(table.EndBulkUpdate());
    }

    std::string Name() const
    {
        const std::string name = table.FieldText("name");
        return name.substr(0, name.find_last_not_of(' ') + 1);
    }

    // Names in the current order from the current record on.
    Names Walk()
    {
        Names names;
        for (; !table.Eof(); table.Skip()) {
            names.push_back(Name());
        }
        return names;
    }

    test::TempDir dir;
    std::string path = dir.Path("Methods.dbf");
    TDbf table{kMethodTags};
};

TEST_F(MethodTable, OrdersAndSeeks)
{
    AddLibrary();
    // "12" sorts before "6 " and "8 ": keys compare as blank-padded text.
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    table.GoTop();
    EXPECT_EQ(Walk(), (Names{"TB_Method_Library", "BRISTOL SURPRISE MAXIMUS", "plain bob minor",
                             "BRISTOL SURPRISE MAJOR", "CAMBRIDGE SURPRISE MAJOR",
                             "PLAIN BOB MAJOR", "YORKSHIRE SURPRISE MAJOR"}));
    // Tag, key, whether exact, and the name found (nullptr for none).
    for (const auto& [tag, key, exact, found] :
         std::vector<std::tuple<const char*, std::string, bool, const char*>>{
             {"NAME", "8 CAMB", false, "CAMBRIDGE SURPRISE MAJOR"},
             {"NAME", "8 CAMB", true, nullptr},
             {"NAME", "8 CAMBRIDGE SURPRISE MAJOR   ", true, "CAMBRIDGE SURPRISE MAJOR"},
             {"NAME", "6 PLAIN BOB", false, "plain bob minor"}, // keys are upper case
             {"NAME", "12", false, "BRISTOL SURPRISE MAXIMUS"},
             {"NAME", "7 ", false, nullptr},
             {"PLACES", "8 -1-1-1-1 LH2" + std::string(200, ' '), true, "PLAIN BOB MAJOR"}}) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(table.SetOrderToTag(tag));
        EXPECT_EQ(exact ? table.FindExact(key) : table.Find(key), found != nullptr);
        EXPECT_EQ(table.Eof() ? "" : Name(), found != nullptr ? found : "");
    }
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    table.FindNear("8 CAN");
    EXPECT_EQ(Name(), "PLAIN BOB MAJOR");
    EXPECT_EQ(table.FieldText("bells"), "8 ");
    table.FindNear("8 ZZZ");
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.RecNo(), table.RecordCount() + 1);
    table.Skip(-1);
    EXPECT_EQ(Name(), "YORKSHIRE SURPRISE MAJOR");

    // The group and places key keeps 98 characters of them.
    const std::string places(96, '1');
    Add({"8", "LONG", places + "23", "A"});
    ASSERT_TRUE(table.SetOrderToTag("GRPPLACES"));
    EXPECT_TRUE(table.FindExact("8 A " + places));
    ASSERT_TRUE(table.SetOrderToTag("PLACES"));
    EXPECT_FALSE(table.FindExact("8 " + places));
    EXPECT_TRUE(table.FindExact("8 " + places + "23"));
}

TEST_F(MethodTable, WhileRestrictionAndReadingByPosition)
{
    AddLibrary();
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    ASSERT_TRUE(table.FindExact("8 PLAIN BOB MAJOR"));
    ASSERT_TRUE(table.DeleteRec());
    ASSERT_TRUE(table.Find("8 C"));
    ASSERT_TRUE(table.SetWhileTo("Bells=\"8 \""));
    // NAME order: header, 12, 6, then the 8-bell methods from position 3, the deleted one
    // holding its place inside the range.
    const std::uint32_t recno = table.RecNo();
    EXPECT_EQ(table.Position(), 4U);
    EXPECT_EQ(table.WhileRange(), (std::pair<std::size_t, std::size_t>{4, 7}));
    Names atPositions;
    for (std::size_t pos = 0; pos < 8; ++pos) {
        const std::string name = table.FieldTextAt(pos, "name");
        atPositions.push_back(table.LiveRecordAt(pos) == 0 ? "-" : name.substr(0, name.find(' ')));
    }
    EXPECT_EQ(atPositions, (Names{"TB_Method_Library", "BRISTOL", "plain", "BRISTOL", "CAMBRIDGE",
                                  "-", "YORKSHIRE", "-"}));
    EXPECT_EQ(table.FieldTextAt(99, "group"), "  ");
    EXPECT_EQ(table.FieldTextAt(0, "colour"), "");
    EXPECT_EQ(table.RecNo(), recno); // reading by position moves nothing
    EXPECT_EQ(Walk(), (Names{"CAMBRIDGE SURPRISE MAJOR", "YORKSHIRE SURPRISE MAJOR"}));
    EXPECT_EQ(table.Position(), 7U); // the end: the size of the order
    table.GoTop();                   // the top of the range, not of the table
    table.Skip(-1);
    EXPECT_EQ(Name(), "CAMBRIDGE SURPRISE MAJOR");

    ASSERT_TRUE(table.SetOrderToTag("GRPNAME"));
    ASSERT_TRUE(table.Find("8 M "));
    ASSERT_TRUE(table.SetWhileTo("Bells=\"8 \" .And. Group=\"M \""));
    EXPECT_EQ(Walk(), (Names{"BRISTOL SURPRISE MAJOR"}));
    ASSERT_TRUE(table.SetWhileTo(""));
    table.GoTop();
    EXPECT_EQ(Walk().size(), 6U);
    EXPECT_EQ(table.SetWhileTo("Bells=\"8 \" .Or. Group=\"B \"").error,
              "The condition is not usable: Unexpected text at position 12 of \"Bells=\"8 \" .Or. "
              "Group=\"B \"\".");
}

TEST_F(MethodTable, EditsKeepTheIndexInStep)
{
    AddLibrary();
    Add({"8", "CAMBRIDGE TWIN MAJOR", "-3-4-25-36-4-5-6-7 LH2", "B"}); // record 8
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    ASSERT_TRUE(table.FindExact("8 PLAIN BOB MAJOR"));
    ASSERT_TRUE(table.Replace("name", "ABEL BOB MAJOR"));
    EXPECT_EQ(Name(), "ABEL BOB MAJOR"); // the buffer shows while editing
    ASSERT_TRUE(table.ReplaceRec());
    EXPECT_FALSE(table.FindExact("8 PLAIN BOB MAJOR"));
    ASSERT_TRUE(table.Find("8 "));
    EXPECT_EQ(Name(), "ABEL BOB MAJOR");

    // Equal keys keep record order, so the record a cursor goes to is the one it edits.
    ASSERT_TRUE(table.SetOrderToTag("PLACES"));
    ASSERT_TRUE(table.Go(8));
    ASSERT_TRUE(table.Replace("name", "CAMBRIDGE SECOND MAJOR"));
    ASSERT_TRUE(table.ReplaceRec());
    ASSERT_TRUE(table.FindExact("8 -3-4-25-36-4-5-6-7 LH2"));
    EXPECT_EQ(Name(), "CAMBRIDGE SURPRISE MAJOR");
    table.Skip();
    EXPECT_EQ(table.RecNo(), 8U);

    // A deleted record hides at once: the next one becomes current, or at the end of the
    // order the one before.
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    ASSERT_TRUE(table.FindExact("8 ABEL BOB MAJOR"));
    ASSERT_TRUE(table.DeleteRec());
    EXPECT_EQ(Name(), "BRISTOL SURPRISE MAJOR");
    EXPECT_EQ(table.Go(6).error, "There is no record 6.");
    ASSERT_TRUE(table.FindExact("8 YORKSHIRE SURPRISE MAJOR"));
    ASSERT_TRUE(table.DeleteRec());
    EXPECT_EQ(Name(), "CAMBRIDGE SURPRISE MAJOR");
    EXPECT_EQ(table.RecordCount(), 8U); // still in the file until packed

    table.SetErrorsRaised(false); // switched off, errors pass silently and nothing moves
    EXPECT_TRUE(table.Go(999));
    EXPECT_EQ(Name(), "CAMBRIDGE SURPRISE MAJOR");
    table.SetErrorsRaised(true);
    EXPECT_EQ(table.Replace("colour", "red").error, "The table Methods.dbf has no field colour.");

    ASSERT_TRUE(table.Pack());
    EXPECT_EQ(table.RecordCount(), 6U);
    EXPECT_EQ(Walk().size(), 6U);
    ASSERT_TRUE(table.ReplaceAllRecords({{"6", "ONE"}, {"7", "TWO", "3.1.7", "A"}}));
    ASSERT_TRUE(table.Close());
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Warnings().empty());
    EXPECT_EQ(Walk(), (Names{"ONE", "TWO"}));
    ASSERT_TRUE(table.Zap());
    table.GoTop();
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.RecordCount(), 0U);
}

// Begun on record 1, an edit never lands on the record a move reaches: moving drops it.
TEST_F(MethodTable, APendingEditStaysWithItsRecord)
{
    AddLibrary();
    const std::vector<std::function<void()>> moves = {
        [&] { table.Skip(1); },
        [&] { table.GoTop(); },
        [&] { ASSERT_TRUE(table.Go(2)); },
        [&] { table.Find("8 "); },
        [&] { table.FindExact("8 PLAIN BOB MAJOR"); },
        [&] { table.FindNear("8 C"); },
        [&] { ASSERT_TRUE(table.SetOrderToTag("PLACES")); },
        [&] { ASSERT_TRUE(table.SetWhileTo("Bells=\"0 \"")); },
    };
    for (std::size_t m = 0; m < moves.size(); ++m) {
        SCOPED_TRACE(m);
        ASSERT_TRUE(table.SetOrderToTag("NAME"));
        ASSERT_TRUE(table.SetWhileTo(""));
        ASSERT_TRUE(table.Go(1));
        ASSERT_TRUE(table.Replace("name", "CHANGED"));
        moves[m]();
        EXPECT_NE(Name(), "CHANGED");
        ASSERT_TRUE(table.ReplaceRec());
        ASSERT_TRUE(table.Go(1));
        EXPECT_EQ(Name(), "TB_Method_Library");
    }
}

TEST_F(MethodTable, TextInCodePage850)
{
    TDbf::WriteNote note;
    table.ClearRecord();
    ASSERT_TRUE(table.Replace("bells", "8"));
    ASSERT_TRUE(table.Replace("name", "Ørsted Café", &note));
    EXPECT_FALSE(note.transliterated);
    ASSERT_TRUE(table.Replace("places", "Łódź œuvre", &note));
    EXPECT_TRUE(note.transliterated);
    ASSERT_TRUE(table.Replace("group", "ABC", &note));
    EXPECT_TRUE(note.cut);
    ASSERT_TRUE(table.AppendRec());
    EXPECT_EQ(table.FieldText("name"), "Ørsted Café" + std::string(49, ' '));
    EXPECT_EQ(table.FieldText("places"), "Lódz oeuvre" + std::string(87, ' '));
    EXPECT_EQ(table.FieldText("group"), "AB");
    ASSERT_TRUE(table.Close());
    // Ø is 0x9D and é 0x82 in code page 850, and the header names that code page.
    const std::string bytes = ReadFile(path);
    EXPECT_EQ(bytes[29], 0x02);
    EXPECT_NE(bytes.find("\x9Drsted Caf\x82"), std::string::npos);
    // Index keys are upper-cased by the same rule as method names: é becomes É (0x90).
    ASSERT_TRUE(table.Open());
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    EXPECT_TRUE(table.FindExact("8 ØRSTED CAFÉ"));
}

TEST_F(MethodTable, AppendFromDelimitedSkipsWhatIsNoWholeRecord)
{
    const std::string file =
        dir.Write("import.csv", "\xEF\xBB\xBF"
                                "0,TB_Method_Library,\"Build 7\",\r\n"
                                "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\r\n"
                                "\r\n"
                                "8,TOO WIDE," +
                                    std::string(99, '1') +
                                    ",A\n"
                                    "8,SHORT RECORD\n"
                                    "10,\"BÉLA, ŁUKASZ\",x,Z\n"
                                    "8,EXTRA FIELD,x,A,B\n"
                                    "8,\"OPEN QUOTE,x,A\n"
                                    "8,\"QUOTED, WITH \"\"QUOTES\"\"\",x,A\n" +
                                    std::string(100000, 'x') + // longer than any record
                                    "\n"
                                    "8,\"\xEF\xBB\xBF WIDTHLESS FIRST\",x,A\n" // no blank left
                                    "8,\"ESC\x1B[2J\",x,A\n"
                                    "8,\"DEL\x7F\",x,A\n"
                                    "8,\"CR\rIN A VALUE\",x,A\r\n"
                                    "\n\r\n"); // blank lines at the end are skipped too
    const DelimitedReport report = AppendFromDelimited(table, file);
    ASSERT_TRUE(report.status) << report.status.error;
    using Lines = std::vector<std::size_t>;
    // Appended, over wide, malformed, with a control character (refused, never stored),
    // transliterated; the first line, the first skipped; then the lines of each kind.
    EXPECT_EQ(std::tuple(report.appended, report.overWide, report.malformed, report.control,
                         report.transliterated, report.firstLine, report.FirstSkippedLine()),
              std::tuple(5U, 2U, 3U, 3U, 2U, 1U, 4U));
    EXPECT_EQ((std::vector{report.overWideLines, report.malformedLines, report.controlLines,
                           report.transliteratedLines}),
              (std::vector<Lines>{{4, 10}, {5, 7, 8}, {12, 13, 14}, {6, 11}}));
    EXPECT_EQ(report.transliteratedValues, (Names{"BÉLA, ŁUKASZ", "\xEF\xBB\xBF WIDTHLESS FIRST"}));
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    table.GoTop();
    EXPECT_EQ(Walk(), (Names{"TB_Method_Library", "BÉLA, LUKASZ", "CAMBRIDGE SURPRISE MAJOR",
                             "QUOTED, WITH \"QUOTES\"", "WIDTHLESS FIRST"}));
    table.GoTop();
    EXPECT_EQ(table.FieldText("places"), "Build 7" + std::string(91, ' '));
    ASSERT_TRUE(table.Close());
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Warnings().empty()); // the index written matches its table
}

// A file refused appends nothing, and a table held for reading takes nothing.
TEST_F(MethodTable, AppendFromDelimitedRefusalsAppendNothing)
{
    AddLibrary();
    std::ofstream(dir.Path("huge.csv")).close();
    std::filesystem::resize_file(dir.Path("huge.csv"), std::uintmax_t{2} << 30U); // no disk used
    const DelimitedReport huge = AppendFromDelimited(table, dir.Path("huge.csv"));
    EXPECT_EQ(huge.status.error, "Cannot read " + dir.Path("huge.csv") +
                                     ": it is 2048 MB, more than the 1024 MB such a file may be.");
    EXPECT_EQ(huge.appended, 0U);
    EXPECT_EQ(table.RecordCount(), 7U);
    ASSERT_TRUE(table.Close());
    const std::string good = dir.Write("good.csv", "8,NEW,-1-1-1-1 LH2,A\n");
    EXPECT_EQ(AppendFromDelimited(table, good).status.error, "The table is not open.");
    ASSERT_TRUE(table.Open(TableAccess::Read));
    EXPECT_EQ(AppendFromDelimited(table, good).status.error,
              "The table Methods.dbf is open for reading only.");
    EXPECT_EQ(table.RecordCount(), 7U);
}

// A bulk update that cannot be written is dropped, in memory too, so that a later write cannot
// land half of it; the lock stays held throughout. Readers share a table; a writer has it alone.
TEST_F(MethodTable, DiscardedChangesReadTheTableAgainAndLocksHold)
{
    AddLibrary();
    const std::string image = ReadFile(path);
    table.BeginBulkUpdate();
    ASSERT_TRUE(table.Zap());
    Add({"6", "ONLY METHOD", "-1-1-1 LH2", "A"});
    EXPECT_EQ(ReadFile(path), image); // nothing written inside the update
    ASSERT_TRUE(table.DiscardChanges());
    EXPECT_EQ(table.RecordCount(), 7U);
    const std::string inUse = "The table Methods.dbf is in use by another program (or another "
                              "window of Tambrel). Close it there and try again.";
    TDbf first(kMethodTags);
    TDbf second(kMethodTags);
    first.SetDbfFileName(path);
    second.SetDbfFileName(path);
    EXPECT_EQ(first.Open(TableAccess::Read).error, inUse);
    ASSERT_TRUE(table.Close());
    EXPECT_EQ(ReadFile(path), image);
    ASSERT_TRUE(first.Open(TableAccess::Read));
    ASSERT_TRUE(second.Open(TableAccess::Read));
    EXPECT_EQ(table.Open().error, inUse);
    ASSERT_TRUE(first.Close());
    ASSERT_TRUE(second.Close());
    EXPECT_TRUE(table.Open());
}

// An index that does not serve (stale, damaged, missing) is rebuilt on open, and its file is
// found whatever the case of its name.
TEST_F(MethodTable, ReopeningUsesOrRebuildsTheIndex)
{
    AddLibrary();
    ASSERT_TRUE(table.Close());
    const std::filesystem::path mdx = dir.Path("Methods.mdx");
    const std::string before = ReadFile(mdx);
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Warnings().empty());
    Add({"9", "GRANDSIRE CATERS", "3.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1", "A"});
    ASSERT_TRUE(table.Close());
    const std::string rebuilt = "Methods.mdx: the index did not match its table and was rebuilt.";
    for (const auto& [index, warning] : {std::pair<std::string, std::string>{before, rebuilt},
                                         {before.substr(0, 3000), ""},
                                         {"", ""}}) {
        if (index.empty()) {
            std::filesystem::remove(mdx);
        } else {
            ASSERT_TRUE(WriteFileAtomically(mdx, index));
        }
        ASSERT_TRUE(table.Open());
        EXPECT_EQ(table.Warnings().size(), index.empty() ? 0U : 1U);
        EXPECT_TRUE(warning.empty() || table.Warnings().at(0) == warning);
        ASSERT_TRUE(table.SetOrderToTag("NAME"));
        EXPECT_TRUE(table.FindExact("9 GRANDSIRE CATERS"));
        ASSERT_TRUE(table.Close());
        EXPECT_NE(ReadFile(mdx), index);
    }
    std::filesystem::rename(path, dir.Path("METHODS.DBF"));
    std::filesystem::rename(mdx, dir.Path("METHODS.MDX"));
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Warnings().empty());
    EXPECT_EQ(table.RecordCount(), 8U);
    ASSERT_TRUE(table.Close());
    EXPECT_FALSE(std::filesystem::exists(mdx));
}

// A wrong record count: reading sees the whole records and leaves the file alone, writing waits
// for a reindex (the repair) to correct it. Slack after the end-of-file mark is no fault.
TEST_F(MethodTable, WrongRecordCountsAreMendedOnlyByARepair)
{
    AddLibrary();
    ASSERT_TRUE(table.Close());
    const std::string good = ReadFile(path);
    const std::string slack = good + std::string(163, 'x'); // a record's length
    ASSERT_TRUE(WriteFileAtomically(path, slack));
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Warnings().empty());
    EXPECT_EQ(table.RecordCount(), 7U);
    ASSERT_TRUE(table.Close());
    EXPECT_EQ(ReadFile(path), slack);
    // The end-of-file mark after the claimed records stays, as after a crash, when too few are.
    for (const int count : {100, 3}) {
        SCOPED_TRACE(static_cast<int>(count));
        std::string bytes = good;
        bytes[4] = static_cast<char>(count);
        ASSERT_TRUE(WriteFileAtomically(path, bytes));
        const std::string counted = "Methods.dbf: The table's header counts " +
                                    std::to_string(count) +
                                    " records but the file holds 7 whole records.";
        ASSERT_TRUE(table.Open(TableAccess::Read));
        EXPECT_EQ(table.Warnings(), (Names{counted + " They are read; the file is left as it is "
                                                     "until the libraries are reindexed."}));
        EXPECT_EQ(table.RecordCount(), 7U);
        EXPECT_EQ(table.AppendRec().error, "The table Methods.dbf is open for reading only.");
        ASSERT_TRUE(table.Close());
        EXPECT_EQ(table.Open().error,
                  "The table " + path + " needs mending: " + counted.substr(13) +
                      " Reindex the libraries to mend it; until then it can be read but not "
                      "changed.");
        EXPECT_EQ(ReadFile(path), bytes);
        ASSERT_TRUE(table.Open(TableAccess::Repair));
        EXPECT_EQ(table.Warnings(), (Names{counted + " The count was corrected."}));
        ASSERT_TRUE(table.Close());
        EXPECT_EQ(ReadFile(path).substr(4), good.substr(4)); // every record, as it was
    }
}

// Damage is refused, never read shifted or "corrected": whatever the access, the table's bytes
// and its index stay exactly as they were.
TEST_F(MethodTable, DamagedTablesAreRefusedAndLeftAlone)
{
    AddLibrary();
    ASSERT_TRUE(table.Close());
    const std::string good = ReadFile(path);
    const std::string index = ReadFile(dir.Path("Methods.mdx"));
    const auto changed = [&](std::size_t at, char byte) {
        std::string bytes = good;
        bytes[at] = byte;
        return bytes;
    };
    // One bit of the header length (161 -> 177), the deletion flag of record 3, a field's name.
    for (const auto& [bytes, why] : std::vector<std::pair<std::string, std::string>>{
             {"not a table", "The file is too short to be a dBase table."},
             {changed(8, '\xB1'),
              "The table's header length (177) disagrees with its 4 fields (161)."},
             {changed(161 + 2 * 163, 'X'), "Record 3 is damaged: it begins with the byte 88, "
                                           "where a blank or \"*\" marks a record."},
             {changed(32 * 3 + 5, 'Z'),
              "its field 3 is PLACEZ (C 98) where PLACES (C 98) belongs."}}) {
        SCOPED_TRACE(why);
        ASSERT_TRUE(WriteFileAtomically(path, bytes));
        TDbf checked(kMethodTags, kMethodLayout);
        checked.SetDbfFileName(path);
        for (const TableAccess access :
             {TableAccess::Read, TableAccess::Write, TableAccess::Repair}) {
            EXPECT_EQ(checked.Open(access).error, "The table " + path + " cannot be read: " + why);
            EXPECT_FALSE(checked.Active());
        }
        EXPECT_EQ(ReadFile(path), bytes);
        EXPECT_EQ(ReadFile(dir.Path("Methods.mdx")), index);
    }

    std::filesystem::resize_file(path, std::uintmax_t{100} << 30U); // 100 GB, no disk used
    EXPECT_EQ(table.Open().error,
              "Cannot read " + path +
                  ": it is 102400 MB, more than the 256 MB such a file may be.");
    // The index as a pipe: read around, rebuilt, and said.
    ASSERT_TRUE(WriteFileAtomically(path, good));
    const std::string mdx = dir.Path("Methods.mdx");
    std::filesystem::remove(mdx);
    ASSERT_EQ(::mkfifo(mdx.c_str(), 0600), 0);
    ASSERT_TRUE(table.Open(TableAccess::Read));
    EXPECT_EQ(table.Warnings(),
              (Names{"Methods.mdx: the index could not be read (Cannot read " + mdx +
                     ": it is a pipe, not a file.); it was rebuilt for this use "
                     "only, until the libraries are reindexed."}));
    EXPECT_EQ(table.RecordCount(), 7U);
}

TEST_F(MethodTable, UnusableKeyExpressionsAreReported)
{
    ASSERT_TRUE(CreateTable(dir.Path("t.dbf"), kMethodLayout));
    // Each problem is told with where it lies in the expression.
    for (const auto& [expression, problem] : std::vector<std::pair<std::string, std::string>>{
             {"bells + Lower(name)", "Unknown function LOWER at position 9"},
             {"bells + colour", "Unknown field COLOUR at position 9"},
             {"bells + Upper(name", "Expected \")\" at position 19"},
             {"bells + places + name", ""}}) {
        const std::string message = problem.empty()
                                        ? "The key of index tag T is longer than 100 characters."
                                        : "The index tag T of t.dbf is not usable: " + problem +
                                              " of \"" + expression + "\".";
        TDbf tagged({{"T", expression}});
        tagged.SetDbfFileName(dir.Path("t.dbf"));
        EXPECT_EQ(tagged.Open().error, message);
    }
}

} // namespace
} // namespace tambrel
