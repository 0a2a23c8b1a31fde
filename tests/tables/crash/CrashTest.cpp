// Kills CrashWriter at random moments while it changes a method table, then checks that the
// table opens whole and holds what it held just before or just after the command that was
// running: a record is never half written, and every index order still visits every record.
//
// TAMBREL_CRASH_SEED and TAMBREL_CRASH_RUNS change the seeds and the number of kills, for a
// longer hunt by hand.

#include "library/LibraryTables.h"
#include "tables/TDbf.h"
#include "tests/support/TestSupport.h"
#include "tests/tables/crash/CrashRecord.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <map>
#include <optional>
#include <poll.h>
#include <random>
#include <set>
#include <spawn.h>
#include <string>
#include <string_view>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace tambrel {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using crash::LiveRecord;
using std::chrono::milliseconds;

// Long enough for a sanitized writer to start on a busy machine; only a hang trips it.
constexpr milliseconds kReadyGuard{30'000};

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback)
{
    const char* text = std::getenv(name);
    std::uint64_t value = 0;
    if (text == nullptr ||
        std::from_chars(text, text + std::strlen(text), value).ec != std::errc{}) {
        return fallback;
    }
    return value;
}

std::vector<std::string> Split(std::string_view text, char separator)
{
    std::vector<std::string> parts;
    for (std::size_t start = 0;;) {
        const std::size_t end = text.find(separator, start);
        parts.emplace_back(text.substr(start, end - start));
        if (end == std::string_view::npos) {
            return parts;
        }
        start = end + 1;
    }
}

std::string LastLines(const std::string& log, std::size_t count)
{
    std::size_t at = log.size();
    for (std::size_t n = 0; n <= count && at > 0; ++n) {
        at = log.rfind('\n', at - 1);
        if (at == std::string::npos) {
            return log;
        }
    }
    return log.substr(at + 1);
}

// What the writer said before it was killed.
struct WriterRun {
    std::uint64_t seed = 0;
    milliseconds delay{0};
    pid_t pid = -1;
    bool killed = false; // ended by our SIGKILL rather than by itself
    std::string log;
    bool ready = false;      // it opened the table
    std::string readyDigest; // the table as it found it
    std::string lastStep;    // the last command it started; empty for none
    std::string before;      // the table before that command
    std::string after;       // and after it
};

// The read end of the writer's standard output.
class WriterOutput {
public:
    explicit WriterOutput(int fd) : m_fd(fd) {}
    ~WriterOutput() { ::close(m_fd); }
    WriterOutput(const WriterOutput&) = delete;
    WriterOutput& operator=(const WriterOutput&) = delete;

    // Collects what arrives until `until`; false once the writer has closed its end.
    bool ReadUntil(Clock::time_point until)
    {
        while (!m_closed) {
            const auto left = std::chrono::ceil<milliseconds>(until - Clock::now()).count();
            if (left <= 0) {
                break;
            }
            pollfd ready{m_fd, POLLIN, 0};
            const int polled = ::poll(&ready, 1, static_cast<int>(left));
            if (polled < 0 && errno != EINTR) {
                ADD_FAILURE() << "poll: " << std::strerror(errno);
                m_closed = true;
            } else if (polled > 0) {
                ReadOnce();
            }
        }
        return !m_closed;
    }
    void ReadToEnd()
    {
        while (!m_closed) {
            ReadOnce();
        }
    }
    bool HasLine() const { return m_text.find('\n') != std::string::npos; }
    std::string& Text() { return m_text; }

private:
    void ReadOnce()
    {
        char buffer[65536];
        const ssize_t n = ::read(m_fd, buffer, sizeof buffer);
        if (n > 0) {
            m_text.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            m_closed = true;
        }
    }

    int m_fd;
    bool m_closed = false;
    std::string m_text;
};

void ParseLog(WriterRun& run)
{
    if (!run.log.empty() && run.log.back() != '\n') {
        ADD_FAILURE() << "the writer's output ends in half a line: " << LastLines(run.log, 1);
    }
    for (const std::string& line : Split(run.log, '\n')) {
        const std::vector<std::string> parts = Split(line, '\t');
        if (parts.size() == 2 && parts[0] == "ready") {
            run.ready = true;
            run.readyDigest = parts[1];
        } else if (parts.size() == 5 && parts[0] == "step") {
            run.lastStep = parts[1] + " " + parts[2];
            run.before = parts[3];
            run.after = parts[4];
        } else if (!line.empty()) {
            ADD_FAILURE() << "the writer said something unexpected: " << line;
        }
    }
}

