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
#include <charconv>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <random>
#include <set>
#include <spawn.h>
#include <sstream>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <vector>

namespace tambrel {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback)
{
    const std::string text = std::getenv(name) != nullptr ? std::getenv(name) : "";
    std::uint64_t value = fallback;
    std::from_chars(text.data(), text.data() + text.size(), value);
    return value;
}

// What the writer said before it was killed.
struct WriterRun {
    pid_t pid = -1;
    std::string log;
    bool ready = false;      // it opened the table
    std::string readyDigest; // the table as it found it
    std::string step;        // the last command it started; empty for none
    std::string before, after;

    // The states the table may be in: before or after the last command, or as the writer found
    // it (`atStart` when it never opened it).
    std::vector<std::string> Possible(const std::vector<std::string>& atStart) const
    {
        if (!step.empty()) {
            return {before, after};
        }
        return ready ? std::vector<std::string>{readyDigest} : atStart;
    }
};

// Starts the writer on `table`, lets it work for `delay` (counted from when it has opened the
// table, if `fromReady`), then kills it.
WriterRun RunAndKill(const fs::path& table, std::uint64_t seed, milliseconds delay, bool fromReady)
{
    WriterRun run;
    const fs::path logPath = table.parent_path() / ("writer" + std::to_string(seed) + ".log");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logPath.c_str(),
                                     O_WRONLY | O_CREAT | O_TRUNC, 0644);
    std::string program = TAMBREL_CRASH_WRITER, tableArgument = table.string(),
                seedArgument = std::to_string(seed);
    char* arguments[] = {program.data(), tableArgument.data(), seedArgument.data(), nullptr};
    const int spawned =
        ::posix_spawn(&run.pid, program.c_str(), &actions, nullptr, arguments, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) {
        ADD_FAILURE() << "cannot start " << program;
        return run;
    }
    // A sanitized writer may be slow to start on a busy machine; the guard only catches a hang.
    for (int waited = 0; fromReady && waited < 30'000 && test::ReadFile(logPath).empty();
         ++waited) {
        std::this_thread::sleep_for(milliseconds(1));
    }
    std::this_thread::sleep_for(delay);
    ::kill(run.pid, SIGKILL); // our own child, not yet reaped
    int status = 0;
    ::waitpid(run.pid, &status, 0);
    run.log = test::ReadFile(logPath);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        << "the writer stopped by itself; it said:\n"
        << run.log.substr(run.log.size() - std::min<std::size_t>(run.log.size(), 500));

    std::istringstream lines(run.log);
    for (std::string line; std::getline(lines, line);) {
        std::vector<std::string> parts;
        std::istringstream fields(line);
        for (std::string part; std::getline(fields, part, '\t');) {
            parts.push_back(part);
        }
        if (parts.size() == 2 && parts[0] == "ready") {
            run.ready = true;
            run.readyDigest = parts[1];
        } else if (parts.size() == 4 && parts[0] == "step") {
            run.step = parts[1];
            run.before = parts[2];
            run.after = parts[3];
        } else {
            ADD_FAILURE() << "the writer said something unexpected: " << line;
        }
    }
    EXPECT_TRUE(run.ready || !fromReady) << "the writer never opened the table";
    return run;
}

struct Row {
    std::uint32_t recno;
    std::uint64_t counter;
    std::string bells, name, places, group;
};

Row ReadRow(const TDbf& table)
{
    return Row{table.RecNo(),
               crash::CounterOf(table.FieldText("name")).value_or(0),
               table.FieldText("bells"),
               table.FieldText("name"),
               table.FieldText("places"),
               table.FieldText("group")};
}

std::string UpperAscii(std::string text)
{
    std::ranges::transform(text, text.begin(), [](char c) {
        return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    });
    return text;
}

// The key each of the method tags gives a record, worked out from its fields.
std::string KeyOf(std::string_view tag, const Row& row)
{
    const std::string tail = tag == "NAME"      ? row.name
                             : tag == "PLACES"  ? row.places
                             : tag == "GRPNAME" ? row.group + row.name
                                                : (row.group + row.places).substr(0, 98);
    return row.bells + UpperAscii(tail);
}

