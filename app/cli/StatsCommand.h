#pragma once

#include "analysis/TBellFCH.h"
#include "analysis/TBellRolls.h"
#include "analysis/TBellStats.h"

#include <iosfwd>
#include <string>

namespace tambrel {

class CallsLibrary;
class TBellStore;

// What the statistics of many methods reuse: the finder and counter a sheet fills afresh, and
// the sheet's lines.
struct StatsRun {
    TBellFCH fch;
    TBellRolls rolls;
    TBellStats stats;
};

// Computes the statistics of the calculated method `store` and adds them to `json`, the text of
// one JSON object: "lead_head_code" when `withCode`, then the nine lines under their keys, each
// "" when the sheet leaves it out.
void AddStatsJson(std::string& json, const TBellStore& store, StatsRun& run, bool withCode);

struct StatsOptions {
    std::string bells;
    std::string notation;
    std::string name;
    bool json = false;
    const CallsLibrary* calls = nullptr; // a library's calls; none: the store's own
};

// The statistics sheet of one method, as JSON or as the sheet's text. Exit status 0, or 2 when
// the method is refused.
int RunStats(const StatsOptions& options, std::ostream& out, std::ostream& err);

} // namespace tambrel
