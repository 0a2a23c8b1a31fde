#include "tables/TDbf.h"
#include "library/LibraryTables.h"
#include "tables/FileIo.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tambrel {
namespace {

using test::ReadFile;
using test::TempDir;

struct Method {
    std::string bells, name, places, group;
};

// A method table in a folder of its own, opened on a cursor with the method tags.
class MethodTable : public ::testing::Test {
protected:
    void SetUp() override
    {
        path = dir.Path("Methods.dbf");
        ASSERT_TRUE(CreateTable(path, kMethodLayout));
        table.SetDbfFileName(path);
        ASSERT_TRUE(table.Open());
    }

    void Add(const Method& m)
    {
        table.ClearRecord();
        ASSERT_TRUE(table.Replace("bells", m.bells));
        ASSERT_TRUE(table.Replace("name", m.name));
        ASSERT_TRUE(table.Replace("places", m.places));
        ASSERT_TRUE(table.Replace("group", m.group));
        ASSERT_TRUE(table.AppendRec());
    }

    void AddLibrary()
    {
        table.BeginBulkUpdate();
        for (const Method& m :
             {Method{"0", "TB_Method_Library", "Test build", ""},
              Method{"8", "CAMBRIDGE SURPRISE MAJOR", "-3-4-25-36-4-5-6-7 LH2", "B"},
              Method{"8", "BRISTOL SURPRISE MAJOR", "-5-4.5-5.36.4-4.5-4-1 LH1", "M"},
              Method{"12", "BRISTOL SURPRISE MAXIMUS", "-5T-14.5T LH1", "J"},
              Method{"6", "plain bob minor", "-1-1-1 LH2", "A"},
              Method{"8", "PLAIN BOB MAJOR", "-1-1-1-1 LH2", "A"},
              Method{"8", "YORKSHIRE SURPRISE MAJOR", "-3-4-5-36-4-5-6-7 LH2", "B"}}) {
            Add(m);
        }
        ASSERT_TRUE(table.EndBulkUpdate());
    }

    // Names in the current order from the current record on.
    std::vector<std::string> Names()
    {
        std::vector<std::string> names;
        for (; !table.Eof(); table.Skip()) {
            names.push_back(TrimName());
        }
        return names;
    }

    std::string TrimName() const
    {
        const std::string name = table.FieldText("name");
        return name.substr(0, name.find_last_not_of(' ') + 1);
    }

    TempDir dir;
    std::string path;
    TDbf table{kMethodTags};
};

TEST_F(MethodTable, BellCountsSortWithTheHeaderFirst)
{
    AddLibrary();
    for (const std::string_view tag : {"NAME", "PLACES", "GRPNAME", "GRPPLACES", ""}) {
        SCOPED_TRACE(tag);
        ASSERT_TRUE(table.SetOrderToTag(tag));
        table.GoTop();
        EXPECT_EQ(TrimName(), "TB_Method_Library");
    }
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    EXPECT_EQ(table.FieldText("bells"), "0 ");
    ASSERT_TRUE(table.Find("8 "));
    EXPECT_EQ(table.FieldText("bells"), "8 ");
    EXPECT_EQ(TrimName(), "BRISTOL SURPRISE MAJOR");
    ASSERT_TRUE(table.Find("12"));
    EXPECT_EQ(TrimName(), "BRISTOL SURPRISE MAXIMUS");
    // "12" sorts before "6 " and "8 ": keys compare as blank-padded text.
    table.GoTop();
    EXPECT_EQ(Names(), (std::vector<std::string>{"TB_Method_Library", "BRISTOL SURPRISE MAXIMUS",
                                                 "plain bob minor", "BRISTOL SURPRISE MAJOR",
                                                 "CAMBRIDGE SURPRISE MAJOR", "PLAIN BOB MAJOR",
                                                 "YORKSHIRE SURPRISE MAJOR"}));
}

TEST_F(MethodTable, SeeksOnPrefixesWholeKeysAndSoftly)
{
    AddLibrary();
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    EXPECT_TRUE(table.Find("8 CAMB"));
    EXPECT_EQ(TrimName(), "CAMBRIDGE SURPRISE MAJOR");
    EXPECT_FALSE(table.FindExact("8 CAMB"));
    EXPECT_TRUE(table.Eof());
    EXPECT_TRUE(table.FindExact("8 CAMBRIDGE SURPRISE MAJOR"));
    EXPECT_TRUE(table.FindExact("8 CAMBRIDGE SURPRISE MAJOR   ")); // trailing blanks do not count
    EXPECT_TRUE(table.Find("6 PLAIN BOB")); // the key is upper case whatever was stored
    EXPECT_FALSE(table.Find("7 "));

    table.FindNear("8 CAN");
    EXPECT_EQ(TrimName(), "PLAIN BOB MAJOR");
    table.FindNear("8 ZZZ");
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.RecNo(), table.RecordCount() + 1);
    table.Skip(-1);
    EXPECT_EQ(TrimName(), "YORKSHIRE SURPRISE MAJOR");

