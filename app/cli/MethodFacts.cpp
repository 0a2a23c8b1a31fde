#include "app/cli/MethodFacts.h"

#include "analysis/MethodClass.h"
#include "app/cli/CliSupport.h"
#include "app/cli/StatsCommand.h"

#include "engine/Messages.h"
#include "engine/TextFunctions.h"
#include "tables/Delimited.h"

#include <algorithm>
#include <cassert>
#include <cctype>
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

namespace {

// Facts are written straight to text: thousands of methods a second leave no time for a JSON
// document per method. The output is what nlohmann::json's dump gives for the same values.
void AppendString(std::string& out, std::string_view text)
{
    static constexpr char kHex[] = "0123456789abcdef";
    out += '"';
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            if (const std::size_t length = Utf8WellFormedLength(text, i); length > 0) {
                out.append(text.substr(i, length));
                i += length;
            } else {
                out += "\xEF\xBF\xBD"; // not UTF-8: the replacement character
                ++i;
            }
            continue;
        }
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\b':
            out += "\\b";
            break;
        case '\f':
            out += "\\f";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (c < 0x20) {
                out += "\\u00";
                out += kHex[c >> 4U];
                out += kHex[c & 0x0FU];
            } else {
                out += static_cast<char>(c);
            }
        }
        ++i;
    }
    out += '"';
}

class JsonLine {
public:
    JsonLine()
    {
        m_out.reserve(1024); // a method's facts, written without growing the text on the way
        m_out += '{';
    }
    JsonLine& Text(std::string_view key, std::string_view value)
    {
        Key(key);
        AppendString(m_out, value);
        return *this;
    }
    // A key and value the program writes itself from letters and blanks, with nothing to
    // escape: batches write three of these for every method.
    JsonLine& Word(std::string_view key, std::string_view value)
    {
        assert(std::ranges::all_of(value, [](char c) {
            return c == ' ' || std::isalpha(static_cast<unsigned char>(c)) != 0;
        }));
        m_out += m_out.size() > 1 ? ",\"" : "\"";
        m_out += key;
        m_out += "\":\"";
        m_out += value;
        m_out += '"';
        return *this;
    }
    JsonLine& Number(std::string_view key, long value)
    {
        Key(key);
        m_out += std::to_string(value);
        return *this;
    }
    JsonLine& Flag(std::string_view key, bool value)
    {
        Key(key);
        m_out += value ? "true" : "false";
        return *this;
    }
    template <typename Each> JsonLine& List(std::string_view key, int count, Each each)
    {
        Key(key);
        m_out += '[';
        for (int i = 0; i < count; ++i) {
            if (i > 0) {
                m_out += ',';
            }
            AppendString(m_out, each(i));
        }
        m_out += ']';
        return *this;
    }
    std::string Done()
    {
        m_out += '}';
        return std::move(m_out);
    }

private:
    void Key(std::string_view key)
    {
        if (m_out.size() > 1) {
            m_out += ',';
        }
        AppendString(m_out, key);
        m_out += ':';
    }
    std::string m_out;
};

} // namespace

std::string MethodJson(const TBellStore& store, bool withRows, bool withClass)
{
    const int length = store.LeadLength();
    JsonLine json;
    json.Number("bells", store.Bells())
        .Text("name", store.Name())
        .Text("notation", store.PlaceNotation())
        .Text("tidy_notation", store.TidyNotation())
        .Text("cc_notation", store.CCNotation())
        .Flag("symmetric", store.Symmetric())
        .Number("lead_length", length)
        .Text("lead_head", store.GetRowText(length))
        .Text("lead_head_code", store.LeadHeadCode());
    if (withClass) {
        const Classification c = Classify(store.UsedMoves(), store.Bells());
        json.Word("class", c.ClassWords())
            .Word("symmetry", c.SymmetryWords())
            .Word("title_suffix", TitleSuffixOf(store.Name(), c, store.Bells()));
    }
    json.Number("row_count", store.RowCount())
        .Number("leads_in_course", store.LeadsInCourse())
        .Flag("course_too_long", store.CourseTooLong())
        .List("changes", length,
              [&](int i) -> const std::string& { return store.GetChange(i + 1); })
        .Text("bob_type", store.Owner().BobType)
        .Text("single_type", store.Owner().SingleType)
        .List("bob_changes", length,
              [&](int i) -> const std::string& { return store.GetBobChange(i + 1); })
        .List("single_changes", length,
              [&](int i) -> const std::string& { return store.GetSingleChange(i + 1); })
        .Text("bob_lines", store.BobLines())
        .Text("single_lines", store.SingleLines());
    if (withRows) {
        json.List("rows", store.RowCount() + 1, [&](int r) { return store.GetRowText(r); });
    }
    return json.Done();
}

