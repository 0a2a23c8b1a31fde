// CrashWriter TABLE SEED
//
// Changes a method table at random until it is killed. Before each command it writes a line
// naming the command and what a reader would see of the table before and after it, so that
// whoever kills it knows the two states the files on disk may hold:
//
//     ready<TAB>DIGEST
//     step<TAB>WHAT<TAB>DIGEST-BEFORE<TAB>DIGEST-AFTER
//
// It keeps its own model of the table (the counter of every record) to work out the digests.

#include "library/LibraryTables.h"
#include "tables/Delimited.h"
#include "tables/TDbf.h"
#include "tests/tables/crash/CrashRecord.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <string_view>
#include <unistd.h>
#include <utility>
#include <vector>

namespace tambrel {
namespace {

constexpr std::uint64_t kDeleted = 0; // counters start at 1
// Past this many records the writer packs or empties the table, so that rewrites stay quick
// enough for many commands to run before the kill.
constexpr std::size_t kMaxRecords = 3000;

class Writer {
public:
    Writer(std::filesystem::path table, std::uint64_t seed)
        : m_path(std::move(table)), m_random(seed)
    {
    }
    Status Start();
    Status Step();

private:
    enum class Kind { Append, Replace, Delete };
    struct Edit {
        Kind kind;
        std::uint32_t recno;   // Replace, Delete
        std::uint64_t counter; // Append, Replace
    };

    std::uint64_t Pick(std::uint64_t low, std::uint64_t high)
    {
        return std::uniform_int_distribution<std::uint64_t>(low, high)(m_random);
    }
    std::string Digest() const;
    Edit Plan(Kind kind); // and applies it to the model
    Status Apply(const Edit& edit);
    void Announce(const std::string& what, const std::string& before);
    Status Import(std::size_t count, const std::string& before);
    Status ReplaceAll(std::size_t count, const std::string& before);

