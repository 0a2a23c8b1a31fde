#include "app/cli/ProveCommand.h"

#include "analysis/CallingPositions.h"
#include "analysis/Touch.h"
#include "app/cli/CliSupport.h"
#include "app/cli/LibraryCommands.h"
#include "app/cli/MethodFacts.h"
#include "engine/Calls.h"
#include "engine/TextFunctions.h"

#include <algorithm>
#include <cctype>
#include <memory>
#include <ostream>

namespace tambrel {

namespace {

// The calls in turn, each with its calling position: "b H", "s W", or the call alone.
std::vector<std::string> CallsWithPositions(const std::vector<std::string>& positions)
{
    std::vector<std::string> written;
    for (const std::string& position : positions) {
        if (!position.empty()) {
            written.push_back(position);
        }
    }
    return written;
}

nlohmann::ordered_json ProofJson(const TouchProof& proof, const std::vector<Row>& rows, int bells,
                                 const std::vector<std::string>& positions, bool withRows)
{
    nlohmann::ordered_json json;
    json["changes"] = proof.changes;
    json["comes_round"] = proof.comesRound;
    json["round_at"] =
        proof.comesRound ? nlohmann::ordered_json(proof.changes) : nlohmann::ordered_json(nullptr);
    json["round_part_way"] = proof.roundPartWay;
    json["true"] = proof.isTrue;
    json["false_rows"] = nlohmann::ordered_json::array();
    for (const auto& [row, earlier] : proof.falseRows) {
        json["false_rows"].push_back({row, earlier});
    }
    json["false_count"] = proof.falseCount;
    json["leads"] = proof.leads;
    json["calls"] = {{"b", proof.bobs}, {"s", proof.singles}};
    json["end_row"] = RowText(proof.endRow, bells);
    json["lead_heads"] = nlohmann::ordered_json::array();
    for (const Row& head : proof.leadHeads) {
        json["lead_heads"].push_back(RowText(head, bells));
    }
    nlohmann::ordered_json runs = nlohmann::ordered_json::object();
    for (int k = 4; k <= bells; ++k) {
        runs[std::to_string(k)] = proof.music.runs[static_cast<std::size_t>(k)];
    }
    nlohmann::ordered_json named = nlohmann::ordered_json::object();
    for (const auto& [name, count] : proof.music.named) {
        named[name] = count;
    }
    json["music"] = {{"runs", runs}, {"named", named}};
    json["positions"] = CallsWithPositions(positions);
    json["summary"] = TouchSummary(proof, bells);
    if (withRows) {
        json["rows"] = nlohmann::ordered_json::array();
        for (const Row& row : rows) {
            json["rows"].push_back(RowText(row, bells));
        }
    }
    return json;
}

void WriteProof(std::ostream& out, const TouchProof& proof, const std::vector<Row>& rows, int bells,
                const std::vector<std::string>& positions, bool withRows)
{
    out << TouchSummary(proof, bells) << '\n'
        << "Leads:       " << proof.leads << " (bobs " << proof.bobs << ", singles "
        << proof.singles << ")\n";
    if (const std::vector<std::string> calls = CallsWithPositions(positions); !calls.empty()) {
        out << "Calls:      ";
        for (const std::string& call : calls) {
            out << ' ' << call;
        }
        out << '\n';
    }
    if (!proof.isTrue) {
        out << "False rows:  " << proof.falseCount << '\n';
        for (const auto& [row, earlier] : proof.falseRows) {
            out << "  row " << row << " (" << RowText(rows[static_cast<std::size_t>(row)], bells)
                << ") repeats row " << earlier << '\n';
        }
    }
    out << "Music:      ";
    for (int k = 4; k <= bells; ++k) {
        out << ' ' << k << "-bell runs " << proof.music.runs[static_cast<std::size_t>(k)] << ';';
    }
    for (const auto& [name, count] : proof.music.named) {
        out << ' ' << name << ' ' << count << ';';
    }
    out << "\nLead heads: ";
    for (const Row& head : proof.leadHeads) {
        out << ' ' << RowText(head, bells);
    }
    out << '\n';
    if (withRows) {
        out << "\nRows\n";
        for (const Row& row : rows) {
            out << RowText(row, bells) << '\n';
        }
    }
}

} // namespace

int RunProve(const ProveOptions& options, const std::filesystem::path& programFolder,
             std::ostream& out, std::ostream& err)
{
    if (options.calling.empty() == options.positions.empty()) {
        return Refuse(err, "Give the calling either lead by lead (--calling) or by calling "
                           "positions (--positions).");
    }
    CallsLibrary calls;
    std::string callsError;
    if (!LoadCliCalls(options.library, programFolder, calls, err, callsError)) {
        return Refuse(err, callsError);
    }
    // Page 1 is the touch's own method; --method2..5 are the pages it is spliced with.
    std::array<std::unique_ptr<TBellStore>, 6> stores;
    std::array<const TBellStore*, 6> pages{};
    for (std::size_t page = 1; page <= 5; ++page) {
        const std::string& notation = page == 1 ? options.notation : options.spliced[page - 2];
        if (notation.empty()) {
            continue;
        }
        stores[page] = std::make_unique<TBellStore>();
        stores[page]->SetCallsLibrary(&calls);
        const std::string name = page == 1 ? options.name : "Method " + std::to_string(page);
        if (std::string error = CalculateMethod(*stores[page], options.bells, name, notation);
            !error.empty()) {
            return Refuse(err, page == 1 ? error : "Page " + std::to_string(page) + ": " + error);
        }
        pages[page] = stores[page].get();
    }
    pages[0] = pages[1];
    const TBellStore& own = *pages[0];
    const int bells = own.Bells();
    // The observation bell: the tenor unless another is named by its symbol.
    int observation = bells;
    if (!options.observation.empty()) {
        const std::size_t bell = options.observation.size() == 1
                                     ? BellSymbols.find(static_cast<char>(std::toupper(
                                           static_cast<unsigned char>(options.observation[0]))))
                                     : std::string_view::npos;
        if (bell == std::string_view::npos || bell < 1 || bell >= static_cast<std::size_t>(bells)) {
            return Refuse(err, "The observation bell must be one of the working bells, 2 to " +
                                   std::string(1, SymbolOf(bells)) + ".");
        }
        observation = static_cast<int>(bell) + 1;
    }
    Result<std::vector<TouchLead>> calling =
        options.positions.empty() ? ParseCalling(options.calling)
                                  : TouchFromPositions(own, options.positions, observation);
    if (!calling) {
        return Refuse(err, calling.error);
    }
    const std::vector<TouchLead> leads = std::move(*calling.value);
    TouchProver prover;
    const Result<TouchProof> proved = prover.Prove(leads, pages);
    if (!proved) {
        return Refuse(err, proved.error);
    }
    // Calling positions mean something only in a touch of one method.
    std::vector<std::string> positions;
    if (std::all_of(leads.begin(), leads.end(), [](const TouchLead& l) { return l.page <= 1; })) {
        std::vector<LeadCall> called;
        for (const TouchLead& lead : leads) {
            called.push_back(lead.call);
        }
        positions = PositionsOfCalls(own, called, observation);
    }
    if (options.json) {
        out << DumpJson(ProofJson(*proved.value, prover.Rows(), bells, positions, options.rows))
            << '\n';
    } else {
        WriteProof(out, *proved.value, prover.Rows(), bells, positions, options.rows);
    }
    return 0;
}

} // namespace tambrel
