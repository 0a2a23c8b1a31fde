#pragma once

#include "engine/Result.h"

#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// Turns the Central Council's notation into a whole lead in this program's grammar. There each
// side of a comma is a palindrome: its changes, then the same changes backwards without the
// last one (a one-change side stands as it is), so "-38-14-1258-36-14-58-16-78,12" is the
// 16 changes written, 15 mirrored and then 12. A notation without a comma is taken as written.
// Crosses may be "-", "x" or "X"; other characters are left for CheckPlaceNotation to judge.
Result<std::string> ExpandCCNotation(std::string_view notation);

// A notation as a ringer types or pastes it, in this program's grammar: the comma form is
// expanded; anything else, and a comma form that cannot be expanded, comes back as typed, so
// that CheckPlaceNotation refuses it with its usual message.
std::string ExpandTypedNotation(std::string_view typed);

// A lead's changes (place texts, empty for a cross) in the Central Council's form: a lead that
// is two palindromes end to end is written as their halves either side of a comma
// ("-38-14-1258-36-14-58-16-78,12", "3,1.7.1.7.1.7.1"), the lead end alone after it when it can
// be; any other lead as its changes in turn. Crosses are "-"; places are written in full.
std::string CCNotationOf(const std::vector<std::string>& changes);

// A notation in this program's grammar, as typed or stored, for `bells` bells (4..16) in the
// Central Council's form; one that CheckPlaceNotation refuses comes back as it is.
std::string CCNotationOfPlaces(std::string_view notation, int bells);

} // namespace tambrel
