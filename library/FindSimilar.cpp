#include "library/FindSimilar.h"

#include "engine/LeadHeadCode.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "library/TfrmDataMod.h"

#include <algorithm>
#include <cassert>
#include <exception>
#include <iterator>
#include <unordered_map>
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

template <typename RowLike> std::uint64_t Pack(const RowLike& row, int bells)
{
    std::uint64_t key = 0;
    for (int p = 0; p < bells; ++p) {
        key |= static_cast<std::uint64_t>(row[static_cast<std::size_t>(p)])
               << (4U * static_cast<unsigned>(p));
    }
    return key;
}

std::string Unpack(std::uint64_t key, int bells)
{
    std::string text;
    for (int p = 0; p < bells; ++p) {
        text += SymbolOf(static_cast<int>((key >> (4U * static_cast<unsigned>(p))) & 0xFU));
    }
    return text;
}

// Swaps the pairs of positions start and start+1, start+2 and start+3, ... below `bells`.
template <typename RowLike> void SwapPairs(RowLike& row, int start, int bells)
{
    for (int b = start; b < bells; b += 2) {
        std::swap(row[static_cast<std::size_t>(b - 1)], row[static_cast<std::size_t>(b)]);
    }
}

// The lead heads a variant may reach: with "ALL" every lead head of the course the lead-end
// pair builds (on five bells also Grandsire's and the other lead heads with the treble and one
// bell fixed), with a group the single lead head its letter stands for.
std::vector<std::uint64_t> AdmittedLeadHeads(int bells, std::string_view group)
{
    std::vector<std::uint64_t> list;
    const bool all = group == "ALL";
    if (all && bells % 2 == 1) {
        const std::string_view rows =
            bells == 5 ? "13524,14253,13452,15234,14532,15423,12453,12534,13425,14235"
                       : "1352746,1426375";
        for (std::size_t at = 0; at < rows.size(); at += static_cast<std::size_t>(bells) + 1) {
            Row row{};
            for (int p = 0; p < bells; ++p) {
                row[static_cast<std::size_t>(p)] =
                    static_cast<std::uint8_t>(BellOf(rows[at + static_cast<std::size_t>(p)]));
            }
            list.push_back(Pack(row, bells));
        }
        return list;
    }
    int second = 0; // the bell in 2nds place of the lead head a group stands for
    if (!all) {
        // In this order: G is both here and in the group of 8, and the first wins.
        constexpr std::pair<std::string_view, int> kGroups[] = {
            {"AGPR", 3}, {"BH", 5}, {"CJ", 7}, {"DKG", 8}, {"EL", 6}, {"FMQS", 4}};
        for (const auto& [letters, bell] : kGroups) {
            if (group.size() == 1 && letters.find(group[0]) != std::string_view::npos) {
                second = bell;
                break;
            }
        }
    }
    const Row rounds = Rounds(bells);
    Row row = rounds;
    do {
        SwapPairs(row, 2, bells);
        SwapPairs(row, 3, bells);
        if (row == rounds) {
            break;
        }
        if (all || row[1] == second) {
            list.push_back(Pack(row, bells));
            if (!all) {
                break;
            }
        }
    } while (true);
    return list;
}

