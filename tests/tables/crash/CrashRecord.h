#pragma once

// The method records CrashWriter writes. Every field follows from one counter written into the
// name, so a reader can tell a whole record from a torn one, or one holding parts of two.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tambrel::crash {

// Widths of kMethodLayout's fields, for padding what a cursor reads back.
inline constexpr std::size_t kBellsWidth = 2;
inline constexpr std::size_t kNameWidth = 60;
inline constexpr std::size_t kPlacesWidth = 98;
inline constexpr std::size_t kGroupWidth = 2;

inline constexpr std::string_view kNamePrefix = "Rec ";
inline constexpr std::size_t kCounterDigits = 9; // counters 0..999'999'999

struct MethodFields {
    std::string bells;
    std::string name;
    std::string places;
    std::string group;
};

// A small generator of its own, so that the fields never depend on the library's random
// distributions.
class FieldRandom {
public:
    explicit FieldRandom(std::uint64_t seed) : m_state(seed * 0x9E3779B97F4A7C15ULL + 1) {}
    std::uint64_t Next(std::uint64_t bound) // 0..bound-1
    {
        m_state = m_state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (m_state >> 33U) % bound;
    }

private:
    std::uint64_t m_state;
};

// The fields of record `counter`, unpadded, as the writer hands them to the cursor. Lengths and
// letter cases vary so that trailing blanks and the keys' upper-casing both matter.
inline MethodFields FieldsOf(std::uint64_t counter)
{
    FieldRandom random(counter);
    MethodFields fields;
    fields.bells = std::to_string(4 + counter % 13);

    char digits[kCounterDigits + 1] = {};
    std::snprintf(digits, sizeof digits, "%09llu", static_cast<unsigned long long>(counter));
    fields.name = std::string(kNamePrefix) + digits;
    const std::size_t tail = random.Next(kNameWidth - fields.name.size());
    if (tail > 0) {
        fields.name += ' ';
        for (std::size_t i = 0; i < tail; ++i) {
            fields.name += static_cast<char>((random.Next(2) == 0 ? 'a' : 'A') + random.Next(26));
        }
    }

    static constexpr std::string_view kPlaceSymbols = "1234567890ETx-.";
    const std::size_t places = 1 + random.Next(kPlacesWidth);
    for (std::size_t i = 0; i < places; ++i) {
        fields.places += kPlaceSymbols[random.Next(kPlaceSymbols.size())];
    }

    if (counter % 4 != 0) {
        for (std::size_t i = 0; i < kGroupWidth; ++i) {
            fields.group += static_cast<char>((random.Next(2) == 0 ? 'a' : 'A') + random.Next(26));
        }
    }
    return fields;
}

inline std::string Padded(std::string text, std::size_t width)
{
    text.resize(width, ' ');
    return text;
}

// The counter a name field names, or nothing when the field is not one the writer makes.
inline std::optional<std::uint64_t> CounterOf(std::string_view name)
{
    if (!name.starts_with(kNamePrefix) || name.size() < kNamePrefix.size() + kCounterDigits) {
        return std::nullopt;
    }
    const char* begin = name.data() + kNamePrefix.size();
    const char* end = begin + kCounterDigits;
    std::uint64_t counter = 0;
    const auto [ptr, ec] = std::from_chars(begin, end, counter);
    if (ec != std::errc{} || ptr != end) {
        return std::nullopt;
    }
    return counter;
}

// A record as a reader sees it: its number and the counter its fields encode.
using LiveRecord = std::pair<std::uint32_t, std::uint64_t>;

// What a reader can see of a table, in one line: the record count (deleted records included)
// and, through a hash, every live record's number and counter.
inline std::string Digest(std::size_t recordCount, const std::vector<LiveRecord>& live)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL; // FNV-1a
    auto mix = [&hash](std::uint64_t value) {
        for (int i = 0; i < 8; ++i) {
            hash ^= (value >> (8 * i)) & 0xFFU;
            hash *= 0x100000001b3ULL;
        }
    };
    mix(recordCount);
    for (const auto& [recno, counter] : live) {
        mix(recno);
        mix(counter);
    }
    char hex[17] = {};
    std::snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(hash));
    return "records=" + std::to_string(recordCount) + " live=" + std::to_string(live.size()) +
           " hash=" + hex;
}

} // namespace tambrel::crash
