#include "analysis/MethodClass.h"

#include "engine/Bells.h"
#include "engine/CCNotation.h"
#include "engine/PlaceNotation.h"
#include "engine/TextFunctions.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <numeric>
#include <vector>

namespace tambrel {
namespace {

using Mask = std::uint32_t; // bit p-1 set: place p is made

// The order in which several hunt bells give the method its class.
enum class PathKind { Plain, TrebleDodging, TreblePlace, Alliance, Hybrid };

struct Lead {
    int bells = 0;
    int length = 0;
    std::vector<Mask> places;        // per change, the lead's changes twice over
    std::vector<Mask> up;            // per change, the positions whose bell moves up a place
    std::vector<std::uint64_t> rows; // rows 0..length, four bits a position: its bell from 0
};

// The places a movement makes and the positions whose bell moves up, eight positions a word.
// A movement byte is 0, 1 or 0xFF, so its two low bits tell the three apart; the
// multiplication gathers the low bit of every byte into the top byte.
struct ChangeMasks {
    Mask places = 0;
    Mask up = 0;
};
ChangeMasks MasksOf(const Movement& move)
{
    static_assert(sizeof(Movement) == 16);
    constexpr std::uint64_t kOnes = 0x0101010101010101ULL;
    const auto gather = [](std::uint64_t bits) {
        return static_cast<Mask>((bits * 0x0102040810204080ULL) >> 56U);
    };
    ChangeMasks masks;
    for (unsigned half = 0; half < 2; ++half) {
        std::uint64_t word = 0;
        std::memcpy(&word, move.data() + 8 * half, sizeof word);
        const std::uint64_t bit0 = word & kOnes;
        const std::uint64_t bit1 = (word >> 1U) & kOnes;
        masks.places |= gather(~bit0 & kOnes) << (8 * half);
        masks.up |= gather(bit0 & ~bit1) << (8 * half);
    }
    return masks;
}

// A mask of positions widened to four bits a position.
std::uint64_t Nibbles(Mask positions)
{
    static constexpr auto kWide = [] {
        std::array<std::uint32_t, 256> table{};
        for (unsigned b = 0; b < 256; ++b) {
            for (unsigned bit = 0; bit < 8; ++bit) {
                if ((b & (1U << bit)) != 0) {
                    table[b] |= 0xFU << (4 * bit);
                }
            }
        }
        return table;
    }();
    return kWide[positions & 0xFFU] | (std::uint64_t{kWide[(positions >> 8U) & 0xFFU]} << 32U);
}

// Rings one plain lead into `lead`, whose buffers are kept from call to call. A row is one word,
// so a change moves every bell at once.
void RingLead(std::span<const Movement> moves, int bells, Lead& lead)
{
    lead.bells = bells;
    lead.length = static_cast<int>(moves.size());
    const std::size_t length = moves.size();
    lead.places.resize(2 * length);
    lead.up.resize(length);
    const Mask stage = (Mask{1} << bells) - 1;
    for (std::size_t i = 0; i < length; ++i) {
        const ChangeMasks masks = MasksOf(moves[i]);
        lead.places[i] = masks.places & stage;
        lead.places[i + length] = lead.places[i];
        lead.up[i] = masks.up & stage;
    }
    // Row `length` is the lead head, where the hunt bells and the cycles are read.
    lead.rows.resize(length + 1);
    std::uint64_t row = 0xFEDCBA9876543210ULL; // positions past the stage never move
    for (std::size_t r = 0; r < lead.rows.size(); ++r) {
        lead.rows[r] = row;
        const std::size_t i = r % moves.size();
        const std::uint64_t up = Nibbles(lead.up[i]);
        const std::uint64_t moving = up | (up << 4U);
        // What moves up comes from below and what moves down from above.
        row = (row & ~moving) | ((row & up) << 4U) | ((row >> 4U) & up);
    }
}

int PlaceAt(const Lead& lead, int row, int bell)
{
    constexpr std::uint64_t kLow3 = 0x7777777777777777ULL;
    const std::uint64_t x =
        lead.rows[static_cast<std::size_t>(row)] ^ (0x1111111111111111ULL * unsigned(bell));
    const std::uint64_t zero = ~(((x & kLow3) + kLow3) | x | kLow3);
    return std::countr_zero(zero) / 4;
}

// A hunt bell's path over one plain lead, judged by the tests of the classes.
struct HuntPath {
    PathKind kind = PathKind::Hybrid;
    bool little = false;
    int lowest = 0; // the lowest place it rings in, from 0
};

// Whether `target` is a rotation of a cyclic sequence; `twice` holds the sequence twice over, so
// that no index wraps.
template <typename T> bool IsRotationOf(std::span<const T> twice, std::span<const T> target)
{
    const std::size_t length = target.size();
    const T* const starts = twice.data();
    for (const T* k = std::find(starts, starts + length, target[0]); k != starts + length;
         k = std::find(k + 1, starts + length, target[0])) {
        if (std::memcmp(k + 1, target.data() + 1, (length - 1) * sizeof(T)) == 0) {
            return true;
        }
    }
    return false;
}

// Whether a cyclic sequence reads the same backwards from some starting point: its reverse is a
// rotation of it.
template <typename T> bool IsPalindromic(std::span<const T> twice, std::vector<T>& reversed)
{
    const std::size_t length = twice.size() / 2;
    reversed.assign(std::make_reverse_iterator(twice.begin() + std::ptrdiff_t(length)),
                    std::make_reverse_iterator(twice.begin()));
    return IsRotationOf(twice, std::span<const T>(reversed));
}

HuntPath JudgePath(const Lead& lead, int bell)
{
    const int length = lead.length;
    thread_local std::vector<std::int8_t> twice;
    twice.resize(2 * static_cast<std::size_t>(length));
    for (int r = 0; r < length; ++r) {
        twice[static_cast<std::size_t>(r)] = static_cast<std::int8_t>(PlaceAt(lead, r, bell));
        twice[static_cast<std::size_t>(r + length)] = twice[static_cast<std::size_t>(r)];
    }
    std::array<int, kMaxBells> blows{};
    int placesMade = 0;
    for (std::size_t r = 0; r < static_cast<std::size_t>(length); ++r) {
        ++blows[static_cast<std::size_t>(twice[r])];
        placesMade += twice[r] == twice[r + 1] ? 1 : 0;
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
    if (stationary) {
        path.kind = PathKind::TreblePlace;
        return path;
    }
    if (sameCount && count == 2) {
        path.kind = PathKind::Plain; // plain hunting, which is symmetric whatever
        return path;
    }
    thread_local std::vector<std::int8_t> reversed;
    const bool symmetric = IsPalindromic(std::span<const std::int8_t>(twice), reversed);
    if (sameCount && count > 2 && placesMade == 2 && symmetric) {
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

// Whether every bell only hunts and makes places, never turning without a place between. A
// bell turns back at once only when a pair of places swaps in two changes running, lead end to
// lead head included.
bool OnlyHuntsAndPlaces(const Lead& lead)
{
    for (std::size_t i = 0; i < lead.up.size(); ++i) {
        if ((lead.up[i] & lead.up[(i + 1) % lead.up.size()]) != 0) {
            return false;
        }
    }
    return true;
}

struct HuntBell {
    int bell = 0;
    HuntPath path;
    bool deciding = false; // of the class found, and a dodging one that sets the cross sections
};

MethodClass DodgingClass(const Lead& lead, std::span<const HuntBell> hunts)
{
    // The changes at which any deciding hunt bell crosses from one pair of dodging places to
    // the next.
    thread_local std::vector<std::uint8_t> cross;
    cross.assign(static_cast<std::size_t>(lead.length), 0);
    for (const HuntBell& hunt : hunts) {
        if (!hunt.deciding) {
            continue;
        }
        int pair = (PlaceAt(lead, 0, hunt.bell) - hunt.path.lowest) / 2;
        for (int r = 0; r < lead.length; ++r) {
            const int next = (PlaceAt(lead, r + 1, hunt.bell) - hunt.path.lowest) / 2;
            cross[static_cast<std::size_t>(r)] |= next != pair ? 1 : 0;
            pair = next;
        }
    }
    const Mask internal = lead.bells > 2 ? ((Mask{1} << (lead.bells - 1)) - 2) : 0;
    int sections = 0;
    int withPlace = 0;
    for (std::size_t r = 0; r < cross.size(); ++r) {
        if (cross[r] != 0) {
            ++sections;
            withPlace += (lead.places[r] & internal) != 0 ? 1 : 0;
        }
    }
    if (withPlace == 0) {
        return MethodClass::TrebleBob;
    }
    return withPlace == sections ? MethodClass::Surprise : MethodClass::Delight;
}

Mask Reflected(Mask places, int bells)
{
    static constexpr auto kReversedBytes = [] {
        std::array<std::uint8_t, 256> table{};
        for (unsigned b = 0; b < 256; ++b) {
            for (unsigned bit = 0; bit < 8; ++bit) {
                if ((b & (1U << bit)) != 0) {
                    table[b] = static_cast<std::uint8_t>(table[b] | (0x80U >> bit));
                }
            }
        }
        return table;
    }();
    const Mask reversed16 =
        (Mask{kReversedBytes[places & 0xFFU]} << 8U) | Mask{kReversedBytes[(places >> 8U) & 0xFFU]};
    return reversed16 >> (16 - bells);
}

} // namespace

Classification Classify(std::span<const std::string> changes, int bells)
{
    if (bells < 2 || bells > kMaxBells) {
        return {};
    }
    std::vector<Movement> moves;
    moves.reserve(changes.size());
    for (const std::string& change : changes) {
        moves.push_back(ChangeMovement(change, bells));
    }
    return Classify(std::span<const Movement>(moves), bells);
}

Classification Classify(std::span<const Movement> moves, int bells)
{
    Classification c;
    if (moves.empty() || bells < 2 || bells > kMaxBells) {
        return c;
    }
    // Batches classify tens of thousands of methods: the buffers are kept for the next one.
    thread_local Lead lead;
    thread_local std::vector<Mask> reflected;
    thread_local std::vector<Mask> reversed;
    RingLead(moves, bells, lead);

    reflected.resize(static_cast<std::size_t>(lead.length));
    for (std::size_t i = 0; i < reflected.size(); ++i) {
        reflected[i] = Reflected(lead.places[i], bells);
    }
    const std::span<const Mask> twice(lead.places);
    c.palindromic = IsPalindromic(twice, reversed);
    // A rotation keeps the changes' sum, so most leads fail both reflected tests at once.
    const auto sum = [](std::span<const Mask> changes) {
        return std::accumulate(changes.begin(), changes.end(), std::uint64_t{0});
    };
    if (sum(reflected) == sum(twice.first(reflected.size()))) {
        c.doubleSymmetry = IsRotationOf(twice, std::span<const Mask>(reflected));
        // Reflected and read backwards.
        std::reverse(reflected.begin(), reflected.end());
        c.rotational = IsRotationOf(twice, std::span<const Mask>(reflected));
    }

    // Cycles of the working bells at the lead heads: differential when their lengths differ.
    std::array<int, kMaxBells> after{}; // where each bell ends the lead
    const std::uint64_t leadHead = lead.rows[static_cast<std::size_t>(lead.length)];
    for (int p = 0; p < bells; ++p) {
        after[(leadHead >> (4U * unsigned(p))) & 0xFU] = p;
    }
    std::array<bool, kMaxBells> seen{};
    int cycleLength = 0;
    std::array<HuntBell, kMaxBells> huntBuffer{};
    std::size_t huntCount = 0;
    for (int bell = 0; bell < bells; ++bell) {
        if (after[static_cast<std::size_t>(bell)] == bell) {
            huntBuffer[huntCount++].bell = bell;
            continue;
        }
        if (seen[static_cast<std::size_t>(bell)]) {
            continue;
        }
        int length = 0;
        for (int b = bell; !seen[static_cast<std::size_t>(b)];
             b = after[static_cast<std::size_t>(b)]) {
            seen[static_cast<std::size_t>(b)] = true;
            ++length;
        }
        c.differential = c.differential || (cycleLength != 0 && length != cycleLength);
        cycleLength = length;
    }
    const std::span<HuntBell> hunts(huntBuffer.data(), huntCount);
    c.huntBells = static_cast<int>(huntCount);
    if (hunts.empty()) {
        c.kind = MethodClass::Principle;
        return c;
    }

    PathKind first = PathKind::Hybrid;
    for (HuntBell& hunt : hunts) {
        hunt.path = JudgePath(lead, hunt.bell);
        first = std::min(first, hunt.path.kind);
    }
    // The hunt bells of the class found decide Little; the dodging ones the cross sections,
    // leaving out little ones when some are not little.
    bool allLittle = true;
    for (const HuntBell& hunt : hunts) {
        allLittle = allLittle && (hunt.path.kind != first || hunt.path.little);
    }
    c.little = allLittle;
    for (HuntBell& hunt : hunts) {
        hunt.deciding = hunt.path.kind == first && (allLittle || !hunt.path.little);
    }
    switch (first) {
    case PathKind::Plain:
        c.kind = OnlyHuntsAndPlaces(lead) ? MethodClass::Place : MethodClass::Bob;
        break;
    case PathKind::TrebleDodging:
        c.kind = DodgingClass(lead, hunts);
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

namespace {

constexpr std::array<std::string_view, 9> kKindNames = {"Principle",    "Bob",      "Place",
                                                        "Treble Bob",   "Surprise", "Delight",
                                                        "Treble Place", "Alliance", "Hybrid"};

struct ClassTexts {
    std::string className, classWords, descriptor;
};

// Every combination of class and qualifiers, built once: batches ask for the words of tens of
// thousands of methods.
const ClassTexts& WordsOf(MethodClass kind, bool little, bool differential)
{
    static const auto table = [] {
        std::array<ClassTexts, kKindNames.size() * 4> all;
        for (std::size_t k = 0; k < kKindNames.size(); ++k) {
            for (int q = 0; q < 4; ++q) {
                const bool isLittle = (q & 1) != 0 && k != 0;
                const bool isDifferential = (q & 2) != 0;
                ClassTexts& w = all[k * 4 + static_cast<std::size_t>(q)];
                w.className = std::string(isLittle ? "Little " : "") + std::string(kKindNames[k]);
                const std::string differentialWord = isDifferential ? "Differential" : "";
                if (k == 0) { // a principle
                    w.classWords = isDifferential ? "Differential" : "Principle";
                    w.descriptor = differentialWord;
                    continue;
                }
                w.classWords = isDifferential ? "Differential " + w.className : w.className;
                // A hybrid's title names neither its class nor Little.
                w.descriptor = kKindNames[k] == "Hybrid" ? differentialWord : w.classWords;
            }
        }
        return all;
    }();
    return table[static_cast<std::size_t>(kind) * 4 + (little ? 1U : 0U) +
                 (differential ? 2U : 0U)];
}

} // namespace

const std::string& Classification::ClassName() const
{
    return WordsOf(kind, little, differential).className;
}

const std::string& Classification::ClassWords() const
{
    return WordsOf(kind, little, differential).classWords;
}

const std::string& Classification::Descriptor() const
{
    return WordsOf(kind, little, differential).descriptor;
}

const std::string& Classification::SymmetryWords() const
{
    static const auto table = [] {
        std::array<std::string, 8> all;
        for (std::size_t k = 0; k < all.size(); ++k) {
            for (const auto& [bit, word] : {std::pair{1U, "palindromic"}, std::pair{2U, "double"},
                                            std::pair{4U, "rotational"}}) {
                if ((k & bit) != 0) {
                    all[k] += all[k].empty() ? word : std::string(" ") + word;
                }
            }
        }
        return all;
    }();
    return table[(palindromic ? 1U : 0U) + (doubleSymmetry ? 2U : 0U) + (rotational ? 4U : 0U)];
}

namespace {

// The blank-separated words of a text, as views into it.
std::vector<std::string_view> Words(std::string_view text)
{
    std::vector<std::string_view> words;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t", at);
        if (start == std::string_view::npos) {
            break;
        }
        const std::size_t end = std::min(text.find_first_of(" \t", start), text.size());
        words.push_back(text.substr(start, end - start));
        at = end;
    }
    return words;
}

std::string Joined(std::span<const std::string_view> words)
{
    std::string text;
    for (const std::string_view word : words) {
        if (!text.empty()) {
            text += ' ';
        }
        text += word;
    }
    return text;
}

bool Same(std::string_view a, std::string_view b)
{
    const auto upper = [](char ch) { return ch >= 'a' && ch <= 'z' ? char(ch - 'a' + 'A') : ch; };
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                              [&](char x, char y) { return upper(x) == upper(y); });
}

// Two-word class names first, so that "Treble Bob" is not read as a name ending "Treble".
struct ClassName {
    std::string_view first;
    std::string_view second; // empty for one word
};
constexpr std::array<ClassName, 8> kClassNames = {{{"Treble", "Bob"},
                                                   {"Treble", "Place"},
                                                   {"Surprise", ""},
                                                   {"Delight", ""},
                                                   {"Alliance", ""},
                                                   {"Place", ""},
                                                   {"Bob", ""},
                                                   {"Hybrid", ""}}};

} // namespace

std::optional<Classification> ClassifyTyped(std::string_view typed, int bells)
{
    const std::string notation = ExpandTypedNotation(typed);
    if (!IsValidStage(bells) || !CheckPlaceNotation(notation, bells).empty()) {
        return std::nullopt;
    }
    ChangeList changes;
    const int length = SplitNotation(notation, bells, changes);
    return Classify(std::span<const std::string>(changes.data(), static_cast<std::size_t>(length)),
                    bells);
}

std::string ClassLine(const Classification& c, std::string_view typedTitle, int bells)
{
    std::string line = c.ClassWords();
    line += ", ";
    line += c.SymmetryWords().empty() ? "no symmetry" : c.SymmetryWords();
    line += ": ";
    line += FullTitleOf(typedTitle, c, bells);
    return line;
}

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

const std::string& TitleSuffix(const Classification& c, std::string_view name, int bells)
{
    static const std::string kNone;
    if (bells < kMinBells || bells > kMaxBells) {
        return kNone;
    }
    const bool exception = IsNameWithoutDescriptor(name, bells) &&
                           (c.kind == MethodClass::Bob || c.kind == MethodClass::Place) &&
                           !c.differential;
    // Every descriptor with every stage, built once: batches write one for each method.
    static const auto table = [] {
        constexpr std::size_t kStages = kMaxBells - kMinBells + 1;
        std::array<std::string, (kKindNames.size() * 4 + 1) * kStages> all;
        for (std::size_t words = 0; words <= kKindNames.size() * 4; ++words) {
            for (std::size_t stage = 0; stage < kStages; ++stage) {
                std::string& suffix = all[words * kStages + stage];
                if (words < kKindNames.size() * 4) {
                    suffix = WordsOf(static_cast<MethodClass>(words / 4), (words & 1) != 0,
                                     (words & 2) != 0)
                                 .descriptor;
                }
                if (!suffix.empty()) {
                    suffix += ' ';
                }
                suffix += StageName(static_cast<int>(stage) + kMinBells);
            }
        }
        return all;
    }();
    const std::size_t words = exception ? kKindNames.size() * 4
                                        : static_cast<std::size_t>(c.kind) * 4 +
                                              (c.little ? 1U : 0U) + (c.differential ? 2U : 0U);
    return table[words * (kMaxBells - kMinBells + 1) + static_cast<std::size_t>(bells - kMinBells)];
}

const std::string& TitleSuffixOf(std::string_view title, const Classification& c, int bells)
{
    // Only Grandsire and Union names go without class words, so only a title naming one of them
    // needs taking apart.
    const auto names = [title](std::string_view word) {
        const char initial = word[0];
        for (std::size_t at = 0; at < title.size(); ++at) {
            if ((title[at] | 0x20) == (initial | 0x20) &&
                Same(title.substr(at, word.size()), word)) {
                return true;
            }
        }
        return false;
    };
    if (!names("Grandsire") && !names("Union")) {
        return TitleSuffix(c, {}, bells);
    }
    return TitleSuffix(c, SplitTitle(title).name, bells);
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
    const std::vector<std::string_view> words = Words(title);
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
    for (const ClassName& name : kClassNames) {
        const std::size_t count = name.second.empty() ? 1 : 2;
        if (end >= count && Same(words[end - count], name.first) &&
            (count == 1 || Same(words[end - 1], name.second))) {
            end -= count;
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
    const std::span<const std::string_view> all(words);
    parts.words = Joined(all.subspan(end, classEnd - end));
    parts.name = Joined(all.first(end));
    return parts;
}

std::string FullTitleOf(std::string_view typed, const Classification& c, int bells)
{
    const std::string shown = Trim(typed);
    const std::string full = FullTitle(c, SplitTitle(shown).name, bells);
    return UpperCase(shown) == shown ? UpperCase(full) : full;
}

TitleCheck CheckTitle(std::string_view title, const Classification& c, int bells)
{
    TitleCheck check;
    const TitleParts parts = SplitTitle(title);
    const std::string shown = Trim(title);
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
        if (std::string full = FullTitleOf(shown, c, bells); !Same(full, shown)) {
            check.offer = std::move(full);
        }
    }
    return check;
}

} // namespace tambrel
