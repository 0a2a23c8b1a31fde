#pragma once

#include "engine/Row.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tambrel {

// Bell n (1..16) is written as the n-th character.
inline constexpr std::string_view BellSymbols = "1234567890ETABCD";

inline constexpr int kMinBells = 4;

constexpr bool IsValidStage(int bells)
{
    return bells >= kMinBells && bells <= kMaxBells;
}

// A bell count given as text: a decimal number 4..16 (blanks around it allowed), else nothing.
std::optional<int> ParseBells(std::string_view text);

// Symbol of bell 1..16.
char SymbolOf(int bell);

// Bell number of a symbol, upper-casing it first; 0 when it is not a bell symbol.
int BellOf(char symbol);

// The first `bells` symbols: "12345678" on eight bells.
std::string RoundsText(int bells);

// "Minimus" .. "Sixteen" for 4..16 bells; empty outside that range.
std::string_view StageName(int bells);

// The entry of the stage list: "  4 - Minimus" .. "16 - Sixteen".
std::string StageListEntry(int bells);

// Where the bell in each position goes in one change: 0 for a place, +1 or -1 for a swap with
// the position above or below. Index 0 is position 1; positions past the stage stay 0.
using Movement = std::array<std::int8_t, kMaxBells>;

// Movement of a change text (ascending place symbols; empty = cross) on `bells` bells. Symbols
// beyond the stage are ignored, and the result is always a permutation of positions 1..bells.
Movement ChangeMovement(std::string_view change, int bells);

// The bell that lands in position p is the one that stood in p + movement(p).
Row ApplyChange(const Row& row, const Movement& movement);

std::string RowText(const Row& row, int bells);

// The row a text of bell symbols writes ("13524"); a symbol that is no bell gives 0 there.
Row ParseRow(std::string_view text);

} // namespace tambrel
