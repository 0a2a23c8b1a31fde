#pragma once

// The false course head search written the plain way, to check the indexed search against: every
// row of the lead against every row of the course, each FCH looked up among the texts kept.

#include "analysis/TBellFCH.h"
#include "engine/Bells.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"

#include <algorithm>
#include <array>
#include <string>
#include <vector>

namespace tambrel::test {

// The four lists in TBellFCH's order: in-course, out-of-course, six-symbol in and out.
using FchLists = std::array<std::vector<std::string>, 4>;

inline FchLists ListsOf(const TBellFCH& fch)
{
    FchLists lists;
    for (const auto list : {TBellFCH::List::InCourse, TBellFCH::List::OutOfCourse,
                            TBellFCH::List::SplitIn, TBellFCH::List::SplitOut}) {
        auto& out = lists[static_cast<std::size_t>(list)];
        for (int k = 1; k <= fch.Count(list); ++k) {
            out.push_back(fch.Entry(list, k));
        }
    }
    return lists;
}

inline FchLists ReferenceSearch(const TBellStore& a, const TBellStore& b, int lead, bool labelled,
                                bool secondNotation)
{
    FchLists lists;
    const int n = a.Bells();
    const int fixed = n == 8 ? 8 : 7;
    const int lengthA = a.LeadLength();
    const int lengthB = b.LeadLength();
    const int leadsB = b.LeadsInCourse();
    if (lengthA <= 0 || lengthB <= 0 || lead < 1 || lead > a.LeadsInCourse() || b.Bells() != n) {
        return lists;
    }
    const bool same = &a == &b;
    const auto store = [&](std::size_t list, std::size_t other, const std::string& text) {
        auto& held = lists[list];
        if (std::ranges::find(held, text) != held.end() ||
            std::ranges::find(lists[other], text) != lists[other].end()) {
            return;
        }
        if (held.size() == static_cast<std::size_t>(TBellFCH::kMaxEntries)) {
            held[0] = std::string(TBellFCH::kOverflow);
            return;
        }
        held.push_back(text);
    };

    for (int ra = (lead - 1) * lengthA; ra < lead * lengthA; ++ra) {
        const Row& x = a.RowAt(ra);
        for (int j = 1; j <= leadsB; ++j) {
            for (int rb = (j - 1) * lengthB; rb < j * lengthB; ++rb) {
                if (same && ra == rb) {
                    continue;
                }
                const Row& y = b.RowAt(rb);
                bool match = true;
                for (int p = 0; p < n && match; ++p) {
                    const int bell = x[static_cast<std::size_t>(p)];
                    match = (bell != 1 && bell < fixed) || y[static_cast<std::size_t>(p)] == bell;
                }
                if (!match) {
                    continue;
                }
                std::string text(6, ' ');
                std::array<int, 8> map{0, 0, 2, 3, 4, 5, 6, 7};
                for (int p = 0; p < n; ++p) {
                    const auto at = static_cast<std::size_t>(p);
                    const int from = secondNotation ? x[at] : y[at];
                    const int to = secondNotation ? y[at] : x[at];
                    if (from >= 2 && from < fixed) {
                        text[static_cast<std::size_t>(from - 2)] = SymbolOf(to);
                        map[static_cast<std::size_t>(from)] = to;
                    }
                }
                text = Trim(text[5] == '7' ? text.substr(0, 5) : text);
                const bool split = text.size() == 6;
                int inversions = 0;
                for (std::size_t i = 2; i < map.size(); ++i) {
                    for (std::size_t k = i + 1; k < map.size(); ++k) {
                        inversions += map[i] > map[k] ? 1 : 0;
                    }
                }
                const bool inCourse = inversions % 2 == 0;
                if (labelled && secondNotation) {
                    text += " V" + std::to_string(j);
                } else if (labelled) {
                    text = (leadsB > 9 && j < 10 ? "L0" : "L") + std::to_string(j) + "-" + text;
                }
                const std::size_t base = split ? 2 : 0;
                store(base + (inCourse ? 0 : 1), base + (inCourse ? 1 : 0), text);
            }
        }
    }
    for (auto& list : lists) {
        if (!list.empty() && list[0] == TBellFCH::kOverflow) {
            list.resize(1);
        }
    }
    return lists;
}

} // namespace tambrel::test
