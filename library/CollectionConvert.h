#pragma once

#include "engine/Result.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tambrel {

// What a conversion wrote and what it left out, and why. Every method of the collection is
// counted once: written or under exactly one reason.
struct ConvertCounts {
    std::size_t written = 0;
    std::size_t underFourBells = 0; // a stage that is no number counts here too
    std::size_t overSixteenBells = 0;
    std::size_t overHundredChanges = 0;
    std::size_t notationTooLong = 0;
    std::size_t titleTooLong = 0;
    std::size_t titleWithQuote = 0;
    std::size_t notationRefused = 0;
    std::size_t titleBlank = 0;
    std::size_t controlCharacter = 0; // in the title or the notation: a tab, say, or DEL
    // Written, but a library stores these names with plain letters for those code page 850
    // lacks.
    std::vector<std::string> transliterated;
    // The first kListed methods left out, each as "TITLE (stage N): reason".
    static constexpr std::size_t kListed = 100;
    std::vector<std::string> leftOutMethods;

    std::size_t LeftOut() const
    {
        return underFourBells + overSixteenBells + overHundredChanges + notationTooLong +
               titleTooLong + titleWithQuote + notationRefused + titleBlank + controlCharacter;
    }
};

inline constexpr int kMaxBuildTextLength = 20;
inline constexpr std::size_t kMaxLibraryNotation = 98; // characters of notation a library holds

// The Central Council publishes its collection as XML in this namespace.
inline constexpr std::string_view kCollectionNamespace =
    "http://www.cccbr.org.uk/methods/schemas/2007/05/methods";

// The most of a collection file that is read. The XML is read as a stream, so this only keeps
// a runaway file from being read for minutes; the Council's file is about 20 MB.
inline constexpr std::uintmax_t kMaxCollectionBytes = 256U << 20U;

// Whether the first bytes of a file are XML (after a byte-order mark and blanks, a "<"),
// rather than the collection as CSV, whose first line is a header of column names.
bool IsCollectionXml(std::string_view firstBytes);

// The build text of a library made from an XML collection dated `date`: "CCCBR " and the date,
// cut to kMaxBuildTextLength bytes, without quotes or control characters.
std::string CollectionBuildText(std::string_view date);

// Read the collection and write a methods import file to `out`: the marker record with the
// build text, then bells, upper-case title, tidy notation and lead-head code of every method a
// library can hold (the notation is the Council's comma form, expanded and checked). On a
// refusal the result carries the message and what was written to `out` must be dropped.
//
// From the CSV (a header line naming the columns stage, title and notation, among others).
Result<ConvertCounts> ConvertCollectionCsv(std::istream& csv, std::ostream& out,
                                           std::string_view build);

// From the Council's XML (`collection` > `methodSet` with `properties`/`stage` > `method` with
// `title` and `notation`), read as a stream. Without `build`, "CCCBR " and the collection's
// date. A document type declaration, and with it any entity, is refused; nothing outside the
// stream is ever read. The file is UTF-8 or UTF-16 with a byte-order mark, and its elements
// carry at most kMaxAttributesInScope attributes (see XmlInputGuard.h); any file is converted
// or refused in time in proportion to its size.
Result<ConvertCounts> ConvertCollectionXml(std::istream& xml, std::ostream& out,
                                           std::optional<std::string_view> build = std::nullopt);

// A collection file of either form, told apart by its content; it must be a regular file of
// at most kMaxCollectionBytes. Without `build`, the XML's own (see above), or "CC collection"
// for the CSV, which carries no date.
Result<ConvertCounts> ConvertCollectionFile(const std::filesystem::path& path, std::ostream& out,
                                            std::optional<std::string_view> build = std::nullopt);

inline constexpr std::string_view kDefaultCsvBuildText = "CC collection";

} // namespace tambrel