    // Keys are cut to 100 characters before seeking.
    ASSERT_TRUE(table.SetOrderToTag("PLACES"));
    EXPECT_TRUE(table.Find("8 -1-1-1-1 LH2" + std::string(200, ' ')));
}

TEST_F(MethodTable, GroupAndPlacesKeyKeepsNinetyEightCharacters)
{
    const std::string places(98, '1');
    Add({"8", "LONG", places.substr(0, 96) + "23", "A"});
    ASSERT_TRUE(table.SetOrderToTag("GRPPLACES"));
    EXPECT_TRUE(table.FindExact("8 A " + places.substr(0, 96)));
    ASSERT_TRUE(table.SetOrderToTag("PLACES"));
    EXPECT_FALSE(table.FindExact("8 " + places.substr(0, 96)));
    EXPECT_TRUE(table.FindExact("8 " + places.substr(0, 96) + "23"));
}

TEST_F(MethodTable, WhileRestrictionFromTheCurrentRecordOn)
{
    AddLibrary();
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    ASSERT_TRUE(table.Find("8 C"));
    ASSERT_TRUE(table.SetWhileTo("Bells=\"8 \""));
    EXPECT_EQ(Names(), (std::vector<std::string>{"CAMBRIDGE SURPRISE MAJOR", "PLAIN BOB MAJOR",
                                                 "YORKSHIRE SURPRISE MAJOR"}));
    table.GoTop(); // the top of the range, not of the table
    EXPECT_EQ(TrimName(), "CAMBRIDGE SURPRISE MAJOR");
    table.Skip(-1);
    EXPECT_TRUE(table.Bof());
    EXPECT_EQ(TrimName(), "CAMBRIDGE SURPRISE MAJOR");

    ASSERT_TRUE(table.SetOrderToTag("GRPNAME"));
    ASSERT_TRUE(table.Find("8 B "));
    ASSERT_TRUE(table.SetWhileTo("Bells=\"8 \" .And. Group=\"B \""));
    EXPECT_EQ(Names(),
              (std::vector<std::string>{"CAMBRIDGE SURPRISE MAJOR", "YORKSHIRE SURPRISE MAJOR"}));

    ASSERT_TRUE(table.SetWhileTo(""));
    table.GoTop();
    EXPECT_EQ(Names().size(), 7U);

    EXPECT_EQ(table.SetWhileTo("Bells=\"8 \" .Or. Group=\"B \"").error,
              "The condition is not usable: Unexpected text at position 12 of \"Bells=\"8 \" .Or. "
              "Group=\"B \"\".");
    EXPECT_FALSE(table.SetWhileTo("Colour=\"red\""));
}

