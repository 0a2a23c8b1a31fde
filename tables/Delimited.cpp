#include "tables/Delimited.h"

namespace tambrel {

std::vector<std::string> SplitDelimitedLine(std::string_view line)
{
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    std::vector<std::string> values;
    std::string value;
    bool quoted = false;
    bool inQuotes = false;
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (inQuotes) {
            if (c != '"') {
                value += c;
            } else if (i + 1 < line.size() && line[i + 1] == '"') {
                value += '"';
                ++i;
            } else {
                inQuotes = false;
            }
        } else if (c == ',') {
            values.push_back(std::move(value));
            value.clear();
            quoted = false;
        } else if (c == '"' && !quoted && value.find_first_not_of(' ') == std::string::npos) {
            // An opening quote, perhaps after blanks: the blanks are not part of the value.
            value.clear();
            quoted = true;
            inQuotes = true;
        } else {
            value += c;
        }
    }
    values.push_back(std::move(value));
    return values;
}

void StripByteOrderMark(std::string& line)
{
    if (line.starts_with("\xEF\xBB\xBF")) {
        line.erase(0, 3);
    }
}

std::string QuoteDelimitedValue(std::string_view value)
{
    if (value.find_first_of(", \"") == std::string_view::npos) {
        return std::string(value);
    }
    std::string out = "\"";
    for (const char c : value) {
        out += c;
        if (c == '"') {
            out += '"';
        }
    }
    out += '"';
    return out;
}

} // namespace tambrel
