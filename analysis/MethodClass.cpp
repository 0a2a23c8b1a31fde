#include "analysis/MethodClass.h"

#include "engine/Bells.h"
#include "engine/PlaceNotation.h"
#include "engine/TextFunctions.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

namespace tambrel {
namespace {

using Mask = std::uint32_t; // bit p-1 set: place p is made

// The order in which several hunt bells give the method its class.
enum class PathKind { Plain, TrebleDodging, TreblePlace, Alliance, Hybrid };

struct Lead {
    int bells = 0;
    int length = 0;
    std::vector<Mask> places;                                // per change
    std::vector<std::array<std::int8_t, kMaxBells>> placeOf; // rows 0..length+1, per bell
};

Lead RingLead(std::span<const std::string> changes, int bells)
{
    Lead lead;
    lead.bells = bells;
    lead.length = static_cast<int>(changes.size());
    lead.places.reserve(changes.size());
    std::vector<Movement> moves;
    moves.reserve(changes.size());
    for (const std::string& change : changes) {
        const Movement move = ChangeMovement(change, bells);
        Mask mask = 0;
        for (int p = 0; p < bells; ++p) {
            if (move[static_cast<std::size_t>(p)] == 0) {
                mask |= Mask{1} << p;
            }
        }
        lead.places.push_back(mask);
        moves.push_back(move);
    }
    // Two rows of the next lead as well, so that every bell's path is seen across a lead end.
    lead.placeOf.resize(static_cast<std::size_t>(lead.length) + 2);
    std::array<std::int8_t, kMaxBells> bellAt{}; // bell in each place
    for (int p = 0; p < bells; ++p) {
        bellAt[static_cast<std::size_t>(p)] = static_cast<std::int8_t>(p);
    }
    for (int r = 0; r < lead.length + 2; ++r) {
        auto& row = lead.placeOf[static_cast<std::size_t>(r)];
        for (int p = 0; p < bells; ++p) {
            row[static_cast<std::size_t>(bellAt[static_cast<std::size_t>(p)])] =
                static_cast<std::int8_t>(p);
        }
        if (lead.length == 0) {
            continue;
        }
        const Movement& move = moves[static_cast<std::size_t>(r % lead.length)];
        std::array<std::int8_t, kMaxBells> next = bellAt;
        for (int p = 0; p < bells; ++p) {
            next[static_cast<std::size_t>(p)] =
                bellAt[static_cast<std::size_t>(p + move[static_cast<std::size_t>(p)])];
        }
        bellAt = next;
    }
    return lead;
}

int PlaceAt(const Lead& lead, int row, int bell)
{
    return lead.placeOf[static_cast<std::size_t>(row)][static_cast<std::size_t>(bell)];
}

// A hunt bell's path over one plain lead, judged by the tests of the classes.
struct HuntPath {
    PathKind kind = PathKind::Hybrid;
    bool little = false;
    int lowest = 0; // the lowest place it rings in, from 0
};

// Whether the cyclic sequence reads the same backwards from some starting point.
template <typename At> bool Palindromic(int length, At at)
{
    for (int k = 0; k < length; ++k) {
        bool same = true;
        for (int i = 0; i < length && same; ++i) {
            same = at((k - i + length) % length) == at(i);
        }
        if (same) {
            return true;
        }
    }
    return false;
}

HuntPath JudgePath(const Lead& lead, int bell)
{
    const int length = lead.length;
    std::array<int, kMaxBells> blows{};
    int placesMade = 0;
    for (int r = 0; r < length; ++r) {
        const int place = PlaceAt(lead, r, bell);
        ++blows[static_cast<std::size_t>(place)];
        placesMade += place == PlaceAt(lead, r + 1, bell) ? 1 : 0;
    }
    HuntPath path;
    int visited = 0;
    int count = 0;
    bool sameCount = true;
    path.lowest = -1;
    for (int p = 0; p < lead.bells; ++p) {
        const int n = blows[static_cast<std::size_t>(p)];
        if (n == 0) {
            continue;
        }
        if (path.lowest < 0) {
            path.lowest = p;
        }
        ++visited;
        sameCount = sameCount && (count == 0 || n == count);
        count = n;
    }
    path.little = visited < lead.bells;
    const bool stationary = visited == 1;
    const bool symmetric = Palindromic(length, [&](int r) { return PlaceAt(lead, r, bell); });
    if (stationary) {
        path.kind = PathKind::TreblePlace;
    } else if (sameCount && count == 2) {
        path.kind = PathKind::Plain;
    } else if (sameCount && count > 2 && placesMade == 2 && symmetric) {
        path.kind = PathKind::TrebleDodging;
    } else if (sameCount && placesMade > 2 && symmetric) {
        path.kind = PathKind::TreblePlace;
    } else if (!sameCount && symmetric) {
        path.kind = PathKind::Alliance;
    } else {
        path.kind = PathKind::Hybrid;
    }
    return path;
}

// Whether every bell only hunts and makes places, never turning without a place between.
bool OnlyHuntsAndPlaces(const Lead& lead)
{
    for (int bell = 0; bell < lead.bells; ++bell) {
        for (int r = 1; r <= lead.length; ++r) {
            const int before = PlaceAt(lead, r - 1, bell);
            if (before == PlaceAt(lead, r + 1, bell) && before != PlaceAt(lead, r, bell)) {
                return false;
            }
        }
    }
    return true;
}

MethodClass DodgingClass(const Lead& lead, const std::vector<int>& bells,
                         const std::vector<HuntPath>& paths)
{
    const Mask internal = lead.bells > 2 ? ((Mask{1} << (lead.bells - 1)) - 2) : 0;
    int sections = 0;
    int withPlace = 0;
    for (int r = 0; r < lead.length; ++r) {
        bool cross = false;
        for (std::size_t k = 0; k < bells.size() && !cross; ++k) {
            const int low = paths[k].lowest;
            cross = (PlaceAt(lead, r, bells[k]) - low) / 2 !=
                    (PlaceAt(lead, r + 1, bells[k]) - low) / 2;
        }
        if (cross) {
            ++sections;
            withPlace += (lead.places[static_cast<std::size_t>(r)] & internal) != 0 ? 1 : 0;
        }
    }
    if (withPlace == 0) {
        return MethodClass::TrebleBob;
    }
    return withPlace == sections ? MethodClass::Surprise : MethodClass::Delight;
}

Mask Reflected(Mask places, int bells)
{
    Mask out = 0;
    for (int p = 0; p < bells; ++p) {
        if ((places & (Mask{1} << p)) != 0) {
            out |= Mask{1} << (bells - 1 - p);
        }
    }
    return out;
}

// Whether some rotation of the changes equals the changes reflected; `backwards` reads them the
// other way round as well.
bool SameReflected(const std::vector<Mask>& changes, const std::vector<Mask>& reflected,
                   bool backwards)
{
    const int length = static_cast<int>(changes.size());
    for (int k = 0; k < length; ++k) {
        bool same = true;
        for (int i = 0; i < length && same; ++i) {
            const int j = backwards ? (k - i + length) % length : (k + i) % length;
            same = changes[static_cast<std::size_t>(j)] == reflected[static_cast<std::size_t>(i)];
        }
        if (same) {
            return true;
        }
    }
    return false;
}

} // namespace

Classification Classify(std::span<const std::string> changes, int bells)
{
    Classification c;
    if (changes.empty() || bells < 2 || bells > kMaxBells) {
        return c;
    }
    const Lead lead = RingLead(changes, bells);

    std::vector<Mask> reflected;
    reflected.reserve(lead.places.size());
    for (const Mask places : lead.places) {
        reflected.push_back(Reflected(places, bells));
    }
    c.palindromic =
        Palindromic(lead.length, [&](int i) { return lead.places[static_cast<std::size_t>(i)]; });
    c.doubleSymmetry = SameReflected(lead.places, reflected, false);
    c.rotational = SameReflected(lead.places, reflected, true);

    // Cycles of the working bells at the lead heads: differential when their lengths differ.
    std::array<bool, kMaxBells> seen{};
    int cycleLength = 0;
    std::vector<int> hunts;
    for (int bell = 0; bell < bells; ++bell) {
        if (PlaceAt(lead, lead.length, bell) == bell) {
            hunts.push_back(bell);
            continue;
        }
        if (seen[static_cast<std::size_t>(bell)]) {
            continue;
        }
        int length = 0;
        for (int b = bell; !seen[static_cast<std::size_t>(b)]; b = PlaceAt(lead, lead.length, b)) {
            seen[static_cast<std::size_t>(b)] = true;
            ++length;
        }
        c.differential = c.differential || (cycleLength != 0 && length != cycleLength);
        cycleLength = length;
    }
    c.huntBells = static_cast<int>(hunts.size());
    if (hunts.empty()) {
        c.kind = MethodClass::Principle;
        return c;
    }

    std::vector<HuntPath> paths;
    paths.reserve(hunts.size());
    PathKind first = PathKind::Hybrid;
    for (const int bell : hunts) {
        paths.push_back(JudgePath(lead, bell));
        first = std::min(first, paths.back().kind);
    }
    // The hunt bells of the class found decide Little; the dodging ones the cross sections,
    // leaving out little ones when some are not little.
    std::vector<int> deciding;
    std::vector<HuntPath> decidingPaths;
    bool allLittle = true;
    for (std::size_t k = 0; k < hunts.size(); ++k) {
        if (paths[k].kind == first) {
            allLittle = allLittle && paths[k].little;
        }
    }
    c.little = allLittle;
    for (std::size_t k = 0; k < hunts.size(); ++k) {
        if (paths[k].kind == first && (allLittle || !paths[k].little)) {
            deciding.push_back(hunts[k]);
            decidingPaths.push_back(paths[k]);
        }
    }
    switch (first) {
    case PathKind::Plain:
        c.kind = OnlyHuntsAndPlaces(lead) ? MethodClass::Place : MethodClass::Bob;
        break;
    case PathKind::TrebleDodging:
        c.kind = DodgingClass(lead, deciding, decidingPaths);
        break;
    case PathKind::TreblePlace:
        c.kind = MethodClass::TreblePlace;
        break;
    case PathKind::Alliance:
        c.kind = MethodClass::Alliance;
        break;
    case PathKind::Hybrid:
        c.kind = MethodClass::Hybrid;
        break;
    }
    return c;
}

std::string Classification::ClassName() const
{
    std::string words = little && kind != MethodClass::Principle ? "Little " : "";
    switch (kind) {
    case MethodClass::Principle:
        return "Principle";
    case MethodClass::Bob:
        return words + "Bob";
    case MethodClass::Place:
        return words + "Place";
    case MethodClass::TrebleBob:
        return words + "Treble Bob";
    case MethodClass::Surprise:
        return words + "Surprise";
    case MethodClass::Delight:
        return words + "Delight";
    case MethodClass::TreblePlace:
        return words + "Treble Place";
    case MethodClass::Alliance:
        return words + "Alliance";
    case MethodClass::Hybrid:
        return words + "Hybrid";
    }
    return words;
}

std::string Classification::ClassWords() const
{
    if (kind == MethodClass::Principle) {
        return differential ? "Differential" : "Principle";
    }
    std::string words = differential ? "Differential " : "";
    words += ClassName();
    return words;
}

std::string Classification::Descriptor() const
{
    std::string words = differential ? "Differential" : "";
    if (kind == MethodClass::Principle || kind == MethodClass::Hybrid) {
        return words;
    }
    if (!words.empty()) {
        words += ' ';
    }
    words += ClassName();
    return words;
}

std::string Classification::SymmetryWords() const
{
    std::string words;
    for (const auto& [has, word] :
         {std::pair{palindromic, "palindromic"}, std::pair{doubleSymmetry, "double"},
          std::pair{rotational, "rotational"}}) {
        if (has) {
            if (!words.empty()) {
                words += ' ';
            }
            words += word;
        }
    }
    return words;
}

namespace {

std::vector<std::string> Words(std::string_view text)
{
    std::vector<std::string> words;
    std::string word;
    for (const char ch : text) {
        if (ch == ' ' || ch == '\t') {
            if (!word.empty()) {
                words.push_back(std::move(word));
                word.clear();
            }
        } else {
            word += ch;
        }
    }
    if (!word.empty()) {
        words.push_back(std::move(word));
    }
    return words;
}

std::string Joined(const std::vector<std::string>& words, std::size_t from, std::size_t to)
{
    std::string text;
    for (std::size_t k = from; k < to; ++k) {
        if (!text.empty()) {
            text += ' ';
        }
        text += words[k];
    }
    return text;
}

bool Same(std::string_view a, std::string_view b)
{
    return UpperCase(a) == UpperCase(b);
}

// Two-word class names first, so that "Treble Bob" is not read as a name ending "Treble".
constexpr std::array<std::string_view, 8> kClassNames = {
    "Treble Bob", "Treble Place", "Surprise", "Delight", "Alliance", "Place", "Bob", "Hybrid"};

} // namespace

bool IsNameWithoutDescriptor(std::string_view name, int bells)
{
    // The Council's exceptions, with New Grandsire as its collection writes it.
    for (const std::string_view grandsire : {"Grandsire", "Double Grandsire", "Reverse Grandsire",
                                             "Little Grandsire", "New Grandsire"}) {
        if (Same(name, grandsire)) {
            return true;
        }
    }
    if (bells >= 6) {
        for (const std::string_view union_ : {"Union", "Double Union", "Reverse Union"}) {
            if (Same(name, union_)) {
                return true;
            }
        }
    }
    return false;
}

std::string TitleSuffix(const Classification& c, std::string_view name, int bells)
{
    const bool exception = IsNameWithoutDescriptor(name, bells) &&
                           (c.kind == MethodClass::Bob || c.kind == MethodClass::Place) &&
                           !c.differential;
    std::string suffix = exception ? std::string() : c.Descriptor();
    if (!suffix.empty()) {
        suffix += ' ';
    }
    suffix += StageName(bells);
    return suffix;
}

std::string FullTitle(const Classification& c, std::string_view name, int bells)
{
    std::string title = Trim(name);
    const std::string suffix = TitleSuffix(c, title, bells);
    if (!title.empty() && !suffix.empty()) {
        title += ' ';
    }
    title += suffix;
    return title;
}

TitleParts SplitTitle(std::string_view title)
{
    const std::vector<std::string> words = Words(title);
    std::size_t end = words.size();
    TitleParts parts;
    if (end > 0) {
        for (int bells = kMinBells; bells <= kMaxBells; ++bells) {
            if (Same(words[end - 1], StageName(bells))) {
                parts.stage = bells;
                --end;
                break;
            }
        }
    }
    const std::size_t classEnd = end;
    bool named = false;
    for (const std::string_view name : kClassNames) {
        const std::vector<std::string> nameWords = Words(name);
        if (end >= nameWords.size() && Same(Joined(words, end - nameWords.size(), end), name)) {
            end -= nameWords.size();
            named = true;
            break;
        }
    }
    if (named && end > 0 && Same(words[end - 1], "Little")) {
        --end;
    }
    if (end > 0 && Same(words[end - 1], "Differential")) {
        --end;
    }
    parts.words = Joined(words, end, classEnd);
    parts.name = Joined(words, 0, end);
    return parts;
}

TitleCheck CheckTitle(std::string_view title, const Classification& c, int bells)
{
    TitleCheck check;
    const TitleParts parts = SplitTitle(title);
    const std::string shown = Trim(title);
    const bool upper = UpperCase(shown) == shown;
    const auto cased = [upper](std::string text) { return upper ? UpperCase(text) : text; };
    const bool classAgrees = parts.words.empty() || Same(parts.words, c.Descriptor()) ||
                             Same(parts.words, c.ClassWords());
    if (parts.stage != 0 && parts.stage != bells) {
        check.disagreement = "The notation makes " + shown + " a method of " +
                             std::to_string(bells) + " bells (" + std::string(StageName(bells)) +
                             "). Save it under this name anyway?";
    } else if (!classAgrees) {
        const std::string name = c.ClassName();
        std::string what = name == "Principle"  ? "a Principle"
                           : name == "Alliance" ? "an Alliance method"
                                                : "a " + name + " method";
        if (c.differential) {
            what = c.kind == MethodClass::Principle ? "a Differential"
                                                    : "a Differential " + name + " method";
        }
        check.disagreement =
            "The notation makes " + shown + " " + what + ". Save it under this name anyway?";
    } else if ((!parts.name.empty() || !parts.words.empty()) &&
               (parts.words.empty() || parts.stage == 0)) {
        const std::string full = FullTitle(c, parts.name, bells);
        if (!Same(full, shown)) {
            check.offer = cased(full);
        }
    }
    return check;
}

} // namespace tambrel