TEST_F(MethodTable, ReadingByPositionLeavesTheCursorWhereItIs)
{
    AddLibrary();
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    ASSERT_TRUE(table.FindExact("8 PLAIN BOB MAJOR"));
    ASSERT_TRUE(table.DeleteRec());
    ASSERT_TRUE(table.Find("8 "));
    ASSERT_TRUE(table.SetWhileTo("Bells=\"8 \""));
    const std::uint32_t recno = table.RecNo();
    const std::size_t at = table.Position();
    // NAME order: header, 12, 6, then the 8-bell methods from position 3, the deleted one
    // still holding its place inside the range.
    EXPECT_EQ(at, 3U);
    EXPECT_EQ(table.WhileRange(), (std::pair<std::size_t, std::size_t>{3, 7}));
    std::vector<std::string> names;
    for (std::size_t pos = 0; pos < 8; ++pos) {
        const std::string name = table.FieldTextAt(pos, "name");
        names.push_back(table.LiveRecordAt(pos) == 0 ? "-" : name.substr(0, name.find(' ')));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"TB_Method_Library", "BRISTOL", "plain", "BRISTOL",
                                               "CAMBRIDGE", "-", "YORKSHIRE", "-"}));
    EXPECT_EQ(table.FieldTextAt(99, "group"), "  ");
    EXPECT_EQ(table.FieldTextAt(0, "colour"), "");
    EXPECT_EQ(table.RecNo(), recno);
    EXPECT_EQ(table.Position(), at);
    table.GoTop();
    table.Skip(3); // past the range's end
    EXPECT_TRUE(table.Eof());
    EXPECT_EQ(table.Position(), 7U); // the size of the order
}

TEST_F(MethodTable, DeletedRecordsHideAtOnceAndGoWithPack)
{
    AddLibrary();
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    ASSERT_TRUE(table.FindExact("8 PLAIN BOB MAJOR"));
    const std::uint32_t deleted = table.RecNo();
    ASSERT_TRUE(table.DeleteRec());
    EXPECT_EQ(TrimName(), "YORKSHIRE SURPRISE MAJOR"); // the next record is current
    EXPECT_FALSE(table.FindExact("8 PLAIN BOB MAJOR"));
    EXPECT_EQ(table.Go(deleted).error, "There is no record " + std::to_string(deleted) + ".");
    EXPECT_EQ(table.RecordCount(), 7U); // still in the file until packed

    ASSERT_TRUE(table.FindExact("8 YORKSHIRE SURPRISE MAJOR"));
    ASSERT_TRUE(table.DeleteRec()); // the last of its order: the one before becomes current
    EXPECT_EQ(TrimName(), "CAMBRIDGE SURPRISE MAJOR");

    ASSERT_TRUE(table.Pack());
    EXPECT_EQ(table.RecordCount(), 5U);
    table.GoTop();
    EXPECT_EQ(Names().size(), 5U);
}

TEST_F(MethodTable, EditingReplacesAndKeepsTheIndexInStep)
{
    AddLibrary();
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    ASSERT_TRUE(table.FindExact("8 PLAIN BOB MAJOR"));
    ASSERT_TRUE(table.Replace("name", "ABEL BOB MAJOR"));
    EXPECT_EQ(TrimName(), "ABEL BOB MAJOR"); // the buffer shows while editing
    ASSERT_TRUE(table.ReplaceRec());
    EXPECT_FALSE(table.FindExact("8 PLAIN BOB MAJOR"));
    ASSERT_TRUE(table.Find("8 "));
    EXPECT_EQ(TrimName(), "ABEL BOB MAJOR");

    // Switched off, errors pass silently and nothing moves.
    table.SetErrorsRaised(false);
    EXPECT_TRUE(table.Go(999));
    EXPECT_EQ(TrimName(), "ABEL BOB MAJOR");
    table.SetErrorsRaised(true);
    EXPECT_FALSE(table.Go(999));
    EXPECT_EQ(table.Replace("colour", "red").error, "The table Methods.dbf has no field colour.");

    ASSERT_TRUE(table.Zap());
    EXPECT_EQ(table.RecordCount(), 0U);
    table.GoTop();
    EXPECT_TRUE(table.Eof() && table.Bof());
}

