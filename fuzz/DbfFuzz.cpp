// Fuzz target for the dBase table reader. The input is a whole .dbf file image. Properties:
// nothing crashes; a refused file says why; an accepted table has contiguous fields that fill
// its record length, holds whole records taken from the file as they are, and corrects its
// record count only with a warning; writing it out and reading it back gives the same table;
// key expressions over its first field evaluate on every record to the field's bytes.
#include "fuzz/FuzzCheck.h"
#include "tables/CodePage.h"
#include "tables/DbfFile.h"
#include "tables/Expression.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace {

using tambrel::DbfFile;

std::size_t Read16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::size_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<std::size_t>(static_cast<unsigned char>(bytes[at + 1])) << 8U;
}

std::size_t Read32(std::string_view bytes, std::size_t at)
{
    return Read16(bytes, at) | Read16(bytes, at + 2) << 16U;
}

void CheckShape(const DbfFile& table, std::string_view bytes)
{
    TAMBREL_REQUIRE(table.recordLength >= 2);
    const auto length = static_cast<std::size_t>(table.recordLength);
    TAMBREL_REQUIRE(table.records.size() % length == 0);
    TAMBREL_REQUIRE(!table.fields.empty());
    int end = 1; // the deletion flag comes first
    for (const tambrel::FieldDef& field : table.fields) {
        TAMBREL_REQUIRE(!field.name.empty() && field.name.size() <= 10);
        TAMBREL_REQUIRE(field.name.find('\0') == std::string::npos);
        TAMBREL_REQUIRE(field.width >= 1 && field.width <= 255);
        TAMBREL_REQUIRE(field.offset == end);
        end += field.width;
        TAMBREL_REQUIRE(end <= table.recordLength);
    }
    TAMBREL_REQUIRE(end == table.recordLength);
    TAMBREL_REQUIRE(Read16(bytes, 10) == length);

    // The records are the file's own bytes from the header length on, and only whole ones.
    const std::size_t headerLength = Read16(bytes, 8);
    const std::size_t available = (bytes.size() - headerLength) / length;
    const std::size_t headerCount = Read32(bytes, 4);
    const std::size_t count = table.RecordCount();
    TAMBREL_REQUIRE(count <= available);
    if (headerCount >= available) {
        TAMBREL_REQUIRE(count == available);
    } else {
        // Whole records a writer added past the count are kept, up to the first that is not.
        TAMBREL_REQUIRE(count >= headerCount);
        if (count > headerCount && count < available) {
            const char next = bytes[headerLength + count * length];
            TAMBREL_REQUIRE(next != ' ' && next != '*');
        }
    }
    TAMBREL_REQUIRE(table.warnings.empty() == (table.RecordCount() == headerCount));
    TAMBREL_REQUIRE(std::string_view(table.records.data(), table.records.size()) ==
                    bytes.substr(headerLength, table.records.size()));
}

void CheckRoundTrip(const DbfFile& table)
{
    const std::string image = table.Serialize();
    TAMBREL_REQUIRE(image.size() ==
                    static_cast<std::size_t>(table.HeaderLength()) + table.records.size() + 1);
    std::string error;
    const std::optional<DbfFile> again = DbfFile::Parse(image, error);
    TAMBREL_REQUIRE(again.has_value());
    TAMBREL_REQUIRE(again->warnings.empty()); // what we write needs no mending
    TAMBREL_REQUIRE(again->languageDriver == table.languageDriver);
    TAMBREL_REQUIRE(again->hasProductionIndex == table.hasProductionIndex);
    TAMBREL_REQUIRE(again->recordLength == table.recordLength);
    TAMBREL_REQUIRE(again->fields.size() == table.fields.size());
    for (std::size_t i = 0; i < table.fields.size(); ++i) {
        TAMBREL_REQUIRE(again->fields[i].name == table.fields[i].name);
        TAMBREL_REQUIRE(again->fields[i].type == table.fields[i].type);
        TAMBREL_REQUIRE(again->fields[i].width == table.fields[i].width);
        TAMBREL_REQUIRE(again->fields[i].offset == table.fields[i].offset);
    }
    TAMBREL_REQUIRE(again->records == table.records);
}

// A name the expression parser reads as one field name, as dBase field names are.
bool IsPlainName(std::string_view name)
{
    if (name.empty() ||
        (std::isalpha(static_cast<unsigned char>(name[0])) == 0 && name[0] != '_')) {
        return false;
    }
    for (const char c : name) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '_') {
            return false;
        }
    }
    return true;
}

const tambrel::CodePage& CodePageOf(std::uint8_t driver)
{
    // One per driver, made once: iconv set-up costs far more than a run.
    static std::array<std::unique_ptr<tambrel::CodePage>, 256> pages;
    std::unique_ptr<tambrel::CodePage>& page = pages[driver];
    if (!page) {
        page = std::make_unique<tambrel::CodePage>(driver);
    }
    return *page;
}

void CheckKeys(const DbfFile& table, std::string_view bytes)
{
    using tambrel::Expression;
    const tambrel::FieldDef& first = table.fields.front();
    const std::array<std::uint8_t, 256>& upper = CodePageOf(table.languageDriver).UpperTable();
    const int count = static_cast<unsigned char>(bytes.back()) % 254 + 1;
    const bool plain = IsPlainName(first.name);

    std::string error;
    std::optional<Expression> field = Expression::ParseKey(first.name, table, error);
    std::optional<Expression> upperCase =
        Expression::ParseKey("Upper(" + first.name + ")", table, error);
    std::optional<Expression> left = Expression::ParseKey(
        "Left(" + first.name + ", " + std::to_string(count) + ")", table, error);
    if (plain) {
        // The first field is the one its name finds, so these must all be accepted.
        TAMBREL_REQUIRE(field && upperCase && left);
        TAMBREL_REQUIRE(field->Width() == first.width && upperCase->Width() == first.width);
        TAMBREL_REQUIRE(left->Width() == count);
    }

    const auto width = static_cast<std::size_t>(first.width);
    for (std::size_t r = 1; r <= table.RecordCount(); ++r) {
        const char* record = table.Record(r);
        const std::string_view value(record + first.offset, width);
        for (const std::optional<Expression>* expression : {&field, &upperCase, &left}) {
            if (*expression) {
                TAMBREL_REQUIRE((*expression)->Key(record, upper).size() ==
                                static_cast<std::size_t>((*expression)->Width()));
            }
        }
        if (!plain) {
            continue;
        }
        TAMBREL_REQUIRE(field->Key(record, upper) == value);
        const std::string upperKey = upperCase->Key(record, upper);
        for (std::size_t i = 0; i < width; ++i) {
            TAMBREL_REQUIRE(static_cast<unsigned char>(upperKey[i]) ==
                            upper[static_cast<unsigned char>(value[i])]);
        }
        const std::string leftKey = left->Key(record, upper);
        const std::size_t kept = std::min(width, leftKey.size());
        TAMBREL_REQUIRE(leftKey.compare(0, kept, value.substr(0, kept)) == 0);
        TAMBREL_REQUIRE(leftKey.find_first_not_of(' ', kept) == std::string::npos);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::string error;
    const std::optional<DbfFile> table = DbfFile::Parse(bytes, error);
    if (!table) {
        TAMBREL_REQUIRE(!error.empty());
        return 0;
    }
    TAMBREL_REQUIRE(error.empty());
    CheckShape(*table, bytes);
    CheckRoundTrip(*table);
    CheckKeys(*table, bytes);
    return 0;
}