// Walks the table in record order: every live record must be one the writer made, whole.
std::vector<Row> CheckRecords(TDbf& table)
{
    std::vector<Row> rows;
    std::set<std::uint64_t> counters;
    for (table.GoTop(); !table.Eof() && rows.size() <= table.RecordCount(); table.Skip()) {
        Row row = ReadRow(table);
        const crash::MethodFields made = crash::FieldsOf(row.counter);
        auto padded = [](std::string text, std::size_t width) {
            text.resize(width, ' ');
            return text;
        };
        EXPECT_EQ(row.name, padded(made.name, 60)) << "record " << row.recno;
        EXPECT_EQ(row.bells + row.places + row.group,
                  padded(made.bells, 2) + padded(made.places, 98) + padded(made.group, 2))
            << "record " << row.recno;
        EXPECT_TRUE(counters.insert(row.counter).second) << "counter " << row.counter << " twice";
        EXPECT_TRUE(rows.empty() || rows.back().recno < row.recno);
        rows.push_back(std::move(row));
    }
    EXPECT_TRUE(table.Eof()) << "record order visits more records than the table holds";
    return rows;
}

std::string DigestOf(const TDbf& table, const std::vector<Row>& rows)
{
    std::vector<std::pair<std::uint32_t, std::uint64_t>> live;
    for (const Row& row : rows) {
        live.emplace_back(row.recno, row.counter);
    }
    return crash::Digest(table.RecordCount(), live);
}

// Every tag must visit every live record once, in (key, record) order, and a seek must find a
// record that is there.
void CheckTags(TDbf& table, const std::vector<Row>& rows)
{
    std::vector<std::uint32_t> live;
    for (const Row& row : rows) {
        live.push_back(row.recno);
    }
    for (const IndexDef& def : kMethodTags) {
        ASSERT_TRUE(table.SetOrderToTag(def.name));
        std::vector<std::uint32_t> visited;
        std::pair<std::string, std::uint32_t> previous;
        for (table.GoTop(); !table.Eof() && visited.size() <= live.size(); table.Skip()) {
            std::pair<std::string, std::uint32_t> current{KeyOf(def.name, ReadRow(table)),
                                                          table.RecNo()};
            EXPECT_TRUE(visited.empty() || previous < current)
                << def.name << ": record " << current.second << " follows " << previous.second;
            visited.push_back(current.second);
            previous = std::move(current);
        }
        std::ranges::sort(visited);
        EXPECT_EQ(visited, live) << def.name << " does not visit each live record once";
        if (!rows.empty()) {
            const Row& middle = rows[rows.size() / 2];
            EXPECT_TRUE(table.FindExact(KeyOf(def.name, middle))) << def.name;
            EXPECT_TRUE(def.name != "NAME" || table.RecNo() == middle.recno);
        }
    }
}

// Opens the table as the program would after the crash, checks it through and through, and
// returns its digest; a second open must find nothing left to mend. Empty: no table.
std::string CheckTable(const fs::path& path)
{
    std::string digest;
    {
        TDbf table(kMethodTags);
        table.SetDbfFileName(path);
        const Status opened = table.Open();
        if (!fs::exists(path)) {
            EXPECT_FALSE(opened);
            return {};
        }
        EXPECT_TRUE(opened) << opened.error;
        // The index is written after the table, so a kill between the two leaves it stale; any
        // other mending would mean a torn table file.
        for (const std::string& warning : table.Warnings()) {
            EXPECT_TRUE(warning.ends_with("the index did not match its table and was rebuilt."))
                << warning;
        }
        const std::vector<Row> rows = CheckRecords(table);
        digest = DigestOf(table, rows);
        CheckTags(table, rows);
    }
    TDbf again(kMethodTags);
    again.SetDbfFileName(path);
    EXPECT_TRUE(again.Open());
    EXPECT_TRUE(again.Warnings().empty()) << "the second open still mended";
    EXPECT_EQ(DigestOf(again, CheckRecords(again)), digest);
    return digest;
}

// Checks the table after the kill and returns what it holds.
std::string CheckAfterKill(const fs::path& table, const WriterRun& run,
                           const std::vector<std::string>& atStart)
{
    const std::string digest = CheckTable(table);
    const std::vector<std::string> possible = run.Possible(atStart);
    EXPECT_TRUE(std::ranges::find(possible, digest) != possible.end())
        << "the table holds \"" << digest << "\" after a kill in \"" << run.step << "\"";
    std::cout << "killed " << (run.step.empty() ? "before any command" : "in " + run.step) << ": "
              << (run.before == run.after ? "contents unchanged"
                  : digest == run.after   ? "new contents"
                                          : "old contents")
              << "\n";
    return digest;
}