// Begun on record 1, an edit never lands on the record a move reaches: moving drops it.
TEST_F(MethodTable, APendingEditStaysWithItsRecord)
{
    AddLibrary();
    struct Move {
        const char* name;
        std::function<void()> run;
    };
    const std::vector<Move> moves = {
        {"Skip", [&] { table.Skip(1); }},
        {"GoTop", [&] { table.GoTop(); }},
        {"Go", [&] { ASSERT_TRUE(table.Go(2)); }},
        {"Find", [&] { table.Find("8 "); }},
        {"FindExact", [&] { table.FindExact("8 PLAIN BOB MAJOR"); }},
        {"FindNear", [&] { table.FindNear("8 C"); }},
        {"SetOrderToTag", [&] { ASSERT_TRUE(table.SetOrderToTag("PLACES")); }},
        {"SetWhileTo", [&] { ASSERT_TRUE(table.SetWhileTo("Bells=\"0 \"")); }},
    };
    for (const Move& move : moves) {
        SCOPED_TRACE(move.name);
        ASSERT_TRUE(table.SetOrderToTag("NAME"));
        ASSERT_TRUE(table.SetWhileTo(""));
        ASSERT_TRUE(table.Go(1));
        ASSERT_TRUE(table.Replace("name", "CHANGED"));
        move.run();
        EXPECT_NE(TrimName(), "CHANGED");
        ASSERT_TRUE(table.ReplaceRec());
        ASSERT_TRUE(table.SetOrderToTag(""));
        ASSERT_TRUE(table.SetWhileTo(""));
        table.GoTop();
        const std::vector<std::string> names = Names();
        ASSERT_EQ(names.size(), 7U);
        EXPECT_EQ(names[0], "TB_Method_Library");
        EXPECT_EQ(names[1], "CAMBRIDGE SURPRISE MAJOR");
        EXPECT_EQ(std::count(names.begin(), names.end(), "CHANGED"), 0);
    }
}

// Two methods with one notation: the index orders them by record number, so the record a
// cursor goes to under that order is the one it edits.
TEST_F(MethodTable, EqualKeysKeepRecordOrder)
{
    AddLibrary();
    Add({"8", "CAMBRIDGE TWIN MAJOR", "-3-4-25-36-4-5-6-7 LH2", "B"}); // record 8
    ASSERT_TRUE(table.SetOrderToTag("PLACES"));
    for (const std::uint32_t recno : {2U, 8U}) {
        ASSERT_TRUE(table.Go(recno));
        EXPECT_EQ(table.RecNo(), recno);
    }
    ASSERT_TRUE(table.Go(8));
    ASSERT_TRUE(table.Replace("name", "CAMBRIDGE SECOND MAJOR"));
    ASSERT_TRUE(table.ReplaceRec());
    ASSERT_TRUE(table.Go(2));
    EXPECT_EQ(TrimName(), "CAMBRIDGE SURPRISE MAJOR");
    ASSERT_TRUE(table.FindExact("8 -3-4-25-36-4-5-6-7 LH2"));
    EXPECT_EQ(table.RecNo(), 2U);
    table.Skip();
    EXPECT_EQ(TrimName(), "CAMBRIDGE SECOND MAJOR");
    ASSERT_TRUE(table.Close());
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Warnings().empty()); // the index written matches its table
}

TEST_F(MethodTable, ReplacingEveryRecordAtOnce)
{
    AddLibrary();
    ASSERT_TRUE(table.ReplaceAllRecords({{"6", "ONE"}, {"7", "TWO", "3.1.7", "A"}}));
    ASSERT_TRUE(table.Close());
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Warnings().empty());
    EXPECT_EQ(table.RecordCount(), 2U);
    table.GoTop();
    EXPECT_EQ(Names(), (std::vector<std::string>{"ONE", "TWO"}));
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
    EXPECT_EQ(static_cast<unsigned char>(bytes[29]), 0x02);
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
                                    "8,TAB,x\t,A\n" +
                                    std::string("8,NUL,x\0,A\n", 11) +
                                    "8,\"CR\rIN A VALUE\",x,A\r\n"
                                    "\n\r\n"); // blank lines at the end are skipped too
    const DelimitedReport report = table.AppendFromDelimited(file);
    ASSERT_TRUE(report.status) << report.status.error;
    EXPECT_EQ(report.appended, 5U);
    EXPECT_EQ(report.firstLine, 1U);
    EXPECT_EQ(report.overWide, 2U);
    EXPECT_EQ(report.overWideLines, (std::vector<std::size_t>{4, 10}));
    EXPECT_EQ(report.malformed, 3U);
    EXPECT_EQ(report.malformedLines, (std::vector<std::size_t>{5, 7, 8}));
    EXPECT_EQ(report.control, 5U); // no name or notation holds one: refused, never stored
    EXPECT_EQ(report.controlLines, (std::vector<std::size_t>{12, 13, 14, 15, 16}));
    EXPECT_EQ(report.FirstSkippedLine(), 4U);
    EXPECT_EQ(report.transliteratedLines, (std::vector<std::size_t>{6, 11}));
    EXPECT_EQ(report.transliteratedValues,
              (std::vector<std::string>{"BÉLA, ŁUKASZ", "\xEF\xBB\xBF WIDTHLESS FIRST"}));
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    table.GoTop();
    EXPECT_EQ(Names(), (std::vector<std::string>{"TB_Method_Library", "BÉLA, LUKASZ",
                                                 "CAMBRIDGE SURPRISE MAJOR",
                                                 "QUOTED, WITH \"QUOTES\"", "WIDTHLESS FIRST"}));
}

