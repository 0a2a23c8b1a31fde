#include "app/cli/FindCommand.h"
#include "app/cli/CliSupport.h"

#include "analysis/FindSimilar.h"
#include "app/cli/LibraryCommands.h"
#include "app/cli/MethodFacts.h"
#include "engine/CCNotation.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "library/FindSimilar.h"
#include "library/TfrmDataMod.h"

#include <nlohmann/json.hpp>

#include <atomic>
#include <charconv>
#include <chrono>
#include <cmath>
#include <memory>
#include <ostream>

namespace tambrel {

namespace {

// A number of seconds, 0 or more; nothing when the text is not one.
std::optional<double> ParseSeconds(const std::string& text)
{
    const std::string trimmed = Trim(text);
    double seconds = 0;
    const char* last = trimmed.data() + trimmed.size();
    const auto [ptr, ec] = std::from_chars(trimmed.data(), last, seconds);
    if (trimmed.empty() || ec != std::errc{} || ptr != last || !std::isfinite(seconds) ||
        seconds < 0) {
        return std::nullopt;
    }
    return seconds;
}

} // namespace

FindCommand::FindCommand(CLI::App& app, std::filesystem::path programFolder)
    : m_programFolder(std::move(programFolder))
{
    m_command = app.add_subcommand(
        "find-similar", "Fill the method-find library with the methods similar to one method");
    m_command->add_option("--bells", m_bells, "Number of bells, 4 to 8")->required();
    m_command->add_option("--notation", m_notation, "Place notation of the base method")
        ->required();
    m_command->add_option("--name", m_name, "Name of the base method");
    m_command
        ->add_option("--type", m_type,
                     "above: keep the work above the treble; below: keep the work below it")
        ->required()
        ->check(CLI::IsMember({"above", "below"}));
    m_command->add_flag("--right-places", m_rightPlaces, "Only use places made right");
    m_command->add_option("--group", m_group, "Required lead-head group, or ALL (the default)");
    m_command->add_option("--limit-seconds", m_limitText,
                          "Stop the search after this many seconds");
    m_command->add_option("--library", m_folder, "Library folder (default: the program's)");
    m_command->add_flag("--json", m_json, "Write one JSON object");
}

int FindCommand::Run(std::ostream& out, std::ostream& err)
{
    std::optional<double> limit;
    if (!m_limitText.empty() && !(limit = ParseSeconds(m_limitText))) {
        return Refuse(err,
                      "--limit-seconds takes a number of seconds, not \"" + m_limitText + "\".");
    }
    auto base = std::make_unique<TBellStore>();
    const std::string notation = ExpandTypedNotation(m_notation);
    if (std::string error = CalculateMethod(*base, m_bells, m_name, notation); !error.empty()) {
        return Refuse(err, error);
    }
    if (std::string refusal = FindRefusal(*base); !refusal.empty()) {
        return Refuse(err, refusal);
    }
    FindRequest request;
    request.type = m_type == "below" ? FindType::Below : FindType::Above;
    request.rightPlaces = m_rightPlaces;
    request.group = UpperCase(Trim(m_group));
    if (std::string refusal = FindGroupRefusal(base->Bells(), request.group); !refusal.empty()) {
        return Refuse(err, refusal);
    }

    Status status;
    auto module = MakeDataModule(m_folder, m_programFolder, err, status);
    if (!status) {
        return Refuse(err, status.error);
    }
    std::atomic<bool> stop{limit && *limit <= 0.0};
    FindControl control;
    control.stop = &stop;
    control.keep = m_json ? kListedMethods : 0;
    if (limit) {
        const auto end = std::chrono::steady_clock::now() +
                         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                             std::chrono::duration<double>(*limit));
        control.progress = [&stop, end](const FindCounts&) {
            if (std::chrono::steady_clock::now() >= end) {
                stop = true;
            }
        };
    }
    const FindOutcome outcome = FindSimilarMethods(*module, *base, request, control);
    ReportWarnings(*module, err);
    if (!outcome.status) {
        return Refuse(err, outcome.status.error);
    }
    const FindCounts& counts = outcome.counts;
    if (m_json) {
        nlohmann::ordered_json json;
        json["possibilities"] = counts.possibilities;
        json["found"] = counts.found;
        json["new"] = counts.newMethods;
        json["existing"] = counts.Existing();
        json["stopped"] = outcome.stopped;
        auto& methods = json["methods"] = nlohmann::ordered_json::array();
        for (const FoundMethod& method : outcome.methods) {
            nlohmann::ordered_json entry;
            entry["name"] = method.name;
            entry["notation"] = method.notation;
            entry["group"] = method.group;
            methods.push_back(std::move(entry));
        }
        out << DumpJson(json) << '\n';
        return 0;
    }
    if (!Trim(m_name).empty()) {
        out << "Base Method: " << TerminalText(base->Name()) << '\n';
    }
    out << "Possibilities Checked: " << GroupThousands(counts.possibilities) << '\n'
        << "Methods Found: " << GroupThousands(counts.found) << '\n'
        << FindTotalsText(counts.newMethods, counts.Existing()) << '\n'
        << kMsgTotalsSaved << '\n';
    if (outcome.stopped) {
        out << "The search was stopped before its end.\n";
    }
    return 0;
}

} // namespace tambrel
