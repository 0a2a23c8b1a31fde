#include "library/XmlInputGuard.h"

#include <libxml/encoding.h>

#include <algorithm>
#include <cassert>
#include <cstring>
#include <istream>

namespace tambrel {

namespace {

static_assert(kMaxAttributesInScope <= UINT8_MAX, "counts are kept in a byte each");

void AppendUtf8(std::string& out, char32_t c)
{
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0U | (c >> 6U));
        out += static_cast<char>(0x80U | (c & 0x3FU));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0U | (c >> 12U));
        out += static_cast<char>(0x80U | ((c >> 6U) & 0x3FU));
        out += static_cast<char>(0x80U | (c & 0x3FU));
    } else {
        out += static_cast<char>(0xF0U | (c >> 18U));
        out += static_cast<char>(0x80U | ((c >> 12U) & 0x3FU));
        out += static_cast<char>(0x80U | ((c >> 6U) & 0x3FU));
        out += static_cast<char>(0x80U | (c & 0x3FU));
    }
}

bool IsSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDFFF;
}

bool IsHighSurrogate(char16_t unit)
{
    return unit >= 0xD800 && unit <= 0xDBFF;
}

std::string TooManyAttributes(std::size_t line)
{
    return "The collection has an element that, with the elements around it, carries more "
           "than " +
           std::to_string(kMaxAttributesInScope) + " attributes (line " + std::to_string(line) +
           "), which the Central Council's file never has; it was not read.";
}

} // namespace

int XmlInputGuard::Read(char* buffer, int length)
{
    assert(length > 0);
    if (!m_refusal.empty()) {
        return -1;
    }
    const auto wanted = static_cast<std::size_t>(length);
    if (m_handedOut == m_block.size() && !Fill(wanted)) {
        return m_refusal.empty() && !m_in.bad() ? 0 : -1;
    }
    const std::size_t count = std::min(m_block.size() - m_handedOut, wanted);
    std::memcpy(buffer, m_block.data() + m_handedOut, count);
    m_handedOut += count;
    return static_cast<int>(count);
}

// The next block, from about `wanted` bytes of the file, decoded and followed; false at the end
// of the input or on a refusal. Reading no more than the parser asks for keeps the guard close
// behind the parser's own reading.
bool XmlInputGuard::Fill(std::size_t wanted)
{
    m_block.clear();
    m_handedOut = 0;
    for (;;) {
        const std::size_t kept = m_raw.size();
        m_raw.resize(kept + wanted);
        m_in.read(m_raw.data() + kept, static_cast<std::streamsize>(wanted));
        m_raw.resize(kept + static_cast<std::size_t>(m_in.gcount()));
        if (m_in.bad()) {
            return false;
        }
        const bool end = m_raw.size() == kept;
        if (m_encoding == Encoding::Unknown) {
            if (m_raw.size() < 3 && !end) {
                continue; // the byte-order mark may not be whole yet
            }
            const std::string_view start = m_raw;
            if (start.starts_with("\xFF\xFE") || start.starts_with("\xFE\xFF")) {
                m_encoding = start[0] == '\xFF' ? Encoding::Utf16Le : Encoding::Utf16Be;
                m_raw.erase(0, 2);
            } else {
                m_encoding = Encoding::Utf8;
                if (start.starts_with("\xEF\xBB\xBF")) {
                    m_raw.erase(0, 3);
                }
            }
        }
        std::string broken;
        if (m_encoding == Encoding::Utf8) {
            m_block.swap(m_raw);
            m_raw.clear();
        } else {
            broken = DecodeUtf16(end);
        }
        if (m_start.size() < 4) {
            m_start += std::string_view(m_block).substr(0, 4 - m_start.size());
            // libxml2 takes the encoding from the first four bytes where they look like
            // UTF-16 or UCS-4 without a mark, or EBCDIC, and would then read the file as bytes
            // this guard cannot follow. None of those begins a well-formed UTF-8 document.
            if (m_start.size() == 4) {
                const xmlCharEncoding guess = xmlDetectCharEncoding(
                    reinterpret_cast<const unsigned char*>(m_start.data()), 4);
                if (guess != XML_CHAR_ENCODING_NONE && guess != XML_CHAR_ENCODING_UTF8) {
                    return Refuse("The collection is neither UTF-8 nor UTF-16 with a byte-order "
                                  "mark; it was not read.");
                }
            }
        }
        if (!Follow(m_block)) {
            return false;
        }
        if (!broken.empty()) {
            return Refuse("The collection is not well-formed XML (line " + std::to_string(m_line) +
                          ": " + broken + ").");
        }
        if (!m_block.empty()) {
            return true;
        }
        if (end) {
            return false;
        }
    }
}

// Decodes m_raw onto m_block, keeping an odd last byte for the next block. Returns what is
// wrong with the UTF-16 where the decoded text stops, or nothing.
std::string XmlInputGuard::DecodeUtf16(bool end)
{
    const bool little = m_encoding == Encoding::Utf16Le;
    const std::size_t units = m_raw.size() / 2;
    m_block.reserve(units * 3);
    for (std::size_t u = 0; u < units; ++u) {
        const auto first = static_cast<unsigned char>(m_raw[2 * u]);
        const auto second = static_cast<unsigned char>(m_raw[2 * u + 1]);
        const auto unit =
            static_cast<char16_t>(little ? first | second << 8U : first << 8U | second);
        if (m_highSurrogate != 0) {
            if (!IsSurrogate(unit) || IsHighSurrogate(unit)) {
                return "its UTF-16 has a lone surrogate";
            }
            AppendUtf8(m_block,
                       0x10000 + ((char32_t{m_highSurrogate} - 0xD800) << 10U) + (unit - 0xDC00U));
            m_highSurrogate = 0;
        } else if (IsHighSurrogate(unit)) {
            m_highSurrogate = unit;
        } else if (IsSurrogate(unit)) {
            return "its UTF-16 has a lone surrogate";
        } else {
            AppendUtf8(m_block, unit);
        }
    }
    m_raw.erase(0, units * 2);
    if (end && m_highSurrogate != 0) {
        return "its UTF-16 has a lone surrogate";
    }
    if (end && !m_raw.empty()) {
        return "its UTF-16 ends in the middle of a character";
    }
    return {};
}