// A file refused appends nothing, and a table held for reading takes nothing. (Folders, pipes
// and missing files are refused as every input is: see the import tests.)
TEST_F(MethodTable, AppendFromDelimitedRefusalsAppendNothing)
{
    AddLibrary();
    {
        std::ofstream sparse(dir.Path("huge.csv"), std::ios::binary);
    }
    std::filesystem::resize_file(dir.Path("huge.csv"), std::uintmax_t{2} << 30U); // no disk used
    const DelimitedReport huge = table.AppendFromDelimited(dir.Path("huge.csv"));
    EXPECT_EQ(huge.status.error, "Cannot read " + dir.Path("huge.csv") +
                                     ": it is 2048 MB, more than the 1024 MB such a file may be.");
    EXPECT_EQ(huge.appended, 0U);
    EXPECT_EQ(table.RecordCount(), 7U);
    ASSERT_TRUE(table.Close());
    ASSERT_TRUE(table.Open(TableAccess::Read));
    EXPECT_EQ(
        table.AppendFromDelimited(dir.Write("good.csv", "8,NEW,-1-1-1-1 LH2,A\n")).status.error,
        "The table Methods.dbf is open for reading only.");
    EXPECT_EQ(table.RecordCount(), 7U);
}

// The most heap memory held at once while `work` runs, in bytes, beyond what was held before;
// nothing when it cannot be measured. Under AddressSanitizer, freed memory is held back for a
// while, so the process's own peak says nothing there: its allocator reports each block.
#if defined(__SANITIZE_ADDRESS__)
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*mallocHook)(const volatile void*,
                                                                            std::size_t),
                                                         void (*freeHook)(const volatile void*));
extern "C" std::size_t __sanitizer_get_allocated_size(const volatile void* p);

std::atomic<bool> g_counting{false};
std::atomic<long long> g_held{0};
std::atomic<long long> g_peak{0};

void CountMalloc(const volatile void*, std::size_t size)
{
    if (g_counting) {
        const long long held = g_held += static_cast<long long>(size);
        long long peak = g_peak;
        while (held > peak && !g_peak.compare_exchange_weak(peak, held)) {
        }
    }
}

void CountFree(const volatile void* p)
{
    if (g_counting) {
        g_held -= static_cast<long long>(__sanitizer_get_allocated_size(p));
    }
}

template <typename Work> std::optional<long long> PeakHeapGrowth(Work work)
{
    static const bool installed =
        __sanitizer_install_malloc_and_free_hooks(CountMalloc, CountFree) != 0;
    if (!installed) {
        work();
        return std::nullopt;
    }
    g_held = 0;
    g_peak = 0;
    g_counting = true;
    work();
    g_counting = false;
    return g_peak.load();
}
#else
long PeakMemoryKb()
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stol(line.substr(6));
        }
    }
    return 0;
}

template <typename Work> std::optional<long long> PeakHeapGrowth(Work work)
{
    std::ofstream clear("/proc/self/clear_refs"); // "5" starts the peak afresh
    clear << "5";
    clear.flush();
    const long before = PeakMemoryKb();
    work();
    if (!clear.good() || before == 0) {
        return std::nullopt;
    }
    return (PeakMemoryKb() - before) * 1024LL;
}
#endif

