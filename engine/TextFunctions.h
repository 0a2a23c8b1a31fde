#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tambrel {

// Small text helpers shared by sheets, dialogs and tables. Positions are 1-based and counts
// in bytes unless the name says characters; a count past the end takes what there is.

std::string Left(std::string_view text, int count);
std::string Right(std::string_view text, int count);

std::string TrimRight(std::string_view text); // trailing blanks removed
std::string Trim(std::string_view text);      // leading and trailing blanks removed

// Padded on the right with blanks and cut to exactly `width` bytes: bells "8" -> "8 ".
std::string PadRight(std::string_view text, int width);

// `value` zero-filled to exactly `digits` digits: the last digits of "000..." + value.
std::string ZeroFill(std::int64_t value, int digits);

// A non-negative number with its digits grouped in threes: 1234567 -> "1,234,567".
std::string GroupThousands(std::uint64_t value);

// The one upper-casing used for method names everywhere (store, imports, index keys). Latin
// letters with accents are upper-cased too; other characters and broken UTF-8 pass unchanged.
std::string UpperCase(std::string_view text);

// Characters in UTF-8 text (a stray byte counts as one).
int Utf8Length(std::string_view text);

// The first `count` characters, never splitting a UTF-8 sequence.
std::string Utf8Left(std::string_view text, int count);

// Length of the UTF-8 sequence that starts at `pos`, at least 1 and never past the end.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos);

// Length of the well-formed UTF-8 character at `pos` (1 to 4), or 0 when the bytes there are
// not one: a stray or cut sequence, an overlong form, a surrogate or a code point past U+10FFFF.
std::size_t Utf8WellFormedLength(std::string_view text, std::size_t pos);

} // namespace tambrel
