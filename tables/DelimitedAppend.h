#pragma once

#include "tables/Status.h"
#include "tables/TDbf.h"

#include <cstddef>
#include <filesystem>
#include <string>
#include <vector>

namespace tambrel {

// What AppendFromDelimited did. Lines are counted from 1; each list keeps only the first
// kReportedLines of its kind, so that a file of any length is reported in little memory.
struct DelimitedReport {
    static constexpr std::size_t kReportedLines = 100;

    Status status;
    std::size_t appended = 0;
    std::size_t firstLine = 0;                     // the line of the first record; 0: none
    std::size_t overWide = 0;                      // skipped: a value wider than its field
    std::size_t malformed = 0;                     // skipped: values not one to a field
    std::size_t control = 0;                       // skipped: a control character in a value
    std::size_t transliterated = 0;                // values stored with letters replaced
    std::vector<std::size_t> overWideLines;        // of the records skipped as too wide
    std::vector<std::size_t> malformedLines;       // of those skipped as not whole records
    std::vector<std::size_t> controlLines;         // of those skipped for a control character
    std::vector<std::size_t> transliteratedLines;  // of those appended with letters replaced
    std::vector<std::string> transliteratedValues; // those values as the file gave them
    // The first line skipped, or 0 when none was.
    std::size_t FirstSkippedLine() const;
};

// Appends the records of a comma-separated text file (a regular file, read line by line) to an
// open table of character fields: one record a line with one value a field; a line with more
// or fewer values, an open quote, or a value wider than its field is skipped and reported. All
// or nothing: when the file cannot be read to its end, or holds more than a table can, nothing
// is appended.
DelimitedReport AppendFromDelimited(TDbf& table, const std::filesystem::path& path);

} // namespace tambrel