// A file of 100 MB is read line by line: a line longer than any record is never held whole, so
// the memory used does not grow with the file.
TEST_F(MethodTable, AppendFromDelimitedReadsAHugeFileInLittleMemory)
{
    const std::string file = dir.Path("huge.csv");
    {
        std::ofstream out(file, std::ios::binary);
        out << "0,TB_Method_Library,Huge,\n";
        const std::string junk(1U << 20U, 'x');
        for (int i = 0; i < 50; ++i) { // one line of 50 MB
            out << junk;
        }
        out << '\n';
        const std::string shortJunk = std::string(1023, 'y') + '\n';
        for (int i = 0; i < 50 * 1024; ++i) { // and 50 MB of lines that are no records
            out << shortJunk;
        }
        out << "8,LAST METHOD,-1-1-1-1 LH2,A\n";
    }
    ASSERT_GT(std::filesystem::file_size(file), std::uintmax_t{100} << 20U);
    DelimitedReport report;
    const std::optional<long long> grown =
        PeakHeapGrowth([&] { report = table.AppendFromDelimited(file); });
    ASSERT_TRUE(report.status) << report.status.error;
    EXPECT_EQ(report.appended, 2U);
    EXPECT_EQ(report.overWide, 1U);
    EXPECT_EQ(report.malformed, 50U * 1024U);
    EXPECT_EQ(report.malformedLines.size(), DelimitedReport::kReportedLines);
    if (!grown) {
        GTEST_SKIP() << "the system does not report the memory held";
    }
    EXPECT_LT(*grown, 4LL << 20U) << "bytes more at the peak";
}

// A bulk update that cannot be written is dropped, in memory too, so that a later write cannot
// land half of it; the lock stays held throughout.
TEST_F(MethodTable, DiscardedChangesReadTheTableAgain)
{
    AddLibrary();
    const std::string image = ReadFile(path);
    table.BeginBulkUpdate();
    ASSERT_TRUE(table.Zap());
    Add({"6", "ONLY METHOD", "-1-1-1 LH2", "A"});
    EXPECT_EQ(ReadFile(path), image); // nothing written inside the update
    ASSERT_TRUE(table.DiscardChanges());
    EXPECT_EQ(table.RecordCount(), 7U);
    TDbf other(kMethodTags);
    other.SetDbfFileName(path);
    EXPECT_FALSE(other.Open(TableAccess::Read)); // still held alone
    ASSERT_TRUE(table.Close());
    EXPECT_EQ(ReadFile(path), image);
}

TEST_F(MethodTable, ReopeningUsesOrRebuildsTheIndex)
{
    AddLibrary();
    ASSERT_TRUE(table.Close());
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Warnings().empty());

    // An index of another state of the table (an outside edit) is rebuilt on open.
    const std::filesystem::path mdx = dir.Path("Methods.mdx");
    const std::string before = ReadFile(mdx);
    Add({"9", "GRANDSIRE CATERS", "3.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1.9.1", "A"});
    ASSERT_TRUE(table.Close());
    ASSERT_TRUE(WriteFileAtomically(mdx, before));
    ASSERT_TRUE(table.Open());
    ASSERT_EQ(table.Warnings().size(), 1U);
    EXPECT_EQ(table.Warnings()[0],
              "Methods.mdx: the index did not match its table and was rebuilt.");
    ASSERT_TRUE(table.SetOrderToTag("NAME"));
    EXPECT_TRUE(table.FindExact("9 GRANDSIRE CATERS"));
    ASSERT_TRUE(table.Close());

    // Damaged and missing indexes alike.
    ASSERT_TRUE(WriteFileAtomically(mdx, before.substr(0, 3000)));
    ASSERT_TRUE(table.Open());
    EXPECT_EQ(table.Warnings().size(), 1U);
    ASSERT_TRUE(table.Close());
    std::filesystem::remove(mdx);
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Warnings().empty());
    EXPECT_TRUE(std::filesystem::exists(mdx));
}

