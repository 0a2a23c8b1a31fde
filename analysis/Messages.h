#pragma once

#include <string_view>

namespace tambrel {

// Texts the user sees about the composition and inter-method sheets, byte for byte; "\r" is a
// line break.
inline constexpr std::string_view kMsgCompFewBells =
    "Composition Sheets are only available for methods with 7 or more bells.";
inline constexpr std::string_view kMsgCompTooLong =
    "Composition Sheets are not available for methods \rwith more than 2000 rows in the Plain "
    "Course.";
inline constexpr std::string_view kMsgIntMethFewBells =
    "Inter-Method Falseness Sheets are only available for methods with 7 or more bells.";
inline constexpr std::string_view kMsgIntMethTooLong =
    "Inter-Method Falseness Sheets are not available for methods \rwith more than 2000 rows in "
    "the Plain Course.";
inline constexpr std::string_view kMsgIntMethStages =
    "Inter-Method Falseness Sheets compare two methods with the same number of bells.";
inline constexpr std::string_view kMsgSecondMethodStale =
    "The second method has been closed or changed; choose it again.";

} // namespace tambrel