// Starts the writer on `table`, lets it work for `delay` (counted from when it has opened the
// table, if `fromReady`), then kills it and waits for it.
WriterRun RunAndKill(const fs::path& table, std::uint64_t seed, milliseconds delay, bool fromReady)
{
    WriterRun run;
    run.seed = seed;
    run.delay = delay;
    int fds[2] = {-1, -1};
    if (::pipe2(fds, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "pipe: " << std::strerror(errno);
        return run;
    }
    WriterOutput output(fds[0]);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
    std::string program = TAMBREL_CRASH_WRITER;
    std::string tableArgument = table.string();
    std::string seedArgument = std::to_string(seed);
    char* arguments[] = {program.data(), tableArgument.data(), seedArgument.data(), nullptr};
    const int spawned =
        ::posix_spawn(&run.pid, program.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(fds[1]);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << program << ": " << std::strerror(spawned);
        run.pid = -1;
        return run;
    }

    Clock::time_point start = Clock::now();
    if (fromReady) {
        const Clock::time_point guard = start + kReadyGuard;
        while (!output.HasLine() && Clock::now() < guard &&
               output.ReadUntil(std::min(guard, Clock::now() + milliseconds(20)))) {
        }
        start = Clock::now();
    }
    const bool running = output.ReadUntil(start + delay);
    ::kill(run.pid, SIGKILL); // our own child, not yet reaped, so the id is still its own
    int status = 0;
    while (::waitpid(run.pid, &status, 0) < 0 && errno == EINTR) {
    }
    output.ReadToEnd();
    run.log = std::move(output.Text());
    run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    EXPECT_TRUE(run.killed && running)
        << "the writer stopped by itself (wait status " << status << "); it said:\n"
        << LastLines(run.log, 5);
    ParseLog(run);
    if (fromReady) {
        EXPECT_TRUE(run.ready) << "the writer never opened the table";
    }
    return run;
}

// A record as the cursor shows it, fields padded to their widths.
struct Row {
    std::uint32_t recno = 0;
    std::uint64_t counter = 0;
    std::string bells;
    std::string name;
    std::string places;
    std::string group;
};

Row ReadRow(const TDbf& table)
{
    return Row{table.RecNo(),
               0,
               table.FieldText("bells"),
               table.FieldText("name"),
               table.FieldText("places"),
               table.FieldText("group")};
}

std::string UpperAscii(std::string text)
{
    for (char& c : text) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return text;
}

// The key a tag of kMethodTags gives a record, worked out from its fields as the tag's
// expression reads.
std::string KeyOf(std::string_view tag, const Row& row)
{
    if (tag == "NAME") {
        return row.bells + UpperAscii(row.name);
    }
    if (tag == "PLACES") {
        return row.bells + UpperAscii(row.places);
    }
    if (tag == "GRPNAME") {
        return row.bells + UpperAscii(row.group + row.name);
    }
    if (tag == "GRPPLACES") {
        return row.bells + UpperAscii((row.group + row.places).substr(0, 98));
    }
    ADD_FAILURE() << "no key worked out for tag " << tag;
    return {};
}

// Walks the table in record order and checks that every live record is one the writer made,
// whole: each field must be the one its counter gives. Returns the live records in order.
std::vector<Row> CheckRecords(TDbf& table)
{
    std::vector<Row> rows;
    std::set<std::uint64_t> counters;
    std::uint32_t previous = 0;
    for (table.GoTop(); !table.Eof() && rows.size() <= table.RecordCount(); table.Skip()) {
        Row row = ReadRow(table);
        SCOPED_TRACE("record " + std::to_string(row.recno));
        EXPECT_GT(row.recno, previous) << "record order went backwards";
        EXPECT_LE(row.recno, table.RecordCount());
        previous = row.recno;
        const std::optional<std::uint64_t> counter = crash::CounterOf(row.name);
        if (!counter) {
            ADD_FAILURE() << "a name the writer never wrote: \"" << row.name << "\"";
            continue;
        }
        row.counter = *counter;
        const crash::MethodFields made = crash::FieldsOf(*counter);
        EXPECT_EQ(row.bells, crash::Padded(made.bells, crash::kBellsWidth));
        EXPECT_EQ(row.name, crash::Padded(made.name, crash::kNameWidth));
        EXPECT_EQ(row.places, crash::Padded(made.places, crash::kPlacesWidth));
        EXPECT_EQ(row.group, crash::Padded(made.group, crash::kGroupWidth));
        EXPECT_TRUE(counters.insert(*counter).second) << "counter " << *counter << " twice";
        rows.push_back(std::move(row));
    }
    EXPECT_TRUE(table.Eof()) << "record order visits more records than the table holds";
    return rows;
}

std::string DigestOf(const TDbf& table, const std::vector<Row>& rows)
{
    std::vector<LiveRecord> live;
    live.reserve(rows.size());
    for (const Row& row : rows) {
        live.emplace_back(row.recno, row.counter);
    }
    return crash::Digest(table.RecordCount(), live);
}

// Walks every tag: each must visit every live record once, in (key, record) order, with the
// keys the fields give; and a seek must find what is there.
void CheckTags(TDbf& table, const std::vector<Row>& rows)
{
    std::vector<std::uint32_t> live;
    live.reserve(rows.size());
    for (const Row& row : rows) {
        live.push_back(row.recno);
    }
    for (const IndexDef& def : kMethodTags) {
        SCOPED_TRACE("tag " + def.name);
        const Status ordered = table.SetOrderToTag(def.name);
        ASSERT_TRUE(ordered) << ordered.error;
        std::vector<std::uint32_t> visited;
        std::string previousKey;
        std::uint32_t previousRecno = 0;
        for (table.GoTop(); !table.Eof() && visited.size() <= live.size(); table.Skip()) {
            const Row row = ReadRow(table);
            std::string key = KeyOf(def.name, row);
            if (!visited.empty()) {
                EXPECT_TRUE(previousKey < key || (previousKey == key && previousRecno < row.recno))
                    << "record " << row.recno << " (key \"" << key << "\") follows record "
                    << previousRecno << " (key \"" << previousKey << "\")";
            }
            visited.push_back(row.recno);
            previousKey = std::move(key);
            previousRecno = row.recno;
        }
        std::sort(visited.begin(), visited.end());
        EXPECT_EQ(visited, live) << "the tag does not visit each live record once";

        if (rows.empty()) {
            continue;
        }
        for (const std::size_t at : {std::size_t{0}, rows.size() / 2, rows.size() - 1}) {
            const std::string key = KeyOf(def.name, rows[at]);
            EXPECT_TRUE(table.FindExact(key)) << "no record found for key \"" << key << "\"";
            if (table.Eof()) {
                continue;
            }
            EXPECT_EQ(KeyOf(def.name, ReadRow(table)), key);
            if (def.name == "NAME") { // names hold the counter, so this key is unique
                EXPECT_EQ(table.RecNo(), rows[at].recno);
            }
        }
    }
}

struct TableCheck {
    bool found = false;        // the table file exists
    std::string digest;        // what the first open showed
    bool indexRebuilt = false; // the first open mended the index
};

// Opens the table as a program would after the crash and checks it through and through; then
// opens it once more, which must find nothing left to mend.
TableCheck CheckTable(const fs::path& path)
{
    TableCheck check;
    check.found = fs::exists(path);
    {
        TDbf table(kMethodTags);
        table.SetDbfFileName(path);
        const Status opened = table.Open();
        if (!check.found) {
            EXPECT_FALSE(opened);
            EXPECT_NE(opened.error.find("does not exist"), std::string::npos) << opened.error;
            return check;
        }
        if (!opened) {
            ADD_FAILURE() << "the table does not open: " << opened.error;
            return check;
        }
        for (const std::string& warning : table.Warnings()) {
            // The index is written after the table, so a kill between the two leaves it stale.
            // A corrected record count would mean a torn table file.
            const bool staleIndex =
                warning.ends_with("the index did not match its table and was rebuilt.");
            EXPECT_TRUE(staleIndex) << "unexpected warning: " << warning;
            check.indexRebuilt = check.indexRebuilt || staleIndex;
        }
        const std::vector<Row> rows = CheckRecords(table);
        check.digest = DigestOf(table, rows);
        CheckTags(table, rows);
        const Status closed = table.Close();
        EXPECT_TRUE(closed) << closed.error;
    }
    TDbf again(kMethodTags);
    again.SetDbfFileName(path);
    const Status reopened = again.Open();
    EXPECT_TRUE(reopened) << reopened.error;
    EXPECT_EQ(again.Warnings(), std::vector<std::string>{}) << "the second open still mended";
    EXPECT_EQ(DigestOf(again, CheckRecords(again)), check.digest);
    return check;
}

// The states the table may be in after the kill: before or after the command the writer had
// started, or as it found the table (`atStart`) when it had started none.
std::vector<std::string> PossibleStates(const WriterRun& run,
                                        const std::vector<std::string>& atStart)
{
    if (!run.lastStep.empty()) {
        return {run.before, run.after};
    }
    return run.ready ? std::vector<std::string>{run.readyDigest} : atStart;
}

void PrintRun(const WriterRun& run)
{
    std::cout << "seed " << run.seed << ", killed after " << run.delay.count() << " ms ";
    if (!run.lastStep.empty()) {
        std::cout << "in step " << run.lastStep;
    } else {
        std::cout << (run.ready ? "before its first command" : "before it had opened the table");
    }
}

// Checks that the writer found the table in one of the states `atStart` allows (when it got as
// far as opening it).
void CheckFound(const WriterRun& run, const std::vector<std::string>& atStart)
{
    if (run.ready) {
        EXPECT_NE(std::find(atStart.begin(), atStart.end(), run.readyDigest), atStart.end())
            << "the writer found the table as " << run.readyDigest
            << ", not as the last kill left it";
    }
}

struct KillOutcome {
    std::string summary; // how the run ended, in a few words
    std::string digest;  // what the table held afterwards
};

// Checks the table against what the writer was doing when it died. `atStart` lists the states
// the writer may have found the table in; `mayBeMissing`: it may have died before making it.
KillOutcome CheckAfterKill(const fs::path& table, const WriterRun& run,
                           const std::vector<std::string>& atStart, bool mayBeMissing)
{
    PrintRun(run);
    CheckFound(run, atStart);
    const TableCheck check = CheckTable(table);
    const std::vector<std::string> possible = PossibleStates(run, atStart);
    std::string outcome;
    if (!check.found) {
        EXPECT_TRUE(mayBeMissing && !run.ready) << "the table vanished";
        outcome = "no table yet";
    } else {
        std::string expected;
        for (const std::string& state : possible) {
            expected += "\n  " + state;
        }
        EXPECT_NE(std::find(possible.begin(), possible.end(), check.digest), possible.end())
            << "the table holds " << check.digest << "; expected one of:" << expected
            << "\nthe writer's last words:\n"
            << LastLines(run.log, 3);
        if (run.lastStep.empty()) {
            outcome = check.digest == crash::Digest(0, {}) ? "empty table" : "contents as found";
        } else {
            outcome = run.before == run.after     ? "unchanged contents"
                      : check.digest == run.after ? "new contents"
                                                  : "old contents";
        }
    }
    if (check.indexRebuilt) {
        outcome += ", index rebuilt";
    }
    std::cout << ": " << outcome << "\n";
    return KillOutcome{outcome, check.digest};
}

struct Stray {
    std::string base; // the file it would have replaced
    pid_t pid = 0;
};

// The temporary files killed writers left beside their tables ("Methods.dbf.new1234").
std::vector<Stray> StrayFiles(const fs::path& folder)
{
    std::vector<Stray> strays;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::size_t at = name.rfind(".new");
        pid_t pid = 0;
        if (at != std::string::npos &&
            std::from_chars(name.data() + at + 4, name.data() + name.size(), pid).ptr ==
                name.data() + name.size()) {
            strays.push_back(Stray{name.substr(0, at), pid});
        }
    }
    return strays;
}