// A wrong record count: reading sees the whole records and leaves the file alone, writing is
// refused until a reindex (the repair) corrects the count; no whole record is ever dropped.
TEST_F(MethodTable, WrongRecordCountsAreMendedOnlyByARepair)
{
    AddLibrary();
    ASSERT_TRUE(table.Close());
    const std::string good = ReadFile(path);
    struct Case {
        char count;       // what the header claims
        bool endMarkKept; // the end-of-file byte after the claimed records, as after a crash
    };
    for (const Case c : {Case{100, true}, Case{3, false}}) {
        SCOPED_TRACE(static_cast<int>(c.count));
        std::string bytes = good;
        bytes[4] = c.count;
        ASSERT_TRUE(WriteFileAtomically(path, bytes));
        const std::string counted = "Methods.dbf: The table's header counts " +
                                    std::to_string(c.count) +
                                    " records but the file holds 7 whole records.";

        ASSERT_TRUE(table.Open(TableAccess::Read));
        EXPECT_EQ(table.Warnings(),
                  (std::vector<std::string>{counted + " They are read; the file is left as it "
                                                      "is until the libraries are reindexed."}));
        EXPECT_EQ(table.RecordCount(), 7U);
        EXPECT_EQ(table.AppendRec().error, "The table Methods.dbf is open for reading only.");
        ASSERT_TRUE(table.Close());
        EXPECT_EQ(ReadFile(path), bytes);

        EXPECT_EQ(table.Open().error,
                  "The table " + path + " needs mending: " + counted.substr(13) +
                      " Reindex the libraries to mend it; until then it can be read but not "
                      "changed.");
        EXPECT_EQ(ReadFile(path), bytes);

        ASSERT_TRUE(table.Open(TableAccess::Repair));
        EXPECT_EQ(table.Warnings(),
                  (std::vector<std::string>{counted + " The count was corrected."}));
        ASSERT_TRUE(table.Close());
        const std::string mended = ReadFile(path);
        EXPECT_EQ(mended[4], 7);
        EXPECT_EQ(mended.substr(161), good.substr(161)); // every record, as it was
    }
}

// Some dBase programs leave slack after the end-of-file mark: the stated records are read and
// the file is left as it is.
TEST_F(MethodTable, BytesAfterTheEndOfFileMarkAreSlack)
{
    AddLibrary();
    ASSERT_TRUE(table.Close());
    const std::string bytes = ReadFile(path) + std::string(221, 'x'); // one record's length
    ASSERT_TRUE(WriteFileAtomically(path, bytes));
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Warnings().empty());
    EXPECT_EQ(table.RecordCount(), 7U);
    ASSERT_TRUE(table.Close());
    EXPECT_EQ(ReadFile(path), bytes);
}

// Damage is refused, never read shifted or "corrected": whatever the access, the table's bytes
// and its index stay exactly as they were.
TEST_F(MethodTable, DamagedTablesAreRefusedAndLeftAlone)
{
    AddLibrary();
    ASSERT_TRUE(table.Close());
    const std::string good = ReadFile(path);
    const std::string index = ReadFile(dir.Path("Methods.mdx"));
    struct Case {
        const char* what;
        std::string bytes;
        std::string why;
    };
    std::string flipped = good;
    flipped[8] = static_cast<char>(0xB1); // one bit of the header length, 161 -> 177
    std::string flag = good;
    flag[161 + 2 * 163] = 'X'; // the deletion flag of record 3
    std::string renamed = good;
    renamed[32 * 3 + 5] = 'Z'; // PLACES -> PLACEZ
    for (const Case& c : {
             Case{"short", "not a table", "The file is too short to be a dBase table."},
             Case{"header length", flipped,
                  "The table's header length (177) disagrees with its 4 fields (161)."},
             Case{"deletion flag", flag,
                  "Record 3 is damaged: it begins with the byte 88, where a blank or \"*\" "
                  "marks a record."},
             Case{"renamed field", renamed,
                  "its field 3 is PLACEZ (C 98) where PLACES (C 98) belongs."},
         }) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(WriteFileAtomically(path, c.bytes));
        TDbf checked(kMethodTags, kMethodLayout);
        checked.SetDbfFileName(path);
        for (const TableAccess access :
             {TableAccess::Read, TableAccess::Write, TableAccess::Repair}) {
            EXPECT_EQ(checked.Open(access).error,
                      "The table " + path + " cannot be read: " + c.why);
            EXPECT_FALSE(checked.Active());
        }
        EXPECT_EQ(ReadFile(path), c.bytes);
        EXPECT_EQ(ReadFile(dir.Path("Methods.mdx")), index);
    }
}