// Follows the markup through `bytes`, carrying where it is to the next block. Only what the
// parser's cost depends on is told apart; anything the parser refuses may be read loosely,
// since the parser reads nothing more after its first error.
bool XmlInputGuard::Follow(std::string_view bytes)
{
    const std::size_t n = bytes.size();
    std::size_t i = 0;
    while (i < n) {
        switch (m_markup) {
        case Markup::Text: {
            const std::size_t open = bytes.find('<', i);
            i = open == std::string_view::npos ? n : open + 1;
            if (open != std::string_view::npos) {
                m_markup = Markup::Open;
            }
            break;
        }
        case Markup::Open:
            if (bytes[i] == '/') {
                m_markup = Markup::EndTag;
            } else if (bytes[i] == '?') {
                m_markup = Markup::Instruction;
                m_matched = 0;
            } else if (bytes[i] == '!') {
                m_markup = Markup::Declaration;
                m_declaration.clear();
            } else {
                BeginStartTag(); // this byte is the start of its name
                break;
            }
            ++i;
            break;
        case Markup::Declaration: {
            m_declaration += bytes[i++];
            const auto begins = [&](std::string_view whole) {
                return whole.starts_with(m_declaration);
            };
            if (m_declaration == "--" || m_declaration == "[CDATA[") {
                m_markup = m_declaration == "--" ? Markup::Comment : Markup::CData;
                m_matched = 0;
            } else if (m_declaration == "DOCTYPE") {
                // The Council's file has none; refusing it keeps every entity unexpanded.
                return Refuse(std::string(kMsgCollectionDocumentType));
            } else if (!begins("--") && !begins("[CDATA[") && !begins("DOCTYPE")) {
                BeginStartTag(); // no markup the parser takes; followed as a tag
            }
            break;
        }
        case Markup::StartTag: {
            std::size_t end = i;
            while (end < n && bytes[end] != '"' && bytes[end] != '\'' && bytes[end] != '>') {
                ++end;
            }
            if (end == n) {
                m_lastInTag = bytes[n - 1];
                i = n;
                break;
            }
            if (bytes[end] == '>') {
                const char before = end > i ? bytes[end - 1] : m_lastInTag;
                if (before != '/') { // not an empty element: its attributes stay in scope
                    m_open.push_back(static_cast<std::uint8_t>(m_tagAttributes));
                    m_inScope += m_tagAttributes;
                }
                m_markup = Markup::Text;
            } else {
                // Every attribute has one value in quotes.
                if (m_inScope + ++m_tagAttributes > kMaxAttributesInScope) {
                    return Refuse(TooManyAttributes(LineAt(bytes, end)));
                }
                m_quote = bytes[end];
                m_markup = Markup::Value;
            }
            i = end + 1;
            break;
        }
        case Markup::Value: {
            const std::size_t close = bytes.find(m_quote, i);
            i = close == std::string_view::npos ? n : close + 1;
            if (close != std::string_view::npos) {
                m_lastInTag = m_quote;
                m_markup = Markup::StartTag;
            }
            break;
        }
        case Markup::EndTag: {
            const std::size_t close = bytes.find('>', i);
            i = close == std::string_view::npos ? n : close + 1;
            if (close != std::string_view::npos) {
                if (!m_open.empty()) {
                    m_inScope -= m_open.back();
                    m_open.pop_back();
                }
                m_markup = Markup::Text;
            }
            break;
        }
        case Markup::Comment:
            if (SkipPast(bytes, i, '-', 2)) {
                m_markup = Markup::Text;
            }
            break;
        case Markup::Instruction:
            if (SkipPast(bytes, i, '?', 1)) {
                m_markup = Markup::Text;
            }
            break;
        case Markup::CData:
            if (SkipPast(bytes, i, ']', 2)) {
                m_markup = Markup::Text;
            }
            break;
        }
    }
    m_line += static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n'));
    return true;
}

void XmlInputGuard::BeginStartTag()
{
    m_markup = Markup::StartTag;
    m_tagAttributes = 0;
    m_lastInTag = 0;
}

// Moves `i` past the end of a comment, processing instruction or CDATA section (`times` of
// `repeated`, then ">"), or to the end of the bytes. Says whether it ended.
bool XmlInputGuard::SkipPast(std::string_view bytes, std::size_t& i, char repeated, int times)
{
    while (i < bytes.size()) {
        if (m_matched == 0) {
            i = std::min(bytes.find(repeated, i), bytes.size());
            if (i == bytes.size()) {
                return false;
            }
        }
        const char c = bytes[i++];
        if (c == repeated) {
            m_matched = std::min(m_matched + 1, times);
        } else if (c == '>' && m_matched == times) {
            m_matched = 0;
            return true;
        } else {
            m_matched = 0;
        }
    }
    return false;
}

bool XmlInputGuard::Refuse(std::string message)
{
    m_refusal = std::move(message);
    return false;
}

std::size_t XmlInputGuard::LineAt(std::string_view bytes, std::size_t position) const
{
    const std::string_view before = bytes.substr(0, position);
    return m_line + static_cast<std::size_t>(std::count(before.begin(), before.end(), '\n'));
}

} // namespace tambrel