// The temporary files a write leaves when killed ("Methods.dbf.tmp-1234-Ab3xQ9") must each
// belong to a killed writer: the opens after each kill, which wrote too, finished theirs.
void CheckStrays(const fs::path& folder, const std::vector<WriterRun>& runs)
{
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = entry.path().filename().string();
        const std::size_t at = name.rfind(".tmp-");
        if (at == std::string::npos) {
            continue;
        }
        const pid_t pid = std::atoi(name.c_str() + at + 5);
        EXPECT_TRUE(std::ranges::any_of(runs, [pid](const WriterRun& r) { return r.pid == pid; }))
            << name << " was not left by a killed writer";
    }
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
    std::vector<WriterRun> runs;
    std::vector<std::string> atStart{crash::Digest(0, {})};
    bool checked = true;
    for (std::uint64_t i = 0; i < count && !testing::Test::HasFatalFailure(); ++i) {
        const int delay =
            std::uniform_int_distribution<int>(checked ? 2 : 0, checked ? 300 : 40)(random);
        SCOPED_TRACE("seed " + std::to_string(base + i) + ", killed after " +
                     std::to_string(delay) + " ms");
        runs.push_back(RunAndKill(table, base + i, milliseconds(delay), checked));
        const WriterRun& run = runs.back();
        EXPECT_TRUE(!run.ready || std::ranges::find(atStart, run.readyDigest) != atStart.end())
            << "the writer found the table as " << run.readyDigest;
        checked = i + 1 == count || std::uniform_int_distribution<int>(0, 3)(random) != 0;
        atStart =
            checked ? std::vector{CheckAfterKill(table, run, atStart)} : run.Possible(atStart);
    }
    CheckStrays(folder.Path(""), runs);
}

// A new table each time, killed so soon that it may land while the writer creates the table
// or first opens it: there is then no table, or an empty one.
TEST(TableCrash, KilledWhileCreatingLeavesNoTableOrAnEmptyOne)
{
    const test::TempDir folder;
    const std::uint64_t base = EnvNumber("TAMBREL_CRASH_SEED", 20'240'611) + 1'000'000;
    std::mt19937_64 random(base);
    std::vector<WriterRun> runs;
    for (std::uint64_t i = 0; i < EnvNumber("TAMBREL_CRASH_RUNS", 32) / 4; ++i) {
        const fs::path table = folder.Path("run" + std::to_string(i)) + "/Methods.dbf";
        fs::create_directories(table.parent_path());
        const int delay = std::uniform_int_distribution<int>(0, 15)(random);
        SCOPED_TRACE("seed " + std::to_string(base + i));
        runs.push_back(RunAndKill(table, base + i, milliseconds(delay), false));
        CheckAfterKill(table, runs.back(), {"", crash::Digest(0, {})});
        EXPECT_TRUE(!runs.back().ready || runs.back().readyDigest == crash::Digest(0, {}));
    }
    CheckStrays(folder.Path(""), runs);
}

// A library folder being built from the bundled data, the program killed at random moments:
// the next start finishes the folder and clears what the killed one left.
TEST(TableCrash, KilledWhileBuildingALibraryLeavesNothingBehind)
{
    const test::TempDir folder;
    const fs::path library = folder.Path("Library");
    std::string program = TAMBREL_CLI, command = "library", info = "info", option = "--library",
                path = library.string();
    char* arguments[] = {program.data(), command.data(), info.data(),
                         option.data(),  path.data(),    nullptr};
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
    const auto start = [&] {
        pid_t pid = -1;
        EXPECT_EQ(::posix_spawn(&pid, program.c_str(), &quiet, nullptr, arguments, environ), 0);
        return pid;
    };
    std::mt19937_64 random(EnvNumber("TAMBREL_CRASH_SEED", 20'240'611));
    for (int i = 0; i < 8; ++i) {
        const pid_t pid = start();
        std::this_thread::sleep_for(
            milliseconds(std::uniform_int_distribution<int>(0, 400)(random)));
        ::kill(pid, SIGKILL);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
    int status = -1;
    ::waitpid(start(), &status, 0);
    posix_spawn_file_actions_destroy(&quiet);
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
