#include "display/TBellOptions.h"

#include "engine/Bells.h"
#include "engine/TextFunctions.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <variant>

namespace tambrel {

namespace {

struct IntRange {
    int TBellOptions::*field;
    int low;
    int high;
    bool posterValues = false; // 0, 2, 3 or 4 only
};
using Field = std::variant<IntRange, bool TBellOptions::*, std::string TBellOptions::*,
                           std::string CallChoice::*>;

struct Key {
    std::string_view name;
    Field field;
};

// Every setting by its key name; the stored ones are listed by StoredKeys.
const std::vector<Key>& Keys()
{
    static const std::vector<Key> keys = {
        {"Bells", IntRange{&TBellOptions::Bells, 4, 16}},
        {"Treble", IntRange{&TBellOptions::Treble, 1, 4}},
        {"BlueBell1", IntRange{&TBellOptions::BlueBell1, 0, 16}},
        {"BlueBell2", IntRange{&TBellOptions::BlueBell2, 0, 16}},
        {"Numbers", IntRange{&TBellOptions::Numbers, 0, 3}},
        {"Size", IntRange{&TBellOptions::Size, 0, 3}},
        {"Fit2Screen", &TBellOptions::Fit2Screen},
        {"ShowTitle", &TBellOptions::ShowTitle},
        {"ShowGrid", &TBellOptions::ShowGrid},
        {"ShowBob", &TBellOptions::ShowBob},
        {"ShowSingle", &TBellOptions::ShowSingle},
        {"LeadToShow", IntRange{&TBellOptions::LeadToShow, 0, 255}},
        {"Colour", &TBellOptions::Colour},
        {"GreyNumbers", &TBellOptions::GreyNumbers},
        {"Continuous", &TBellOptions::Continuous},
        {"TidyPN", &TBellOptions::TidyPN},
        {"CCNotation", &TBellOptions::CCNotation},
        {"Handstrokes", &TBellOptions::Handstrokes},
        {"Copies", IntRange{&TBellOptions::Copies, 1, 99}},
        {"PrintPoster", IntRange{&TBellOptions::PrintPoster, 0, 4, true}},
        {"PrintColour", &TBellOptions::PrintColour},
        {"PrintOrient", &TBellOptions::PrintOrient},
        {"BobType", &CallChoice::BobType},
        {"BobLines", &CallChoice::BobLines},
        {"SingleType", &CallChoice::SingleType},
        {"SingleLines", &CallChoice::SingleLines},
        {"OddFCH", &TBellOptions::OddFCH},
        {"SplitTenorFCH", &TBellOptions::SplitTenorFCH},
        {"TB2Notation", &TBellOptions::TB2Notation},
        {"SaveOpenPos", &TBellOptions::SaveOpenPos},
        {"CheckMyLib", &TBellOptions::CheckMyLib},
    };
    return keys;
}

const Key* FindKey(std::string_view name)
{
    const auto& keys = Keys();
    const auto it =
        std::find_if(keys.begin(), keys.end(), [&](const Key& k) { return k.name == name; });
    return it == keys.end() ? nullptr : &*it;
}

} // namespace

const std::vector<std::string_view>& TBellOptions::StoredKeys()
{
    static const std::vector<std::string_view> stored = {
        "Bells",       "Treble",      "BlueBell1",   "BlueBell2",   "Numbers",     "Size",
        "Fit2Screen",  "ShowTitle",   "ShowGrid",    "ShowBob",     "ShowSingle",  "Colour",
        "GreyNumbers", "Continuous",  "TidyPN",      "Handstrokes", "OddFCH",      "SplitTenorFCH",
        "TB2Notation", "PrintPoster", "PrintColour", "PrintOrient", "SaveOpenPos", "CheckMyLib"};
    return stored;
}

std::string TBellOptions::SetValue(std::string_view key, std::string_view value)
{
    const Key* found = FindKey(key);
    if (found == nullptr) {
        return "There is no option " + std::string(key) + ".";
    }
    if (const auto* range = std::get_if<IntRange>(&found->field)) {
        int number = 0;
        const auto [ptr, ec] = std::from_chars(value.data(), value.data() + value.size(), number);
        if (value.empty() || ec != std::errc{} || ptr != value.data() + value.size()) {
            return "The option " + std::string(key) + " needs a whole number, not \"" +
                   std::string(value) + "\".";
        }
        const bool inRange = range->posterValues ? (number == 0 || (number >= 2 && number <= 4))
                                                 : (number >= range->low && number <= range->high);
        if (!inRange) {
            return "The option " + std::string(key) + " cannot be " + std::string(value) +
                   (range->posterValues ? " (0, 2, 3 or 4)."
                                        : " (" + std::to_string(range->low) + " to " +
                                              std::to_string(range->high) + ").");
        }
        this->*(range->field) = number;
    } else if (const auto* flag = std::get_if<bool TBellOptions::*>(&found->field)) {
        this->** flag = UpperCase(value) == "TRUE"; // anything else, empty included, is false
    } else if (const auto* text = std::get_if<std::string TBellOptions::*>(&found->field)) {
        this->** text = std::string(value);
    } else {
        this->*std::get<std::string CallChoice::*>(found->field) = std::string(value);
    }
    return {};
}

std::string TBellOptions::StrictProblem(std::string_view key, std::string_view value)
{
    const Key* found = FindKey(key);
    if (found == nullptr) {
        return "There is no option " + std::string(key) + ".";
    }
    const std::string upper = UpperCase(value);
    if (std::holds_alternative<bool TBellOptions::*>(found->field)) {
        if (upper != "TRUE" && upper != "FALSE") {
            return "The option " + std::string(key) + " takes True or False, not \"" +
                   std::string(value) + "\".";
        }
    } else if (key == "PrintOrient") {
        if (value != "Portrait" && value != "Landscape") {
            return "The option PrintOrient takes Portrait or Landscape, not \"" +
                   std::string(value) + "\".";
        }
    } else if (key == "BobLines" || key == "SingleLines") {
        for (const char c : upper) {
            if (BellOf(c) < 1) {
                return "The option " + std::string(key) + " takes bell symbols (" +
                       std::string(BellSymbols) + "), not \"" + std::string(value) + "\".";
            }
        }
    } else if (key == "BobType" || key == "SingleType") {
        if (value.size() != 2 || !std::isdigit(static_cast<unsigned char>(value[0])) ||
            !std::isdigit(static_cast<unsigned char>(value[1]))) {
            return "The option " + std::string(key) +
                   " takes the two-digit code of a call, such as 01, not \"" + std::string(value) +
                   "\".";
        }
    }
    return {};
}

std::string TBellOptions::ValueText(std::string_view key) const
{
    const Key* found = FindKey(key);
    if (found == nullptr) {
        return {};
    }
    if (const auto* range = std::get_if<IntRange>(&found->field)) {
        return std::to_string(this->*(range->field));
    }
    if (const auto* flag = std::get_if<bool TBellOptions::*>(&found->field)) {
        return this->**flag ? "True" : "False";
    }
    if (const auto* text = std::get_if<std::string TBellOptions::*>(&found->field)) {
        return this->**text;
    }
    return this->*std::get<std::string CallChoice::*>(found->field);
}

std::vector<std::string> TBellOptions::LoadRecords(const std::vector<Record>& records)
{
    std::vector<std::string> problems;
    const auto& stored = StoredKeys();
    for (const Record& record : records) {
        const std::string key = Trim(record.option);
        if (std::find(stored.begin(), stored.end(), key) == stored.end()) {
            continue; // keys compare with case; anything else is not ours
        }
        if (std::string problem = SetValue(key, Trim(record.value)); !problem.empty()) {
            // Also when an earlier record of the key set a value: the warning says default.
            SetValue(key, TBellOptions().ValueText(key));
            problems.push_back(problem + " The default is kept.");
        }
    }
    return problems;
}

std::vector<TBellOptions::Record> TBellOptions::SaveRecords() const
{
    std::vector<Record> records;
    for (const std::string_view key : StoredKeys()) {
        records.push_back(Record{std::string(key), ValueText(key)});
    }
    return records;
}

void TBellOptions::Load(OptionsStore& store, std::vector<std::string>& warnings)
{
    std::vector<Record> records;
    if (const std::string error = store.ReadRecords(records); !error.empty()) {
        warnings.push_back("The options could not be read, so the defaults are used: " + error);
        return;
    }
    for (std::string& problem : LoadRecords(records)) {
        warnings.push_back("Options: " + problem);
    }
}

std::string TBellOptions::Save(OptionsStore& store) const
{
    return store.WriteRecords(SaveRecords());
}

void TBellOptions::InitialiseFrom(const TBellOptions& global, int bells)
{
    Treble = global.Treble;
    BlueBell1 = global.BlueBell1;
    BlueBell2 = global.BlueBell2;
    Numbers = global.Numbers;
    Size = global.Size;
    // Compressed rows are too narrow for twelve and more bells, expanded ones too wide for four.
    if ((bells >= 12 && Size == 0) || (bells == 4 && Size == 2)) {
        Size = 1;
    }
    Fit2Screen = global.Fit2Screen;
    ShowTitle = global.ShowTitle;
    ShowGrid = global.ShowGrid;
    // Four bells have no call leads to show.
    ShowBob = bells == 4 ? false : global.ShowBob;
    ShowSingle = bells == 4 ? false : global.ShowSingle;
    Colour = global.Colour;
    GreyNumbers = global.GreyNumbers;
    Continuous = global.Continuous;
    TidyPN = global.TidyPN;
    CCNotation = global.CCNotation;
    Handstrokes = global.Handstrokes;
    OddFCH = global.OddFCH;
    SplitTenorFCH = global.SplitTenorFCH;
    TB2Notation = global.TB2Notation;
    LeadToShow = 0;
}

} // namespace tambrel
