#include "library/CollectionConvert.h"
#include "engine/TextFunctions.h"
#include "library/XmlInputGuard.h"
#include "tables/Delimited.h"
#include "tests/support/CollectionXml.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <set>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include <iconv.h>

namespace tambrel {
namespace {

using test::Collection;
using test::Method;
using test::MethodSet;
using test::ReadFile;
using test::Repeat;
using test::TempDir;

constexpr std::string_view kNotWellFormed = "The collection is not well-formed XML (line ";
constexpr std::string_view kDocumentType =
    "The collection declares a document type (<!DOCTYPE ...>), which the Central Council's "
    "file never does; it was not read.";
constexpr std::string_view kNotTheCollection =
    "The file is XML but not the Central Council's methods collection: it must be a collection "
    "element in the namespace http://www.cccbr.org.uk/methods/schemas/2007/05/methods.";
constexpr std::string_view kHeader = "0,TB_Method_Library,\"CCCBR 2026-06-08\",\n";

struct Converted {
    Result<ConvertCounts> counts;
    std::string out;
};

Converted FromXml(const std::string& xml, std::optional<std::string_view> build = std::nullopt)
{
    std::istringstream in(xml);
    std::ostringstream out;
    Converted converted{ConvertCollectionXml(in, out, build), {}};
    converted.out = out.str();
    return converted;
}

std::vector<std::size_t> Reasons(const ConvertCounts& c)
{
    return {c.written,         c.underFourBells,  c.overSixteenBells, c.overHundredChanges,
            c.notationTooLong, c.titleTooLong,    c.titleWithQuote,   c.notationRefused,
            c.titleBlank,      c.controlCharacter};
}

// A real excerpt of the Council's file (its namespaces, entities, performances and a stage-2
// method; the lead-head codes are the excerpt's own), and the whole collection, which converts
// to the bundled library byte for byte.
TEST(ConvertCollectionFile, TheCouncilsFiles)
{
    const std::string sample = TAMBREL_SHARED_DATA "/cccbr-xml-sample.xml";
    if (!std::filesystem::exists(sample)) {
        GTEST_SKIP() << "the Council's files are not beside the checkout";
    }
    std::ostringstream out;
    const Result<ConvertCounts> counts = ConvertCollectionFile(sample, out);
    ASSERT_TRUE(counts) << counts.error;
    EXPECT_EQ(counts.value->leftOutMethods,
              std::vector<std::string>{"Cross Two (stage 2): under 4 bells"});
    EXPECT_EQ(out.str(),
              std::string(kHeader) +
                  "8,\"PREMIER ALLIANCE MAJOR\",\"5-4.5-5.36.4-4.5-4.7 LH2\",Z\n"
                  "8,\"CHESTER LE CAT ALLIANCE MAJOR\",\"-3-4-5-6-2-3-456.7 LH2\",B\n"
                  "8,\"COVENTRY ALLIANCE MAJOR\",\"-36-4-25-236-4-5-36.7 LH2\",B\n"
                  "8,\"YTTERBIUM ALLIANCE MAJOR\",\"-3-4-256-6-2-5.6-7 LH2\",D\n"
                  "8,\"KATE & WILLIAM ALLIANCE MAJOR\",\"-3-4-5-36-4-1-3456.7 LH2\",B\n"
                  "8,\"BURNLEY CHARTER ALLIANCE MAJOR\",\"-5-4.5-5.36.4-4.5-4.7 LH2\",A\n"
                  "8,\"WELLINGTON AND BUBBLE ALLIANCE MAJOR\",\"-5-6-2-3-4-5-6.7 LH2\",B\n");
    std::ostringstream library;
    ASSERT_TRUE(ConvertCollectionFile(TAMBREL_SHARED_DATA "/cccbr-methods.csv", library,
                                      std::string_view("CCCBR 2023-09-18")));
    EXPECT_TRUE(library.str() == ReadFile(TAMBREL_METHODS_CSV)) << "differs from data/Methods.csv";
}

// Every reason a method is left out, given as CSV and as XML: both forms write the same
// records and count the same.
TEST(ConvertCollectionXml, LeavesOutAndCountsAsTheCsvDoes)
{
    std::string csv = "stage, title ,name,notation\n"; // columns are found by name
    std::string sets;
    for (const auto& [stage, title, notation] :
         std::vector<std::tuple<int, std::string, std::string>>{
             {8, "Cambridge Surprise Major", "-38-14-1258-36-14-58-16-78,12"},
             {5, "Grandsire Doubles", "3,1.5.1.5.1"},
             {4, "Ulu\xE1\xB9\x9Fu Minimus", "-14-14"},
             {3, "Too Small Singles", "3,1"},
             {18, "Too Big Eighteen", "-"},
             {6, "Long Lead Minor", std::string(101, '-')},
             {5, "Long Tidy Doubles", Repeat("3.1.", 50)},
             {6, std::string(61, 'A'), "x16"},
             {8, "Say \"Hi\" Major", "-18-18-18-18-18-18-18-12"},
             {6, "Unreadable Minor", "x1Q"},
             {6, "Empty Side Minor", ",12"},
             {6, "", "x16"},
             {6, "Rub\x7Fout Minor", "x16"},
             {6, "Rubout Notation Minor", "x16\x7F"},
         }) {
        csv += std::to_string(stage) + "," + QuoteDelimitedValue(title) + ",," +
               QuoteDelimitedValue(notation) + "\n";
        sets += MethodSet(stage, Method(test::EscapeXml(title), notation));
    }
    std::istringstream in(csv);
    std::ostringstream csvOut;
    const Result<ConvertCounts> fromCsv = ConvertCollectionCsv(in, csvOut, "Test");
    const Converted fromXml = FromXml(Collection(sets), "Test");
    ASSERT_TRUE(fromCsv) << fromCsv.error;
    ASSERT_TRUE(fromXml.counts) << fromXml.counts.error;
    EXPECT_EQ(fromXml.out, csvOut.str());
    EXPECT_EQ(Reasons(*fromXml.counts.value), Reasons(*fromCsv.value));
    EXPECT_EQ(Reasons(*fromXml.counts.value),
              (std::vector<std::size_t>{3, 1, 1, 1, 1, 1, 1, 2, 1, 2}));
    EXPECT_EQ(fromXml.counts.value->transliterated,
              std::vector<std::string>{"ULU\xE1\xB9\x9EU MINIMUS"});
    EXPECT_EQ(fromXml.out, "0,TB_Method_Library,Test,\n"
                           "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n"
                           "5,\"GRANDSIRE DOUBLES\",3.1.5.1.5.1.5.1.5.1,A\n"
                           "4,\"ULU\xE1\xB9\x9EU MINIMUS\",\"-1 LH1\",Z\n");
}

// The shapes XML allows beyond the Council's plain layout are read as it means them, methods the
// reader cannot take counted and named; what is no collection is refused whole with a message.
TEST(ConvertCollectionXml, ShapesHostileAndBrokenFiles)
{
    const TempDir dir;
    const std::string secret = dir.Write("secret.txt", "SECRET-OF-ANOTHER-FILE");
    const std::string good = Method("Good Major", "-18-18-18-18,12");
    const std::string goodRecord = "8,\"GOOD MAJOR\",\"-1-1-1-1 LH2\",A\n";
    const auto six = [&](const std::string& methods) {
        return MethodSet(6, methods) + MethodSet(8, good);
    };
    struct Read {
        std::string name, body, records;
        std::vector<std::string> leftOut = {};
    };
    for (const Read& c : std::vector<Read>{
             {"text",
              six(Method("\n Kate &amp; Will&#x69;am<!-- c --> &lt;1&gt;\n\t "
                         "<![CDATA[& Co]]>  Minor ",
                         "\n <![CDATA[x16x16]]>x16,12\n")),
              "6,\"KATE & WILLIAM <1> & CO MINOR\",\"-1-1-1 LH2\",A\n" + goodRecord},
             {"order and other elements",
              six("<method><notation>x16x16x16,12</notation><references/><extra><title>Not"
                  "</title></extra><title>Late<!-- split -->Title Minor</title><x:title "
                  "xmlns:x='urn:other'>Nor</x:title><leadHead>135264</leadHead></method>"),
              "6,\"LATETITLE MINOR\",\"-1-1-1 LH2\",A\n" + goodRecord},
             {"own stage",
              six("<method><stage>8</stage><title>Own Stage Major</title>"
                  "<notation>-18-18-18-18,12</notation></method>"),
              "8,\"OWN STAGE MAJOR\",\"-1-1-1-1 LH2\",A\n" + goodRecord},
             // Longer than the 10 MB to which libxml2's tree builder limits a text: read as a
             // stream, one more field too long.
             {"left out",
              six("<method><title>No Notation</title></method>" + Method("Empty", "") +
                  "<method><notation>x16</notation></method>" + Method("", "x16") +
                  Method(std::string(11000000, 'A'), "x16") +
                  Method("Huge Notation", Repeat("x16", 500000))),
              goodRecord,
              {"No Notation (stage 6): notation not understood",
               "Empty (stage 6): notation not understood", "(no title) (stage 6): blank title",
               "(no title) (stage 6): blank title",
               std::string(60, 'A') + "... (stage 6): title over 60 characters",
               "Huge Notation (stage 6): notation over 98 characters"}},
             // A set without a stage, or a method outside any set after one with a stage: the
             // stage is no number, which the CSV counts under four bells too.
             {"no stage", "<methodSet>" + good + "</methodSet>" + MethodSet(8, good) + good,
              goodRecord, std::vector<std::string>(2, "Good Major (no stage): under 4 bells")},
         }) {
        SCOPED_TRACE(c.name);
        const Converted converted = FromXml(Collection(c.body));
        ASSERT_TRUE(converted.counts) << converted.counts.error;
        EXPECT_EQ(converted.out, std::string(kHeader) + c.records);
        EXPECT_EQ(converted.counts.value->leftOutMethods, c.leftOut);
        EXPECT_EQ(converted.counts.value->LeftOut(), c.leftOut.size());
    }

    const std::string root = "<collection xmlns=\"http://www.cccbr.org.uk/methods/schemas/2007/"
                             "05/methods\"";
    // Ten entities, each ten of the one before: a short file that would expand to 10^10 bytes.
    std::string laughs = "<!DOCTYPE collection [<!ENTITY a \"aaaaaaaaaa\">";
    for (char e = 'b'; e <= 'j'; ++e) {
        laughs += std::string("<!ENTITY ") + e + " \"" +
                  Repeat(std::string("&") + static_cast<char>(e - 1) + ";", 10) + "\">";
    }
    // Each refusal's message is whole, or the start of the parser's own.
    for (const auto& [name, xml, message] :
         std::vector<std::tuple<std::string, std::string, std::string_view>>{
             {"truncated", Collection(MethodSet(8, good)).substr(0, 150), kNotWellFormed},
             {"undeclared entity", Collection(MethodSet(8, Method("A &nbsp; B", "x"))),
              kNotWellFormed},
             {"billion laughs",
              laughs + "]>\n" + root + " date=\"&j;\">" + MethodSet(8, Method("&j;", "x")) +
                  "</collection>",
              kDocumentType},
             {"external entity",
              "<!DOCTYPE collection [<!ENTITY s SYSTEM \"file://" + secret + "\">]>\n" + root +
                  ">" + MethodSet(8, Method("&s;", "x")) + "</collection>",
              kDocumentType},
             {"deep nesting", Collection(Repeat("<a>", 100000)), kNotWellFormed},
             {"wrong namespace",
              "<collection xmlns=\"http://www.cccbr.org.uk/methods/schemas/2099/methods\">" +
                  MethodSet(8, good) + "</collection>",
              kNotTheCollection},
             {"another root", "<html xmlns=\"http://www.w3.org/1999/xhtml\"><p/></html>",
              kNotTheCollection},
             {"empty", "", kNotWellFormed},
         }) {
        SCOPED_TRACE(name);
        testing::internal::CaptureStderr();
        const Converted converted = FromXml(xml);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "messages go into the refusal";
        ASSERT_FALSE(converted.counts);
        const std::string& error = converted.counts.error;
        EXPECT_TRUE(message == kNotWellFormed ? error.starts_with(message) && error.ends_with(").")
                                              : error == message)
            << error;
        EXPECT_EQ((converted.out + error).find("SECRET"), std::string::npos);
    }
}

// `utf8` in UTF-16 without a byte-order mark, by iconv, which shares nothing with the reader.
std::string Utf16(std::string utf8, bool little)
{
    std::string out(utf8.size() * 2, '\0');
    char* from = utf8.data();
    char* to = out.data();
    std::size_t fromLeft = utf8.size();
    std::size_t toLeft = out.size();
    const iconv_t convert = ::iconv_open(little ? "UTF-16LE" : "UTF-16BE", "UTF-8");
    EXPECT_NE(::iconv(convert, &from, &fromLeft, &to, &toLeft), static_cast<std::size_t>(-1));
    ::iconv_close(convert);
    out.resize(out.size() - toLeft);
    return out;
}

// ` a0="" a1="" ...`
std::string Attributes(int count)
{
    std::string attributes;
    for (int a = 0; a < count; ++a) {
        attributes += " a" + std::to_string(a) + "=\"\"";
    }
    return attributes;
}

std::string TooManyAttributes(int line)
{
    return "The collection has an element that, with the elements around it, carries more than "
           "64 attributes (line " +
           std::to_string(line) + "), which the Central Council's file never has; it was not read.";
}

// The parser gets UTF-8 and nothing it would spend more than the file's size on; read in pieces
// of any size, down to a byte, the guard decodes and refuses alike.
TEST(XmlInputGuard, DecodesAndRefusesAlikeInPiecesOfAnySize)
{
    const std::string text = "<?xml version='1.0'?>\n<a t='\xC3\xA9\xE1\xB9\x9F\xF0\x9F\x94\x94'>"
                             "<!-- <!DOCTYPE a> -- > -> --><?p <!DOCTYPE ?"
                             "?>?>"
                             "<![CDATA[ <!DOCTYPE ]]]>]]><b c='\">' d=\"'>\"/>\n</a>";
    const std::string notUtf8 = "The collection is neither UTF-8 nor UTF-16 with a byte-order "
                                "mark; it was not read.";
    const std::string loneSurrogate =
        "The collection is not well-formed XML (line 2: its UTF-16 has a lone surrogate).";
    const std::string quotes(130, '"');
    const std::string filler = Repeat("]> -> ? > <!DOCTYPE x> " + quotes, 100);
    const std::string crowded = "\n<x" + Attributes(63) + "/>"; // 65 with the root's two
    // Each input is handed on as it is, or as `text` if in UTF-16, unless refused.
    for (const auto& [name, input, refusal] : std::vector<std::array<std::string, 3>>{
             {"UTF-8 and its byte-order mark", "\xEF\xBB\xBF" + text, ""},
             {"UTF-16LE", "\xFF\xFE" + Utf16(text, true), ""},
             {"UTF-16BE", "\xFE\xFF" + Utf16(text, false), ""},
             {"attributes in scope up to the limit",
              "<a" + Attributes(32) + "><b" + Attributes(32) + "/><b" + Attributes(32) + "></b><c" +
                  Attributes(32) + "/></a><d" + Attributes(64) + "/>",
              ""},
             {"too many on one element", "<a>\n<b" + Attributes(65) + "/></a>",
              TooManyAttributes(2)},
             {"too many with the elements around",
              "<a" + Attributes(32) + "><b\n" + Attributes(32) + "/><c\n\n" + Attributes(33) + "/>",
              TooManyAttributes(4)},
             {"a document type", "<?xml version='1.0'?>\n<!DOCTYPE a []>",
              std::string(kDocumentType)},
             {"high surrogate alone",
              "\xFF\xFE" + Utf16("<a>\n", true) + "\x3D\xD8" + Utf16("b", true), loneSurrogate},
             {"low surrogate alone", "\xFE\xFF" + Utf16("<a>\n", false) + "\xDC\x14",
              loneSurrogate},
             {"high surrogate at the end", "\xFF\xFE" + Utf16("<a>\n", true) + "\x3D\xD8",
              loneSurrogate},
             {"half a character at the end", "\xFF\xFE" + Utf16("<a>\n", true) + "<",
              "The collection is not well-formed XML (line 2: its UTF-16 ends in the middle of a "
              "character)."},
             {"UTF-16 without its mark", Utf16("<?xml version='1.0'?><a/>", true), notUtf8},
             {"EBCDIC", "\x4C\x6F\xA7\x94\x40\xA5\x85\x99\xA2\x89\x96\x95", notUtf8},
             // Long markup full of ">" and quotes, which read as anything but what it is would
             // be a document type or too many attributes; past its end they are counted again.
             {"comment", "<r a='' b=''><!--" + filler + "-->" + crowded, TooManyAttributes(2)},
             {"instruction", "<r a='' b=''><?note " + filler + "?>" + crowded,
              TooManyAttributes(2)},
             {"CDATA", "<r a='' b=''><![CDATA[" + filler + "]]>" + crowded, TooManyAttributes(2)},
             {"attribute value",
              "<r a='' b=''><n v='" + Repeat(">" + quotes, 100) + "'/>" + crowded,
              TooManyAttributes(2)},
         }) {
        SCOPED_TRACE(name);
        const bool marked = input.starts_with("\xEF\xBB\xBF") || input.starts_with("\xFF\xFE") ||
                            input.starts_with("\xFE\xFF");
        for (const int length : {1, 2, 3, 5, 4000}) {
            SCOPED_TRACE(length);
            std::istringstream in(input);
            XmlInputGuard guard(in);
            std::string bytes;
            std::string buffer(static_cast<std::size_t>(length), '\0');
            for (int got = 0; (got = guard.Read(buffer.data(), length)) > 0;) {
                bytes.append(buffer, 0, static_cast<std::size_t>(got));
            }
            EXPECT_EQ(guard.Refusal(), refusal);
            if (refusal.empty()) {
                EXPECT_EQ(bytes, marked ? text : input);
            }
        }
    }
}

TEST(ConvertCollectionXml, BuildTextFromTheDateOrGiven)
{
    for (const auto& [date, build] : std::vector<std::pair<std::string, std::string>>{
             {"2026-06-08", "CCCBR 2026-06-08"},
             {"", "CCCBR"},
             {"  8 June 2026 ", "CCCBR 8 June 2026"},
             {"2026-06-08T10:46:23Z", "CCCBR 2026-06-08T10:"},
             {"&quot;2026&quot;\n06", "CCCBR 2026 06"},
             {"A &amp; B", "CCCBR A & B"},
             {"2026 \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "CCCBR 2026 "
                                                               "\xC3\xA9\xC3\xA9"
                                                               "\xC3\xA9\xC3\xA9"}}) {
        SCOPED_TRACE(date);
        const Converted converted = FromXml(Collection("", date));
        ASSERT_TRUE(converted.counts) << converted.counts.error;
        EXPECT_EQ(converted.out, "0,TB_Method_Library," + QuoteDelimitedValue(build) + ",\n");
    }
}

TEST(IsCollectionXml, TellsXmlFromCsv)
{
    using namespace std::string_view_literals;
    for (const std::string_view xml :
         {"<?xml version=\"1.0\"?><collection/>"sv, "\xEF\xBB\xBF<collection/>"sv,
          " \r\n\t<!-- note --><collection/>"sv, "\xFF\xFE \0<\0c\0"sv, "\xFE\xFF\0<\0c"sv}) {
        EXPECT_TRUE(IsCollectionXml(xml)) << xml;
    }
    for (const std::string_view csv : {"\xFF\xFEs\0t\0"sv, "stage,title,name,class,notation"sv,
                                       "\xEF\xBB\xBFstage,title,notation"sv, ""sv, "   "sv}) {
        EXPECT_FALSE(IsCollectionXml(csv)) << csv;
    }
}

// A file of either form, told apart by its content whatever its name.
TEST(ConvertCollectionFile, EitherFormAndOnlyRegularFiles)
{
    const TempDir dir;
    // UTF-16 whatever the declaration says.
    std::string text = Collection(MethodSet(8, Method("Plain Bob Major", "x18x18x18x18,12")));
    text.replace(text.find("utf-8"), 5, "utf-16");
    const std::string xml = dir.Write("collection.csv", "\xFE\xFF" + Utf16(text, false));
    const std::string csv = dir.Write("collection.xml", "stage,title,notation\n8,Plain Bob Major,"
                                                        "\"x18x18x18x18,12\"\n");
    for (const auto& [path, build, header] :
         std::vector<std::tuple<std::string, std::optional<std::string_view>, std::string>>{
             {xml, std::nullopt, "\"CCCBR 2026-06-08\""},
             {xml, "Given", "Given"},
             {csv, std::nullopt, "\"CC collection\""},
             {csv, "Given", "Given"}}) {
        SCOPED_TRACE(path);
        std::ostringstream out;
        const Result<ConvertCounts> counts = ConvertCollectionFile(path, out, build);
        ASSERT_TRUE(counts) << counts.error;
        EXPECT_EQ(out.str(), "0,TB_Method_Library," + header +
                                 ",\n8,\"PLAIN BOB MAJOR\",\"-1-1-1-1 LH2\",A\n");
    }
    std::filesystem::create_directory(dir.Path("folder"));
    for (const std::string& bad : {dir.Path("folder"), dir.Path("missing.xml")}) {
        std::ostringstream out;
        const Result<ConvertCounts> counts = ConvertCollectionFile(bad, out);
        EXPECT_TRUE(counts.error.starts_with("Cannot read " + bad + ": ")) << counts.error;
        EXPECT_EQ(out.str(), "");
    }
    std::ostringstream out;
    EXPECT_EQ(ConvertCollectionFile(dir.Write("empty", ""), out).error, "The collection is empty.");
}

// One method of the bundled library of each stage, lead-head code, kind of notation and kind
// of name, written as the Council's XML with each lead written out change by change, reads back
// as the very records it came from: names, tidy notations and lead-head codes.
TEST(ConvertCollectionXml, TheBundledLibraryReadsBack)
{
    std::set<std::string> kinds;
    std::vector<test::LibraryMethod> sample;
    std::string records = "0,TB_Method_Library,\"CCCBR 2023-09-18\",\n";
    std::istringstream in(ReadFile(TAMBREL_METHODS_CSV));
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> v = SplitDelimitedLine(line);
        const bool plain = std::ranges::all_of(
            v[1], [](char c) { return static_cast<unsigned char>(c) < 0x80 && c != '&'; });
        if (v[0] != "0" && kinds
                               .insert(v[0] + v[3] + (plain ? "" : "!") +
                                       (v[2].find(' ') == std::string::npos ? "" : "s"))
                               .second) {
            sample.push_back({std::stoi(v[0]), v[1], v[2], v[3]});
            records += line + "\n";
        }
    }
    ASSERT_GT(sample.size(), 200U);
    std::stringstream xml;
    test::WriteCollectionXml(xml, sample, "2023-09-18");
    std::ostringstream out;
    const Result<ConvertCounts> counts = ConvertCollectionXml(xml, out);
    ASSERT_TRUE(counts) << counts.error;
    EXPECT_EQ(counts.value->LeftOut(), 0U);
    EXPECT_EQ(out.str(), records);
}

} // namespace
} // namespace tambrel
