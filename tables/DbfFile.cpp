#include "tables/DbfFile.h"
#include "tables/Bytes.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <ctime>

namespace tambrel {

namespace {

constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kDescriptorSize = 32;
constexpr char kHeaderEnd = 0x0D;
constexpr char kEndOfFile = 0x1A;

std::string Upper(std::string_view text)
{
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

} // namespace

int DbfFile::FieldIndex(std::string_view name) const
{
    const std::string wanted = Upper(name);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        if (fields[i].name == wanted) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

std::optional<DbfFile> DbfFile::Create(const std::vector<std::pair<std::string, int>>& layout,
                                       std::string& error)
{
    DbfFile file;
    int offset = 1;
    for (const auto& [name, width] : layout) {
        if (name.empty() || name.size() > 10 || width < 1 || width > 254) {
            error =
                "A field needs a name of 1 to 10 letters and a width of 1 to 254: " + name + ".";
            return std::nullopt;
        }
        file.fields.push_back(FieldDef{Upper(name), 'C', width, offset});
        offset += width;
    }
    if (file.fields.empty() || file.fields.size() > 255) {
        error = "A table needs 1 to 255 fields.";
        return std::nullopt;
    }
    file.recordLength = offset;
    return file;
}

std::optional<DbfFile> DbfFile::Parse(std::string_view bytes, std::string& error)
{
    if (bytes.size() < kHeaderSize + 1) {
        error = "The file is too short to be a dBase table.";
        return std::nullopt;
    }
    const auto version = static_cast<unsigned char>(bytes[0]);
    if ((version & 0x07U) != 0x03U) {
        error = "The file is not a dBase III or IV table (version byte " + std::to_string(version) +
                ").";
        return std::nullopt;
    }
    DbfFile file;
    const std::uint32_t headerCount = Get32(bytes, 4);
    const std::size_t headerLength = Get16(bytes, 8);
    const std::size_t recordLength = Get16(bytes, 10);
    file.hasProductionIndex = (bytes[28] & 0x01) != 0;
    file.languageDriver = static_cast<std::uint8_t>(bytes[29]);
    if (headerLength < kHeaderSize + kDescriptorSize + 1 || headerLength > bytes.size() ||
        recordLength < 2) {
        error = "The table's header is damaged (header or record length).";
        return std::nullopt;
    }

    int offset = 1;
    std::size_t at = kHeaderSize;
    for (; at + kDescriptorSize <= headerLength; at += kDescriptorSize) {
        if (bytes[at] == kHeaderEnd) {
            break;
        }
        const std::string_view raw = bytes.substr(at, 11);
        const std::string name(raw.substr(0, std::min(raw.find('\0'), std::size_t{10})));
        const char type =
            static_cast<char>(std::toupper(static_cast<unsigned char>(bytes[at + 11])));
        const int width = static_cast<unsigned char>(bytes[at + 16]);
        if (name.empty() || width == 0) {
            error = "The table's field list is damaged.";
            return std::nullopt;
        }
        if (type == 'M' || type == 'B' || type == 'G') {
            error = "The table has a memo field (" + name + "), which is not supported.";
            return std::nullopt;
        }
        file.fields.push_back(FieldDef{Upper(name), type, width, offset});
        offset += width;
    }
    if (file.fields.empty() || static_cast<std::size_t>(offset) != recordLength) {
        error = "The table's field list does not match its record length.";
        return std::nullopt;
    }
    // The header ends at its terminator. Some writers leave blank (NUL) bytes after it; any
    // other byte there means the header length is wrong, and every record would be read
    // shifted.
    const std::size_t described = at + 1;
    if (at >= headerLength || bytes[at] != kHeaderEnd ||
        bytes.substr(described, headerLength - described).find_first_not_of('\0') !=
            std::string_view::npos) {
        error = "The table's header length (" + std::to_string(headerLength) +
                ") disagrees with its " + std::to_string(file.fields.size()) + " fields (" +
                std::to_string(described) + ").";
        return std::nullopt;
    }
    file.recordLength = offset;

    const auto flagAt = [&](std::size_t record) { // 1-based
        return bytes[headerLength + (record - 1) * recordLength];
    };
    const auto whole = [](char flag) { return flag == ' ' || flag == '*'; };
    const std::size_t available = (bytes.size() - headerLength) / recordLength;
    std::size_t count = headerCount;
    if (count > available) {
        file.warnings.push_back("The table's header counts " + std::to_string(headerCount) +
                                " records but the file holds " + std::to_string(available) +
                                " whole records.");
        count = available;
    } else if (count < available) {
        // Records past the count with no end-of-file byte after the count: a writer added them
        // and stopped before raising the count, and every whole one is kept. Bytes after 0x1A
        // are another writer's slack and are ignored.
        const std::size_t end = headerLength + count * recordLength;
        if (end < bytes.size() && bytes[end] != kEndOfFile) {
            std::size_t found = count;
            while (found < available && whole(flagAt(found + 1))) {
                ++found;
            }
            if (found > count) {
                file.warnings.push_back("The table's header counts " + std::to_string(headerCount) +
                                        " records but the file holds " + std::to_string(found) +
                                        " whole records.");
                count = found;
            }
        }
    }
    for (std::size_t r = 1; r <= count; ++r) {
        if (!whole(flagAt(r))) {
            error = "Record " + std::to_string(r) + " is damaged: it begins with the byte " +
                    std::to_string(static_cast<unsigned char>(flagAt(r))) +
                    ", where a blank or \"*\" marks a record.";
            return std::nullopt;
        }
    }
    const std::string_view data = bytes.substr(headerLength, count * recordLength);
    file.records.assign(data.begin(), data.end());
    return file;
}

std::string DbfFile::Serialize() const
{
    const std::size_t headerLength = static_cast<std::size_t>(HeaderLength());
    std::string out(headerLength, '\0');
    out[0] = 0x03;
    const std::time_t now = std::time(nullptr);
    std::tm date{};
    localtime_r(&now, &date);
    out[1] = static_cast<char>(date.tm_year % 256);
    out[2] = static_cast<char>(date.tm_mon + 1);
    out[3] = static_cast<char>(date.tm_mday);
    Put32(out, 4, static_cast<std::uint32_t>(RecordCount()));
    Put16(out, 8, static_cast<std::uint16_t>(headerLength));
    Put16(out, 10, static_cast<std::uint16_t>(recordLength));
    out[28] = hasProductionIndex ? 0x01 : 0x00;
    out[29] = static_cast<char>(languageDriver);
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t at = kHeaderSize + i * kDescriptorSize;
        std::memcpy(out.data() + at, fields[i].name.data(),
                    std::min(fields[i].name.size(), std::size_t{10}));
        out[at + 11] = fields[i].type;
        out[at + 16] = static_cast<char>(fields[i].width);
    }
    out[headerLength - 1] = kHeaderEnd;
    out.append(records.data(), records.size());
    out += kEndOfFile;
    return out;
}

} // namespace tambrel