    std::filesystem::path m_path;
    std::mt19937_64 m_random;
    TDbf m_table{kMethodTags};
    std::vector<std::uint64_t> m_counters; // record r at r - 1
    std::uint64_t m_next = 1;              // above every counter used, so counters stay unique
};

// One write per line, so that a kill never leaves half of one.
void Say(const std::string& line)
{
    if (::write(STDOUT_FILENO, line.data(), line.size()) != static_cast<ssize_t>(line.size())) {
        std::exit(1);
    }
}

Status Writer::Start()
{
    if (!std::filesystem::exists(m_path)) {
        if (Status created = CreateTable(m_path, kMethodLayout); !created) {
            return created;
        }
    }
    m_table.SetDbfFileName(m_path);
    if (Status opened = m_table.Open(); !opened) {
        return opened;
    }
    m_counters.assign(m_table.RecordCount(), kDeleted);
    for (m_table.GoTop(); !m_table.Eof(); m_table.Skip()) {
        const auto counter = crash::CounterOf(m_table.FieldText("name"));
        if (!counter) {
            return Status::Fail("record " + std::to_string(m_table.RecNo()) + " is not ours");
        }
        m_counters[m_table.RecNo() - 1] = *counter;
        m_next = std::max(m_next, *counter + 1);
    }
    Say("ready\t" + Digest() + "\n");
    return {};
}

std::string Writer::Digest() const
{
    std::vector<std::pair<std::uint32_t, std::uint64_t>> live;
    for (std::size_t i = 0; i < m_counters.size(); ++i) {
        if (m_counters[i] != kDeleted) {
            live.emplace_back(static_cast<std::uint32_t>(i + 1), m_counters[i]);
        }
    }
    return crash::Digest(m_counters.size(), live);
}

Writer::Edit Writer::Plan(Kind kind)
{
    Edit edit{kind, 0, 0};
    if (kind != Kind::Append) {
        // A live record from a random place on; with none left, append instead.
        const std::size_t start = Pick(0, m_counters.size());
        for (std::size_t i = 0; i < m_counters.size() && edit.recno == 0; ++i) {
            const std::size_t at = (start + i) % m_counters.size();
            edit.recno = m_counters[at] != kDeleted ? static_cast<std::uint32_t>(at + 1) : 0;
        }
        edit.kind = edit.recno == 0 ? Kind::Append : kind;
    }
    if (edit.kind == Kind::Append) {
        edit.counter = m_next++;
        m_counters.push_back(edit.counter);
    } else {
        edit.counter = edit.kind == Kind::Replace ? m_next++ : kDeleted;
        m_counters[edit.recno - 1] = edit.counter;
    }
    return edit;
}

Status Writer::Apply(const Edit& edit)
{
    // Vary the order, so that edits also run with an index in use.
    const std::size_t order = Pick(0, kMethodTags.size());
    Status done = m_table.SetOrderToTag(order == 0 ? "" : kMethodTags[order - 1].name);
    if (done && edit.kind != Kind::Append) {
        done = m_table.Go(edit.recno);
    }
    if (edit.kind == Kind::Delete) {
        return done ? m_table.DeleteRec() : done;
    }
    if (edit.kind == Kind::Append) {
        m_table.ClearRecord();
    }
    const crash::MethodFields f = crash::FieldsOf(edit.counter);
    for (const auto& [field, text] :
         {std::pair{"bells", &f.bells}, std::pair{"name", &f.name}, std::pair{"places", &f.places},
          std::pair{"group", &f.group}}) {
        if (done) {
            done = m_table.Replace(field, *text);
        }
    }
    if (!done) {
        return done;
    }
    return edit.kind == Kind::Append ? m_table.AppendRec() : m_table.ReplaceRec();
}

void Writer::Announce(const std::string& what, const std::string& before)
{
    Say("step\t" + what + "\t" + before + "\t" + Digest() + "\n");
}

Status Writer::Import(std::size_t count, const std::string& before)
{
    const std::filesystem::path csv = m_path.parent_path() / "CrashImport.csv";
    {
        std::ofstream out(csv, std::ios::binary | std::ios::trunc);
        for (std::size_t i = 0; i < count; ++i) {
            const crash::MethodFields f = crash::FieldsOf(m_next);
            m_counters.push_back(m_next++);
            out << f.bells << ',' << QuoteDelimitedValue(f.name) << ','
                << QuoteDelimitedValue(f.places) << ',' << f.group << "\r\n";
        }
        if (!out.flush()) {
            return Status::Fail("cannot write " + csv.string());
        }
    }
    Announce("import " + std::to_string(count), before);
    const DelimitedReport report = m_table.AppendFromDelimited(csv);
    if (report.status && report.appended != count) {
        return Status::Fail("the import appended " + std::to_string(report.appended) + " of " +
                            std::to_string(count));
    }
    return report.status;
}

Status Writer::ReplaceAll(std::size_t count, const std::string& before)
{
    std::vector<std::vector<std::string>> rows;
    m_counters.clear();
    for (std::size_t i = 0; i < count; ++i) {
        crash::MethodFields f = crash::FieldsOf(m_next);
        rows.push_back({f.bells, f.name, f.places, f.group});
        m_counters.push_back(m_next++);
    }
    Announce("replace all by " + std::to_string(count), before);
    return m_table.ReplaceAllRecords(rows);
}

Status Writer::Step()
{
    const std::string before = Digest();
    const std::size_t live = m_counters.size() - std::ranges::count(m_counters, kDeleted);
    // Single-record edits are the most common, as they are in use. A large table is packed or
    // emptied first.
    std::uint64_t choice = Pick(0, 99);
    if (m_counters.size() > kMaxRecords) {
        choice = live > kMaxRecords / 2 ? 99 : 90;
    }
    Status done;
    if (choice < 72) {
        const Edit edit = Plan(choice < 30   ? Kind::Append
                               : choice < 52 ? Kind::Replace
                                             : Kind::Delete);
        static constexpr const char* kNames[] = {"append", "replace", "delete"};
        Announce(std::string(kNames[static_cast<int>(edit.kind)]) + " record " +
                     std::to_string(edit.recno == 0 ? m_counters.size() : edit.recno),
                 before);
        done = Apply(edit);
    } else if (choice < 78) {
        // Appends only, or a mix of edits, written once at the end.
        const bool appendsOnly = choice < 75;
        std::vector<Edit> edits;
        for (std::size_t n = Pick(appendsOnly ? 50 : 10, appendsOnly ? 500 : 100); n > 0; --n) {
            edits.push_back(Plan(appendsOnly ? Kind::Append : static_cast<Kind>(Pick(0, 2))));
        }
        Announce("bulk " + std::to_string(edits.size()), before);
        m_table.BeginBulkUpdate();
        for (std::size_t i = 0; i < edits.size() && done; ++i) {
            done = Apply(edits[i]);
        }
        if (Status ended = m_table.EndBulkUpdate(); done) {
            done = ended;
        }
    } else if (choice < 82) {
        done = Import(Pick(20, 300), before);
    } else if (choice < 85) {
        done = ReplaceAll(Pick(0, 400), before);
    } else if (choice < 92) {
        std::erase(m_counters, kDeleted);
        Announce("pack", before);
        done = m_table.Pack();
    } else if (choice < 98) {
        Announce("reindex", before);
        done = m_table.Reindex();
    } else {
        m_counters.clear();
        Announce("zap", before);
        done = m_table.Zap();
    }
    if (done && m_table.RecordCount() != m_counters.size()) {
        done = Status::Fail("the table holds " + std::to_string(m_table.RecordCount()) +
                            " records, not " + std::to_string(m_counters.size()));
    }
    return done;
}

} // namespace
} // namespace tambrel

int main(int argc, char** argv)
{
    std::uint64_t seed = 0;
    const std::string_view seedText = argc == 3 ? argv[2] : "";
    if (std::from_chars(seedText.data(), seedText.data() + seedText.size(), seed).ec !=
        std::errc{}) {
        std::fprintf(stderr, "usage: CrashWriter TABLE SEED\n");
        return 2;
    }
    tambrel::Writer writer(argv[1], seed);
    tambrel::Status status = writer.Start();
    while (status) {
        status = writer.Step();
    }
    std::fprintf(stderr, "CrashWriter: %s\n", status.error.c_str());
    return 1;
}
