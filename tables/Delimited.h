#pragma once

#include "tables/CodePage.h"
#include "tables/DbfFile.h"

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// Splits one line of a comma-separated import file into its values. A value may be enclosed
// in double quotes, which is how values holding commas or blanks are written; inside quotes
// a doubled quote stands for one. Blanks outside quotes are kept for the caller to trim, and a
// trailing carriage return (a file written on Windows) is dropped. `quoteOpen`, when given, is
// set when the line ends inside quotes (the last value then runs to the end of the line).
std::vector<std::string> SplitDelimitedLine(std::string_view line, bool* quoteOpen = nullptr);

// Drops the UTF-8 byte order mark that some editors put at the start of a file's first line.
void StripByteOrderMark(std::string& line);

// Writes a value for such a line, in quotes when it holds a comma, a blank, a quote or a
// carriage return.
std::string QuoteDelimitedValue(std::string_view value);

// The longest line that is held to be read as a record: far more than any record of the
// library tables takes, with quotes, blanks and four-byte letters. A longer line is never held
// whole; it is too wide for any record.
inline constexpr std::size_t kMaxDelimitedLine = 64U << 10U;

// Cuts text that is read piece by piece into lines ("\n" ends a line; a "\r" before it stays
// for SplitDelimitedLine to drop), holding at most `maxLength` bytes of one line: a longer
// line comes back cut to that length and marked overlong, the rest of it read and dropped.
// So a file of any size is read in the memory of one buffer and one line.
class LineReader {
public:
    // Reads up to `size` bytes into `buffer`: how many, 0 at the end of the text, -1 on an
    // error.
    using Source = std::function<std::ptrdiff_t(char* buffer, std::size_t size)>;

    explicit LineReader(Source source, std::size_t maxLength = kMaxDelimitedLine);

    // The next line, true; false at the end of the text or on an error (Failed()). A last line
    // without its "\n" counts; an empty text has no lines.
    bool Next(std::string& line, bool& overlong);
    bool Failed() const { return m_failed; }
    std::size_t LineNumber() const { return m_line; } // of the line last returned, from 1

private:
    bool Fill(); // false at the end or on an error

    Source m_source;
    std::size_t m_maxLength;
    std::vector<char> m_buffer;
    std::size_t m_begin = 0; // unread bytes are m_buffer[m_begin, m_end)
    std::size_t m_end = 0;
    bool m_atEnd = false;
    bool m_failed = false;
    std::size_t m_line = 0;
};

// What one line of a delimited file gives a table.
enum class DelimitedLine {
    Blank,     // nothing but blanks: no record, and not counted
    Record,    // a record, in `record`
    OverWide,  // a value wider than its field (or a line longer than any record): skipped
    Malformed, // more or fewer values than the table has fields, or a quote left open: skipped
    Control,   // a value holds a control character (NUL, ESC, ...), which no name or notation
               // has: skipped
};

// Makes the record of one line for a table of character `fields` (`recordLength` bytes with
// the deletion flag, which is left blank): each value in field order without the blanks around
// it, in the table's code page. A value is never cut, since a cut value could read as
// another, valid one. Values whose letters the code page lacks are added to `transliterated`
// as the line gave them.
DelimitedLine MakeDelimitedRecord(std::string_view line, bool overlong,
                                  const std::vector<FieldDef>& fields, std::size_t recordLength,
                                  CodePage& codePage, std::string& record,
                                  std::vector<std::string>& transliterated);

} // namespace tambrel
