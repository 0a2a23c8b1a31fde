#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// Splits one line of a comma-separated import file into its values. A value may be enclosed
// in double quotes, which is how values holding commas or blanks are written; inside quotes
// a doubled quote stands for one. Blanks outside quotes are kept for the caller to trim, and a
// trailing carriage return (a file written on Windows) is dropped.
std::vector<std::string> SplitDelimitedLine(std::string_view line);

// Drops the UTF-8 byte order mark that some editors put at the start of a file's first line.
void StripByteOrderMark(std::string& line);

// Writes a value for such a line, in quotes when it holds a comma, a blank or a quote.
std::string QuoteDelimitedValue(std::string_view value);

} // namespace tambrel
