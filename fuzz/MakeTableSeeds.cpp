// Writes the seed files of the table fuzzers: small method, calls and options tables made by the
// table engine, with their production indexes, and a few tables damaged the ways real files are
// (a stale record count, records past the count, slack after the end-of-file byte). Run it into
// an empty folder and copy what it writes to fuzz/seeds-dbf and fuzz/seeds-mdx.
#include "library/LibraryTables.h"
#include "tables/TDbf.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

namespace {

namespace fs = std::filesystem;
using tambrel::Status;
using tambrel::TDbf;

using Row = std::vector<std::string_view>;

const std::vector<Row> kMethods = {
    {"0", "TB_Method_Library", "FUZZ SEEDS", ""},
    {"5", "GRANDSIRE DOUBLES", "3.1.5.1.5.1.5.1.5.1", "A"},
    {"5", "PLAIN BOB DOUBLES", "5.1.5.1.5 LH2", "P"},
    {"6", "PLAIN BOB MINOR", "-1-1-1 LH2", "A"},
    {"7", "GRANDSIRE TRIPLES", "3.1.7.1.7.1.7.1.7.1.7.1.7.1", "A"},
    {"7", "STEDMAN TRIPLES", "3.1.7.3.1.3 LH1", "Z"},
    {"8", "BRISTOL SURPRISE MAJOR", "-5-4.5-5.36.4-4.5-4-1 LH1", "M"},
    {"8", "Cambridge Surprise Major", "-3-4-25-36-4-5-6-7 LH2", "B"},
    {"8", "DOUBLE NORWICH COURT BOB MAJOR", "-4-36-5-1 LH1", "K"},
    {"8", "KENT TREBLE BOB MAJOR", "34-34.1-2-1-2-1-2-1 LH1", "M"},
    {"8", "LITTLE BOB MAJOR", "-1-4 LH2", "E"},
    {"8", "YORKSHIRE SURPRISE MAJOR", "-3-4-5-6-2-3-4-7 LH2", "B"},
    {"9", "STEDMAN CATERS", "3.1.9.3.1.3 LH1", "Z"},
    {"12", "CAMBRIDGE SURPRISE MAXIMUS", "-3-4-25-36-47-58-69-70-8-9-0-E LH2", "B"},
};

bool Check(const Status& status)
{
    if (!status) {
        std::cerr << status.error << '\n';
    }
    return status.ok();
}

// Makes the table `name` in `work`, fills it with `rows` (values in field order) and deletes
// the records numbered in `deleted`; returns false with the reason on standard error.
bool MakeTable(const fs::path& work, const std::string& name, const tambrel::TableLayout& layout,
               const std::vector<tambrel::IndexDef>& tags, const std::vector<Row>& rows,
               const std::vector<std::uint32_t>& deleted)
{
    const fs::path path = work / (name + ".dbf");
    if (!Check(tambrel::CreateTable(path, layout))) {
        return false;
    }
    TDbf table(tags);
    table.SetDbfFileName(path);
    if (!Check(table.Open())) {
        return false;
    }
    table.BeginBulkUpdate();
    for (const Row& row : rows) {
        table.ClearRecord();
        for (std::size_t f = 0; f < row.size() && f < layout.size(); ++f) {
            if (!Check(table.Replace(layout[f].first, row[f]))) {
                return false;
            }
        }
        if (!Check(table.AppendRec())) {
            return false;
        }
    }
    for (const std::uint32_t recno : deleted) {
        if (!Check(table.Go(recno)) || !Check(table.DeleteRec())) {
            return false;
        }
    }
    return Check(table.EndBulkUpdate()) && Check(table.Close());
}

std::string ReadAll(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const fs::path& path, std::string_view bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    std::cout << path.string() << ": " << bytes.size() << " bytes\n";
}

void Put32(std::string& bytes, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFFU);
    }
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::cerr << "usage: make_table_seeds FOLDER\n";
        return 2;
    }
    const fs::path folder(argv[1]);
    const fs::path work = folder / "work";
    const fs::path dbf = folder / "seeds-dbf";
    const fs::path mdx = folder / "seeds-mdx";
    for (const fs::path& path : {work, dbf, mdx}) {
        fs::create_directories(path);
    }

    // Enough calls that both tags of the calls index need more than one leaf.
    std::vector<std::string> callText;
    for (int bells = 4; bells <= 16; ++bells) {
        for (int call = 1; call <= 11; ++call) {
            callText.push_back(std::to_string(bells));
            callText.push_back(std::to_string(call));
            callText.push_back(call % 2 == 0 ? "Single" : "Bob");
            callText.push_back(call % 2 == 0 ? "1234" : "14");
        }
    }
    std::vector<Row> calls;
    for (std::size_t i = 0; i + 3 < callText.size(); i += 4) {
        calls.push_back({callText[i], callText[i + 1], callText[i + 2], callText[i + 3], ""});
    }
    const std::vector<Row> options = {{"VIEW", "GRID"}, {"BELLS", "8"}, {"LIBRARY", "MAIN"}};

    if (!MakeTable(work, "methods", tambrel::kMethodLayout, tambrel::kMethodTags, kMethods, {4}) ||
        !MakeTable(work, "calls", tambrel::kCallsLayout, tambrel::kCallsTags, calls, {2, 30}) ||
        !MakeTable(work, "empty", tambrel::kMethodLayout, tambrel::kMethodTags, {}, {}) ||
        !MakeTable(work, "options", tambrel::kOptionsLayout, {}, options, {})) {
        return 1;
    }
    const std::string methods = ReadAll(work / "methods.dbf");
    const std::string optionsTable = ReadAll(work / "options.dbf");
    Write(dbf / "methods.dbf", methods);
    Write(dbf / "calls.dbf", ReadAll(work / "calls.dbf"));
    Write(dbf / "empty.dbf", ReadAll(work / "empty.dbf"));
    Write(dbf / "options.dbf", optionsTable);
    Write(mdx / "methods.mdx", ReadAll(work / "methods.mdx"));
    Write(mdx / "calls.mdx", ReadAll(work / "calls.mdx"));
    Write(mdx / "empty.mdx", ReadAll(work / "empty.mdx"));

    // The header counts more records than the file holds.
    std::string damaged = methods;
    Put32(damaged, 4, static_cast<std::uint32_t>(kMethods.size() + 5));
    Write(dbf / "methods-count-high.dbf", damaged);
    // Two records past the count and no end-of-file byte after it: a writer stopped early.
    Put32(damaged, 4, static_cast<std::uint32_t>(kMethods.size() - 2));
    Write(dbf / "methods-count-low.dbf", damaged.substr(0, damaged.size() - 1));
    // Slack after the end-of-file byte belongs to no record.
    damaged = optionsTable;
    Put32(damaged, 4, 2);
    damaged[damaged.size() - 1 - 46] = 0x1A;
    Write(dbf / "options-slack.dbf", damaged);
    // Code page 437 as xbase64 names it, and a lower-case field type.
    damaged = optionsTable;
    damaged[29] = 0x1B;
    damaged[32 + 11] = 'c';
    Write(dbf / "options-cp437.dbf", damaged);

    fs::remove_all(work);
    return 0;
}