// The lead ends a group admits, in the order they are tried.
std::vector<LeadEnd> LeadEndsOf(std::string_view group)
{
    if (group == "ALL") {
        return {LeadEnd::LH1, LeadEnd::LH2};
    }
    if (group.size() == 1 &&
        std::string_view("GHJKLMRS").find(group[0]) != std::string_view::npos) {
        return {LeadEnd::LH1};
    }
    return {LeadEnd::LH2};
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
    switch (bells) {
    case 4:
        return {"ALL", "A", "F", "G", "M"};
    case 6:
        return {"ALL", "A", "B", "E", "F", "G", "H", "L", "M"};
    case 8:
        return {"ALL", "A", "B", "C", "D", "E", "F", "G", "H", "J", "K", "L", "M"};
    default:
        return {"ALL", "P", "Q", "R", "S"};
    }
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

std::string FindTotalsText(std::uint64_t newMethods, std::uint64_t existing)
{
    return std::to_string(newMethods) + " New Methods and " + std::to_string(existing) +
           " Existing Methods";
}

SimilarMethods::SimilarMethods(const TBellStore& base, const FindRequest& request)
    : m_bells(base.Bells()), m_half((base.LeadLength() + 1) / 2), m_request(request)
{
    assert(FindRefusal(base).empty() && m_half <= kMaxDepth);
    m_ends = LeadEndsOf(request.group);
    m_leadHeads = AdmittedLeadHeads(m_bells, request.group);
    int treble = 1;
    for (int d = 1; d <= m_half; ++d) {
        DepthPlan& plan = m_depths[static_cast<std::size_t>(d)];
        const int next = treble + base.GetMove(d, treble);
        plan.row = std::min(treble, next);
        for (const char symbol : base.GetChange(d)) {
            const int place = BellOf(symbol);
            if (request.type == FindType::Above ? place >= next : place <= next) {
                plan.fixed |= Bit(place);
            }
        }
        for (const std::string_view places : CandidateTable(request.type, m_bells, plan.row)) {
            Candidate& c = plan.candidates[static_cast<std::size_t>(plan.count++)];
            c.places = MaskOf(places);
            c.change = c.places | plan.fixed;
            c.letThrough = m_bells % 2 == 1 && c.places == Bit(m_bells);
            const Movement move = ChangeMovement(TextOf(c.change), m_bells);
            for (int p = 0; p < m_bells; ++p) {
                c.source[static_cast<std::size_t>(p)] =
                    static_cast<std::uint8_t>(p + move[static_cast<std::size_t>(p)]);
            }
        }
        treble = next;
    }
    m_notation.reserve(128);
}

const SimilarMethods::DepthPlan& SimilarMethods::Depth(int depth) const
{
    assert(depth >= 1 && depth <= m_half);
    return m_depths[static_cast<std::size_t>(depth)];
}

std::string SimilarMethods::FixedPart(int depth) const
{
    return TextOf(Depth(depth).fixed);
}

std::vector<std::string> SimilarMethods::Candidates(int depth) const
{
    std::vector<std::string> out;
    const DepthPlan& plan = Depth(depth);
    for (int i = 0; i < plan.count; ++i) {
        out.push_back(TextOf(plan.candidates[static_cast<std::size_t>(i)].places));
    }
    return out;
}

std::string SimilarMethods::LeadHeadList() const
{
    std::string text;
    for (const std::uint64_t key : m_leadHeads) {
        if (!text.empty()) {
            text += ',';
        }
        text += Unpack(key, m_bells);
    }
    return text;
}

std::uint64_t SimilarMethods::LeadHead(LeadEnd end) const
{
    // The lead end row: the palindrome about the half-lead change carries each bell from where
    // it stands in row H-1 to where that position's bell stands in row H.
    const Bells8& before = m_rows[static_cast<std::size_t>(m_half - 1)];
    const Bells8& after = m_rows[static_cast<std::size_t>(m_half)];
    Bells8 where{};
    for (int p = 0; p < m_bells; ++p) {
        where[before[static_cast<std::size_t>(p)] - 1U] = static_cast<std::uint8_t>(p);
    }
    Bells8 row{};
    for (int b = 0; b < m_bells; ++b) {
        row[static_cast<std::size_t>(b)] = after[where[static_cast<std::size_t>(b)]];
    }
    SwapPairs(row, end == LeadEnd::LH1 ? 2 : 3, m_bells);
    return Pack(row, m_bells);
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
    if (Pack(row, m_bells) != leadHead) {
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
    m_unstorable = 0;
    m_candidate.fill(0);
    m_change.fill(kNoChange);
    m_rows[0] = {};
    for (int p = 0; p < m_bells; ++p) {
        m_rows[0][static_cast<std::size_t>(p)] = static_cast<std::uint8_t>(p + 1);
    }
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
        const Bells8& from = m_rows[static_cast<std::size_t>(d - 1)];
        Bells8& to = m_rows[static_cast<std::size_t>(d)];
        for (int p = 0; p < m_bells; ++p) {
            to[static_cast<std::size_t>(p)] = from[c.source[static_cast<std::size_t>(p)]];
        }
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
                ++m_unstorable;
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

namespace {

// Heterogeneous lookup, so that a notation is looked up without a copy.
struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view text) const
    {
        return std::hash<std::string_view>{}(text);
    }
};

Status Search(TfrmDataMod& module, const TBellStore& base, const FindRequest& request,
              const FindControl& control, FindOutcome& out)
{
    if (std::string refusal = FindRefusal(base); !refusal.empty()) {
        return Status::Fail(refusal);
    }
    if (std::string refusal = FindGroupRefusal(base.Bells(), request.group); !refusal.empty()) {
        return Status::Fail(refusal);
    }
    // The main library is only read: other programs may go on reading it meanwhile.
    if (Status opened = module.OpenTables("MAIN", TableAccess::Read); !opened) {
        return opened;
    }
    if (Status opened = module.OpenTables("FIND_BUILD"); !opened) {
        return opened;
    }
    TDbf& main = module.dbfMethods;
    TDbf& find = module.dbfTemp;
    if (Status ordered = main.SetOrderToTag("PLACES"); !ordered) {
        return ordered;
    }
    // Every notation of this bell count the main library names, read once: a lookup per
    // stored method would dominate the search. The first record of a notation wins, as a seek
    // finds it.
    const std::string bells = PadRight(std::to_string(base.Bells()), 2);
    std::unordered_map<std::string, std::string, TextHash, std::equal_to<>> names;
    main.GoTop();
    if (main.Find(bells)) {
        for (; !main.Eof() && main.FieldText("bells") == bells; main.Skip()) {
            names.emplace(UpperCase(TrimRight(main.FieldText("places"))),
                          Trim(main.FieldText("name")));
        }
    }
    if (Status unrestricted = find.SetWhileTo(""); !unrestricted) {
        return unrestricted;
    }
    // One write at the end: the old results stay on disk until the new ones are whole.
    find.BeginBulkUpdate();
    Status status;
    if (find.RecordCount() > 0) {
        status = find.Zap();
    }
    const std::string bellsValue = std::to_string(base.Bells());
    SimilarMethods search(base, request);
    const std::atomic<bool> never{false};
    const std::atomic<bool>& stop = control.stop != nullptr ? *control.stop : never;
    std::string name;
    const auto found = [&](std::string_view notation, std::string_view group) {
        const auto known = names.find(notation);
        if (known != names.end()) {
            name = known->second;
        } else {
            ++out.counts.newMethods;
            name.assign(1, '#');
            name += ZeroFill(static_cast<std::int64_t>(out.counts.newMethods), 6);
            name += " Unknown Method";
        }
        find.ClearRecord();
        for (const auto& [field, value] :
             {std::pair<std::string_view, std::string_view>{"bells", bellsValue},
              {"name", name},
              {"places", notation},
              {"group", group}}) {
            if (status = find.Replace(field, value); !status) {
                return false;
            }
        }
        if (status = find.AppendRec(); !status) {
            if (known == names.end()) {
                --out.counts.newMethods;
            }
            return false;
        }
        ++out.counts.found;
        if (out.methods.size() < control.keep) {
            out.methods.push_back({name, std::string(notation), std::string(group)});
        }
        return out.counts.found < control.most;
    };
    const auto progress = [&](std::uint64_t possibilities) {
        out.counts.possibilities = possibilities;
        if (control.progress) {
            control.progress(out.counts);
        }
    };
    bool finished = false;
    if (status) {
        finished = search.Run(stop, found, progress);
    }
    out.counts.possibilities = search.Possibilities();
    out.stopped = status.ok() && !finished;
    Status written = find.EndBulkUpdate();
    if (!written) {
        // What cannot be written is dropped: the table is again as its file says.
        find.DiscardChanges();
    }
    return status ? written : status;
}

} // namespace

FindOutcome FindSimilarMethods(TfrmDataMod& module, const TBellStore& base,
                               const FindRequest& request, const FindControl& control)
{
    FindOutcome out;
    try {
        out.status = Search(module, base, request, control, out);
    } catch (const std::exception& e) {
        // Memory ran out, most likely: the search ends as any failure does, and the find
        // library is left as its file says rather than half updated.
        out.status = Status::Fail(e.what());
        try {
            module.dbfTemp.DiscardChanges();
        } catch (const std::exception&) {
            // Nothing more can be done here; the file on disk is still whole.
        }
    }
    if (Status closed = module.CloseTables(); out.status && !closed) {
        out.status = closed;
    }
    return out;
}

} // namespace tambrel
