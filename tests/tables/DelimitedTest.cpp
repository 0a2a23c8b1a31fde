#include "tables/Delimited.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>

#include <string>
#include <vector>

namespace tambrel {
namespace {

using Values = std::vector<std::string>;

TEST(SplitDelimitedLine, PlainAndQuotedValues)
{
    EXPECT_EQ(SplitDelimitedLine("8,CAMBRIDGE,-3-4-25 LH2,B"),
              (Values{"8", "CAMBRIDGE", "-3-4-25 LH2", "B"}));
    EXPECT_EQ(SplitDelimitedLine("8,\"BELLS, BELLS\",\"-3 LH2\",B"),
              (Values{"8", "BELLS, BELLS", "-3 LH2", "B"}));
    EXPECT_EQ(SplitDelimitedLine("0,TB_Method_Library,Build 1,"),
              (Values{"0", "TB_Method_Library", "Build 1", ""}));
    EXPECT_EQ(SplitDelimitedLine(""), (Values{""}));
}

TEST(SplitDelimitedLine, QuotesBlanksAndLineEnds)
{
    EXPECT_EQ(SplitDelimitedLine("a,\"say \"\"hi\"\"\",b"), (Values{"a", "say \"hi\"", "b"}));
    EXPECT_EQ(SplitDelimitedLine(" 8 ,  \"X Y\" ,z\r"), (Values{" 8 ", "X Y ", "z"}));
    bool open = false;
    EXPECT_EQ(SplitDelimitedLine("a,\"unclosed, still one", &open),
              (Values{"a", "unclosed, still one"}));
    EXPECT_TRUE(open);
    EXPECT_EQ(SplitDelimitedLine("a,\"closed\"\"\"", &open), (Values{"a", "closed\""}));
    EXPECT_FALSE(open);
    EXPECT_EQ(SplitDelimitedLine("ab\"c,d"), (Values{"ab\"c", "d"})); // a quote inside a value
}

TEST(QuoteDelimitedValue, QuotesOnlyWhenNeeded)
{
    EXPECT_EQ(QuoteDelimitedValue("CAMBRIDGE"), "CAMBRIDGE");
    EXPECT_EQ(QuoteDelimitedValue("-3 LH2"), "\"-3 LH2\"");
    EXPECT_EQ(QuoteDelimitedValue("A, B"), "\"A, B\"");
    EXPECT_EQ(QuoteDelimitedValue("a\"b"), "\"a\"\"b\"");
    for (const std::string value : {"x", "a b", "a,b", "say \"hi\"", "", "ends\r"}) {
        EXPECT_EQ(SplitDelimitedLine(QuoteDelimitedValue(value) + ",end"), (Values{value, "end"}));
        // Last on its line too: a carriage return there is no Windows line end.
        EXPECT_EQ(SplitDelimitedLine("start," + QuoteDelimitedValue(value)),
                  (Values{"start", value}));
    }
}

// Lines come out the same whatever pieces the text is read in, and a line longer than the
// limit is held only to the limit.
TEST(LineReader, PiecesAndOverlongLines)
{
    const std::string text = "first\r\n\nthird line is long\nlast without end";
    struct Line {
        std::string text;
        bool overlong;
    };
    const std::vector<Line> expected = {
        {"first\r", false}, {"", false}, {"third line", true}, {"last witho", true}};
    for (const std::size_t piece : {std::size_t{1}, std::size_t{3}, std::size_t{7}, text.size()}) {
        SCOPED_TRACE(piece);
        std::size_t at = 0;
        LineReader reader(
            [&](char* buffer, std::size_t size) {
                const std::size_t n = std::min({piece, size, text.size() - at});
                text.copy(buffer, n, at);
                at += n;
                return static_cast<std::ptrdiff_t>(n);
            },
            10);
        std::string line;
        bool overlong = false;
        for (const Line& want : expected) {
            ASSERT_TRUE(reader.Next(line, overlong));
            EXPECT_EQ(line, want.text);
            EXPECT_EQ(overlong, want.overlong);
        }
        EXPECT_EQ(reader.LineNumber(), 4U);
        EXPECT_FALSE(reader.Next(line, overlong));
        EXPECT_FALSE(reader.Failed());
    }
    // A read error ends the lines and says so; a line cut by it is not given.
    int calls = 0;
    LineReader failing(
        [&](char* buffer, std::size_t) {
            if (calls++ > 0) {
                return std::ptrdiff_t{-1};
            }
            std::string_view("whole\nhalf").copy(buffer, 10);
            return std::ptrdiff_t{10};
        },
        100);
    std::string line;
    bool overlong = false;
    EXPECT_TRUE(failing.Next(line, overlong));
    EXPECT_FALSE(failing.Next(line, overlong));
    EXPECT_TRUE(failing.Failed());
}

} // namespace
} // namespace tambrel
