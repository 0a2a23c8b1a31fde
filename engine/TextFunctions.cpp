#include "engine/TextFunctions.h"

#include <algorithm>
#include <cstddef>

namespace tambrel {

namespace {

std::size_t Clamp(int count, std::size_t size)
{
    return count <= 0 ? 0 : std::min(static_cast<std::size_t>(count), size);
}

bool IsContinuation(unsigned char byte)
{
    return (byte & 0xC0U) == 0x80U;
}

// Decodes one well-formed sequence of 2 or 3 bytes at `pos`; 0 when it is not one.
char32_t DecodeLatin(std::string_view text, std::size_t pos, std::size_t& length)
{
    const auto b0 = static_cast<unsigned char>(text[pos]);
    if ((b0 & 0xE0U) == 0xC0U && pos + 1 < text.size() &&
        IsContinuation(static_cast<unsigned char>(text[pos + 1]))) {
        length = 2;
        const char32_t c =
            ((b0 & 0x1FU) << 6U) | (static_cast<unsigned char>(text[pos + 1]) & 0x3FU);
        return c >= 0x80 ? c : 0;
    }
    if ((b0 & 0xF0U) == 0xE0U && pos + 2 < text.size() &&
        IsContinuation(static_cast<unsigned char>(text[pos + 1])) &&
        IsContinuation(static_cast<unsigned char>(text[pos + 2]))) {
        length = 3;
        const char32_t c = ((b0 & 0x0FU) << 12U) |
                           ((static_cast<unsigned char>(text[pos + 1]) & 0x3FU) << 6U) |
                           (static_cast<unsigned char>(text[pos + 2]) & 0x3FU);
        return c >= 0x800 ? c : 0;
    }
    return 0;
}

void Encode(char32_t c, std::string& out)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0U | (c >> 6U));
        out += static_cast<char>(0x80U | (c & 0x3FU));
    } else {
        out += static_cast<char>(0xE0U | (c >> 12U));
        out += static_cast<char>(0x80U | ((c >> 6U) & 0x3FU));
        out += static_cast<char>(0x80U | (c & 0x3FU));
    }
}

// Upper case of the Latin letters that names in the libraries use: Latin-1, Latin Extended-A
// and Latin Extended Additional. Letters without a single upper-case form (sharp s) stay.
char32_t UpperLatin(char32_t c)
{
    if ((c >= 0xE0 && c <= 0xFE && c != 0xF7)) {
        return c - 0x20;
    }
    if (c == 0xFF) {
        return 0x178;
    }
    if (c >= 0x100 && c <= 0x17F) {
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x131 || c == 0x138 || c == 0x149) {
            return c; // dotless i, kra and 'n have no upper case of their own here
        }
        if (c == 0x17F) {
            return 'S'; // long s
        }
        if (oddUpper) {
            return (c % 2 == 0) ? c - 1 : c;
        }
        return (c % 2 == 1) ? c - 1 : c;
    }
    if (c >= 0x1E00 && c <= 0x1EFF && !(c >= 0x1E96 && c <= 0x1E9F)) {
        return (c % 2 == 1) ? c - 1 : c;
    }
    return c;
}

} // namespace

std::string Left(std::string_view text, int count)
{
    return std::string(text.substr(0, Clamp(count, text.size())));
}

std::string Right(std::string_view text, int count)
{
    const std::size_t k = Clamp(count, text.size());
    return std::string(text.substr(text.size() - k));
}

std::string TrimRight(std::string_view text)
{
    const std::size_t end = text.find_last_not_of(' ');
    return end == std::string_view::npos ? std::string{} : std::string(text.substr(0, end + 1));
}

std::string Trim(std::string_view text)
{
    const std::size_t begin = text.find_first_not_of(' ');
    if (begin == std::string_view::npos) {
        return {};
    }
    const std::size_t end = text.find_last_not_of(' ');
    return std::string(text.substr(begin, end - begin + 1));
}

std::string PadRight(std::string_view text, int width)
{
    std::string out = Left(text, width);
    if (width > 0) {
        out.resize(static_cast<std::size_t>(width), ' ');
    }
    return out;
}

std::string ZeroFill(std::int64_t value, int digits)
{
    return Right(std::string(static_cast<std::size_t>(std::max(digits, 0)), '0') +
                     std::to_string(value),
                 digits);
}

std::string GroupThousands(std::uint64_t value)
{
    const std::string digits = std::to_string(value);
    std::string out;
    out.reserve(digits.size() + digits.size() / 3);
    for (std::size_t i = 0; i < digits.size(); ++i) {
        if (i > 0 && (digits.size() - i) % 3 == 0) {
            out += ',';
        }
        out += digits[i];
    }
    return out;
}

std::string UpperCase(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char ch = text[i];
        if (ch >= 'a' && ch <= 'z') {
            out += static_cast<char>(ch - 'a' + 'A');
            ++i;
            continue;
        }
        if (static_cast<unsigned char>(ch) < 0x80) {
            out += ch;
            ++i;
            continue;
        }
        std::size_t length = 1;
        const char32_t c = DecodeLatin(text, i, length);
        if (c == 0) {
            // Not a two- or three-byte sequence: copy the whole sequence untouched.
            length = Utf8SequenceLength(text, i);
            out.append(text.substr(i, length));
        } else if (const char32_t upper = UpperLatin(c); upper == c) {
            out.append(text.substr(i, length));
        } else {
            Encode(upper, out);
        }
        i += length;
    }
    return out;
}

std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos)
{
    std::size_t end = pos + 1;
    if (static_cast<unsigned char>(text[pos]) >= 0xC0) {
        while (end < text.size() && end - pos < 4 &&
               IsContinuation(static_cast<unsigned char>(text[end]))) {
            ++end;
        }
    }
    return end - pos;
}

std::size_t Utf8WellFormedLength(std::string_view text, std::size_t pos)
{
    const auto byte = [&](std::size_t i) {
        return pos + i < text.size() ? static_cast<unsigned char>(text[pos + i]) : 0U;
    };
    const unsigned lead = byte(0);
    if (pos >= text.size()) {
        return 0;
    }
    if (lead < 0x80) {
        return 1;
    }
    // The range the second byte may take closes off overlong forms, surrogates and values
    // past U+10FFFF; every later byte is a plain continuation.
    unsigned low = 0x80;
    unsigned high = 0xBF;
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (!IsContinuation(static_cast<unsigned char>(byte(i)))) {
            return 0;
        }
    }
    return length;
}

int Utf8Length(std::string_view text)
{
    int count = 0;
    for (std::size_t i = 0; i < text.size(); i += Utf8SequenceLength(text, i)) {
        ++count;
    }
    return count;
}

std::string Utf8Left(std::string_view text, int count)
{
    std::size_t i = 0;
    for (int k = 0; k < count && i < text.size(); ++k) {
        i += Utf8SequenceLength(text, i);
    }
    return std::string(text.substr(0, i));
}

} // namespace tambrel
