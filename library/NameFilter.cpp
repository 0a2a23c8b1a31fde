#include "library/NameFilter.h"

#include "engine/TextFunctions.h"

#include <algorithm>

namespace tambrel {

NameFilter::NameFilter(std::string_view typed)
{
    const std::string upper = UpperCase(typed);
    std::size_t start = 0;
    while (start < upper.size()) {
        const std::size_t blank = upper.find(' ', start);
        const std::size_t stop = blank == std::string::npos ? upper.size() : blank;
        if (stop > start) {
            m_words.push_back(upper.substr(start, stop - start));
        }
        start = stop + 1;
    }
    // The longest word rules most names out, so it is tried first.
    std::stable_sort(
        m_words.begin(), m_words.end(),
        [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
}

bool NameFilter::Matches(std::string_view name) const
{
    return std::all_of(m_words.begin(), m_words.end(), [name](const std::string& word) {
        return name.find(word) != std::string_view::npos;
    });
}

std::vector<std::size_t> FilterPositions(const TDbf& methods, std::size_t first, std::size_t end,
                                         const NameFilter& filter)
{
    // Words with letters the table's code page lacks are compared as the table stores them.
    std::string stored;
    for (const std::string& word : filter.Words()) {
        stored += methods.AsStored(word) + ' ';
    }
    const NameFilter asStored(stored);
    std::vector<std::size_t> positions;
    for (std::size_t pos = first; pos < end; ++pos) {
        if (methods.LiveRecordAt(pos) != 0 && asStored.Matches(methods.FieldTextAt(pos, "name"))) {
            positions.push_back(pos);
        }
    }
    return positions;
}

std::vector<std::size_t> LivePositions(const TDbf& methods, std::size_t first, std::size_t end)
{
    std::vector<std::size_t> positions;
    positions.reserve(end > first ? end - first : 0);
    for (std::size_t pos = first; pos < end; ++pos) {
        if (methods.LiveRecordAt(pos) != 0) {
            positions.push_back(pos);
        }
    }
    return positions;
}

} // namespace tambrel
