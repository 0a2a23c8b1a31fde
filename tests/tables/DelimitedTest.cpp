#include "tables/Delimited.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(SplitDelimitedLine("a,\"unclosed, still one"), (Values{"a", "unclosed, still one"}));
    EXPECT_EQ(SplitDelimitedLine("ab\"c,d"), (Values{"ab\"c", "d"})); // a quote inside a value
}

TEST(QuoteDelimitedValue, QuotesOnlyWhenNeeded)
{
    EXPECT_EQ(QuoteDelimitedValue("CAMBRIDGE"), "CAMBRIDGE");
    EXPECT_EQ(QuoteDelimitedValue("-3 LH2"), "\"-3 LH2\"");
    EXPECT_EQ(QuoteDelimitedValue("A, B"), "\"A, B\"");
    EXPECT_EQ(QuoteDelimitedValue("a\"b"), "\"a\"\"b\"");
    for (const std::string value : {"x", "a b", "a,b", "say \"hi\"", ""}) {
        EXPECT_EQ(SplitDelimitedLine(QuoteDelimitedValue(value) + ",end"), (Values{value, "end"}));
    }
}

} // namespace
} // namespace tambrel
