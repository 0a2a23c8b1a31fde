#include "tables/Delimited.h"

#include "engine/TextFunctions.h"

#include <algorithm>
#include <cstring>

namespace tambrel {

std::vector<std::string> SplitDelimitedLine(std::string_view line, bool* quoteOpen)
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
    if (quoteOpen != nullptr) {
        *quoteOpen = inQuotes;
    }
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
    // A carriage return is quoted too: last on a line it would read as a Windows line end.
    if (value.find_first_of(", \"\r") == std::string_view::npos) {
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

LineReader::LineReader(Source source, std::size_t maxLength)
    : m_source(std::move(source)), m_maxLength(std::max<std::size_t>(maxLength, 1)),
      m_buffer(64U << 10U)
{
}

bool LineReader::Fill()
{
    if (m_atEnd || m_failed) {
        return false;
    }
    m_begin = 0;
    m_end = 0;
    const std::ptrdiff_t n = m_source(m_buffer.data(), m_buffer.size());
    if (n < 0) {
        m_failed = true;
        return false;
    }
    if (n == 0) {
        m_atEnd = true;
        return false;
    }
    m_end = std::min(static_cast<std::size_t>(n), m_buffer.size());
    return true;
}

bool LineReader::Next(std::string& line, bool& overlong)
{
    line.clear();
    overlong = false;
    bool any = false; // a byte of this line was read, or its end
    for (;;) {
        if (m_begin == m_end && !Fill()) {
            if (m_failed || !any) {
                return false;
            }
            ++m_line; // a last line without its "\n"
            return true;
        }
        any = true;
        const char* from = m_buffer.data() + m_begin;
        const auto* newline = static_cast<const char*>(std::memchr(from, '\n', m_end - m_begin));
        const std::size_t take =
            newline != nullptr ? static_cast<std::size_t>(newline - from) : m_end - m_begin;
        const std::size_t room = m_maxLength - std::min(m_maxLength, line.size());
        if (take > room) {
            overlong = true;
        }
        line.append(from, std::min(take, room));
        m_begin += take;
        if (newline != nullptr) {
            ++m_begin;
            ++m_line;
            return true;
        }
    }
}

DelimitedLine MakeDelimitedRecord(std::string_view line, bool overlong,
                                  const std::vector<FieldDef>& fields, std::size_t recordLength,
                                  CodePage& codePage, std::string& record,
                                  std::vector<std::string>& transliterated)
{
    record.assign(recordLength, ' ');
    if (overlong) {
        return DelimitedLine::OverWide;
    }
    if (Trim(line.ends_with('\r') ? line.substr(0, line.size() - 1) : line).empty()) {
        return DelimitedLine::Blank;
    }
    bool quoteOpen = false;
    const std::vector<std::string> values = SplitDelimitedLine(line, &quoteOpen);
    if (quoteOpen || values.size() != fields.size()) {
        return DelimitedLine::Malformed;
    }
    for (const std::string& value : values) {
        if (std::any_of(value.begin(), value.end(), [](char c) {
                return static_cast<unsigned char>(c) < 0x20 || c == '\x7F';
            })) {
            return DelimitedLine::Control;
        }
    }
    const std::size_t before = transliterated.size();
    for (std::size_t f = 0; f < fields.size(); ++f) {
        const FieldDef& def = fields[f];
        std::string value = Trim(values[f]);
        CodePage::Encoded encoded = codePage.ToOem(value);
        // A letter with no look of its own (a zero-width space) becomes nothing, and could
        // leave a blank at either end.
        encoded.bytes = Trim(encoded.bytes);
        if (encoded.bytes.size() > static_cast<std::size_t>(def.width) ||
            static_cast<std::size_t>(def.offset + def.width) > recordLength) {
            transliterated.resize(before);
            record.assign(recordLength, ' ');
            return DelimitedLine::OverWide;
        }
        if (encoded.transliterated) {
            transliterated.push_back(std::move(value));
        }
        std::memcpy(record.data() + def.offset, encoded.bytes.data(), encoded.bytes.size());
    }
    return DelimitedLine::Record;
}

} // namespace tambrel
