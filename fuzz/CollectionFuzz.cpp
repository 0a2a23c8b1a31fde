// Fuzz target for the conversion of the Central Council's collection, XML or CSV as the input's
// first bytes say. Properties: nothing crashes or hangs; a refusal says why; an accepted
// collection gives the marker record and then exactly the methods it counts as written, each
// a whole record a library can hold: 4 to 16 bells, an upper-case name of at most 60
// characters without quotes or control characters, a tidy notation of at most 98 characters
// that the check accepts.
#include "engine/Bells.h"
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "fuzz/FuzzCheck.h"
#include "library/CollectionConvert.h"
#include "tables/Delimited.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace tambrel;
    const std::string input(reinterpret_cast<const char*>(data), size);
    std::istringstream in(input);
    std::ostringstream out;
    const Result<ConvertCounts> counts = IsCollectionXml(std::string_view(input).substr(0, 512))
                                             ? ConvertCollectionXml(in, out)
                                             : ConvertCollectionCsv(in, out, kDefaultCsvBuildText);
    if (!counts) {
        TAMBREL_REQUIRE(!counts.error.empty());
        return 0;
    }
    std::istringstream lines(out.str());
    std::string line;
    TAMBREL_REQUIRE(std::getline(lines, line));
    TAMBREL_REQUIRE(line.starts_with("0,TB_Method_Library,"));
    std::size_t records = 0;
    while (std::getline(lines, line)) {
        ++records;
        const std::vector<std::string> values = SplitDelimitedLine(line);
        TAMBREL_REQUIRE(values.size() == 4);
        int bells = 0;
        const auto [end, error] =
            std::from_chars(values[0].data(), values[0].data() + values[0].size(), bells);
        TAMBREL_REQUIRE(error == std::errc{} && end == values[0].data() + values[0].size());
        TAMBREL_REQUIRE(IsValidStage(bells));
        const std::string& name = values[1];
        TAMBREL_REQUIRE(!name.empty() && name == UpperCase(name));
        TAMBREL_REQUIRE(name.find('"') == std::string::npos);
        TAMBREL_REQUIRE(std::none_of(name.begin(), name.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x20 || c == '\x7F';
        }));
        TAMBREL_REQUIRE(Utf8Length(name) <= TBellStore::kMaxNameLength);
        TAMBREL_REQUIRE(values[2].size() <= kMaxLibraryNotation);
        TAMBREL_REQUIRE(CheckPlaceNotation(values[2], bells).empty());
        TAMBREL_REQUIRE(!values[3].empty());
    }
    TAMBREL_REQUIRE(records == counts.value->written);
    TAMBREL_REQUIRE(counts.value->transliterated.size() <= records);
    return 0;
}
