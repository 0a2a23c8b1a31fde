// CrashWriter TABLE SEED
//
// Changes a method table at random until it is killed. Before each command it writes one line
// to standard output naming the command and what a reader would see of the table before and
// after it, so that whoever kills it knows the two states the files on disk may hold:
//
//     ready<TAB>DIGEST
//     step<TAB>N<TAB>WHAT<TAB>DIGEST-BEFORE<TAB>DIGEST-AFTER
//
// It keeps its own model of the table (the counter of every record) to work out the digests.
// Exit status 1 means a command failed; the message is on standard error.

#include "library/LibraryTables.h"
#include "tables/Delimited.h"
#include "tables/TDbf.h"
#include "tests/tables/crash/CrashRecord.h"

#include <algorithm>
#include <cerrno>
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

using crash::FieldsOf;
using crash::LiveRecord;

constexpr std::uint64_t kDeleted = ~std::uint64_t{0};
// Past this many records the writer packs or empties the table, so that each rewrite stays
// quick enough for many commands to run before the kill.
constexpr std::size_t kMaxRecords = 3000;

// Writes a whole line in one call, so that a kill never leaves half of it in the pipe.
void Say(const std::string& line)
{
    std::size_t done = 0;
    while (done < line.size()) {
        const ssize_t n = ::write(STDOUT_FILENO, line.data() + done, line.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            std::exit(1); // nobody is listening any more
        }
        done += static_cast<std::size_t>(n);
    }
}

class Writer {
public:
    Writer(std::filesystem::path table, std::uint64_t seed)
        : m_path(std::move(table)), m_random(seed)
    {
    }

    Status Start();
    Status Step();

private:
    struct Edit {
        enum class Kind { Append, Replace, Delete } kind = Kind::Append;
        std::uint32_t recno = 0;   // Replace, Delete: a live record
        std::uint64_t counter = 0; // Append, Replace: the new contents
    };

    std::uint64_t Pick(std::uint64_t low, std::uint64_t high) // low..high
    {
        return std::uniform_int_distribution<std::uint64_t>(low, high)(m_random);
    }
    std::size_t LiveCount() const
    {
        return static_cast<std::size_t>(std::count_if(
            m_counters.begin(), m_counters.end(), [](std::uint64_t c) { return c != kDeleted; }));
    }
    std::string Digest() const;
    std::uint32_t RandomLiveRecord();
    Edit PlanEdit(Edit::Kind kind); // applies the edit to the model
    Status Apply(const Edit& edit);
    Status WriteFields(std::uint64_t counter);
    void Announce(std::string_view what, const std::string& before);
    Status Import(std::size_t count);
    Status ReplaceAll(std::size_t count);

    std::filesystem::path m_path;
    std::mt19937_64 m_random;
    TDbf m_table{kMethodTags};
    std::vector<std::uint64_t> m_counters; // record r at r - 1; kDeleted for a deleted record
    std::uint64_t m_next = 1;              // above every live counter, so counters stay unique
    std::uint64_t m_step = 0;
};

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
    // The model starts from what the table holds; deleted records keep only their place.
    m_counters.assign(m_table.RecordCount(), kDeleted);
    for (m_table.GoTop(); !m_table.Eof(); m_table.Skip()) {
        const std::optional<std::uint64_t> counter = crash::CounterOf(m_table.FieldText("name"));
        if (!counter) {
            return Status::Fail("record " + std::to_string(m_table.RecNo()) +
                                " is not one this program writes");
        }
        m_counters[m_table.RecNo() - 1] = *counter;
        m_next = std::max(m_next, *counter + 1);
    }
    Say("ready\t" + Digest() + "\n");
    return {};
}

std::string Writer::Digest() const
{
    std::vector<LiveRecord> live;
    for (std::size_t i = 0; i < m_counters.size(); ++i) {
        if (m_counters[i] != kDeleted) {
            live.emplace_back(static_cast<std::uint32_t>(i + 1), m_counters[i]);
        }
    }
    return crash::Digest(m_counters.size(), live);
}

std::uint32_t Writer::RandomLiveRecord()
{
    const std::size_t start = Pick(0, m_counters.size() - 1);
    for (std::size_t i = 0; i < m_counters.size(); ++i) {
        const std::size_t at = (start + i) % m_counters.size();
        if (m_counters[at] != kDeleted) {
            return static_cast<std::uint32_t>(at + 1);
        }
    }
    return 0;
}

Writer::Edit Writer::PlanEdit(Edit::Kind kind)
{
    Edit edit{kind, 0, 0};
    if (kind != Edit::Kind::Append) {
        edit.recno = RandomLiveRecord();
        if (edit.recno == 0) {
            edit.kind = Edit::Kind::Append; // nothing left to change
        }
    }
    switch (edit.kind) {
    case Edit::Kind::Append:
        edit.counter = m_next++;
        m_counters.push_back(edit.counter);
        break;
    case Edit::Kind::Replace:
        edit.counter = m_next++;
        m_counters[edit.recno - 1] = edit.counter;
        break;
    case Edit::Kind::Delete:
        m_counters[edit.recno - 1] = kDeleted;
        break;
    }
    return edit;
}

Status Writer::WriteFields(std::uint64_t counter)
{
    const crash::MethodFields fields = FieldsOf(counter);
    const std::pair<std::string_view, std::string_view> values[] = {{"bells", fields.bells},
                                                                    {"name", fields.name},
                                                                    {"places", fields.places},
                                                                    {"group", fields.group}};
    for (const auto& [field, text] : values) {
        if (Status written = m_table.Replace(field, text); !written) {
            return written;
        }
    }
    return {};
}

