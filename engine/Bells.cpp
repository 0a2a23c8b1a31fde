#include "engine/Bells.h"
#include "engine/TextFunctions.h"

#include <array>
#include <cassert>
#include <charconv>
#include <cstddef>

namespace tambrel {

namespace {

constexpr std::array<std::string_view, 13> kStageNames = {
    "Minimus", "Doubles", "Minor",     "Triples",  "Major",     "Caters", "Royal",
    "Cinques", "Maximus", "Sextuples", "Fourteen", "Septuples", "Sixteen"};

} // namespace

char SymbolOf(int bell)
{
    assert(bell >= 1 && bell <= kMaxBells);
    return BellSymbols[static_cast<std::size_t>(bell - 1)];
}

int BellOf(char symbol)
{
    // A look-up rather than a search: every place of every change asks this.
    static constexpr std::array<std::int8_t, 256> kBells = [] {
        std::array<std::int8_t, 256> bells{};
        for (std::size_t i = 0; i < BellSymbols.size(); ++i) {
            const auto c = static_cast<unsigned char>(BellSymbols[i]);
            bells[c] = static_cast<std::int8_t>(i + 1);
            if (c >= 'A' && c <= 'Z') {
                bells[static_cast<std::size_t>(c - 'A' + 'a')] = static_cast<std::int8_t>(i + 1);
            }
        }
        return bells;
    }();
    return kBells[static_cast<unsigned char>(symbol)];
}

std::string RoundsText(int bells)
{
    assert(bells >= 0 && bells <= kMaxBells);
    return std::string(BellSymbols.substr(0, static_cast<std::size_t>(bells)));
}

std::string_view StageName(int bells)
{
    return IsValidStage(bells) ? kStageNames[static_cast<std::size_t>(bells - kMinBells)]
                               : std::string_view{};
}

std::string StageListEntry(int bells)
{
    std::string entry = std::to_string(bells);
    if (bells < 10) {
        entry.insert(0, "  ");
    }
    entry += " - ";
    entry += StageName(bells);
    return entry;
}

Movement ChangeMovement(std::string_view change, int bells)
{
    assert(bells >= 1 && bells <= kMaxBells);
    Movement m{};
    const auto n = static_cast<std::size_t>(bells);
    for (std::size_t p = 0; p < n; ++p) {
        m[p] = 1;
    }
    for (const char symbol : change) {
        const int place = BellOf(symbol);
        if (place >= 1 && place <= bells) {
            m[static_cast<std::size_t>(place - 1)] = 0;
        }
    }
    for (std::size_t p = 0; p < n; ++p) {
        if (m[p] == 1) {
            if (p + 1 < n) {
                m[p + 1] = -1;
            } else {
                m[p] = 0; // a lone bell at the back can only make a place
            }
        }
    }
    return m;
}

Row ApplyChange(const Row& row, const Movement& movement)
{
    Row next{};
    for (std::size_t p = 0; p < row.size(); ++p) {
        next[p] = row[static_cast<std::size_t>(static_cast<int>(p) + movement[p])];
    }
    return next;
}

std::string RowText(const Row& row, int bells)
{
    std::string text(static_cast<std::size_t>(bells), ' ');
    for (std::size_t p = 0; p < text.size(); ++p) {
        text[p] = row[p] >= 1 && row[p] <= kMaxBells ? SymbolOf(row[p]) : '?';
    }
    return text;
}

Row ParseRow(std::string_view text)
{
    Row row{};
    for (std::size_t p = 0; p < text.size() && p < row.size(); ++p) {
        row[p] = static_cast<std::uint8_t>(BellOf(text[p]));
    }
    return row;
}

std::optional<int> ParseBells(std::string_view text)
{
    const std::string trimmed = Trim(text);
    int bells = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [ptr, ec] = std::from_chars(trimmed.data(), end, bells);
    if (trimmed.empty() || ec != std::errc{} || ptr != end || !IsValidStage(bells)) {
        return std::nullopt;
    }
    return bells;
}

} // namespace tambrel