// Each writer dies with at most one file half made, and only a writer leaves any: the opens
// after each kill, which wrote too, must not.
void CheckStrays(const fs::path& folder, const std::vector<WriterRun>& runs)
{
    std::set<pid_t> writers;
    for (const WriterRun& run : runs) {
        writers.insert(run.pid);
    }
    std::map<pid_t, int> perWriter;
    std::map<std::string, int> perBase;
    for (const Stray& stray : StrayFiles(folder)) {
        EXPECT_TRUE(writers.contains(stray.pid))
            << stray.base << ".new" << stray.pid << " was not left by a killed writer";
        EXPECT_TRUE(stray.base == "Methods.dbf" || stray.base == "Methods.mdx") << stray.base;
        EXPECT_LE(++perWriter[stray.pid], 1) << "writer " << stray.pid << " left two files";
        ++perBase[stray.base];
    }
    std::cout << "temporary files left by killed writers, all ignored on opening:";
    for (const auto& [base, count] : perBase) {
        std::cout << " " << count << " of " << base;
    }
    std::cout << (perBase.empty() ? " none\n" : "\n");
}

void PrintSummary(const std::map<std::string, int>& outcomes)
{
    std::cout << "outcomes:";
    for (const auto& [outcome, count] : outcomes) {
        std::cout << " " << count << " x " << outcome << ";";
    }
    std::cout << "\n";
}

