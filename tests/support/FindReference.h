#pragma once

// A slow reference for the find-similar search, written apart from it, for the tests and as
// the benchmarks' baseline.

#include "engine/Bells.h"
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"
#include "library/FindSimilar.h"
#include "tests/support/TestSupport.h"

#include <algorithm>
#include <cstdint>
#include <map>
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

// A slow reference, written apart from the search: rows as vectors, changes as sets of places,
// every subset of the positions tried at every depth, each variant rung as a whole lead and its
// code taken from the method store.

using Places = std::set<int>;
using Bells = std::vector<int>;

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

inline Bells Ring(Bells row, const Places& places)
{
    const int n = static_cast<int>(row.size());
    for (int p = 1; p <= n;) {
        if (places.count(p) != 0) {
            ++p;
        } else {
            std::swap(row[static_cast<std::size_t>(p - 1)], row[static_cast<std::size_t>(p)]);
            p += 2;
        }
    }
    return row;
}

inline Places PlacesOf(std::string_view text)
{
    Places places;
    for (const char c : text) {
        places.insert(BellOf(c));
    }
    return places;
}

inline std::string TextOf(const Places& places)
{
    std::string text;
    for (const int p : places) {
        text += SymbolOf(p);
    }
    return text;
}

inline std::string RowOf(const Bells& row)
{
    std::string text;
    for (const int b : row) {
        text += SymbolOf(b);
    }
    return text;
}

inline Bells RoundsOf(int n)
{
    Bells row;
    for (int b = 1; b <= n; ++b) {
        row.push_back(b);
    }
    return row;
}

// The candidates that may be made on the varied side. Above the treble they are every
// fragment of positions 1..r-1 that is a change of its own with at most four places, but not
// all of them when the treble lies at the back (that would be no change at all); below the
// treble the table is taken as it stands.
inline bool Admitted(FindType type, int n, int r, const Places& candidate)
{
    if (type == FindType::Above) {
        if ((!candidate.empty() && *candidate.rbegin() >= r) || !IsChange(candidate, r - 1) ||
            candidate.size() > 4) {
            return false;
        }
        return !(r >= n && static_cast<int>(candidate.size()) == r - 1);
    }
    struct Row {
        int r;
        std::vector<std::pair<std::string, int>> entries; // places, from how many bells
    };
    static const std::vector<Row> kOdd = {{1, {{"3", 0}, {"5", 0}, {"345", 0}, {"7", 6}}},
                                          {2, {{"", 0}, {"45", 0}, {"47", 6}}},
                                          {3, {{"5", 0}, {"7", 6}}},
                                          {4, {{"", 0}}},
                                          {6, {{"", 0}}},
                                          {7, {{"", 0}}}};
    static const std::vector<Row> kEven = {{1,
                                            {{"", 0},
                                             {"34", 0},
                                             {"36", 5},
                                             {"56", 5},
                                             {"3456", 5},
                                             {"38", 7},
                                             {"58", 7},
                                             {"3458", 7}}},
                                           {2, {{"4", 0}, {"6", 5}, {"8", 7}, {"456", 7}}},
                                           {3, {{"", 0}, {"58", 7}, {"56", 7}}},
                                           {5, {{"", 0}}},
                                           {7, {{"", 0}}},
                                           {8, {{"", 0}}}};
    const std::string text = TextOf(candidate);
    if (n % 2 == 1 && r == 5) {
        return text == (n >= 7 ? "7" : "");
    }
    if (n % 2 == 0 && r == 4) {
        return text == (n >= 6 ? "6" : "") || (n > 6 && text == "8");
    }
    if (n % 2 == 0 && r == 6) {
        return text == (n == 8 ? "8" : "");
    }
    for (const Row& row : n % 2 == 1 ? kOdd : kEven) {
        if (row.r != r) {
            continue;
        }
        for (const auto& [places, from] : row.entries) {
            if (places == text && n >= from) {
                return true;
            }
        }
    }
    return false;
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
    const std::string plainBob = n % 2 == 0 ? hunt + " LH 12" : hunt + SymbolOf(n) + " LH 12";
    auto pb = Method(n, plainBob);
    std::set<std::string> heads;
    const std::map<char, int> second = {{'A', 3}, {'B', 5}, {'C', 7}, {'D', 8}, {'E', 6}, {'F', 4},
                                        {'G', 3}, {'H', 5}, {'J', 7}, {'K', 8}, {'L', 6}, {'M', 4},
                                        {'P', 3}, {'Q', 4}, {'R', 3}, {'S', 4}};
    for (int k = 1; k < pb->LeadsInCourse(); ++k) {
        const std::string head = pb->GetRowText(k * pb->LeadLength());
        if (group == "ALL" || BellOf(head[1]) == second.at(group[0])) {
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
        Bells row = RoundsOf(n);
        for (int d = 1; d <= m_half; ++d) {
            const Places change = PlacesOf(base->GetChange(d));
            const int before =
                static_cast<int>(std::find(row.begin(), row.end(), 1) - row.begin()) + 1;
            row = Ring(row, change);
            const int after =
                static_cast<int>(std::find(row.begin(), row.end(), 1) - row.begin()) + 1;
            const int r = std::min(before, after);
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
                if (fits && Admitted(type, n, r, candidate)) {
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
    struct Step {
        Places candidate;
        Places change;
    };

    bool Refused(int d, const Places& candidate, const Places& change) const
    {
        const auto at = [&](int k) { return m_path[static_cast<std::size_t>(k - 1)]; };
        if (d > 1 && change == at(d - 1).change) {
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
                    everywhere = everywhere && d - k >= 1 && at(d - k).candidate.count(p) != 0;
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
            for (const bool nth : Ends()) {
                ++m_result.possibilities;
                Variant(nth);
            }
        }
    }

    std::vector<bool> Ends() const
    {
        if (m_group == "ALL") {
            return {true, false};
        }
        return {std::string("GHJKLMRS").find(m_group[0]) != std::string::npos};
    }

    void Variant(bool nth)
    {
        const Places& first = m_path[0].change;
        if (!nth && m_n == 5 && m_half >= 2 && first.count(5) != 0 &&
            m_path[1].change.count(5) != 0) {
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
            lead.push_back(TextOf(m_path[static_cast<std::size_t>(d - 1)].change));
        }
        for (int d = m_half - 1; d >= 1; --d) {
            lead.push_back(TextOf(m_path[static_cast<std::size_t>(d - 1)].change));
        }
        lead.push_back(TextOf(leadEnd));
        Bells row = RoundsOf(m_n);
        for (const std::string& change : lead) {
            row = Ring(row, PlacesOf(change));
        }
        if (m_heads.count(RowOf(row)) == 0) {
            return;
        }
        const std::string notation = BuildTidyNotation(lead, m_n).notation;
        if (notation.size() >= 99) {
            return;
        }
        auto method = Method(m_n, notation);
        if (method->GetRowText(method->LeadLength()) != RowOf(row)) {
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
    std::vector<Step> m_path;
    Expected m_result;
};

} // namespace tambrel::test
