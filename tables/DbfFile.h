#pragma once

#include "tables/CodePage.h"
#include "tables/Status.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

struct FieldDef {
    std::string name; // upper case, at most 10 characters
    char type = 'C';
    int width = 0;  // bytes
    int offset = 0; // in the record, after the deletion flag
};

// A dBase IV table (version 0x03, no memo) held in memory: its header facts, field
// descriptors and fixed-length records with their deletion flags.
struct DbfFile {
    std::uint8_t languageDriver = kLanguageDriver850;
    bool hasProductionIndex = false; // header byte 28
    std::vector<FieldDef> fields;
    int recordLength = 1;              // deletion flag + field widths
    std::vector<char> records;         // recordCount * recordLength bytes
    std::vector<std::string> warnings; // what reading found and mended

    std::size_t RecordCount() const
    {
        return records.size() / static_cast<std::size_t>(recordLength);
    }
    int HeaderLength() const { return 32 + 32 * static_cast<int>(fields.size()) + 1; }
    const char* Record(std::size_t recno) const // 1-based
    {
        return records.data() + (recno - 1) * static_cast<std::size_t>(recordLength);
    }
    char* Record(std::size_t recno)
    {
        return records.data() + (recno - 1) * static_cast<std::size_t>(recordLength);
    }
    bool IsDeleted(std::size_t recno) const { return Record(recno)[0] == '*'; }
    int FieldIndex(std::string_view name) const; // any case; -1 when there is none

    // A table of character fields (name, width) with no records.
    static std::optional<DbfFile> Create(const std::vector<std::pair<std::string, int>>& layout,
                                         std::string& error);

    // Reads a whole file image. A header count that disagrees with the whole records present
    // is corrected to them, with a warning (the records' repair); a header length that
    // disagrees with the fields, a record that does not begin with a blank or "*", and
    // anything else unreadable is an error: damage is refused, never reinterpreted.
    static std::optional<DbfFile> Parse(std::string_view bytes, std::string& error);

    // The file image: header dated today, descriptors, records and the end-of-file byte.
    std::string Serialize() const;
};

} // namespace tambrel
