#include "app/cli/SheetCommands.h"
#include "app/cli/CliSupport.h"

#include "analysis/TBellComp.h"
#include "analysis/TBellFCH.h"
#include "analysis/TBellIntMeth.h"
#include "analysis/TBellRolls.h"
#include "app/cli/MethodFacts.h"
#include "display/TBellOptions.h"
#include "engine/TBellStore.h"

#include <nlohmann/json.hpp>

#include <array>
#include <memory>
#include <ostream>
#include <utility>

namespace tambrel {

namespace {

constexpr std::array<std::pair<SheetSection, const char*>, kSheetSections> kSectionKeys = {{
    {SheetSection::RollUps, "patterns"},
    {SheetSection::Even, "even"},
    {SheetSection::Odd, "odd"},
    {SheetSection::SplitEven, "split_even"},
    {SheetSection::SplitOdd, "split_odd"},
}};

// The options the sheet reads, from KEY=VALUE settings checked as the render command checks
// them; "" or the problem.
std::string ReadSettings(const std::vector<std::string>& settings, FchDisplay& display)
{
    TBellOptions options;
    for (const std::string& setting : settings) {
        const std::size_t equals = setting.find('=');
        if (equals == std::string::npos) {
            return "A setting is written KEY=VALUE, not \"" + setting + "\".";
        }
        const std::string key = setting.substr(0, equals);
        const std::string value = setting.substr(equals + 1);
        if (std::string problem = TBellOptions::StrictProblem(key, value); !problem.empty()) {
            return problem;
        }
        if (std::string problem = options.SetValue(key, value); !problem.empty()) {
            return problem;
        }
    }
    display = FchDisplay{options.OddFCH, options.SplitTenorFCH, options.TB2Notation};
    return {};
}

void WriteSheet(std::ostream& out, const ColumnSheet& sheet)
{
    out << TerminalText(sheet.title) << '\n' << TerminalText(sheet.subtitle) << '\n';
    for (const SheetColumn& column : sheet.columns) {
        out << "\n(Lead " << column.lead << ") " << column.firstRow << '\n';
        for (const SheetSection section : sheet.sections) {
            out << "  " << SectionHeading(section) << SectionSubheading(section) << ':';
            const std::vector<std::string>& entries = column.Entries(section);
            if (entries.empty()) {
                out << " none";
            }
            for (const std::string& entry : entries) {
                out << ' ' << entry;
            }
            out << '\n';
        }
    }
}

int Written(std::ostream& out, const ColumnSheet& sheet, bool json)
{
    if (json) {
        out << ColumnSheetJson(sheet) << '\n';
    } else {
        WriteSheet(out, sheet);
    }
    return 0;
}

} // namespace

std::string ColumnSheetJson(const ColumnSheet& sheet)
{
    nlohmann::ordered_json columns = nlohmann::ordered_json::array();
    for (const SheetColumn& column : sheet.columns) {
        nlohmann::ordered_json json;
        json["lead"] = column.lead;
        json["first_row"] = column.firstRow;
        for (const auto& [section, key] : kSectionKeys) {
            if (sheet.Shows(section)) {
                json[key] = column.Entries(section);
            }
        }
        columns.push_back(std::move(json));
    }
    nlohmann::ordered_json json;
    json["columns"] = std::move(columns);
    return DumpJson(json);
}

int RunComp(const SheetOptions& options, std::ostream& out, std::ostream& err)
{
    FchDisplay display;
    if (std::string problem = ReadSettings(options.settings, display); !problem.empty()) {
        return Refuse(err, problem);
    }
    auto store = std::make_unique<TBellStore>();
    store->SetCallsLibrary(options.calls);
    if (std::string error = CalculateMethod(*store, options.bells, options.name, options.notation);
        !error.empty()) {
        return Refuse(err, error);
    }
    if (std::string refusal = TBellComp::Refusal(*store); !refusal.empty()) {
        return Refuse(err, refusal);
    }
    auto fch = std::make_unique<TBellFCH>();
    auto rolls = std::make_unique<TBellRolls>();
    return Written(out, TBellComp::Calculate(*store, display, *fch, *rolls), options.json);
}

int RunIntMeth(const SheetOptions& options, std::ostream& out, std::ostream& err)
{
    FchDisplay display;
    if (std::string problem = ReadSettings(options.settings, display); !problem.empty()) {
        return Refuse(err, problem);
    }
    auto a = std::make_unique<TBellStore>();
    a->SetCallsLibrary(options.calls);
    if (std::string error = CalculateMethod(*a, options.bells, options.name, options.notation);
        !error.empty()) {
        return Refuse(err, error);
    }
    std::unique_ptr<TBellStore> other;
    if (!options.bNotation.empty()) {
        other = std::make_unique<TBellStore>();
        other->SetCallsLibrary(options.calls);
        const std::string& bells = options.bBells.empty() ? options.bells : options.bBells;
        if (std::string error = CalculateMethod(*other, bells, options.bName, options.bNotation);
            !error.empty()) {
            return Refuse(err, "Method B: " + error);
        }
    } else if (!options.bBells.empty()) {
        return Refuse(err, "--b-bells needs --b-notation.");
    }
    // Without B the method is its own second method, each row never met with itself.
    const TBellStore& b = other ? *other : *a;
    if (std::string refusal = TBellIntMeth::Refusal(*a, b); !refusal.empty()) {
        return Refuse(err, refusal);
    }
    auto fch = std::make_unique<TBellFCH>();
    return Written(out, TBellIntMeth::Calculate(*a, b, display, *fch), options.json);
}

} // namespace tambrel
