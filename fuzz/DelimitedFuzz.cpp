// Fuzz target for the reader of comma-separated import files. The input's first byte sets the
// size of the pieces the text is read in and the longest line held; the rest is the file.
// Properties: nothing crashes; the lines read give back the text, each cut only when longer
// than the limit; a record line gives a whole record of the method layout, and writing that
// record's values out as a line again gives the same record; a line that gives none says why
// truly (blank, too wide, or not one value a field).
#include "engine/TextFunctions.h"
#include "fuzz/FuzzCheck.h"
#include "library/LibraryTables.h"
#include "tables/CodePage.h"
#include "tables/DbfFile.h"
#include "tables/Delimited.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tambrel::DelimitedLine;

struct Layout {
    tambrel::DbfFile table;
    tambrel::CodePage codePage;
};

// Made once: iconv set-up costs far more than a run.
Layout& Methods()
{
    static const std::unique_ptr<Layout> layout = [] {
        std::string error;
        std::optional<tambrel::DbfFile> table =
            tambrel::DbfFile::Create(tambrel::kMethodLayout, error);
        TAMBREL_REQUIRE(table.has_value());
        auto made = std::make_unique<Layout>();
        made->table = std::move(*table);
        return made;
    }();
    return *layout;
}

// The text of a stored field, as a table reads it back.
std::string FieldValue(Layout& layout, const std::string& record, const tambrel::FieldDef& field)
{
    return tambrel::TrimRight(layout.codePage.FromOem(std::string_view(record).substr(
        static_cast<std::size_t>(field.offset), static_cast<std::size_t>(field.width))));
}

bool HasControl(const std::string& value)
{
    return std::any_of(value.begin(), value.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; });
}

void CheckRecord(Layout& layout, std::string_view line, bool overlong)
{
    const std::vector<tambrel::FieldDef>& fields = layout.table.fields;
    const auto length = static_cast<std::size_t>(layout.table.recordLength);
    std::string record;
    std::vector<std::string> transliterated;
    const DelimitedLine kind = tambrel::MakeDelimitedRecord(
        line, overlong, fields, length, layout.codePage, record, transliterated);
    TAMBREL_REQUIRE(record.size() == length);
    TAMBREL_REQUIRE(record[0] == ' ');
    bool quoteOpen = false;
    const std::vector<std::string> values = tambrel::SplitDelimitedLine(line, &quoteOpen);
    const std::string_view bare = line.ends_with('\r') ? line.substr(0, line.size() - 1) : line;
    switch (kind) {
    case DelimitedLine::Blank:
        TAMBREL_REQUIRE(!overlong && tambrel::Trim(bare).empty());
        TAMBREL_REQUIRE(record == std::string(length, ' '));
        return;
    case DelimitedLine::Malformed:
        TAMBREL_REQUIRE(!overlong && (quoteOpen || values.size() != fields.size()));
        return;
    case DelimitedLine::OverWide: {
        if (overlong) {
            return;
        }
        TAMBREL_REQUIRE(!quoteOpen && values.size() == fields.size());
        bool wide = false;
        for (std::size_t f = 0; f < fields.size(); ++f) {
            wide = wide ||
                   tambrel::Trim(layout.codePage.ToOem(tambrel::Trim(values[f])).bytes).size() >
                       static_cast<std::size_t>(fields[f].width);
        }
        TAMBREL_REQUIRE(wide);
        return;
    }
    case DelimitedLine::Control:
        TAMBREL_REQUIRE(!overlong && !quoteOpen && values.size() == fields.size());
        TAMBREL_REQUIRE(std::any_of(values.begin(), values.end(), HasControl));
        return;
    case DelimitedLine::Record:
        break;
    }
    TAMBREL_REQUIRE(!overlong && !quoteOpen && values.size() == fields.size());
    TAMBREL_REQUIRE(std::none_of(values.begin(), values.end(), HasControl));
    TAMBREL_REQUIRE(transliterated.size() <= fields.size());
    // The values read back, written as a line again, make the same record.
    std::string again;
    for (std::size_t f = 0; f < fields.size(); ++f) {
        if (f > 0) {
            again += ',';
        }
        again += tambrel::QuoteDelimitedValue(FieldValue(layout, record, fields[f]));
    }
    std::string second;
    std::vector<std::string> ignored;
    TAMBREL_REQUIRE(tambrel::MakeDelimitedRecord(again, false, fields, length, layout.codePage,
                                                 second, ignored) == DelimitedLine::Record);
    TAMBREL_REQUIRE(second == record);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0) {
        return 0;
    }
    const std::size_t piece = data[0] % 16U + 1U;            // 1..16 bytes a read
    const std::size_t maxLength = (data[0] >> 4U) * 24U + 1; // 1..361 bytes a line
    const std::string_view text(reinterpret_cast<const char*>(data) + 1, size - 1);
    std::size_t at = 0;
    tambrel::LineReader reader(
        [&](char* buffer, std::size_t room) {
            const std::size_t n = std::min({piece, room, text.size() - at});
            text.copy(buffer, n, at);
            at += n;
            return static_cast<std::ptrdiff_t>(n);
        },
        maxLength);

    Layout& layout = Methods();
    std::size_t from = 0; // where the next line begins in the text
    std::string line;
    bool overlong = false;
    while (reader.Next(line, overlong)) {
        TAMBREL_REQUIRE(from < text.size());
        const std::size_t newline = std::min(text.find('\n', from), text.size());
        const std::string_view whole = text.substr(from, newline - from);
        TAMBREL_REQUIRE(overlong == (whole.size() > maxLength));
        TAMBREL_REQUIRE(line == whole.substr(0, maxLength));
        from = newline + 1;
        if (reader.LineNumber() == 1) {
            tambrel::StripByteOrderMark(line);
        }
        CheckRecord(layout, line, overlong);
    }
    TAMBREL_REQUIRE(!reader.Failed());
    TAMBREL_REQUIRE(from >= text.size()); // every line was given
    return 0;
}