Status Writer::Apply(const Edit& edit)
{
    // Moves work in any order; vary it so that edits also run under an index order.
    const std::size_t order = Pick(0, kMethodTags.size());
    if (Status ordered = m_table.SetOrderToTag(order == 0 ? "" : kMethodTags[order - 1].name);
        !ordered) {
        return ordered;
    }
    switch (edit.kind) {
    case Edit::Kind::Append:
        m_table.ClearRecord();
        if (Status written = WriteFields(edit.counter); !written) {
            return written;
        }
        return m_table.AppendRec();
    case Edit::Kind::Replace:
        if (Status moved = m_table.Go(edit.recno); !moved) {
            return moved;
        }
        if (Status written = WriteFields(edit.counter); !written) {
            return written;
        }
        return m_table.ReplaceRec();
    case Edit::Kind::Delete:
        if (Status moved = m_table.Go(edit.recno); !moved) {
            return moved;
        }
        return m_table.DeleteRec();
    }
    return {};
}

void Writer::Announce(std::string_view what, const std::string& before)
{
    Say("step\t" + std::to_string(++m_step) + "\t" + std::string(what) + "\t" + before + "\t" +
        Digest() + "\n");
}

Status Writer::Import(std::size_t count)
{
    const std::filesystem::path csv = m_path.parent_path() / "CrashImport.csv";
    std::vector<std::uint64_t> counters;
    {
        std::ofstream out(csv, std::ios::binary | std::ios::trunc);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t counter = m_next++;
            const crash::MethodFields f = FieldsOf(counter);
            out << QuoteDelimitedValue(f.bells) << ',' << QuoteDelimitedValue(f.name) << ','
                << QuoteDelimitedValue(f.places) << ',' << QuoteDelimitedValue(f.group) << "\r\n";
            counters.push_back(counter);
        }
        if (!out.flush()) {
            return Status::Fail("cannot write " + csv.string());
        }
    }
    const std::string before = Digest();
    m_counters.insert(m_counters.end(), counters.begin(), counters.end());
    Announce("import " + std::to_string(count) + " records", before);
    const DelimitedReport report = m_table.AppendFromDelimited(csv);
    if (!report.status) {
        return report.status;
    }
    if (report.appended != count || !report.overWideLines.empty() ||
        !report.transliteratedLines.empty()) {
        return Status::Fail("the import appended " + std::to_string(report.appended) + " of " +
                            std::to_string(count) + " records");
    }
    return {};
}

Status Writer::ReplaceAll(std::size_t count)
{
    const std::string before = Digest();
    std::vector<std::vector<std::string>> rows;
    rows.reserve(count);
    m_counters.clear();
    for (std::size_t i = 0; i < count; ++i) {
        const crash::MethodFields f = FieldsOf(m_next);
        rows.push_back({f.bells, f.name, f.places, f.group});
        m_counters.push_back(m_next++);
    }
    Announce("replace all by " + std::to_string(count) + " records", before);
    return m_table.ReplaceAllRecords(rows);
}

Status Writer::Step()
{
    const std::string before = Digest();
    Status done;
    // A large table is packed or emptied first; otherwise a weighted choice, single-record
    // edits being the most common as they are in use.
    std::uint64_t choice = Pick(0, 99);
    if (m_counters.size() > kMaxRecords) {
        choice = LiveCount() > kMaxRecords / 2 ? 99 : 90;
    }
    if (choice < 72) {
        const Edit::Kind kind = choice < 30   ? Edit::Kind::Append
                                : choice < 52 ? Edit::Kind::Replace
                                              : Edit::Kind::Delete;
        const Edit edit = PlanEdit(kind);
        static constexpr std::string_view kNames[] = {"append", "replace", "delete"};
        Announce(
            std::string(kNames[static_cast<std::size_t>(edit.kind)]) + " record " +
                std::to_string(edit.kind == Edit::Kind::Append ? m_counters.size() : edit.recno) +
                (edit.kind == Edit::Kind::Delete ? "" : " counter " + std::to_string(edit.counter)),
            before);
        done = Apply(edit);
    } else if (choice < 78) {
        // Bulk: appends only, or a mix of edits, written once at the end.
        const bool appendsOnly = choice < 75;
        const std::size_t count = Pick(appendsOnly ? 50 : 10, appendsOnly ? 500 : 100);
        std::vector<Edit> edits;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t kind = appendsOnly ? 0 : Pick(0, 2);
            edits.push_back(PlanEdit(static_cast<Edit::Kind>(kind)));
        }
        Announce(std::string(appendsOnly ? "bulk append " : "bulk edit ") + std::to_string(count),
                 before);
        m_table.BeginBulkUpdate();
        for (const Edit& edit : edits) {
            if (done = Apply(edit); !done) {
                break;
            }
        }
        if (Status ended = m_table.EndBulkUpdate(); done) {
            done = ended;
        }
    } else if (choice < 82) {
        done = Import(Pick(20, 300));
    } else if (choice < 85) {
        done = ReplaceAll(Pick(0, 400));
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
        done =
            Status::Fail("the table holds " + std::to_string(m_table.RecordCount()) +
                         " records where " + std::to_string(m_counters.size()) + " were expected");
    }
    return done;
}

} // namespace
} // namespace tambrel

int main(int argc, char** argv)
{
    std::uint64_t seed = 0;
    const std::string_view seedText = argc == 3 ? argv[2] : "";
    if (argc != 3 || std::from_chars(seedText.data(), seedText.data() + seedText.size(), seed).ec !=
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
