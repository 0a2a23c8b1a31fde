#include "app/cli/MethodFacts.h"

#include "engine/CCNotation.h"
#include "engine/Messages.h"
#include "engine/TextFunctions.h"
#include "tables/Delimited.h"

#include <charconv>
#include <istream>
#include <memory>
#include <ostream>
#include <vector>

namespace tambrel {

namespace {

std::string_view Field(const std::vector<std::string>& values, std::size_t index)
{
    return index < values.size() ? std::string_view(values[index]) : std::string_view{};
}

std::string MethodName(std::string_view name)
{
    const std::string trimmed = Trim(name);
    return trimmed.empty() ? std::string(kDefaultMethodName) : trimmed;
}

} // namespace

std::optional<int> ParseBells(std::string_view text)
{
    const std::string trimmed = Trim(text);
    int bells = 0;
    const char* end = trimmed.data() + trimmed.size();
    const auto [ptr, ec] = std::from_chars(trimmed.data(), end, bells);
    if (trimmed.empty() || ec != std::errc{} || ptr != end || !IsValidStage(bells)) {
        return std::nullopt;
    }
    return bells;
}

std::string CalculateMethod(TBellStore& store, std::string_view bells, std::string_view name,
                            std::string_view notation)
{
    const std::optional<int> stage = ParseBells(bells);
    if (!stage) {
        return std::string(kMsgInvalidBells);
    }
    if (std::string error = CheckPlaceNotation(notation, *stage); !error.empty()) {
        return error;
    }
    store.SetBells(*stage);
    store.SetName(MethodName(name));
    store.SetPlaceNotation(notation);
    store.Calculate();
    return {};
}

nlohmann::ordered_json MethodJson(const TBellStore& store, bool withRows)
{
    nlohmann::ordered_json json;
    json["bells"] = store.Bells();
    json["name"] = store.Name();
    json["notation"] = store.PlaceNotation();
    json["tidy_notation"] = store.TidyNotation();
    json["symmetric"] = store.Symmetric();
    json["lead_length"] = store.LeadLength();
    json["lead_head"] = store.GetRowText(store.LeadLength());
    json["lead_head_code"] = store.LeadHeadCode();
    json["row_count"] = store.RowCount();
    json["leads_in_course"] = store.LeadsInCourse();
    json["course_too_long"] = store.CourseTooLong();
    auto& changes = json["changes"] = nlohmann::ordered_json::array();
    for (const std::string& change : store.UsedChanges()) {
        changes.push_back(change);
    }
    if (withRows) {
        auto& rows = json["rows"] = nlohmann::ordered_json::array();
        for (int r = 0; r <= store.RowCount(); ++r) {
            rows.push_back(store.GetRowText(r));
        }
    }
    return json;
}

nlohmann::ordered_json ErrorJson(std::string_view message)
{
    nlohmann::ordered_json json;
    json["error"] = std::string(message);
    return json;
}

std::string DumpJson(const nlohmann::ordered_json& json)
{
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void WriteSummary(std::ostream& out, const TBellStore& store, bool withRows)
{
    out << "Method:          " << store.Name() << '\n'
        << "Bells:           " << store.Bells() << " (" << StageName(store.Bells()) << ")\n"
        << "Notation:        " << store.PlaceNotation() << '\n'
        << "Tidy notation:   " << store.TidyNotation() << '\n'
        << "Symmetric:       " << (store.Symmetric() ? "yes" : "no") << '\n'
        << "Lead length:     " << store.LeadLength() << " changes\n"
        << "Lead head:       " << store.GetRowText(store.LeadLength()) << '\n'
        << "Lead-head code:  " << store.LeadHeadCode() << '\n'
        << "Plain course:    " << store.RowCount() << " rows, " << store.LeadsInCourse()
        << (store.LeadsInCourse() == 1 ? " lead" : " leads");
    if (store.CourseTooLong()) {
        out << " (cut: the course does not come round within " << TBellStore::kMaxRows << " rows)";
    }
    out << '\n';
    if (withRows) {
        out << '\n';
        for (int r = 0; r <= store.RowCount(); ++r) {
            out << store.GetRowText(r) << '\n';
        }
    }
}

BatchCounts RunBatch(std::istream& in, std::ostream& out)
{
    BatchCounts counts;
    auto store = std::make_unique<TBellStore>();
    std::string line;
    bool first = true;
    while (std::getline(in, line)) {
        if (first) {
            StripByteOrderMark(line);
        }
        if (Trim(line).empty() || Trim(line) == "\r") {
            continue;
        }
        const std::vector<std::string> values = SplitDelimitedLine(line);
        const std::string bells = Trim(Field(values, 0));
        if (first && bells == "0") {
            first = false;
            continue; // the marker record names the library, it is no method
        }
        first = false;
        const std::string name = Trim(Field(values, 1));
        const std::string notation = Trim(Field(values, 2));
        if (std::string error = CalculateMethod(*store, bells, name, notation); !error.empty()) {
            nlohmann::ordered_json json;
            json["name"] = UpperCase(MethodName(name));
            json["error"] = std::move(error);
            out << DumpJson(json) << '\n';
            ++counts.errors;
            continue;
        }
        out << DumpJson(MethodJson(*store, false)) << '\n';
        ++counts.methods;
    }
    return counts;
}

std::optional<ConvertCounts> ConvertCollection(std::istream& csv, std::ostream& out,
                                               std::string_view build, std::string& error)
{
    std::string line;
    if (!std::getline(csv, line)) {
        error = "The collection is empty.";
        return std::nullopt;
    }
    StripByteOrderMark(line);
    const std::vector<std::string> header = SplitDelimitedLine(line);
    std::size_t stageColumn = header.size();
    std::size_t titleColumn = header.size();
    std::size_t notationColumn = header.size();
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string name = Trim(header[c]);
        if (name == "stage") {
            stageColumn = c;
        } else if (name == "title") {
            titleColumn = c;
        } else if (name == "notation") {
            notationColumn = c;
        }
    }
    if (stageColumn == header.size() || titleColumn == header.size() ||
        notationColumn == header.size()) {
        error = "The collection needs the columns stage, title and notation.";
        return std::nullopt;
    }

    out << "0,TB_Method_Library," << QuoteDelimitedValue(build) << ",\n";
    ConvertCounts counts;
    auto store = std::make_unique<TBellStore>();
    while (std::getline(csv, line)) {
        if (Trim(line).empty() || Trim(line) == "\r") {
            continue;
        }
        const std::vector<std::string> values = SplitDelimitedLine(line);
        const std::string stageText = Trim(Field(values, stageColumn));
        int stage = 0;
        std::from_chars(stageText.data(), stageText.data() + stageText.size(), stage);
        if (stage < kMinBells) {
            ++counts.underFourBells;
            continue;
        }
        if (stage > kMaxBells) {
            ++counts.overSixteenBells;
            continue;
        }
        const std::string title = Trim(Field(values, titleColumn));
        if (title.find('"') != std::string::npos) {
            ++counts.titleWithQuote;
            continue;
        }
        if (Utf8Length(title) > TBellStore::kMaxNameLength) {
            ++counts.titleTooLong;
            continue;
        }
        const Result<std::string> lead = ExpandCCNotation(Field(values, notationColumn));
        if (!lead) {
            ++counts.notationRefused;
            continue;
        }
        if (const std::string check = CheckPlaceNotation(*lead.value, stage); !check.empty()) {
            if (check == kMsgTooManyRows) {
                ++counts.overHundredChanges;
            } else {
                ++counts.notationRefused;
            }
            continue;
        }
        store->SetBells(stage);
        store->SetName(title);
        store->SetPlaceNotation(*lead.value);
        store->Calculate();
        if (store->TidyNotation().size() > kMaxLibraryNotation) {
            ++counts.notationTooLong;
            continue;
        }
        out << stage << ',' << QuoteDelimitedValue(store->Name()) << ','
            << QuoteDelimitedValue(store->TidyNotation()) << ',' << store->LeadHeadCode() << '\n';
        ++counts.written;
    }
    return counts;
}

} // namespace tambrel
