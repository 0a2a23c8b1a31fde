#pragma once

#include "tables/TDbf.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// The browser's filter on names: the words typed, each of which must occur somewhere in a name
// ("YORK" passes "YORKSHIRE SURPRISE MAJOR" and "NEW YORKSHIRE SURPRISE MAJOR"). Names are
// stored in upper case, so the words are upper-cased; blanks only separate words.
class NameFilter {
public:
    NameFilter() = default;
    explicit NameFilter(std::string_view typed);

    bool Empty() const { return m_words.empty(); }
    bool Matches(std::string_view name) const;
    const std::vector<std::string>& Words() const { return m_words; }

private:
    std::vector<std::string> m_words; // upper case, none empty, longest first
};

// The positions in [first, end) of `methods`' current order whose live records' names pass the
// filter, in order. The words are compared with the names as the table stores them. The cursor
// does not move.
std::vector<std::size_t> FilterPositions(const TDbf& methods, std::size_t first, std::size_t end,
                                         const NameFilter& filter);

// Every live position in [first, end): the list without a filter.
std::vector<std::size_t> LivePositions(const TDbf& methods, std::size_t first, std::size_t end);

} // namespace tambrel