// One table, killed again and again: each run starts from what the last kill left. Mostly the
// table is checked (and so mended) after each kill; now and then it is left as it is, and the
// next writer is killed soon after it starts, perhaps while its own open mends the table.
TEST(TableCrash, KilledWriterLeavesOldOrNewContents)
{
    const test::TempDir folder;
    const fs::path table = folder.Path("Methods.dbf");
    const std::uint64_t base = EnvNumber("TAMBREL_CRASH_SEED", 20'240'611);
    const std::uint64_t count = EnvNumber("TAMBREL_CRASH_RUNS", 32);
    std::cout << "seeds from " << base << "\n";
    std::mt19937_64 random(base);
    std::vector<WriterRun> runs;
    std::map<std::string, int> outcomes;
    std::vector<std::string> atStart; // what the next writer may find; anything at first
    bool mended = true;               // the table was checked since the last kill
    for (std::uint64_t i = 0; i < count; ++i) {
        const milliseconds delay(
            std::uniform_int_distribution<int>(mended ? 2 : 0, mended ? 300 : 40)(random));
        runs.push_back(RunAndKill(table, base + i, delay, mended));
        const WriterRun& run = runs.back();
        SCOPED_TRACE("seed " + std::to_string(run.seed) + ", killed after " +
                     std::to_string(delay.count()) + " ms");
        if (i == 0) {
            atStart = {run.readyDigest};
        }
        mended = i + 1 == count || std::uniform_int_distribution<int>(0, 3)(random) != 0;
        if (!mended) {
            PrintRun(run);
            std::cout << ": left for the next writer to open\n";
            CheckFound(run, atStart);
            atStart = PossibleStates(run, atStart);
            ++outcomes["left unchecked"];
            continue;
        }
        const KillOutcome outcome = CheckAfterKill(table, run, atStart, false);
        ++outcomes[outcome.summary];
        atStart = {outcome.digest};
        if (testing::Test::HasFatalFailure()) {
            break;
        }
    }
    PrintSummary(outcomes);
    CheckStrays(folder.Path(""), runs);
}

