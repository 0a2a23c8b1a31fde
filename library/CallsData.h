#pragma once

#include "engine/Calls.h"
#include "tables/Status.h"
#include "tables/TDbf.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tambrel {

// The calls of an open calls table, read once into memory; the header record (bells "0")
// gives the build text.
CallsLibrary ReadCallsTable(TDbf& calls);

// The calls of a calls import file (bells,call_ref,name,places,lines, the marker record
// first), read as the calls import reads it: references padded to two digits, notations over
// 20 characters (the width of the table's field) left out, each with a message in `warnings`.
// Nothing, and `error` set, when the file cannot be read or does not begin with the marker
// record.
std::optional<CallsLibrary> ReadCallsFile(const std::filesystem::path& path, std::string& error,
                                          std::vector<std::string>* warnings = nullptr);

} // namespace tambrel
