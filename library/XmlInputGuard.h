#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// The most attributes an element of the collection may carry together with the elements it
// lies in; the Council's file has eight at most. libxml2 checks each attribute against the
// others of its element and looks each element's namespace up through every declaration in
// scope, so these are the shapes whose cost grows faster than their size.
inline constexpr int kMaxAttributesInScope = 64;

inline constexpr std::string_view kMsgCollectionDocumentType =
    "The collection declares a document type (<!DOCTYPE ...>), which the Central Council's "
    "file never does; it was not read.";

// The bytes of an XML collection as its parser reads them: always UTF-8 (a UTF-16 file with a
// byte-order mark is decoded, a UTF-8 byte-order mark passed over), and followed through
// their markup, so that a document type declaration or too many attributes are refused before
// the parser sees them. Any other encoding reaches the parser as what it is, ill-formed UTF-8,
// except the few whose first bytes libxml2 would take for another encoding, which are refused
// here.
class XmlInputGuard {
public:
    explicit XmlInputGuard(std::istream& in) : m_in(in) {}

    // Up to `length` bytes into `buffer`: how many, 0 at the end, or -1 once the input is
    // refused (Refusal() says why) or the stream failed.
    int Read(char* buffer, int length);
    const std::string& Refusal() const { return m_refusal; }

private:
    enum class Encoding : std::uint8_t { Unknown, Utf8, Utf16Le, Utf16Be };
    enum class Markup : std::uint8_t {
        Text,
        Open,        // after "<"
        Declaration, // after "<!", until it says what it is
        StartTag,
        Value, // an attribute value, in quotes
        EndTag,
        Comment,
        Instruction,
        CData
    };

    bool Fill(std::size_t wanted);
    std::string DecodeUtf16(bool end);
    bool Follow(std::string_view bytes);
    void BeginStartTag();
    bool SkipPast(std::string_view bytes, std::size_t& i, char repeated, int times);
    bool Refuse(std::string message);
    std::size_t LineAt(std::string_view bytes, std::size_t position) const;

    std::istream& m_in;
    Encoding m_encoding = Encoding::Unknown;
    std::string m_raw;   // read, not yet decoded: the start of the file, or half a UTF-16 unit
    std::string m_block; // decoded and followed; handed out from m_handedOut
    std::size_t m_handedOut = 0;
    char16_t m_highSurrogate = 0; // the first of a pair whose second is still to come, or 0
    std::string m_start;          // the first four bytes handed on, once there are four
    std::string m_refusal;

    Markup m_markup = Markup::Text;
    std::size_t m_line = 1;           // of the first byte of the block being followed
    char m_quote = 0;                 // that closes the attribute value being read
    char m_lastInTag = 0;             // the start tag's last byte before this block, to see "/>"
    int m_matched = 0;                // how much of "-->", "?>" or "]]>" the last bytes make
    std::string m_declaration;        // the bytes after "<!" so far
    int m_tagAttributes = 0;          // of the start tag being read
    int m_inScope = 0;                // the sum of m_open
    std::vector<std::uint8_t> m_open; // attributes of each open element, outermost first
};

} // namespace tambrel