// A new table each time, the kill counted from the start, so that it may land while the
// writer creates the table or first opens it (a sanitized writer gets there in 5 to 25 ms).
TEST(TableCrash, KilledWhileCreatingLeavesNoTableOrAnEmptyOne)
{
    const test::TempDir folder;
    const std::uint64_t base = EnvNumber("TAMBREL_CRASH_SEED", 20'240'611) + 1'000'000;
    std::mt19937_64 random(base);
    std::vector<WriterRun> runs;
    std::map<std::string, int> outcomes;
    const std::uint64_t count = EnvNumber("TAMBREL_CRASH_RUNS", 32) / 4;
    for (std::uint64_t i = 0; i < count; ++i) {
        const fs::path runFolder = folder.Path("run" + std::to_string(i));
        fs::create_directories(runFolder);
        const milliseconds delay(std::uniform_int_distribution<int>(0, 15)(random));
        runs.push_back(RunAndKill(runFolder / "Methods.dbf", base + i, delay, false));
        SCOPED_TRACE("seed " + std::to_string(base + i));
        ++outcomes[CheckAfterKill(runFolder / "Methods.dbf", runs.back(), {crash::Digest(0, {})},
                                  true)
                       .summary];
    }
    PrintSummary(outcomes);
    CheckStrays(folder.Path(""), runs);
}

// Import files often end in a blank line, or hold one between records; both are skipped. The
// import runs in a child process so that an abort fails this test alone.
TEST(TableCrashDeathTest, ImportSkipsBlankLines)
{
    const test::TempDir folder;
    const fs::path table = folder.Path("Methods.dbf");
    const std::string csv = folder.Write("Import.csv", "8,ONE,x18x18,\n\n8,TWO,x12,\r\n\r\n");
    ASSERT_TRUE(CreateTable(table, kMethodLayout));
    EXPECT_EXIT(
        {
            {
                TDbf importer(kMethodTags);
                importer.SetDbfFileName(table);
                if (importer.Open()) {
                    importer.AppendFromDelimited(csv);
                }
            }
            std::_Exit(0);
        },
        testing::ExitedWithCode(0), "")
        << "AppendFromDelimited did not survive a blank line";
    TDbf reader(kMethodTags);
    reader.SetDbfFileName(table);
    ASSERT_TRUE(reader.Open());
    std::vector<std::string> names;
    for (reader.GoTop(); !reader.Eof(); reader.Skip()) {
        names.push_back(reader.FieldText("name").substr(0, 3));
    }
    EXPECT_EQ(names, (std::vector<std::string>{"ONE", "TWO"}));
}

} // namespace
} // namespace tambrel
