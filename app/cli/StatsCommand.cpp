#include "app/cli/StatsCommand.h"
#include "app/cli/CliSupport.h"

#include "app/cli/MethodFacts.h"
#include "engine/TBellStore.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>

namespace tambrel {

void AddStatsJson(std::string& json, const TBellStore& store, StatsRun& run, bool withCode)
{
    run.stats.Calculate(store, run.fch, run.rolls);
    const StatsLines& lines = run.stats.Lines();
    nlohmann::ordered_json keys;
    if (withCode) {
        keys["lead_head_code"] = run.stats.LeadHeadCode();
    }
    keys["classification"] = lines.classification;
    keys["right_places"] = lines.rightPlaces;
    keys["changes_of_direction"] = lines.changesOfDirection;
    keys["average_blows"] = lines.averageBlows;
    keys["difficulty"] = lines.difficulty;
    keys["cru"] = lines.cruPositions;
    keys["roll_ups"] = lines.rollUps;
    keys["roll_downs"] = lines.rollDowns;
    keys["fch_groups"] = lines.fchGroups;
    const std::string added = DumpJson(keys);
    // Both are objects: the new keys go in before the closing brace.
    json.pop_back();
    if (json.size() > 1) {
        json += ',';
    }
    json.append(added, 1);
}

int RunStats(const StatsOptions& options, std::ostream& out, std::ostream& err)
{
    auto store = std::make_unique<TBellStore>();
    store->SetCallsLibrary(options.calls);
    if (const std::string error =
            CalculateMethod(*store, options.bells, options.name, options.notation);
        !error.empty()) {
        return Refuse(err, error);
    }
    auto run = std::make_unique<StatsRun>();
    if (options.json) {
        nlohmann::ordered_json head;
        head["bells"] = store->Bells();
        head["name"] = store->Name();
        std::string json = DumpJson(head);
        AddStatsJson(json, *store, *run, true);
        out << json << '\n';
        return 0;
    }
    run->stats.Calculate(*store, run->fch, run->rolls);
    out << TerminalText(store->Name()) << "\nStatistics Sheet\n\n";
    for (const SheetLine& line : run->stats.BodyLines()) {
        out << line.text << '\n';
    }
    return 0;
}

} // namespace tambrel
