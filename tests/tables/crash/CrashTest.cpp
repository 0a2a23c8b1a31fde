// Kills a writer at random moments while it changes a method table, then checks that the table
// opens whole and holds what it held just before or just after the command that was running. The
// writer is this program, started as `tambrel_crash_tests --write TABLE SEED`.
// TAMBREL_CRASH_SEED and TAMBREL_CRASH_RUNS change the seeds and the number of kills.

#include "library/LibraryTables.h"
#include "tables/Delimited.h"
#include "tables/DelimitedAppend.h"
#include "tables/TDbf.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <random>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace tambrel {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Fields = std::vector<std::string>; // bells, name, places, group

// The method of a counter. Every field follows from it, so that a reader can tell a whole record
// from a torn one, or one holding parts of two; lengths and letter cases vary so that padding
// and the keys' upper-casing both matter.
Fields MethodOf(std::uint64_t counter)
{
    std::uint64_t state = counter * 0x9E3779B97F4A7C15ULL + 1;
    auto next = [&state](std::uint64_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (state >> 33U) % bound;
    };
    auto letter = [&next] { return static_cast<char>((next(2) == 0 ? 'a' : 'A') + next(26)); };
    Fields f{std::to_string(4 + counter % 13), "Rec " + std::to_string(1'000'000'000 + counter)};
    f[1].erase(4, 1); // nine digits
    for (std::uint64_t n = next(47); n > 0; --n) {
        f[1] += letter();
    }
    f.emplace_back();
    for (std::uint64_t n = 1 + next(98); n > 0; --n) {
        f[2] += std::string_view("1234567890ETx-.")[next(15)];
    }
    f.push_back(counter % 4 == 0 ? "" : std::string{letter(), letter()});
    return f;
}

// The counter a name field names; 0 (no counter) when the writer never made that name.
std::uint64_t CounterOf(std::string_view name)
{
    std::uint64_t counter = 0;
    if (name.starts_with("Rec ") && name.size() >= 13) {
        std::from_chars(name.data() + 4, name.data() + 13, counter);
    }
    return counter;
}

// What a reader can see of a table, in one word: its record count (deleted records included)
// and every live record's number and counter. `counters` holds record r's at r - 1, 0 when
// it is deleted.
std::string Digest(const std::vector<std::uint64_t>& counters)
{
    std::string live;
    for (std::size_t r = 0; r < counters.size(); ++r) {
        live += counters[r] == 0 ? "" : std::to_string(r + 1) + ":" + std::to_string(counters[r]);
    }
    return std::to_string(counters.size()) + "/" + std::to_string(std::hash<std::string>{}(live));
}

// Changes a method table at random until it is killed. Before each command it writes the line
// "BEFORE<TAB>AFTER<TAB>WHAT", the digests of the table before and after it, so that whoever kills
// it knows the two states the files may hold; having opened the table, it writes its digest twice.
// Past kMaxRecords records it packs or empties the table, to keep rewrites quick.
class Writer {
public:
    static constexpr std::size_t kMaxRecords = 3000;

    Writer(fs::path table, std::uint64_t seed) : m_path(std::move(table)), m_random(seed) {}

    Status Start()
    {
        Status done = fs::exists(m_path) ? Status::Ok() : CreateTable(m_path, kMethodLayout);
        m_table.SetDbfFileName(m_path);
        if (!done || !(done = m_table.Open())) {
            return done;
        }
        m_counters.assign(m_table.RecordCount(), 0);
        for (m_table.GoTop(); !m_table.Eof(); m_table.Skip()) {
            m_counters[m_table.RecNo() - 1] = CounterOf(m_table.FieldText("name"));
            m_next = std::max(m_next, m_counters[m_table.RecNo() - 1] + 1);
        }
        Say(Digest(m_counters), "ready");
        return done;
    }

    Status Step()
    {
        const std::string before = Digest(m_counters);
        // Single-record edits are the most common, as they are in use.
        const auto live = static_cast<std::size_t>(
            std::ranges::count_if(m_counters, [](std::uint64_t counter) { return counter != 0; }));
        std::uint64_t choice = Pick(0, 99);
        if (m_counters.size() > kMaxRecords) {
            choice = live > kMaxRecords / 2 ? 99 : 90;
        }
        Status done;
        if (choice < 72) {
            const Edit edit = Plan(choice < 30 ? 0 : choice < 52 ? 1 : 2);
            Say(before,
                "edit " + std::to_string(edit.kind) + " record " + std::to_string(edit.recno));
            done = Apply(edit);
        } else if (choice < 78) { // appends only, or a mix of edits, written once at the end
            const bool appendsOnly = choice < 75;
            std::vector<Edit> edits;
            for (std::size_t n = Pick(appendsOnly ? 50 : 10, appendsOnly ? 500 : 100); n > 0; --n) {
                edits.push_back(Plan(appendsOnly ? 0 : static_cast<int>(Pick(0, 2))));
            }
            Say(before, "bulk " + std::to_string(edits.size()));
            m_table.BeginBulkUpdate();
            for (std::size_t i = 0; i < edits.size() && done; ++i) {
                done = Apply(edits[i]);
            }
            if (Status ended = m_table.EndBulkUpdate(); done) {
                done = ended;
            }
        } else if (choice < 85) { // an import of new records, or all records replaced
            const bool import = choice < 82;
            const std::size_t count = import ? Pick(20, 300) : Pick(0, 400);
            if (!import) {
                m_counters.clear();
            }
            const fs::path csv = m_path.parent_path() / "CrashImport.csv";
            std::ofstream out(csv, std::ios::binary | std::ios::trunc);
            std::vector<Fields> rows;
            for (std::size_t i = 0; i < count; ++i) {
                m_counters.push_back(m_next);
                rows.push_back(MethodOf(m_next++));
                out << rows.back()[0] << ',' << QuoteDelimitedValue(rows.back()[1]) << ','
                    << QuoteDelimitedValue(rows.back()[2]) << ',' << rows.back()[3] << "\r\n";
            }
            out.close();
            Say(before, (import ? "import " : "replace all by ") + std::to_string(count));
            if (!import) {
                done = m_table.ReplaceAllRecords(rows);
            } else if (const DelimitedReport report = AppendFromDelimited(m_table, csv);
                       !(done = report.status) || report.appended != count) {
                done = Status::Fail("the import appended " + std::to_string(report.appended) +
                                    " of " + std::to_string(count) + ": " + done.error);
            }
        } else if (choice < 92) {
            std::erase(m_counters, std::uint64_t{0});
            Say(before, "pack");
            done = m_table.Pack();
        } else if (choice < 98) {
            Say(before, "reindex");
            done = m_table.Reindex();
        } else {
            m_counters.clear();
            Say(before, "zap");
            done = m_table.Zap();
        }
        if (done && m_table.RecordCount() != m_counters.size()) {
            done = Status::Fail("the table holds " + std::to_string(m_table.RecordCount()) +
                                " records, not " + std::to_string(m_counters.size()));
        }
        return done;
    }

private:
    struct Edit {
        int kind;              // 0 append, 1 replace, 2 delete
        std::uint32_t recno;   // the record it makes or changes
        std::uint64_t counter; // what it holds after; 0 when deleted
    };

    // One write per line, so that a kill never leaves half of one.
    void Say(const std::string& before, const std::string& what) const
    {
        const std::string line = before + "\t" + Digest(m_counters) + "\t" + what + "\n";
        if (::write(STDOUT_FILENO, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
            std::exit(1);
        }
    }

    std::uint64_t Pick(std::uint64_t low, std::uint64_t high)
    {
        return std::uniform_int_distribution<std::uint64_t>(low, high)(m_random);
    }

    Edit Plan(int kind) // and applies it to the model
    {
        Edit edit{kind, 0, 0};
        if (kind != 0) { // a live record from a random place on; with none left, append instead
            const std::size_t start = Pick(0, m_counters.size());
            for (std::size_t i = 0; i < m_counters.size() && edit.recno == 0; ++i) {
                const std::size_t at = (start + i) % m_counters.size();
                edit.recno = m_counters[at] != 0 ? static_cast<std::uint32_t>(at + 1) : 0;
            }
            edit.kind = edit.recno == 0 ? 0 : kind;
        }
        edit.counter = edit.kind == 2 ? 0 : m_next++;
        if (edit.kind == 0) {
            m_counters.push_back(edit.counter);
            edit.recno = static_cast<std::uint32_t>(m_counters.size());
        } else {
            m_counters[edit.recno - 1] = edit.counter;
        }
        return edit;
    }

    Status Apply(const Edit& edit)
    {
        // Vary the order, so that edits also run with an index in use.
        const std::size_t order = Pick(0, kMethodTags.size());
        Status done = m_table.SetOrderToTag(order == 0 ? "" : kMethodTags[order - 1].name);
        if (done && edit.kind != 0) {
            done = m_table.Go(edit.recno);
        }
        if (edit.kind == 2) {
            return done ? m_table.DeleteRec() : done;
        }
        if (edit.kind == 0) {
            m_table.ClearRecord();
        }
        const Fields f = MethodOf(edit.counter);
        for (std::size_t i = 0; i < f.size() && done; ++i) {
            done = m_table.Replace(kMethodLayout[i].first, f[i]);
        }
        return !done ? done : edit.kind == 0 ? m_table.AppendRec() : m_table.ReplaceRec();
    }

    fs::path m_path;
    std::mt19937_64 m_random;
    TDbf m_table{kMethodTags};
    std::vector<std::uint64_t> m_counters; // record r's at r - 1; 0 when deleted
    std::uint64_t m_next = 1;              // above every counter used, so counters stay unique
};

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback)
{
    const std::string text = std::getenv(name) != nullptr ? std::getenv(name) : "";
    std::uint64_t value = fallback;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// What the writer said before it was killed: the table as it found it, and as it was before and
// after its last command. `found` is empty when it never opened the table.
struct WriterRun {
    std::string found, before, after, step;

    std::vector<std::string> Possible(const std::vector<std::string>& atStart) const
    {
        return found.empty() ? atStart : std::vector{before, after};
    }
};

// Starts `arguments` with its output to `log` (all of it, when that is /dev/null), waits `delay`
// (counted from its first output, if `fromReady`), then kills it; returns its wait status.
int RunAndKill(std::vector<std::string> arguments, const std::string& log, milliseconds delay,
               bool fromReady, bool kill = true)
{
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, log.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (log == "/dev/null") {
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments) {
        argv.push_back(argument.data());
    }
    argv.push_back(nullptr);
    pid_t pid = -1;
    EXPECT_EQ(::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&actions);
    // A sanitized writer may be slow to start on a busy machine; the guard only catches a hang.
    for (int waited = 0; fromReady && waited < 30'000 && test::ReadFile(log).empty(); ++waited) {
        std::this_thread::sleep_for(milliseconds(1));
    }
    std::this_thread::sleep_for(delay);
    if (kill) {
        ::kill(pid, SIGKILL); // our own child, not yet reaped
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    return status;
}

WriterRun RunWriter(const fs::path& table, std::uint64_t seed, milliseconds delay, bool fromReady)
{
    const std::string logPath = table.parent_path() / ("writer" + std::to_string(seed) + ".log");
    WriterRun run;
    const int status =
        RunAndKill({"/proc/self/exe", "--write", table.string(), std::to_string(seed)}, logPath,
                   delay, fromReady);
    const std::string log = test::ReadFile(logPath);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the writer stopped by itself; it said:\n"
        << log.substr(log.size() - std::min<std::size_t>(log.size(), 500));
    std::istringstream lines(log);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream fields(line);
        if (!std::getline(fields, run.before, '\t') || !std::getline(fields, run.after, '\t') ||
            !std::getline(fields, run.step)) {
            ADD_FAILURE() << "the writer said something unexpected: " << line;
        }
        run.found = run.found.empty() ? run.before : run.found;
    }
    EXPECT_TRUE(!run.found.empty() || !fromReady) << "the writer never opened the table";
    return run;
}

// The key a method tag gives the current record, worked out from its fields; none in record order.
std::string KeyOf(std::string_view tag, const TDbf& table)
{
    if (tag.empty()) {
        return {};
    }
    const std::string group = table.FieldText("group");
    std::string tail = tag == "NAME"      ? table.FieldText("name")
                       : tag == "PLACES"  ? table.FieldText("places")
                       : tag == "GRPNAME" ? group + table.FieldText("name")
                                          : (group + table.FieldText("places")).substr(0, 98);
    std::ranges::transform(tail, tail.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return table.FieldText("bells") + tail;
}

// Walks the table in record order, where every live record must be one the writer made, whole,
// and in each tag's, which must visit each live record once, in (key, record) order, and find a
// key it seeks. Returns the counters the table holds.
std::vector<std::uint64_t> CheckRecords(TDbf& table)
{
    std::vector<std::uint64_t> counters(table.RecordCount(), 0);
    std::vector<std::uint32_t> live;
    for (const std::string_view tag : {"", "NAME", "PLACES", "GRPNAME", "GRPPLACES"}) {
        EXPECT_TRUE(table.SetOrderToTag(tag));
        std::vector<std::uint32_t> visited;
        std::pair<std::string, std::uint32_t> previous;
        for (table.GoTop(); !table.Eof() && visited.size() <= counters.size(); table.Skip()) {
            std::pair<std::string, std::uint32_t> current{KeyOf(tag, table), table.RecNo()};
            EXPECT_TRUE(visited.empty() || previous < current)
                << tag << ": record " << current.second << " follows " << previous.second;
            visited.push_back(current.second);
            previous = std::move(current);
            if (tag.empty()) {
                const std::uint64_t counter = CounterOf(table.FieldText("name"));
                std::string made;
                const Fields fields = MethodOf(counter);
                for (std::size_t f = 0; f < fields.size(); ++f) {
                    made +=
                        fields[f] + std::string(kMethodLayout[f].second - fields[f].size(), ' ');
                }
                EXPECT_EQ(table.FieldText("bells") + table.FieldText("name") +
                              table.FieldText("places") + table.FieldText("group"),
                          made)
                    << "record " << table.RecNo();
                counters[table.RecNo() - 1] = counter;
            }
        }
        EXPECT_TRUE(table.Eof()) << tag << ": more records visited than the table holds";
        std::ranges::sort(visited);
        live = tag.empty() ? visited : live;
        EXPECT_EQ(visited, live) << tag << " does not visit each live record once";
        if (!tag.empty() && !live.empty()) {
            const std::uint32_t middle = live[live.size() / 2];
            EXPECT_TRUE(table.Go(middle));
            EXPECT_TRUE(table.FindExact(KeyOf(tag, table))) << tag;
            EXPECT_TRUE(tag != "NAME" || table.RecNo() == middle);
        }
    }
    std::vector<std::uint64_t> held = counters;
    std::erase(held, 0);
    std::ranges::sort(held);
    EXPECT_TRUE(std::ranges::adjacent_find(held) == held.end()) << "a counter twice";
    return counters;
}

// Opens the table as the program would after the kill and checks it through and through: it must
// hold one of the states the writer said it might, and a second open find nothing left to mend.
// Returns its digest; empty for no table.
std::string CheckAfterKill(const fs::path& path, const WriterRun& run,
                           const std::vector<std::string>& atStart)
{
    std::string digest;
    for (const bool again : {false, true}) {
        TDbf table(kMethodTags);
        table.SetDbfFileName(path);
        const Status opened = table.Open();
        if (!fs::exists(path)) {
            EXPECT_FALSE(opened);
            break;
        }
        EXPECT_TRUE(opened) << opened.error;
        // The index is written after the table, so a kill between the two leaves it stale; any
        // other mending would mean a torn table file.
        for (const std::string& warning : table.Warnings()) {
            EXPECT_TRUE(!again &&
                        warning.ends_with("the index did not match its table and was rebuilt."))
                << warning;
        }
        const std::string seen = Digest(CheckRecords(table));
        EXPECT_TRUE(!again || seen == digest) << seen << " after " << digest;
        digest = seen;
    }
    const std::vector<std::string> possible = run.Possible(atStart);
    EXPECT_TRUE(std::ranges::find(possible, digest) != possible.end())
        << "the table holds \"" << digest << "\" after a kill in \"" << run.step << "\"";
    return digest;
}

// One table, killed again and again, each writer starting from what the last kill left. Now
// and then the table is left unchecked, and the next writer is killed soon after it starts,
// perhaps while its own open mends the table.
TEST(TableCrash, KilledWriterLeavesOldOrNewContents)
{
    const test::TempDir folder;
    const fs::path table = folder.Path("Methods.dbf");
    const std::uint64_t base = EnvNumber("TAMBREL_CRASH_SEED", 20'240'611);
    const std::uint64_t count = EnvNumber("TAMBREL_CRASH_RUNS", 32);
    std::mt19937_64 random(base);
    std::vector<std::string> atStart{Digest({})};
    bool checked = true;
    for (std::uint64_t i = 0; i < count && !testing::Test::HasFatalFailure(); ++i) {
        const int delay =
            std::uniform_int_distribution<int>(checked ? 2 : 0, checked ? 300 : 40)(random);
        SCOPED_TRACE("seed " + std::to_string(base + i) + ", killed after " +
                     std::to_string(delay) + " ms");
        const WriterRun run = RunWriter(table, base + i, milliseconds(delay), checked);
        EXPECT_TRUE(run.found.empty() || std::ranges::find(atStart, run.found) != atStart.end())
            << "the writer found the table as " << run.found;
        checked = i + 1 == count || std::uniform_int_distribution<int>(0, 3)(random) != 0;
        atStart =
            checked ? std::vector{CheckAfterKill(table, run, atStart)} : run.Possible(atStart);
    }
}

// A new table each time, killed so soon that it may land while the writer creates the table
// or first opens it: there is then no table, or an empty one.
TEST(TableCrash, KilledWhileCreatingLeavesNoTableOrAnEmptyOne)
{
    const test::TempDir folder;
    const std::uint64_t base = EnvNumber("TAMBREL_CRASH_SEED", 20'240'611) + 1'000'000;
    std::mt19937_64 random(base);
    for (std::uint64_t i = 0; i < EnvNumber("TAMBREL_CRASH_RUNS", 32) / 4; ++i) {
        const fs::path table = folder.Path("run" + std::to_string(i)) + "/Methods.dbf";
        fs::create_directories(table.parent_path());
        const int delay = std::uniform_int_distribution<int>(0, 15)(random);
        SCOPED_TRACE("seed " + std::to_string(base + i));
        const WriterRun run = RunWriter(table, base + i, milliseconds(delay), false);
        CheckAfterKill(table, run, {"", Digest({})});
        EXPECT_TRUE(run.found.empty() || run.found == Digest({}));
    }
}

// A library folder being built from the bundled data, the program killed at random moments:
// the next start finishes the folder and clears what the killed one left.
TEST(TableCrash, KilledWhileBuildingALibraryLeavesNothingBehind)
{
    const test::TempDir folder;
    const fs::path library = folder.Path("Library");
    const std::vector<std::string> command = {TAMBREL_CLI, "library", "info", "--library",
                                              library.string()};
    std::mt19937_64 random(EnvNumber("TAMBREL_CRASH_SEED", 20'240'611));
    for (int i = 0; i < 8; ++i) {
        RunAndKill(command, "/dev/null",
                   milliseconds(std::uniform_int_distribution<int>(0, 400)(random)), false);
    }
    const int status = RunAndKill(command, "/dev/null", milliseconds(0), false, false);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    for (const fs::directory_entry& entry : fs::directory_iterator(library)) {
        const std::string name = entry.path().filename().string();
        EXPECT_EQ(name.find(".tmp-"), std::string::npos) << name;
        EXPECT_EQ(name.find(".building"), std::string::npos) << name;
    }
    TDbf methods(kMethodTags, kMethodLayout);
    methods.SetDbfFileName(library / "Methods.dbf");
    ASSERT_TRUE(methods.Open(TableAccess::Read));
    EXPECT_TRUE(methods.Warnings().empty());
    EXPECT_GT(methods.RecordCount(), 20'000U);
}

} // namespace
} // namespace tambrel

int main(int argc, char** argv)
{
    std::uint64_t seed = 0;
    if (argc == 4 && std::string_view(argv[1]) == "--write") {
        const std::string_view text = argv[3];
        std::from_chars(text.data(), text.data() + text.size(), seed);
        tambrel::Writer writer(argv[2], seed);
        tambrel::Status status = writer.Start();
        while (status) {
            status = writer.Step();
        }
        std::fprintf(stderr, "writer: %s\n", status.error.c_str());
        return 1;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
