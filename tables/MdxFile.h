#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// One tag of a production index as held in memory: its entries in index order, each the
// record number and its key (keyLength bytes, blank-padded, in the table's code page).
struct MdxTag {
    std::string name;                 // upper case, at most 10 characters
    std::string expression;           // the dBase key expression as written
    int keyLength = 0;                // 1..100
    std::vector<std::uint32_t> order; // record numbers in index order
    std::string keys;                 // key of record r at (r - 1) * keyLength; one per record
};

inline constexpr int kMaxKeyLength = 100;
inline constexpr int kMaxTags = 47;

// Writes a dBase IV production index (.mdx) for the table `tableName` (its base name): 512-byte
// pages, 1024-byte blocks, a B+-tree per tag built bottom-up from the sorted entries.
std::string SerializeMdx(std::string_view tableName, const std::vector<MdxTag>& tags);

// Reads the tags of an index file: names, expressions and the entries of each tree in order
// (keys into `order` and `keys` as above, keyed by record number). Anything inconsistent -
// pointers outside the file, cycles, impossible counts - is an error, never a crash.
struct ParsedMdxTag {
    std::string name;
    std::string expression;
    int keyLength = 0;
    std::vector<std::uint32_t> recnos; // in tree order
    std::vector<std::string> keys;     // in tree order
};
std::optional<std::vector<ParsedMdxTag>> ParseMdx(std::string_view bytes, std::string& error);

} // namespace tambrel