// Only a regular file of sane size is read as a table or an index: nothing blocks on a pipe,
// nothing is allocated for a sparse giant.
TEST_F(MethodTable, OnlyRegularFilesOfSaneSizeAreRead)
{
    AddLibrary();
    ASSERT_TRUE(table.Close());
    const std::string good = ReadFile(path);
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    EXPECT_EQ(table.Open(TableAccess::Read).error,
              "Cannot read " + path + ": it is a folder, not a file.");
    std::filesystem::remove(path);
    ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
    EXPECT_EQ(table.Open().error, "Cannot read " + path + ": it is a pipe, not a file.");
    std::filesystem::remove(path);
    {
        std::ofstream sparse(path, std::ios::binary);
    }
    std::filesystem::resize_file(path, std::uintmax_t{100} << 30U); // 100 GB, no disk used
    EXPECT_EQ(table.Open().error,
              "Cannot read " + path +
                  ": it is 102400 MB, more than the 256 MB such a file may be.");
    std::filesystem::remove(path);

    // The index as a pipe: read around, rebuilt, and said.
    ASSERT_TRUE(WriteFileAtomically(path, good));
    const std::string mdx = dir.Path("Methods.mdx");
    std::filesystem::remove(mdx);
    ASSERT_EQ(::mkfifo(mdx.c_str(), 0600), 0);
    ASSERT_TRUE(table.Open(TableAccess::Read));
    EXPECT_EQ(table.Warnings(), (std::vector<std::string>{
                                    "Methods.mdx: the index could not be read (Cannot read " + mdx +
                                    ": it is a pipe, not a file.); it was rebuilt for this use "
                                    "only, until the libraries are reindexed."}));
    EXPECT_EQ(table.RecordCount(), 7U);
}

// Readers share a table; a writer has it alone.
TEST_F(MethodTable, ReadersShareAWriterIsAlone)
{
    const std::string inUse = "The table Methods.dbf is in use by another program (or another "
                              "window of Tambrel). Close it there and try again.";
    TDbf first(kMethodTags);
    TDbf second(kMethodTags);
    first.SetDbfFileName(path);
    second.SetDbfFileName(path);
    EXPECT_EQ(first.Open(TableAccess::Read).error, inUse); // the fixture writes
    ASSERT_TRUE(table.Close());
    ASSERT_TRUE(first.Open(TableAccess::Read));
    ASSERT_TRUE(second.Open(TableAccess::Read));
    EXPECT_EQ(table.Open().error, inUse);
    ASSERT_TRUE(first.Close());
    ASSERT_TRUE(second.Close());
    EXPECT_TRUE(table.Open());
}

TEST_F(MethodTable, NamesInAnyCase)
{
    AddLibrary();
    ASSERT_TRUE(table.Close());
    std::filesystem::rename(path, dir.Path("METHODS.DBF"));
    std::filesystem::rename(dir.Path("Methods.mdx"), dir.Path("METHODS.MDX"));
    ASSERT_TRUE(table.Open());
    EXPECT_TRUE(table.Warnings().empty()); // its index was found too
    EXPECT_EQ(table.RecordCount(), 7U);
    ASSERT_TRUE(table.Close());
    EXPECT_FALSE(std::filesystem::exists(dir.Path("Methods.mdx")));
}

TEST(TDbfTags, UnusableKeyExpressionsAreReported)
{
    const TempDir dir;
    ASSERT_TRUE(CreateTable(dir.Path("t.dbf"), kMethodLayout));
    for (const auto& [expression, message] :
         {std::pair<std::string, std::string>{"bells + Lower(name)",
                                              "Unknown function LOWER at position 9"},
          {"bells + colour", "Unknown field COLOUR at position 9"},
          {"bells + Upper(name", "Expected \")\" at position 19"},
          {"bells + places + name", ""}}) {
        TDbf table({{"T", expression}});
        table.SetDbfFileName(dir.Path("t.dbf"));
        const Status opened = table.Open();
        if (message.empty()) {
            EXPECT_EQ(opened.error, "The key of index tag T is longer than 100 characters.");
        } else {
            EXPECT_EQ(opened.error, "The index tag T of t.dbf is not usable: " + message +
                                        " of \"" + expression + "\".");
        }
    }
}

} // namespace
} // namespace tambrel
