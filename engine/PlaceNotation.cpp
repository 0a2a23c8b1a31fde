#include "engine/PlaceNotation.h"

#include "engine/Bells.h"
#include "engine/Messages.h"
#include "engine/TextFunctions.h"

#include <algorithm>
#include <cassert>
#include <cstddef>

namespace tambrel {

namespace {

constexpr int kCross = 17;
constexpr int kSeparator = 18;
constexpr int kMark = 19;

constexpr bool IsPlace(int cls)
{
    return cls >= 1 && cls <= kMaxBells;
}

// Class of an upper-cased character; with `substitute`, "O" reads as "0" and "X" as "-".
int ClassOf(char c, bool substitute)
{
    if (substitute) {
        if (c == 'O') {
            c = '0';
        } else if (c == 'X') {
            c = '-';
        }
    }
    const std::size_t pos = NotationAlphabet.find(c);
    return pos == std::string_view::npos ? 0 : static_cast<int>(pos) + 1;
}

// The upper-cased notation with a "." before and after it, so that both passes can read it from
// its second character and every change ends at a separator. Only ASCII letters are
// upper-cased, so byte positions still match the notation as entered.
std::string WorkingText(std::string_view notation)
{
    std::string text;
    text.reserve(notation.size() + 2);
    if (notation.empty() || notation.front() != '.') {
        text += '.';
    }
    for (const char c : notation) {
        text += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    if (notation.empty() || notation.back() != '.') {
        text += '.';
    }
    return text;
}

// Index of the first character after a half-lead mark at `markIndex` that is a place or a cross
// (classed without substitutions); text.size() when none follows. The character right after
// "L" is the "H" or "E" of the mark and is never looked at.
std::size_t SkipAfterMark(const std::string& text, std::size_t markIndex)
{
    std::size_t i = markIndex + 2;
    while (i < text.size()) {
        const int cls = ClassOf(text[i], false);
        if (IsPlace(cls) || cls == kCross) {
            break;
        }
        ++i;
    }
    return i;
}

// A mark after h changes mirrors the first h - 1 of them, so the lead then has 2h - 1; with no
// change before the mark nothing is mirrored.
int CountAfterMark(int count)
{
    return count > 0 ? 2 * count - 1 : 0;
}

std::string SyntaxError(std::string_view notation, std::size_t workingIndex)
{
    // The shown part ends with the offending character: the first k characters of the notation
    // as entered, k being the character's 1-based position in the working text minus one.
    std::size_t k = std::min(workingIndex, notation.size());
    if (k > 0) {
        const std::size_t start = k - 1;
        // Never cut inside a UTF-8 character: take the whole of the one the cut falls in.
        std::size_t lead = start;
        while (lead > 0 && (static_cast<unsigned char>(notation[lead]) & 0xC0U) == 0x80U) {
            --lead;
        }
        k = std::max(k, lead + Utf8SequenceLength(notation, lead));
    }
    std::string message(kMsgNotationError);
    message += notation;
    message += "\r\r";
    message += kMsgErrorAt;
    message += "\r\r";
    message += notation.substr(0, k);
    message += kMsgErrorMarker;
    return message;
}

} // namespace

std::string CheckPlaceNotation(std::string_view notation, int bells)
{
    if (notation.empty()) {
        return std::string(kMsgNoNotation);
    }
    const std::string text = WorkingText(notation);
    int previous = kSeparator;
    int count = 0;
    std::size_t i = 1;
    while (i < text.size()) {
        const char c = text[i];
        const int cls = ClassOf(c, true);
        bool syntaxError = false;
        std::size_t next = i + 1;
        if (cls == 0) {
            syntaxError = c != ' ';
        } else if (IsPlace(cls)) {
            if (cls > bells) {
                syntaxError = true;
            } else if (IsPlace(previous) && (cls <= previous || (cls - previous) % 2 == 0)) {
                syntaxError = true;
            } else {
                if (previous == kCross) {
                    ++count;
                }
                previous = cls;
            }
        } else if (cls == kCross) {
            if (IsPlace(previous) || previous == kCross) {
                ++count;
            }
            if (bells % 2 != 0) {
                syntaxError = true;
            } else {
                previous = kCross;
            }
        } else if (cls == kSeparator) {
            if (previous == kSeparator) {
                syntaxError = true;
            } else {
                ++count;
                previous = kSeparator;
            }
        } else { // the half-lead mark
            if (previous != kSeparator) {
                ++count;
            }
            if (i + 1 >= text.size() || (text[i + 1] != 'E' && text[i + 1] != 'H')) {
                return SyntaxError(notation, i + 1); // at the character that should be H or E
            }
            count = CountAfterMark(count);
            previous = kMark;
            next = SkipAfterMark(text, i);
            if (next >= text.size()) {
                return SyntaxError(notation, text.size()); // nothing follows the mark
            }
        }
        if (syntaxError) {
            return SyntaxError(notation, i);
        }
        if (count > kMaxChanges) {
            return std::string(kMsgTooManyRows);
        }
        i = next;
    }
    if (count < 1) {
        return std::string(kMsgNoNotation);
    }
    return {};
}

int SplitNotation(std::string_view notation, int bells, ChangeList& changes)
{
    for (std::string& change : changes) {
        change.clear();
    }
    if (bells < 1 || bells > kMaxBells) {
        return 0;
    }
    const std::string text = WorkingText(notation);
    std::size_t k = 0; // the change being filled; changes 0..k-1 are complete
    int previous = kSeparator;
    std::size_t i = 1;
    while (i < text.size() && k < changes.size()) {
        const int cls = ClassOf(text[i], true);
        std::size_t next = i + 1;
        if (IsPlace(cls)) {
            if (previous == kCross) {
                ++k;
            }
            // Places must ascend; anything else was refused by the check and is dropped here.
            if (k < changes.size() && cls <= bells &&
                (changes[k].empty() || BellOf(changes[k].back()) < cls)) {
                changes[k] += NotationAlphabet[static_cast<std::size_t>(cls - 1)];
            }
            previous = cls;
        } else if (cls == kCross) {
            if (previous < kSeparator) {
                ++k;
            }
            previous = kCross;
        } else if (cls == kSeparator) {
            ++k;
            previous = kSeparator;
        } else if (cls == kMark) {
            if (previous != kSeparator) {
                ++k;
            }
            // Mirror the half lead without its half-lead change: k-2, k-3, ..., 0.
            for (std::size_t from = k >= 2 ? k - 2 : 0, copies = k >= 2 ? k - 1 : 0;
                 copies > 0 && k < changes.size(); --copies, --from) {
                changes[k++] = changes[from];
            }
            previous = kMark;
            next = SkipAfterMark(text, i);
        }
        i = next;
    }
    const std::size_t count = std::min(k, changes.size());

    // Write out the implied places: 1st place in front of an even lowest place, and the back
    // bell's place where the last place leaves it with nowhere to go.
    for (std::size_t c = 0; c < count; ++c) {
        std::string& change = changes[c];
        if (change.empty()) {
            continue;
        }
        if (BellOf(change.front()) % 2 == 0) {
            change.insert(change.begin(), '1');
        }
        const int last = BellOf(change.back());
        if (last != bells && (last - bells) % 2 != 0) {
            change += SymbolOf(bells);
        }
    }
    return static_cast<int>(count);
}

TidyForm BuildTidyNotation(std::span<const std::string> changes, int bells)
{
    const std::size_t length = changes.size();
    TidyForm tidy;
    tidy.symmetric = length % 2 == 0 && length > 0;
    for (std::size_t i = 1; tidy.symmetric && i < length / 2; ++i) {
        // change i against change L - i, 1-based
        tidy.symmetric = changes[i - 1] == changes[length - i - 1];
    }

    enum class Previous { None, Swap, Number } previous = Previous::None;
    const char back = bells >= 1 && bells <= kMaxBells ? SymbolOf(bells) : '\0';
    for (std::size_t i = 1; i <= length; ++i) {
        const std::string& change = changes[i - 1];
        if (change.empty()) {
            tidy.notation += '-';
            previous = Previous::Swap;
        } else {
            std::string_view shown = change;
            if (shown.size() > 1 && shown.back() == back) {
                shown.remove_suffix(1);
            }
            if (shown.size() > 1 && shown.front() == '1' && BellOf(shown[1]) % 2 == 0) {
                shown.remove_prefix(1);
            }
            if (previous == Previous::Number) {
                tidy.notation += '.';
            }
            tidy.notation += shown;
            previous = Previous::Number;
        }
        if (tidy.symmetric && i == length / 2) {
            tidy.notation += " LH";
            previous = Previous::None;
            i = length - 1; // the lead-end change follows the mark directly
        }
    }
    return tidy;
}

} // namespace tambrel
