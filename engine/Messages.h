#pragma once

#include <string_view>

namespace tambrel {

// Texts the user sees, byte for byte; "\r\r" is shown as a line break with a blank line.
inline constexpr std::string_view kMsgNoNotation = "No Place Notation Entered.";
inline constexpr std::string_view kMsgNotationError = "Error in the Place Notation:\r\r";
inline constexpr std::string_view kMsgErrorAt = "Error at:";
inline constexpr std::string_view kMsgErrorMarker = " <--";
inline constexpr std::string_view kMsgTooManyRows =
    "There are too many rows in a Lead.\r\rOnly 100 rows are allowed.";
inline constexpr std::string_view kMsgInvalidBells = "Invalid number of bells.";

} // namespace tambrel
