#include "analysis/FindSimilar.h"

#include "engine/LeadHeadCode.h"
#include "engine/TBellStore.h"

#include <algorithm>
#include <cassert>
#include <iterator>
#include <utility>

namespace tambrel {

namespace {

// One entry of a candidate table: its places, and the fewest bells on which it is offered.
struct Entry {
    std::string_view places;
    int fromBells = 0;
};

// The places that may be added below the treble ("Above the Treble") or above it ("Below the
// Treble") of a change whose treble row is r, in the order they are tried.
std::vector<std::string_view> CandidateTable(FindType type, int bells, int r)
{
    static constexpr Entry kAbove[8][14] = {
        {{""}},
        {{"1"}},
        {{""}, {"12"}},
        {{"1"}, {"3"}, {"123", 5}},
        {{""}, {"12"}, {"14"}, {"34"}, {"1234", 6}},
        {{"1"}, {"3"}, {"5"}, {"123"}, {"125"}, {"145"}, {"345"}},
        {{""},
         {"12"},
         {"14"},
         {"16"},
         {"34"},
         {"36"},
         {"56"},
         {"1234"},
         {"1236"},
         {"1256"},
         {"1456"},
         {"3456"}},
        {{"1"},
         {"3"},
         {"5"},
         {"7"},
         {"123"},
         {"125"},
         {"127"},
         {"145"},
         {"147"},
         {"167"},
         {"345"},
         {"347"},
         {"367"},
         {"567"}},
    };
    static constexpr Entry kBelowOdd[8][4] = {
        {{"3"}, {"5"}, {"345"}, {"7", 6}},
        {{""}, {"45"}, {"47", 6}},
        {{"5"}, {"7", 6}},
        {{""}},
        {{"7", 7}},
        {{""}},
        {{""}},
        {{""}},
    };
    static constexpr Entry kBelowEven[8][8] = {
        {{""}, {"34"}, {"36", 5}, {"56", 5}, {"3456", 5}, {"38", 7}, {"58", 7}, {"3458", 7}},
        {{"4"}, {"6", 5}, {"8", 7}, {"456", 7}},
        {{""}, {"58", 7}, {"56", 7}},
        {{"6", 6}, {"8", 7}},
        {{""}},
        {{"8", 8}},
        {{""}},
        {{""}},
    };
    std::vector<std::string_view> table;
    const auto take = [&](const auto& row, std::size_t size) {
        for (std::size_t i = 0; i < size; ++i) {
            // Unused slots (all defaulted past the row's end) are skipped; only the first entry
            // of a row may be the empty candidate.
            if ((i == 0 || !row[i].places.empty()) && bells >= row[i].fromBells) {
                table.push_back(row[i].places);
            }
        }
    };
    const auto index = static_cast<std::size_t>(std::clamp(r, 1, 8) - 1);
    if (type == FindType::Above) {
        take(kAbove[index], std::size(kAbove[index]));
    } else if (bells % 2 == 1) {
        take(kBelowOdd[index], std::size(kBelowOdd[index]));
    } else {
        take(kBelowEven[index], std::size(kBelowEven[index]));
    }
    // A row whose one candidate needs more bells offers the empty candidate instead ("7" with
    // 7 or more bells, otherwise empty).
    if (table.empty()) {
        table.emplace_back();
    }
    return table;
}

constexpr std::uint32_t Bit(int place)
{
    return 1U << static_cast<unsigned>(place - 1);
}

std::uint32_t MaskOf(std::string_view places)
{
    std::uint32_t mask = 0;
    for (const char symbol : places) {
        mask |= Bit(BellOf(symbol));
    }
    return mask;
}

// Ascending place symbols of a mask; empty for the cross.
std::string TextOf(std::uint32_t mask)
{
    std::string text;
    for (int p = 1; p <= kMaxBells; ++p) {
        if ((mask & Bit(p)) != 0) {
            text += SymbolOf(p);
        }
    }
    return text;
}

// The codes a find group may be: those whose lead heads the Plain Bob lead-end pair reaches.
std::vector<LeadHeadCodeEntry> FindCodes(int bells)
{
    std::vector<LeadHeadCodeEntry> codes;
    for (const LeadHeadCodeEntry& code : LeadHeadCodes(bells)) {
        if (code.plainBob) {
            codes.push_back(code);
        }
    }
    return codes;
}

// The lead heads a variant may reach: with "ALL" every lead head of the groups (on five bells
// also Grandsire's and the other lead heads with the treble and one bell fixed), with a group
// the single lead head its letter stands for.
std::vector<std::uint64_t> AdmittedLeadHeads(int bells, std::string_view group)
{
    std::vector<std::uint64_t> list;
    if (group == "ALL" && bells == 5) {
        constexpr std::string_view kRows =
            "13524,14253,13452,15234,14532,15423,12453,12534,13425,14235";
        for (std::size_t at = 0; at < kRows.size(); at += 6) {
            list.push_back(ParseRow(kRows.substr(at, 5)).Packed());
        }
        return list;
    }
    for (const LeadHeadCodeEntry& code : FindCodes(bells)) {
        const std::uint64_t leadHead = code.leadHead.Packed();
        if (group == "ALL" ? std::find(list.begin(), list.end(), leadHead) == list.end()
                           : code.code == group) {
            list.push_back(leadHead);
        }
    }
    return list;
}

// The lead ends a group admits, in the order they are tried: the group's own, or with "ALL"
// n-th place and then 2nds.
std::vector<LeadEnd> LeadEndsOf(int bells, std::string_view group)
{
    if (group == "ALL") {
        return {LeadEnd::LH1, LeadEnd::LH2};
    }
    for (const LeadHeadCodeEntry& code : FindCodes(bells)) {
        if (code.code == group) {
            return {code.place ? LeadEnd::LH2 : LeadEnd::LH1};
        }
    }
    return {LeadEnd::LH2};
}

// The swaps a lead end makes after the half lead's mirror: pairs from 2nds (LH1) or from 3rds
// (LH2).
BasicRow<kFindMaxBells> LeadEndSwaps(LeadEnd end, int bells)
{
    auto row = Rounds<kFindMaxBells>(bells);
    for (int b = end == LeadEnd::LH1 ? 2 : 3; b < bells; b += 2) {
        std::swap(row[static_cast<std::size_t>(b - 1)], row[static_cast<std::size_t>(b)]);
    }
    return row;
}

} // namespace

std::string FindRefusal(const TBellStore& store)
{
    if (!store.Symmetric() || store.Bells() > kFindMaxBells ||
        store.LeadLength() > kFindMaxChanges) {
        return std::string(kMsgFindNeeds);
    }
    return {};
}

std::vector<std::string> FindGroups(int bells)
{
    std::vector<std::string> groups{"ALL"};
    for (const LeadHeadCodeEntry& code : FindCodes(bells)) {
        groups.emplace_back(code.code);
    }
    return groups;
}

std::string FindGroupRefusal(int bells, std::string_view group)
{
    const std::vector<std::string> groups = FindGroups(bells);
    if (std::find(groups.begin(), groups.end(), group) != groups.end()) {
        return {};
    }
    std::string text = "The lead-head group ";
    text += group;
    text += " is not offered on ";
    text += std::to_string(bells);
    text += " bells; the groups are ";
    for (std::size_t i = 0; i < groups.size(); ++i) {
        text += i == 0 ? "" : ", ";
        text += groups[i];
    }
    text += '.';
    return text;
}

SimilarMethods::SimilarMethods(const TBellStore& base, const FindRequest& request)
    : m_bells(base.Bells()), m_half((base.LeadLength() + 1) / 2), m_request(request)
{
    assert(FindRefusal(base).empty() && m_half <= kMaxDepth);
    m_ends = LeadEndsOf(m_bells, request.group);
    m_leadHeads = AdmittedLeadHeads(m_bells, request.group);
    m_leadEnds = {LeadEndSwaps(LeadEnd::LH1, m_bells), LeadEndSwaps(LeadEnd::LH2, m_bells)};
    int treble = 1;
    for (int d = 1; d <= m_half; ++d) {
        DepthPlan& plan = m_depths[static_cast<std::size_t>(d)];
        const int next = treble + base.GetMove(d, treble);
        const int row = std::min(treble, next); // the lower of the treble's two positions
        for (const char symbol : base.GetChange(d)) {
            const int place = BellOf(symbol);
            if (request.type == FindType::Above ? place >= next : place <= next) {
                plan.fixed |= Bit(place);
            }
        }
        for (const std::string_view places : CandidateTable(request.type, m_bells, row)) {
            Candidate& c = plan.candidates[static_cast<std::size_t>(plan.count++)];
            c.places = MaskOf(places);
            c.change = c.places | plan.fixed;
            c.letThrough = m_bells % 2 == 1 && c.places == Bit(m_bells);
            const Movement move = ChangeMovement(TextOf(c.change), m_bells);
            const Row step = ApplyChange(Rounds(m_bells), move);
            std::copy_n(step.begin(), kFindMaxBells, c.step.begin());
        }
        treble = next;
    }
    m_notation.reserve(128);
}

std::uint64_t SimilarMethods::LeadHead(LeadEnd end) const
{
    // The lead end row: the palindrome about the half-lead change carries each bell from where
    // it stands in row H-1 to where that position's bell stands in row H.
    const SearchRow& before = m_rows[static_cast<std::size_t>(m_half - 1)];
    const SearchRow& after = m_rows[static_cast<std::size_t>(m_half)];
    return (after * before.Inverse() * m_leadEnds[static_cast<std::size_t>(end)]).Packed();
}

bool SimilarMethods::BuildNotation(LeadEnd end)
{
    m_notation.clear();
    bool afterPlaces = false;
    const char tenor = SymbolOf(m_bells);
    for (int d = 1; d <= m_half; ++d) {
        const std::uint32_t change = m_change[static_cast<std::size_t>(d + kBefore)];
        char text[kMaxBells];
        std::size_t length = 0;
        for (int p = 1; p <= m_bells; ++p) {
            if ((change & Bit(p)) != 0) {
                text[length++] = SymbolOf(p);
            }
        }
        std::size_t first = 0;
        if (length > 1 && text[length - 1] == tenor) {
            --length;
        }
        if (length > 1 && text[0] == '1') {
            first = 1;
        }
        if (length == 0) {
            m_notation += '-';
            afterPlaces = false;
            continue;
        }
        if (afterPlaces) {
            m_notation += '.';
        }
        m_notation.append(text + first, length - first);
        afterPlaces = true;
    }
    m_notation += end == LeadEnd::LH1 ? " LH1" : " LH2";
    return m_notation.size() < 99;
}

bool SimilarMethods::Verify(std::uint64_t leadHead)
{
    if (!CheckPlaceNotation(m_notation, m_bells).empty()) {
        return false;
    }
    const int length = SplitNotation(m_notation, m_bells, m_split);
    if (length < 1) {
        return false;
    }
    Row row = Rounds(m_bells);
    Row previous = row;
    for (int i = 0; i < length; ++i) {
        previous = row;
        row = ApplyChange(row, ChangeMovement(m_split[static_cast<std::size_t>(i)], m_bells));
    }
    if (row.Packed() != leadHead) {
        return false;
    }
    // The code the method store gives the same lead.
    const LeadEndType type =
        previous[2] == 2 && row[1] == 2 ? LeadEndType::Grandsire : LeadEndType::PB;
    const Movement move = ChangeMovement(
        m_split[static_cast<std::size_t>(type == LeadEndType::PB ? length - 1 : 0)], m_bells);
    char places[kMaxBells];
    std::size_t count = 0;
    for (int p = 2; p <= m_bells - 1; ++p) {
        if (move[static_cast<std::size_t>(p - 1)] == 0) {
            places[count++] = SymbolOf(p);
        }
    }
    m_code = row[0] == 1 ? LeadHeadCodeOf(row, m_bells, type, std::string_view(places, count))
                         : std::string(1, 'Z');
    return true;
}

bool SimilarMethods::Run(const std::atomic<bool>& stop, const FoundFn& found,
                         const ProgressFn& progress, std::chrono::milliseconds progressEvery)
{
    using Clock = std::chrono::steady_clock;
    Clock::time_point nextProgress = Clock::now() + progressEvery;
    m_possibilities = 0;
    m_candidate.fill(0);
    m_change.fill(kNoChange);
    m_rows[0] = Rounds<kFindMaxBells>(m_bells);
    std::array<int, kMaxDepth + 1> next{};
    const bool fewBells = m_bells < 6;
    const bool odd = m_bells % 2 == 1;
    std::uint32_t tick = 0;
    int d = 1;
    while (true) {
        if (stop.load(std::memory_order_relaxed)) {
            return false;
        }
        if ((++tick & 0xFFFU) == 0 && progress && Clock::now() >= nextProgress) {
            progress(m_possibilities);
            nextProgress = Clock::now() + progressEvery;
        }
        const DepthPlan& plan = m_depths[static_cast<std::size_t>(d)];
        int& at = next[static_cast<std::size_t>(d)];
        if (at == plan.count) {
            at = 0;
            if (--d == 0) {
                break;
            }
            continue;
        }
        const Candidate& c = plan.candidates[static_cast<std::size_t>(at++)];
        const auto i = static_cast<std::size_t>(d + kBefore);
        bool refused = c.change == m_change[i - 1];
        if (!refused && m_request.rightPlaces && d % 2 == 1 && c.places != 0 && !c.letThrough) {
            refused = true;
        }
        if (!refused) {
            // No place made again at once; on few bells no place made four times running
            // (three at the half lead, which the mirror doubles).
            if (!fewBells) {
                refused = (c.places & m_candidate[i - 1]) != 0;
            } else if (d == m_half && d > 2) {
                refused = (c.places & m_candidate[i - 1] & m_candidate[i - 2]) != 0;
            } else if (d > 3 && d != m_half) {
                refused =
                    (c.places & m_candidate[i - 1] & m_candidate[i - 2] & m_candidate[i - 3]) != 0;
            }
        }
        if (refused) {
            ++m_possibilities;
            continue;
        }
        m_candidate[i] = c.places;
        m_change[i] = c.change;
        m_rows[static_cast<std::size_t>(d)] = m_rows[static_cast<std::size_t>(d - 1)] * c.step;
        if (d < m_half) {
            ++d;
            continue;
        }
        for (const LeadEnd end : m_ends) {
            ++m_possibilities;
            // Lead ends that would make the tenor's place too often at the lead end.
            const std::uint32_t tenor = Bit(m_bells);
            const std::uint32_t second = m_half >= 2 ? m_change[kBefore + 2] : 0;
            if (end == LeadEnd::LH2 && m_bells == 5 &&
                (m_change[kBefore + 1] & second & tenor) != 0) {
                continue;
            }
            if (end == LeadEnd::LH1 && !odd && m_bells > 4 &&
                (m_change[kBefore + 1] & tenor) != 0) {
                continue;
            }
            const std::uint64_t leadHead = LeadHead(end);
            if (std::find(m_leadHeads.begin(), m_leadHeads.end(), leadHead) == m_leadHeads.end()) {
                continue;
            }
            if (!BuildNotation(end)) {
                continue;
            }
            if (!Verify(leadHead)) {
                continue;
            }
            if (!found(m_notation, m_code)) {
                return false;
            }
        }
    }
    if (progress) {
        progress(m_possibilities);
    }
    return true;
}

} // namespace tambrel
