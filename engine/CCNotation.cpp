#include "engine/CCNotation.h"

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

} // namespace tambrel
