#pragma once

#include "engine/Bells.h"
#include "engine/TBellStore.h"

#include <nlohmann/json.hpp>

#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

inline constexpr std::string_view kDefaultMethodName = "UNTITLED METHOD";

// Checks the bells and notation and, when both are good, calculates `store`. Returns the
// message for the user on refusal, leaving the store's results as they were.
std::string CalculateMethod(TBellStore& store, std::string_view bells, std::string_view name,
                            std::string_view notation);

// The facts of a calculated method as one line of JSON, keys in a fixed order; with `withRows`
// also rows 0..RowCount; with `withClass` the Central Council's class, symmetry and the title's
// words after the name. Text that is not UTF-8 is replaced, never refused.
std::string MethodJson(const TBellStore& store, bool withRows, bool withClass = true);

nlohmann::ordered_json ErrorJson(std::string_view message);

// One line of JSON; text that is not valid UTF-8 is replaced, never refused.
std::string DumpJson(const nlohmann::ordered_json& json);

// A readable summary of a calculated method; with `withRows` the plain course and the bob and
// single leads row by row.
void WriteSummary(std::ostream& out, const TBellStore& store, bool withRows);

// The rows of a call lead as the diagram draws it: from half a lead before the end of the
// plain course, through the call, to the middle of the next lead (LeadLength + 1 rows).
std::vector<std::string> CallLeadRows(const TBellStore& store, CallKind kind);

struct BatchCounts {
    std::size_t methods = 0;
    std::size_t errors = 0;
};

// Reads a methods import file (bells,name,places,group per line, an optional first marker
// record with bells "0") and writes one JSON line per record: the facts, or name and error.
// `calls` gives the bob and single leads (none: the plain lead turned about its lead end);
// `withStats` adds the statistics sheet's lines to each method's facts; `withClass` (as a
// benchmark's baseline may leave out) the class, symmetry and title suffix.
BatchCounts RunBatch(std::istream& in, std::ostream& out, const CallsLibrary* calls = nullptr,
                     bool withStats = false, bool withClass = true);

} // namespace tambrel
