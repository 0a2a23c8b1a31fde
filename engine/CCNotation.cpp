#include "engine/CCNotation.h"

#include "engine/Bells.h"
#include "engine/PlaceNotation.h"

#include <vector>

namespace tambrel {

namespace {

// One side of a comma as its changes; a cross is "-", a place change its characters as written.
std::vector<std::string> Changes(std::string_view side)
{
    std::vector<std::string> changes;
    std::string current;
    auto flush = [&] {
        if (!current.empty()) {
            changes.push_back(std::move(current));
            current.clear();
        }
    };
    for (const char c : side) {
        if (c == '-' || c == 'x' || c == 'X') {
            flush();
            changes.emplace_back("-");
        } else if (c == '.') {
            flush();
        } else if (c != ' ') {
            current += c;
        }
    }
    flush();
    return changes;
}

// Changes joined the way the splitter reads them: a "." between two place changes only.
void Append(std::string& out, const std::string& change, bool& lastWasPlaces)
{
    const bool places = change != "-";
    if (places && lastWasPlaces) {
        out += '.';
    }
    out += change;
    lastWasPlaces = places;
}

} // namespace

Result<std::string> ExpandCCNotation(std::string_view notation)
{
    std::string out;
    bool lastWasPlaces = false;
    std::size_t start = 0;
    const bool palindromic = notation.find(',') != std::string_view::npos;
    while (start <= notation.size()) {
        std::size_t end = notation.find(',', start);
        if (end == std::string_view::npos) {
            end = notation.size();
        }
        const std::vector<std::string> side = Changes(notation.substr(start, end - start));
        if (side.empty()) {
            return Result<std::string>::fail("Empty part in the notation \"" +
                                             std::string(notation) + "\".");
        }
        for (const std::string& change : side) {
            Append(out, change, lastWasPlaces);
        }
        if (palindromic) {
            for (std::size_t i = side.size() - 1; i-- > 0;) {
                Append(out, side[i], lastWasPlaces);
            }
        }
        start = end + 1;
    }
    return Result<std::string>::ok(std::move(out));
}

std::string ExpandTypedNotation(std::string_view typed)
{
    if (typed.find(',') == std::string_view::npos) {
        return std::string(typed);
    }
    Result<std::string> lead = ExpandCCNotation(typed);
    return lead ? std::move(*lead.value) : std::string(typed);
}

namespace {

// Changes [first, last) written in turn: "-" for a cross, "." only between two place texts.
std::string Written(const std::vector<std::string>& changes, std::size_t first, std::size_t last)
{
    std::string text;
    for (std::size_t i = first; i < last; ++i) {
        if (changes[i].empty()) {
            text += '-';
            continue;
        }
        if (i > first && !changes[i - 1].empty()) {
            text += '.';
        }
        text += changes[i];
    }
    return text;
}

bool IsPalindrome(const std::vector<std::string>& changes, std::size_t first, std::size_t last)
{
    for (; first + 1 < last; ++first, --last) {
        if (changes[first] != changes[last - 1]) {
            return false;
        }
    }
    return true;
}

} // namespace

std::string CCNotationOf(const std::vector<std::string>& changes)
{
    const std::size_t n = changes.size();
    // The Council writes a two-change lead as a plain list.
    if (n > 2 && n % 2 == 0) {
        // The first side's mirror takes 2k - 1 changes, the second side's the rest: the lead
        // end alone first (k = n/2), then the other splits from the shortest first side.
        std::vector<std::size_t> sides{n / 2};
        for (std::size_t k = 1; k < n / 2; ++k) {
            sides.push_back(k);
        }
        for (const std::size_t k : sides) {
            if (IsPalindrome(changes, 0, 2 * k - 1) && IsPalindrome(changes, 2 * k - 1, n)) {
                return Written(changes, 0, k) + "," +
                       Written(changes, 2 * k - 1, 2 * k - 1 + (n - 2 * k + 2) / 2);
            }
        }
    }
    return Written(changes, 0, n);
}

std::string CCNotationOfPlaces(std::string_view notation, int bells)
{
    if (!IsValidStage(bells) || !CheckPlaceNotation(notation, bells).empty()) {
        return std::string(notation);
    }
    ChangeList changes;
    const int count = SplitNotation(notation, bells, changes);
    return CCNotationOf(std::vector<std::string>(changes.begin(), changes.begin() + count));
}

} // namespace tambrel
