#pragma once

#include <array>
#include <span>
#include <string>
#include <string_view>

namespace tambrel {

// Place notation characters; a character's class is its 1-based position here (1..16 a place,
// 17 cross, 18 separator, 19 half-lead mark), 0 for anything else. "X" reads as "-", "O" as "0".
inline constexpr std::string_view NotationAlphabet = "1234567890ETABCD-.L";

inline constexpr int kMaxChanges = 100; // changes in one lead

// Change texts of one lead: ascending place symbols with implied places written out, the
// empty text being the cross. Index 0 holds change 1.
using ChangeList = std::array<std::string, kMaxChanges>;

// Checks a notation for `bells` bells (4..16). Empty result: valid; otherwise the message to
// show the user.
std::string CheckPlaceNotation(std::string_view notation, int bells);

// Splits a notation that CheckPlaceNotation accepted into the changes of one lead and returns
// how many there are. Whatever the input, it writes at most kMaxChanges changes and every
// change text it writes holds place symbols in ascending order.
int SplitNotation(std::string_view notation, int bells, ChangeList& changes);

struct TidyForm {
    bool symmetric = false;
    std::string notation;
};

// The short form of a lead (changes 1..L): implied external places dropped and a symmetric lead
// written to its half-lead change, then " LH" and the lead-end change. Splitting it gives the
// same changes again.
TidyForm BuildTidyNotation(std::span<const std::string> changes, int bells);

} // namespace tambrel
