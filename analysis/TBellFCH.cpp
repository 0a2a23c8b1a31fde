#include "analysis/TBellFCH.h"

#include "engine/Bells.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"

#include <cassert>
#include <utility>

namespace tambrel {

const std::string& TBellFCH::Entry(List list, int k) const
{
    assert(k >= 1 && k <= kMaxEntries);
    return m_lists[Index(list)][static_cast<std::size_t>(k - 1)];
}

void TBellFCH::Store(List list, List other, const std::string& text)
{
    auto& entries = m_lists[Index(list)];
    int& count = m_counts[Index(list)];
    for (const List searched : {list, other}) {
        const auto& held = m_lists[Index(searched)];
        for (int k = 0; k < m_counts[Index(searched)]; ++k) {
            if (held[static_cast<std::size_t>(k)] == text) {
                return;
            }
        }
    }
    if (count == kMaxEntries) {
        entries[0] = std::string(kOverflow);
        return;
    }
    entries[static_cast<std::size_t>(count)] = text;
    ++count;
}

void TBellFCH::Search(const TBellStore& a, const TBellStore& b, int lead, bool labelled,
                      bool secondNotation)
{
    m_counts.fill(0);
    for (auto& list : m_lists) {
        list[0].clear();
    }
    const int n = a.Bells();
    // The treble and the bells from the fixed limit up must stand still between the rows.
    const int fixed = n == 8 ? 8 : 7;
    const int lengthA = a.LeadLength();
    const int lengthB = b.LeadLength();
    const int leadsB = b.LeadsInCourse();
    if (lengthA <= 0 || lengthB <= 0 || lead < 1) {
        return;
    }
    const bool same = &a == &b;
    const int labelWidth = leadsB > 9 ? 2 : 1;
    const auto isFixed = [fixed](int bell) { return bell == 1 || bell >= fixed; };

    for (int ra = (lead - 1) * lengthA; ra < lead * lengthA && ra <= a.RowCount(); ++ra) {
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
                    match = !isFixed(bell) || y[static_cast<std::size_t>(p)] == bell;
                }
                if (!match) {
                    continue;
                }
                // Character k of the text stands for bell k + 1; the map holds the same
                // bells as numbers for the parity. Bells the stage lacks keep their own
                // number, so that they never take part in the sorting.
                std::string text(6, ' ');
                std::array<int, 8> map{0, 0, 2, 3, 4, 5, 6, 7};
                for (int p = 0; p < n; ++p) {
                    const int from = secondNotation ? x[static_cast<std::size_t>(p)]
                                                    : y[static_cast<std::size_t>(p)];
                    const int to = secondNotation ? y[static_cast<std::size_t>(p)]
                                                  : x[static_cast<std::size_t>(p)];
                    if (from >= 2 && from < fixed) {
                        text[static_cast<std::size_t>(from - 2)] = SymbolOf(to);
                        map[static_cast<std::size_t>(from)] = to;
                    }
                }
                if (text[5] == '7') {
                    text[5] = ' ';
                }
                text = Trim(text);
                const bool split = text.size() == 6;

                // Parity: the exchanges a bubble sort of the map needs.
                int exchanges = 0;
                for (bool swapped = true; swapped;) {
                    swapped = false;
                    for (int bell = 2; bell + 1 < fixed; ++bell) {
                        auto& here = map[static_cast<std::size_t>(bell)];
                        auto& next = map[static_cast<std::size_t>(bell + 1)];
                        if (next < here) {
                            std::swap(here, next);
                            ++exchanges;
                            swapped = true;
                        }
                    }
                }
                const bool inCourse = exchanges % 2 == 0;

                if (labelled) {
                    if (secondNotation) {
                        text += " V" + std::to_string(j);
                    } else {
                        text = "L" + ZeroFill(j, labelWidth) + "-" + text;
                    }
                }
                if (split) {
                    Store(inCourse ? List::SplitIn : List::SplitOut,
                          inCourse ? List::SplitOut : List::SplitIn, text);
                } else {
                    Store(inCourse ? List::InCourse : List::OutOfCourse,
                          inCourse ? List::OutOfCourse : List::InCourse, text);
                }
            }
        }
    }
    for (std::size_t list = 0; list < m_lists.size(); ++list) {
        if (m_counts[list] > 0 && m_lists[list][0] == kOverflow) {
            m_counts[list] = 1;
        }
    }
}

} // namespace tambrel
