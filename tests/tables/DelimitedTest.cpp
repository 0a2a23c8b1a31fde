#include "tables/Delimited.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <string>
#include <tuple>
#include <vector>

namespace tambrel {
namespace {

using Values = std::vector<std::string>;

TEST(SplitDelimitedLine, QuotesBlanksAndLineEnds)
{
    for (const auto& [line, values, open] : {
             std::tuple<std::string, Values, bool>{
                 "8,\"BELLS, BELLS\",\"-3 LH2\",", {"8", "BELLS, BELLS", "-3 LH2", ""}, false},
             {"", {""}, false},
             {"a,\"say \"\"hi\"\"\",b", {"a", "say \"hi\"", "b"}, false},
             {" 8 ,  \"X Y\" ,z\r", {" 8 ", "X Y ", "z"}, false}, // blanks are the caller's
             {"a,\"unclosed, still one", {"a", "unclosed, still one"}, true},
             {"a,\"closed\"\"\"", {"a", "closed\""}, false},
             {"ab\"c,d", {"ab\"c", "d"}, false}, // a quote inside a value
         }) {
        bool quoteOpen = !open;
        EXPECT_EQ(SplitDelimitedLine(line, &quoteOpen), values) << line;
        EXPECT_EQ(quoteOpen, open) << line;
    }
    EXPECT_EQ(QuoteDelimitedValue("CAMBRIDGE"), "CAMBRIDGE");
    EXPECT_EQ(QuoteDelimitedValue("a\"b"), "\"a\"\"b\"");
    for (const std::string value : {"a b", "a,b", "say \"hi\"", "", "ends\r"}) {
        EXPECT_TRUE(value.empty() || QuoteDelimitedValue(value).starts_with('"')) << value;
        EXPECT_EQ(SplitDelimitedLine(QuoteDelimitedValue(value) + ",end"), (Values{value, "end"}));
        // Last on its line too: a carriage return there is no Windows line end.
        EXPECT_EQ(SplitDelimitedLine("start," + QuoteDelimitedValue(value)),
                  (Values{"start", value}));
    }
}

// Lines come out the same whatever pieces the text is read in, and a line longer than the
// limit is held only to the limit. A read error ends the lines: a line cut by it is not given.
TEST(LineReader, PiecesOverlongLinesAndErrors)
{
    const std::string text = "first\r\n\nthird line is long\nlast without end";
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{7}, text.size()}) {
        for (const bool failing : {false, true}) {
            SCOPED_TRACE(std::to_string(piece) + (failing ? " failing" : ""));
            std::size_t at = 0;
            LineReader reader(
                [&](char* buffer, std::size_t size) {
                    const std::size_t n = std::min({piece, size, text.size() - at});
                    if (n == 0 && failing) {
                        return std::ptrdiff_t{-1};
                    }
                    text.copy(buffer, n, at);
                    at += n;
                    return static_cast<std::ptrdiff_t>(n);
                },
                10);
            Values lines;
            std::string line;
            for (bool overlong = false; reader.Next(line, overlong);) {
                lines.push_back(line + (overlong ? "..." : ""));
            }
            Values expected{"first\r", "", "third line..."};
            if (!failing) {
                expected.push_back("last witho...");
            }
            EXPECT_EQ(lines, expected);
            EXPECT_EQ(reader.Failed(), failing);
            EXPECT_EQ(reader.LineNumber(), expected.size());
        }
    }
}

} // namespace
} // namespace tambrel
