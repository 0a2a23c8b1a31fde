#include "app/cli/AnalysisCommands.h"
#include "app/cli/CliSupport.h"

#include "analysis/TBellFCH.h"
#include "analysis/TBellRolls.h"
#include "app/cli/MethodFacts.h"
#include "engine/TBellStore.h"

#include <nlohmann/json.hpp>

#include <memory>
#include <ostream>
#include <vector>

namespace tambrel {

namespace {

std::string LeadOutsideCourse(int leads)
{
    return "The lead must be from 1 to " + std::to_string(leads) +
           ", the leads of the plain course.";
}

void WriteList(std::ostream& out, std::string_view title, const std::vector<std::string>& list)
{
    out << title;
    if (list.empty()) {
        out << " none";
    }
    for (const std::string& entry : list) {
        out << ' ' << TerminalText(entry);
    }
    out << '\n';
}

} // namespace

int RunFch(const FchOptions& options, std::ostream& out, std::ostream& err)
{
    auto a = std::make_unique<TBellStore>();
    a->SetCallsLibrary(options.calls);
    if (const std::string error = CalculateMethod(*a, options.bells, {}, options.notation);
        !error.empty()) {
        return Refuse(err, error);
    }
    std::unique_ptr<TBellStore> other;
    if (!options.bNotation.empty()) {
        other = std::make_unique<TBellStore>();
        other->SetCallsLibrary(options.calls);
        const std::string& bells = options.bBells.empty() ? options.bells : options.bBells;
        if (const std::string error = CalculateMethod(*other, bells, {}, options.bNotation);
            !error.empty()) {
            return Refuse(err, "Method B: " + error);
        }
        if (other->Bells() != a->Bells()) {
            return Refuse(err, "Method B must have as many bells as the method: " +
                                   std::to_string(a->Bells()) + ".");
        }
    } else if (!options.bBells.empty()) {
        return Refuse(err, "--b-bells needs --b-notation.");
    }
    if (options.lead < 1 || options.lead > a->LeadsInCourse()) {
        return Refuse(err, LeadOutsideCourse(a->LeadsInCourse()));
    }
    // Without B the method is searched against its own store, as the sheets do, so that a row
    // is never taken for its own recurrence.
    const TBellStore& b = other ? *other : *a;
    TBellFCH fch;
    fch.Search(*a, b, options.lead, options.labels, options.tb2);

    struct Named {
        TBellFCH::List list;
        const char* key;
        const char* title;
    };
    static constexpr Named kLists[] = {
        {TBellFCH::List::InCourse, "in_course", "In course:"},
        {TBellFCH::List::OutOfCourse, "out_of_course", "Out of course:"},
        {TBellFCH::List::SplitIn, "split_in", "Split tenors, in course:"},
        {TBellFCH::List::SplitOut, "split_out", "Split tenors, out of course:"},
    };
    nlohmann::ordered_json json;
    for (const Named& named : kLists) {
        std::vector<std::string> entries;
        for (int k = 1; k <= fch.Count(named.list); ++k) {
            entries.push_back(fch.Entry(named.list, k));
        }
        if (options.json) {
            json[named.key] = entries;
        } else {
            WriteList(out, named.title, entries);
        }
    }
    if (options.json) {
        out << DumpJson(json) << '\n';
    }
    return 0;
}

int RunRolls(const RollsOptions& options, std::ostream& out, std::ostream& err)
{
    auto store = std::make_unique<TBellStore>();
    store->SetCallsLibrary(options.calls);
    if (const std::string error = CalculateMethod(*store, options.bells, {}, options.notation);
        !error.empty()) {
        return Refuse(err, error);
    }
    if (options.lead < 1 || options.lead > store->LeadsInCourse()) {
        return Refuse(err, LeadOutsideCourse(store->LeadsInCourse()));
    }
    TBellRolls rolls;
    rolls.Count(*store, options.lead);
    std::vector<std::string> patterns;
    for (int k = 1; k <= rolls.PatternCount(); ++k) {
        patterns.push_back(rolls.Pattern(k));
    }
    if (options.json) {
        nlohmann::ordered_json json;
        json["cru"] = rolls.Cru();
        json["roll_ups"] = rolls.RollUps();
        json["roll_downs"] = rolls.RollDowns();
        json["patterns"] = patterns;
        out << DumpJson(json) << '\n';
        return 0;
    }
    out << "CRU positions: " << rolls.Cru() << '\n'
        << "Roll-ups: " << rolls.RollUps() << '\n'
        << "Roll-downs: " << rolls.RollDowns() << '\n';
    WriteList(out, "Patterns:", patterns);
    return 0;
}

} // namespace tambrel
