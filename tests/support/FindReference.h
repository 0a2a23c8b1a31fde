#pragma once

// A slow reference for the find-similar search, written apart from it, for the tests and as
// the benchmarks' baseline: changes as sets of places, every subset of the positions tried at
// every depth, each variant rung as a whole lead and its code taken from the method store.

#include "analysis/FindSimilar.h"
#include "engine/Bells.h"
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tambrel::test {

inline std::unique_ptr<TBellStore> Method(int bells, std::string_view notation)
{
    return Calculated(bells, notation, "");
}

struct Found {
    std::string notation;
    std::string group;
    auto operator<=>(const Found&) const = default;
};

inline void PrintTo(const Found& f, std::ostream* out)
{
    *out << f.notation << " [" << f.group << ']';
}

using Places = std::set<int>;

// The bells of a change move in pairs; false when the places leave a bell without a partner.
inline bool IsChange(const Places& places, int n)
{
    for (int p = 1; p <= n;) {
        if (places.count(p) != 0) {
            ++p;
        } else if (p + 1 <= n && places.count(p + 1) == 0) {
            p += 2;
        } else {
            return false;
        }
    }
    return true;
}

inline std::string TextOf(const Places& places)
{
    std::string text;
    for (const int p : places) {
        text += SymbolOf(p);
    }
    return text;
}

// The candidates that may be made on the varied side. Above the treble they are every
// fragment of positions 1..r-1 that is a change of its own with at most four places, but not
// all of them when the treble lies at the back (that would be no change at all); below the
// treble the places of the table, by the treble's row r and the stage.
inline bool Admitted(FindType type, int n, int r, const Places& candidate)
{
    if (type == FindType::Above) {
        if ((!candidate.empty() && *candidate.rbegin() >= r) || !IsChange(candidate, r - 1) ||
            candidate.size() > 4) {
            return false;
        }
        return !(r >= n && static_cast<int>(candidate.size()) == r - 1);
    }
    struct Below {
        int r;
        std::string_view places;
        int from = 0, to = 16; // the stages
    };
    static const std::vector<Below> kOdd = {
        {1, "3"}, {1, "5"},    {1, "345"}, {1, "7", 6},   {2, ""},     {2, "45"}, {2, "47", 6},
        {3, "5"}, {3, "7", 6}, {4, ""},    {5, "", 0, 6}, {5, "7", 7}, {6, ""},   {7, ""}};
    static const std::vector<Below> kEven = {
        {1, ""},      {1, "34"},      {1, "36", 5},   {1, "56", 5},  {1, "3456", 5}, {1, "38", 7},
        {1, "58", 7}, {1, "3458", 7}, {2, "4"},       {2, "6", 5},   {2, "8", 7},    {2, "456", 7},
        {3, ""},      {3, "58", 7},   {3, "56", 7},   {4, "", 0, 5}, {4, "6", 6},    {4, "8", 7},
        {5, ""},      {6, "", 0, 7},  {6, "8", 8, 8}, {6, "", 9},    {7, ""},        {8, ""}};
    const std::string text = TextOf(candidate);
    return std::ranges::any_of(n % 2 == 1 ? kOdd : kEven, [&](const Below& b) {
        return b.r == r && b.places == text && n >= b.from && n <= b.to;
    });
}

// The Plain Bob lead heads (Grandsire's too on five bells with "ALL") a variant may reach.
inline std::set<std::string> AllowedLeadHeads(int n, const std::string& group)
{
    if (group == "ALL" && n == 5) {
        return {"13524", "14253", "13452", "15234", "14532",
                "15423", "12453", "12534", "13425", "14235"};
    }
    if (group == "ALL" && n == 7) {
        return {"1352746", "1426375"};
    }
    std::string hunt;
    for (int i = 0; i < n / 2; ++i) {
        hunt +=
            n % 2 == 0 ? "-1" + std::string(1, SymbolOf(n)) : std::string(1, SymbolOf(n)) + ".1.";
    }
    auto pb = Method(n, n % 2 == 0 ? hunt + " LH 12" : hunt + SymbolOf(n) + " LH 12");
    // The bell in 2nds of the lead head each group stands for.
    const std::string_view letters = "ABCDEFGHJKLMPQRS";
    const std::string_view seconds = "3578643578643434";
    std::set<std::string> heads;
    for (int k = 1; k < pb->LeadsInCourse(); ++k) {
        const std::string head = pb->GetRowText(k * pb->LeadLength());
        if (group == "ALL" || head[1] == seconds[letters.find(group[0])]) {
            heads.insert(head);
        }
    }
    return heads;
}

struct Expected {
    std::uint64_t possibilities = 0;
    std::vector<Found> stored;
    std::vector<std::string> problems; // what the reference itself could not do
};

class Reference {
public:
    Reference(int n, std::string_view notation, FindType type, bool right, std::string group)
        : m_n(n), m_right(right), m_group(std::move(group)), m_heads(AllowedLeadHeads(n, m_group))
    {
        auto base = Method(n, notation);
        m_half = base->LeadLength() / 2;
        Row row = Rounds(n);
        for (int d = 1; d <= m_half; ++d) {
            Places change;
            for (const char c : base->GetChange(d)) {
                change.insert(BellOf(c));
            }
            const auto trebleAt = [&] {
                return static_cast<int>(std::find(row.begin(), row.end(), 1) - row.begin()) + 1;
            };
            const int before = trebleAt();
            row = ApplyChange(row, ChangeMovement(TextOf(change), n));
            const int after = trebleAt();
            const auto kept = [&](int p) {
                return type == FindType::Above ? p >= after : p <= after;
            };
            std::vector<std::pair<Places, Places>> options; // candidate, whole change
            for (unsigned mask = 0; mask < (1U << n); ++mask) {
                Places whole;
                Places candidate;
                bool fits = true;
                for (int p = 1; p <= n; ++p) {
                    const bool place = (mask >> (p - 1) & 1U) != 0;
                    if (kept(p)) {
                        fits = fits && place == (change.count(p) != 0);
                    } else if (place) {
                        candidate.insert(p);
                    }
                    if (place) {
                        whole.insert(p);
                    }
                }
                if (fits && Admitted(type, n, std::min(before, after), candidate)) {
                    if (!IsChange(whole, n)) {
                        m_result.problems.push_back("a change that is no change: " + TextOf(whole));
                        continue;
                    }
                    options.emplace_back(candidate, whole);
                }
            }
            m_options.push_back(options);
        }
    }

    Expected Run()
    {
        m_path.assign(static_cast<std::size_t>(m_half), {});
        Descend(1);
        return m_result;
    }

private:
    bool Refused(int d, const Places& candidate, const Places& change) const
    {
        const auto at = [&](int k) { return m_path[static_cast<std::size_t>(k - 1)]; };
        if (d > 1 && change == at(d - 1).second) {
            return true;
        }
        const bool letThrough = m_n % 2 == 1 && TextOf(candidate) == std::to_string(m_n);
        if (m_right && d % 2 == 1 && !candidate.empty() && !letThrough) {
            return true;
        }
        const auto inAll = [&](int back) {
            for (const int p : candidate) {
                bool everywhere = true;
                for (int k = 1; k <= back; ++k) {
                    everywhere = everywhere && d - k >= 1 && at(d - k).first.count(p) != 0;
                }
                if (everywhere) {
                    return true;
                }
            }
            return false;
        };
        if (m_n >= 6) {
            return inAll(1);
        }
        if (d == m_half) {
            return d > 2 && inAll(2);
        }
        return d > 3 && inAll(3);
    }

    void Descend(int d)
    {
        for (const auto& [candidate, change] : m_options[static_cast<std::size_t>(d - 1)]) {
            if (Refused(d, candidate, change)) {
                ++m_result.possibilities;
                continue;
            }
            m_path[static_cast<std::size_t>(d - 1)] = {candidate, change};
            if (d < m_half) {
                Descend(d + 1);
                continue;
            }
            const bool nthOnly = std::string_view("GHJKLMRS").find(m_group[0]) != std::string::npos;
            for (const bool nth :
                 m_group == "ALL" ? std::vector{true, false} : std::vector{nthOnly}) {
                ++m_result.possibilities;
                Variant(nth);
            }
        }
    }

    void Variant(bool nth)
    {
        const Places& first = m_path[0].second;
        if (!nth && m_n == 5 && m_half >= 2 && first.count(5) != 0 &&
            m_path[1].second.count(5) != 0) {
            return;
        }
        if (nth && m_n % 2 == 0 && m_n > 4 && first.count(m_n) != 0) {
            return;
        }
        Places leadEnd = nth ? Places{1} : Places{1, 2};
        if (nth == (m_n % 2 == 0)) {
            leadEnd.insert(m_n);
        }
        std::vector<std::string> lead;
        for (int d = 1; d <= m_half; ++d) {
            lead.push_back(TextOf(m_path[static_cast<std::size_t>(d - 1)].second));
        }
        for (int d = m_half - 1; d >= 1; --d) {
            lead.push_back(TextOf(m_path[static_cast<std::size_t>(d - 1)].second));
        }
        lead.push_back(TextOf(leadEnd));
        Row row = Rounds(m_n);
        for (const std::string& change : lead) {
            row = ApplyChange(row, ChangeMovement(change, m_n));
        }
        const std::string head = RowText(row, m_n);
        if (m_heads.count(head) == 0) {
            return;
        }
        const std::string notation = BuildTidyNotation(lead, m_n).notation;
        if (notation.size() >= 99) {
            return;
        }
        auto method = Method(m_n, notation);
        if (method->GetRowText(method->LeadLength()) != head) {
            m_result.problems.push_back(notation + " rings another lead head");
        }
        m_result.stored.push_back({notation, method->LeadHeadCode()});
    }

    int m_n;
    bool m_right;
    std::string m_group;
    std::set<std::string> m_heads;
    int m_half = 0;
    std::vector<std::vector<std::pair<Places, Places>>> m_options;
    std::vector<std::pair<Places, Places>> m_path; // candidate, whole change
    Expected m_result;
};

} // namespace tambrel::test
