#pragma once

// The method records CrashWriter writes. Every field follows from the counter in the name, so
// that a reader can tell a whole record from a torn one, or one holding parts of two.

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tambrel::crash {

struct MethodFields {
    std::string bells, name, places, group;
};

// Lengths and letter cases vary so that padding and the keys' upper-casing both matter. The
// generator is our own so that the fields never depend on the library's distributions.
inline MethodFields FieldsOf(std::uint64_t counter)
{
    std::uint64_t state = counter * 0x9E3779B97F4A7C15ULL + 1;
    auto next = [&state](std::uint64_t bound) {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return (state >> 33U) % bound;
    };
    auto letter = [&next] { return static_cast<char>((next(2) == 0 ? 'a' : 'A') + next(26)); };

    MethodFields fields;
    fields.bells = std::to_string(4 + counter % 13);
    char name[16] = {};
    std::snprintf(name, sizeof name, "Rec %09llu ", static_cast<unsigned long long>(counter));
    fields.name = name;
    for (std::uint64_t n = next(47); n > 0; --n) {
        fields.name += letter();
    }
    static constexpr std::string_view kPlaceSymbols = "1234567890ETx-.";
    for (std::uint64_t n = 1 + next(98); n > 0; --n) {
        fields.places += kPlaceSymbols[next(kPlaceSymbols.size())];
    }
    if (counter % 4 != 0) {
        fields.group = {letter(), letter()};
    }
    return fields;
}

// The counter a name field names, or nothing when the writer never made that name.
inline std::optional<std::uint64_t> CounterOf(std::string_view name)
{
    std::uint64_t counter = 0;
    if (!name.starts_with("Rec ") || name.size() < 13 ||
        std::from_chars(name.data() + 4, name.data() + 13, counter).ptr != name.data() + 13) {
        return std::nullopt;
    }
    return counter;
}

// What a reader can see of a table, in one line: the record count (deleted records included)
// and, through a hash, every live record's number and counter.
inline std::string Digest(std::size_t recordCount,
                          const std::vector<std::pair<std::uint32_t, std::uint64_t>>& live)
{
    std::uint64_t hash = 0xcbf29ce484222325ULL; // FNV-1a
    auto mix = [&hash](std::uint64_t value) {
        for (int i = 0; i < 8; ++i) {
            hash = (hash ^ ((value >> (8 * i)) & 0xFFU)) * 0x100000001b3ULL;
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