nlohmann::ordered_json ErrorJson(std::string_view message)
{
    nlohmann::ordered_json json;
    json["error"] = std::string(message);
    return json;
}

int Refuse(std::ostream& err, std::string_view message)
{
    if (std::ostream* out = JsonRefusals::Target(); out != nullptr) {
        *out << DumpJson(ErrorJson(message)) << '\n';
    } else {
        err << TerminalText(message) << '\n';
    }
    return kExitRefused;
}

std::string DumpJson(const nlohmann::ordered_json& json)
{
    return json.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace);
}

void WriteSummary(std::ostream& out, const TBellStore& store, bool withRows)
{
    out << "Method:          " << TerminalText(store.Name()) << '\n'
        << "Bells:           " << store.Bells() << " (" << StageName(store.Bells()) << ")\n"
        << "Notation:        " << TerminalText(store.PlaceNotation()) << '\n'
        << "Tidy notation:   " << store.TidyNotation() << '\n'
        << "CC notation:     " << store.CCNotation() << '\n'
        << "Symmetric:       " << (store.Symmetric() ? "yes" : "no") << '\n'
        << "Lead length:     " << store.LeadLength() << " changes\n"
        << "Lead head:       " << store.GetRowText(store.LeadLength()) << '\n'
        << "Lead-head code:  " << store.LeadHeadCode() << '\n';
    const Classification c = Classify(store.UsedMoves(), store.Bells());
    const std::string symmetry = c.SymmetryWords();
    out << "Class:           " << c.ClassWords() << '\n'
        << "Symmetry:        " << (symmetry.empty() ? "none" : symmetry) << '\n'
        << "Full title:      " << TerminalText(FullTitleOf(store.Name(), c, store.Bells())) << '\n'
        << "Plain course:    " << store.RowCount() << " rows, " << store.LeadsInCourse()
        << (store.LeadsInCourse() == 1 ? " lead" : " leads");
    if (store.CourseTooLong()) {
        out << " (cut: the course does not come round within " << TBellStore::kMaxRows << " rows)";
    }
    out << '\n'
        << "Bob:             " << store.Owner().BobType << ", lines " << store.BobLines() << '\n'
        << "Single:          " << store.Owner().SingleType << ", lines " << store.SingleLines()
        << '\n';
    if (withRows) {
        out << "\nPlain course\n";
        for (int r = 0; r <= store.RowCount(); ++r) {
            out << store.GetRowText(r) << '\n';
        }
        for (const CallKind kind : {CallKind::Bob, CallKind::Single}) {
            out << (kind == CallKind::Bob ? "\nBob lead\n" : "\nSingle lead\n");
            for (const std::string& row : CallLeadRows(store, kind)) {
                out << row << '\n';
            }
        }
    }
}

std::vector<std::string> CallLeadRows(const TBellStore& store, CallKind kind)
{
    const int length = store.LeadLength();
    Row row = store.RowAt(store.RowCount() - length / 2);
    std::vector<std::string> rows{RowText(row, store.Bells())};
    for (int i = 1; i <= length; ++i) {
        const std::string& change =
            kind == CallKind::Bob ? store.GetBobChange(i) : store.GetSingleChange(i);
        row = ApplyChange(row, ChangeMovement(change, store.Bells()));
        rows.push_back(RowText(row, store.Bells()));
    }
    return rows;
}

BatchCounts RunBatch(std::istream& in, std::ostream& out, const CallsLibrary* calls, bool withStats,
                     bool withClass)
{
    BatchCounts counts;
    auto store = std::make_unique<TBellStore>();
    const auto stats = withStats ? std::make_unique<StatsRun>() : nullptr;
    store->SetCallsLibrary(calls);
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
        std::string json = MethodJson(*store, false, withClass);
        if (stats) {
            AddStatsJson(json, *store, *stats, false);
        }
        out << json << '\n';
        ++counts.methods;
    }
    return counts;
}

} // namespace tambrel
