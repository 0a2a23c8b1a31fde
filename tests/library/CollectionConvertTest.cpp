#include "library/CollectionConvert.h"
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "library/XmlInputGuard.h"
#include "tables/Delimited.h"
#include "tests/support/CollectionXml.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>
#include <libxml/parser.h>
#include <libxml/tree.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <iconv.h>
#include <sys/inotify.h>
#include <unistd.h>

namespace tambrel {
namespace {

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

std::string Collection(const std::string& body, const std::string& date = "2026-06-08")
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<collection date=\"" + date +
           "\" xmlns=\"http://www.cccbr.org.uk/methods/schemas/2007/05/methods\">\n" + body +
           "</collection>\n";
}

std::string MethodSet(int stage, const std::string& methods)
{
    return "<methodSet><properties><stage>" + std::to_string(stage) + "</stage></properties>\n" +
           methods + "</methodSet>\n";
}

std::string Method(const std::string& title, const std::string& notation)
{
    return "<method><title>" + title + "</title><notation>" + notation + "</notation></method>\n";
}

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

Converted FromCsv(const std::string& csv)
{
    std::istringstream in(csv);
    std::ostringstream out;
    Converted converted{ConvertCollectionCsv(in, out, "Test"), {}};
    converted.out = out.str();
    return converted;
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::vector<std::size_t> Reasons(const ConvertCounts& c)
{
    return {c.written,         c.underFourBells,  c.overSixteenBells, c.overHundredChanges,
            c.notationTooLong, c.titleTooLong,    c.titleWithQuote,   c.notationRefused,
            c.titleBlank,      c.controlCharacter};
}

// The sample's own facts, read with libxml2's tree reader as a check on the streaming one.
struct SampleMethod {
    int stage = 0;
    std::string leadHead;
    std::string leadHeadCode;
};

struct XmlFree {
    void operator()(xmlChar* text) const { xmlFree(text); }
};

std::string Child(xmlNode* node, std::string_view name)
{
    for (xmlNode* child = node->children; child != nullptr; child = child->next) {
        if (child->type == XML_ELEMENT_NODE && reinterpret_cast<const char*>(child->name) == name) {
            const std::unique_ptr<xmlChar, XmlFree> text(xmlNodeGetContent(child));
            return reinterpret_cast<const char*>(text.get());
        }
    }
    return {};
}

std::map<std::string, SampleMethod> SampleMethods(const std::string& path)
{
    std::map<std::string, SampleMethod> methods;
    const std::unique_ptr<xmlDoc, decltype(&xmlFreeDoc)> doc(
        xmlReadFile(path.c_str(), nullptr, XML_PARSE_NONET), xmlFreeDoc);
    if (!doc) {
        return methods;
    }
    for (xmlNode* set = xmlDocGetRootElement(doc.get())->children; set != nullptr;
         set = set->next) {
        if (set->type != XML_ELEMENT_NODE) {
            continue;
        }
        int stage = 0;
        for (xmlNode* node = set->children; node != nullptr; node = node->next) {
            const std::string_view name = reinterpret_cast<const char*>(node->name);
            if (name == "properties") {
                stage = std::stoi(Child(node, "stage"));
            } else if (name == "method") {
                methods[UpperCase(Child(node, "title"))] = {stage, Child(node, "leadHead"),
                                                            Child(node, "leadHeadCode")};
            }
        }
    }
    return methods;
}

TEST(ConvertCollectionXml, TheCouncilsSample)
{
    const std::string sample = TAMBREL_SHARED_DATA "/cccbr-xml-sample.xml";
    if (!std::filesystem::exists(sample)) {
        GTEST_SKIP() << "the Council's sample is not beside the checkout";
    }
    const std::map<std::string, SampleMethod> expected = SampleMethods(sample);
    ASSERT_EQ(expected.size(), 8U);

    std::ostringstream out;
    const Result<ConvertCounts> counts = ConvertCollectionFile(sample, out);
    ASSERT_TRUE(counts) << counts.error;
    EXPECT_EQ(counts.value->written, 7U);
    EXPECT_EQ(counts.value->underFourBells, 1U); // Cross Two
    EXPECT_EQ(counts.value->LeftOut(), 1U);

    const std::vector<std::string> lines = Lines(out.str());
    ASSERT_EQ(lines.size(), 8U);
    EXPECT_EQ(lines[0], "0,TB_Method_Library,\"CCCBR 2026-06-08\",");
    std::size_t checked = 0;
    auto store = std::make_unique<TBellStore>();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        const std::vector<std::string> record = SplitDelimitedLine(lines[i]);
        ASSERT_EQ(record.size(), 4U) << lines[i];
        SCOPED_TRACE(record[1]);
        const auto found = expected.find(record[1]);
        ASSERT_NE(found, expected.end());
        const int bells = std::stoi(record[0]);
        EXPECT_EQ(bells, found->second.stage);
        ASSERT_EQ(CheckPlaceNotation(record[2], bells), "");
        store->SetBells(bells);
        store->SetName(record[1]);
        store->SetPlaceNotation(record[2]);
        store->Calculate();
        EXPECT_EQ(store->GetRowText(store->LeadLength()), found->second.leadHead);
        if (!found->second.leadHeadCode.empty()) {
            EXPECT_EQ(record[3], UpperCase(found->second.leadHeadCode));
        }
        ++checked;
    }
    EXPECT_EQ(checked, 7U);
    EXPECT_NE(out.str().find("\"KATE & WILLIAM ALLIANCE MAJOR\""), std::string::npos);
}

// Every reason a method is left out, given as CSV and as XML: both forms write the same
// records and count the same.
TEST(ConvertCollectionXml, LeavesOutAndCountsAsTheCsvDoes)
{
    struct Case {
        int stage;
        std::string title, notation;
    };
    const std::vector<Case> cases = {
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
    };
    std::string csv = "stage,title,notation\n";
    std::string sets;
    for (const Case& c : cases) {
        csv += std::to_string(c.stage) + "," + QuoteDelimitedValue(c.title) + "," +
               QuoteDelimitedValue(c.notation) + "\n";
        sets += MethodSet(c.stage, Method(test::EscapeXml(c.title), c.notation));
    }
    const Converted fromCsv = FromCsv(csv);
    const Converted fromXml = FromXml(Collection(sets), "Test");
    ASSERT_TRUE(fromCsv.counts) << fromCsv.counts.error;
    ASSERT_TRUE(fromXml.counts) << fromXml.counts.error;
    EXPECT_EQ(fromXml.out, fromCsv.out);
    EXPECT_EQ(Reasons(*fromXml.counts.value), Reasons(*fromCsv.counts.value));
    EXPECT_EQ(Reasons(*fromXml.counts.value),
              (std::vector<std::size_t>{3, 1, 1, 1, 1, 1, 1, 2, 1, 2}));
    EXPECT_EQ(fromXml.counts.value->transliterated,
              std::vector<std::string>{"ULU\xE1\xB9\x9EU MINIMUS"});
    EXPECT_EQ(Lines(fromXml.out)[1], "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B");
}

// What the reader makes of the shapes XML allows beyond the Council's plain layout.
TEST(ConvertCollectionXml, TextAsXmlAllowsIt)
{
    struct Case {
        std::string name, method, record;
    };
    const std::vector<Case> cases = {
        {"entities", Method("Kate &amp; Will&#x69;am &lt;1&gt; Major", "-18-18-18-18,12"),
         "8,\"KATE & WILLIAM <1> MAJOR\",\"-1-1-1-1 LH2\",A"},
        {"CDATA", Method("<![CDATA[Plain & Simple]]> Major", "<![CDATA[-18-18-18-18,12]]>"),
         "8,\"PLAIN & SIMPLE MAJOR\",\"-1-1-1-1 LH2\",A"},
        {"wrapped", Method("\n  Wrapped\n\t  Title   Major\n", "\n  -18-18-18-18,12\n"),
         "8,\"WRAPPED TITLE MAJOR\",\"-1-1-1-1 LH2\",A"},
        {"comments and order",
         "<method><!-- c --><notation>-18-18-18-18,12</notation><references/>"
         "<title>Late<!-- split -->Title Major</title></method>\n",
         "8,\"LATETITLE MAJOR\",\"-1-1-1-1 LH2\",A"},
        {"unknown elements",
         "<method><extra><title>Not This</title></extra><title>Real Major</title>"
         "<x:title xmlns:x='urn:other'>Nor This</x:title>"
         "<notation>-18-18-18-18,12</notation><leadHead>13527486</leadHead></method>\n",
         "8,\"REAL MAJOR\",\"-1-1-1-1 LH2\",A"},
        {"own stage",
         "<method><stage>6</stage><title>Own Stage Minor</title>"
         "<notation>x16x16x16,12</notation></method>\n",
         "6,\"OWN STAGE MINOR\",\"-1-1-1 LH2\",A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const Converted converted = FromXml(Collection(MethodSet(8, c.method)));
        ASSERT_TRUE(converted.counts) << converted.counts.error;
        EXPECT_EQ(converted.counts.value->written, 1U);
        EXPECT_EQ(converted.out, "0,TB_Method_Library,\"CCCBR 2026-06-08\",\n" + c.record + "\n");
    }
}

// Ten entities, each ten of the one before: a short file that would expand to 10^10 bytes.
std::string BillionLaughs()
{
    std::string doctype = "<!DOCTYPE collection [<!ENTITY a \"aaaaaaaaaa\">";
    for (char e = 'b'; e <= 'j'; ++e) {
        doctype += std::string("<!ENTITY ") + e + " \"" +
                   Repeat(std::string("&") + static_cast<char>(e - 1) + ";", 10) + "\">";
    }
    return doctype + "]>\n";
}

// Tells whether a file was opened while it was watched.
class OpenWatch {
public:
    explicit OpenWatch(const std::string& path) : m_fd(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
    {
        EXPECT_GE(::inotify_add_watch(m_fd, path.c_str(), IN_OPEN | IN_ACCESS), 0);
    }
    ~OpenWatch() { ::close(m_fd); }
    OpenWatch(const OpenWatch&) = delete;
    OpenWatch& operator=(const OpenWatch&) = delete;

    bool Opened() const
    {
        alignas(inotify_event) char events[4096];
        return ::read(m_fd, events, sizeof events) > 0;
    }

private:
    int m_fd;
};

// Methods the reader cannot take are counted and the rest converted; what is no collection,
// or no well-formed XML, is refused whole with a message, quickly and without reading
// anything but the stream.
TEST(ConvertCollectionXml, HostileAndBrokenFilesAreRefusedOrCounted)
{
    const TempDir dir;
    const std::string secret = dir.Path("secret.txt");
    const std::string secretText = "SECRET-OF-ANOTHER-FILE";
    std::ofstream(secret) << secretText;
    const OpenWatch watch(secret);

    const std::string good = Method("Good Major", "-18-18-18-18,12");
    struct Skipped {
        std::string name, methods;
        std::vector<std::size_t> reasons;
        std::string firstListed; // the first method left out, as the import's details name it
    };
    // Longer than the 10 MB to which libxml2's tree builder limits a text: read as a stream,
    // it is one more title too long.
    const std::string hugeTitle(11000000, 'A');
    for (const Skipped& c : std::vector<Skipped>{
             {"no notation",
              "<method><title>No Notation</title></method>",
              {1, 0, 0, 0, 0, 0, 0, 1, 0, 0},
              "No Notation (stage 6): notation not understood"},
             {"empty notation",
              Method("Empty Notation", "") + "<method><title>X</title>"
                                             "<notation/></method>",
              {1, 0, 0, 0, 0, 0, 0, 2, 0, 0},
              "Empty Notation (stage 6): notation not understood"},
             {"no title",
              "<method><notation>x16</notation></method><method><title/>"
              "<notation>x16</notation></method>",
              {1, 0, 0, 0, 0, 0, 0, 0, 2, 0},
              "(no title) (stage 6): blank title"},
             {"huge title",
              Method(hugeTitle, "x16"),
              {1, 0, 0, 0, 0, 1, 0, 0, 0, 0},
              std::string(60, 'A') + "... (stage 6): title over 60 characters"},
             {"huge notation",
              Method("Huge Notation", Repeat("x16", 500000)),
              {1, 0, 0, 0, 1, 0, 0, 0, 0, 0},
              "Huge Notation (stage 6): notation over 98 characters"},
             {"XInclude",
              "<xi:include xmlns:xi=\"http://www.w3.org/2001/XInclude\" href=\"" + secret +
                  "\" parse=\"text\"/>",
              {1, 0, 0, 0, 0, 0, 0, 0, 0, 0},
              ""},
         }) {
        SCOPED_TRACE(c.name);
        const Converted converted =
            FromXml(Collection(MethodSet(6, c.methods) + MethodSet(8, good)));
        ASSERT_TRUE(converted.counts) << converted.counts.error;
        EXPECT_EQ(Reasons(*converted.counts.value), c.reasons);
        const std::vector<std::string>& listed = converted.counts.value->leftOutMethods;
        EXPECT_EQ(listed.size(), converted.counts.value->LeftOut());
        EXPECT_EQ(listed.empty() ? "" : listed.front(), c.firstListed);
    }

    // A set without a stage, or a method outside any set after one with a stage, leaves its
    // methods out with those under four bells, as the CSV does with a stage that is no number.
    const Converted noStage =
        FromXml(Collection("<methodSet>" + good + "</methodSet>" + MethodSet(8, good) + good));
    ASSERT_TRUE(noStage.counts) << noStage.counts.error;
    EXPECT_EQ(Reasons(*noStage.counts.value),
              (std::vector<std::size_t>{1, 2, 0, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(noStage.counts.value->leftOutMethods,
              std::vector<std::string>(2, "Good Major (no stage): under 4 bells"));

    // The parser's own messages are libxml2's: only the start of those is ours to check.
    struct Refused {
        std::string name, xml;
        std::vector<std::string_view> messages; // the one given, or either of them
    };
    const std::string root = "<collection xmlns=\"http://www.cccbr.org.uk/methods/schemas/2007/"
                             "05/methods\"";
    const std::vector<Refused> refused = {
        {"not XML", "<<<\x01\xFF garbage", {kNotWellFormed}},
        {"truncated", Collection(MethodSet(8, good)).substr(0, 150), {kNotWellFormed}},
        {"no end", root + ">" + MethodSet(8, good), {kNotWellFormed}},
        {"undeclared entity",
         Collection(MethodSet(8, Method("A &nbsp; B", "x"))),
         {kNotWellFormed}},
        {"billion laughs",
         BillionLaughs() + root + " date=\"&j;\">" + MethodSet(8, Method("&j;", "x")) +
             "</collection>",
         {kDocumentType, kNotWellFormed}},
        {"quadratic blow-up",
         "<!DOCTYPE collection [<!ENTITY a \"" + std::string(50000, 'a') + "\">]>" + root +
             " date=\"" + Repeat("&a;", 5000) + "\">" +
             MethodSet(8, Method(Repeat("&a;", 5000), "x")) + "</collection>",
         {kDocumentType, kNotWellFormed}},
        {"external entity",
         "<!DOCTYPE collection [<!ENTITY s SYSTEM \"file://" + secret + "\">]>\n" + root + ">" +
             MethodSet(8, Method("&s;", "x")) + "</collection>",
         {kDocumentType}},
        {"external subset",
         "<!DOCTYPE collection SYSTEM \"file://" + secret + "\">\n" + root + "/>",
         {kDocumentType}},
        {"deep nesting", Collection(Repeat("<a>", 100000)), {kNotWellFormed}},
        {"wrong namespace",
         "<collection xmlns=\"http://www.cccbr.org.uk/methods/schemas/2099/methods\">" +
             MethodSet(8, good) + "</collection>",
         {kNotTheCollection}},
        {"no namespace",
         "<collection>" + MethodSet(8, good) + "</collection>",
         {kNotTheCollection}},
        {"another root",
         "<html xmlns=\"http://www.w3.org/1999/xhtml\"><p/></html>",
         {kNotTheCollection}},
        {"empty", "", {kNotWellFormed}},
    };
    for (const Refused& c : refused) {
        SCOPED_TRACE(c.name);
        testing::internal::CaptureStderr();
        const Converted converted = FromXml(c.xml);
        const std::string stderrText = testing::internal::GetCapturedStderr();
        ASSERT_FALSE(converted.counts);
        const std::string& error = converted.counts.error;
        EXPECT_TRUE(std::any_of(c.messages.begin(), c.messages.end(), [&](std::string_view m) {
            return m == kNotWellFormed ? error.starts_with(m) && error.ends_with(").") : error == m;
        })) << error;
        EXPECT_EQ(converted.out.find(secretText), std::string::npos);
        EXPECT_EQ(converted.counts.error.find(secretText), std::string::npos);
        EXPECT_EQ(stderrText, "") << "the parser's messages go into the refusal only";
    }
    EXPECT_FALSE(watch.Opened()) << "a file the document names was opened";
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

// What the parser is handed when it asks for `length` bytes at a time, and the refusal.
struct Guarded {
    std::string bytes, refusal;
};

Guarded ReadGuarded(const std::string& input, int length)
{
    std::istringstream in(input);
    XmlInputGuard guard(in);
    Guarded guarded;
    std::string buffer(static_cast<std::size_t>(length), '\0');
    for (int got = 0; (got = guard.Read(buffer.data(), length)) > 0;) {
        guarded.bytes.append(buffer, 0, static_cast<std::size_t>(got));
    }
    guarded.refusal = guard.Refusal();
    return guarded;
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
    struct Case {
        std::string name, input, refusal; // handed on as it is, or as `text` if in UTF-16
    };
    const std::vector<Case> cases = {
        {"UTF-8 and its byte-order mark", "\xEF\xBB\xBF" + text, ""},
        {"UTF-16LE", "\xFF\xFE" + Utf16(text, true), ""},
        {"UTF-16BE", "\xFE\xFF" + Utf16(text, false), ""},
        {"attributes in scope up to the limit",
         "<a" + Attributes(32) + "><b" + Attributes(32) + "/><b" + Attributes(32) + "></b><c" +
             Attributes(32) + "/></a><d" + Attributes(64) + "/>",
         ""},
        {"too many on one element", "<a>\n<b" + Attributes(65) + "/></a>", TooManyAttributes(2)},
        {"too many with the elements around",
         "<a" + Attributes(32) + "><b\n" + Attributes(32) + "/><c\n\n" + Attributes(33) + "/>",
         TooManyAttributes(4)},
        {"a document type", "<?xml version='1.0'?>\n<!DOCTYPE a []>", std::string(kDocumentType)},
        {"high surrogate alone", "\xFF\xFE" + Utf16("<a>\n", true) + "\x3D\xD8" + Utf16("b", true),
         loneSurrogate},
        {"low surrogate alone", "\xFE\xFF" + Utf16("<a>\n", false) + "\xDC\x14", loneSurrogate},
        {"high surrogate at the end", "\xFF\xFE" + Utf16("<a>\n", true) + "\x3D\xD8",
         loneSurrogate},
        {"half a character at the end", "\xFF\xFE" + Utf16("<a>\n", true) + "<",
         "The collection is not well-formed XML (line 2: its UTF-16 ends in the middle of a "
         "character)."},
        {"UTF-16 without its mark", Utf16("<?xml version='1.0'?><a/>", true), notUtf8},
        {"EBCDIC", "\x4C\x6F\xA7\x94\x40\xA5\x85\x99\xA2\x89\x96\x95", notUtf8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string expected = c.input.starts_with("\xEF\xBB\xBF") ||
                                             c.input.starts_with("\xFF\xFE") ||
                                             c.input.starts_with("\xFE\xFF")
                                         ? text
                                         : c.input;
        for (const int length : {1, 2, 3, 5, 4000}) {
            SCOPED_TRACE(length);
            const Guarded guarded = ReadGuarded(c.input, length);
            EXPECT_EQ(guarded.refusal, c.refusal);
            if (c.refusal.empty()) {
                EXPECT_EQ(guarded.bytes, expected);
            }
        }
    }
}

// Long markup full of ">" (which the tree reader looked through again for each block it read)
// and quotes converts as the plain file does, and the guard still counts attributes after it;
// so does the collection in UTF-16. An element crowded with attributes is refused whole.
TEST(ConvertCollectionXml, LongMarkupAndUtf16AsThePlainFile)
{
    const std::string methods = Method("Ulu\xE1\xB9\x9Fu \xF0\x9D\x84\x9E Minimus", "-14-14") +
                                Method("Plain Bob Major", "x18x18x18x18,12");
    const Converted plain = FromXml(Collection(MethodSet(8, methods)));
    ASSERT_TRUE(plain.counts) << plain.counts.error;
    ASSERT_EQ(plain.counts.value->written, 2U);

    // Read as anything but what it is, the filler is a document type or an element with 65
    // attributes.
    const std::string quotes(130, '"');
    const std::string filler = Repeat("]> -> ? > <!DOCTYPE x> " + quotes, 1000);
    const std::string crowded = "<x" + Attributes(63) + "/>"; // 65 with the root's two
    struct Case {
        std::string name, before;               // before the method set
        std::string (*encode)(std::string xml); // the file's bytes
    };
    const auto utf8 = [](std::string xml) { return xml; };
    const auto utf16le = [](std::string xml) { return "\xFF\xFE" + Utf16(std::move(xml), true); };
    const auto utf16be = [](std::string xml) { return "\xFE\xFF" + Utf16(std::move(xml), false); };
    for (const Case& c : std::vector<Case>{
             {"comment", "<!--" + filler + "-->", utf8},
             {"processing instruction", "<?note " + filler + "?>", utf8},
             {"CDATA section", "<notes><![CDATA[" + filler + "]]></notes>", utf8},
             {"attribute value", "<notes n='" + Repeat(">" + quotes, 1000) + "'/>", utf8},
             {"UTF-16LE", "", utf16le},
             {"UTF-16BE", "", utf16be},
         }) {
        SCOPED_TRACE(c.name);
        const Converted converted = FromXml(c.encode(Collection(c.before + MethodSet(8, methods))));
        ASSERT_TRUE(converted.counts) << converted.counts.error;
        EXPECT_EQ(converted.out, plain.out);
        EXPECT_EQ(Reasons(*converted.counts.value), Reasons(*plain.counts.value));
        EXPECT_EQ(
            FromXml(c.encode(Collection(c.before + crowded + MethodSet(8, methods)))).counts.error,
            TooManyAttributes(3));
    }

    // The fuzzer's seed: 20,000 attributes on one element, which took the tree reader 20 s.
    std::ostringstream out;
    EXPECT_EQ(ConvertCollectionFile(TAMBREL_COLLECTION_SEEDS "/many-attributes.xml", out).error,
              TooManyAttributes(6));
}

TEST(ConvertCollectionXml, BuildTextFromTheDateOrGiven)
{
    struct Case {
        std::string date, build;
    };
    for (const Case& c :
         {Case{"2026-06-08", "CCCBR 2026-06-08"}, Case{"", "CCCBR"},
          Case{"  8 June 2026 ", "CCCBR 8 June 2026"},
          Case{"2026-06-08T10:46:23Z", "CCCBR 2026-06-08T10:"},
          Case{"&quot;2026&quot;\n06", "CCCBR 2026 06"}, Case{"A &amp; B", "CCCBR A & B"},
          Case{"2026 \xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9\xC3\xA9", "CCCBR 2026 "
                                                                "\xC3\xA9\xC3\xA9"
                                                                "\xC3\xA9\xC3\xA9"}}) {
        SCOPED_TRACE(c.date);
        const Converted converted = FromXml(Collection("", c.date));
        ASSERT_TRUE(converted.counts) << converted.counts.error;
        EXPECT_EQ(converted.out, "0,TB_Method_Library," + QuoteDelimitedValue(c.build) + ",\n");
        EXPECT_LE(c.build.size(), static_cast<std::size_t>(kMaxBuildTextLength));
    }
    EXPECT_EQ(FromXml(Collection(""), "My build").out, "0,TB_Method_Library,\"My build\",\n");
}

TEST(IsCollectionXml, TellsXmlFromCsv)
{
    struct Case {
        std::string_view bytes;
        bool xml;
    };
    for (const Case& c :
         {Case{"<?xml version=\"1.0\"?><collection/>", true},
          Case{"\xEF\xBB\xBF<collection/>", true}, Case{" \r\n\t<!-- note --><collection/>", true},
          Case{std::string_view("\xFF\xFE \0<\0c\0", 8), true},
          Case{std::string_view("\xFE\xFF\0<\0c", 6), true},
          Case{std::string_view("\xFF\xFEs\0t\0", 6), false},
          Case{"stage,title,name,class,notation", false},
          Case{"\xEF\xBB\xBFstage,title,notation", false}, Case{"", false}, Case{"   ", false}}) {
        SCOPED_TRACE(c.bytes);
        EXPECT_EQ(IsCollectionXml(c.bytes), c.xml);
    }
}

// A file of either form, told apart by its content whatever its name.
TEST(ConvertCollectionFile, EitherFormAndOnlyRegularFiles)
{
    const TempDir dir;
    const std::string xml = dir.Write(
        "collection.csv",
        "\xEF\xBB\xBF" + Collection(MethodSet(8, Method("Plain Bob Major", "x18x18x18x18,12"))));
    const std::string csv = dir.Write("collection.xml", "stage,title,notation\n8,Plain Bob Major,"
                                                        "\"x18x18x18x18,12\"\n");
    struct Case {
        std::string path;
        std::optional<std::string_view> build;
        std::string header;
    };
    for (const Case& c :
         {Case{xml, std::nullopt, "\"CCCBR 2026-06-08\""}, Case{xml, "Given", "Given"},
          Case{csv, std::nullopt, "\"CC collection\""}, Case{csv, "Given", "Given"}}) {
        SCOPED_TRACE(c.path);
        std::ostringstream out;
        const Result<ConvertCounts> counts = ConvertCollectionFile(c.path, out, c.build);
        ASSERT_TRUE(counts) << counts.error;
        EXPECT_EQ(out.str(), "0,TB_Method_Library," + c.header +
                                 ",\n8,\"PLAIN BOB MAJOR\",\"-1-1-1-1 LH2\",A\n");
    }

    std::filesystem::create_directory(dir.Path("folder"));
    for (const std::string& bad : {dir.Path("folder"), dir.Path("missing.xml")}) {
        std::ostringstream out;
        const Result<ConvertCounts> counts = ConvertCollectionFile(bad, out);
        ASSERT_FALSE(counts);
        EXPECT_TRUE(counts.error.starts_with("Cannot read " + bad + ": ")) << counts.error;
        EXPECT_EQ(out.str(), "");
    }
    std::ostringstream out;
    EXPECT_EQ(ConvertCollectionFile(dir.Write("empty", ""), out).error, "The collection is empty.");
}

// The bundled library written as the Council's XML (each lead written out) reads back as the
// very records it came from: names, tidy notations and lead-head codes of 23,000 methods.
TEST(ConvertCollectionXml, TheWholeBundledLibraryReadsBack)
{
    const std::vector<test::LibraryMethod> methods = test::ReadLibraryMethods(TAMBREL_METHODS_CSV);
    ASSERT_GT(methods.size(), 23000U);
    std::stringstream xml;
    test::WriteCollectionXml(xml, methods, "2023-09-18");
    std::ostringstream out;
    const Result<ConvertCounts> counts = ConvertCollectionXml(xml, out);
    ASSERT_TRUE(counts) << counts.error;
    EXPECT_EQ(counts.value->written, methods.size());
    EXPECT_EQ(counts.value->LeftOut(), 0U);
    const std::string bundled = ReadFile(TAMBREL_METHODS_CSV);
    EXPECT_TRUE(out.str() == bundled) << "the records differ from data/Methods.csv";
}

// The move into the library changed nothing: the Council's CSV still gives the bundled
// library byte for byte.
TEST(ConvertCollectionCsv, TheCollectionGivesTheBundledLibrary)
{
    const std::string collection = TAMBREL_SHARED_DATA "/cccbr-methods.csv";
    if (!std::filesystem::exists(collection)) {
        GTEST_SKIP() << "the Council's collection is not beside the checkout";
    }
    std::ostringstream out;
    const Result<ConvertCounts> counts =
        ConvertCollectionFile(collection, out, std::string_view("CCCBR 2023-09-18"));
    ASSERT_TRUE(counts) << counts.error;
    EXPECT_TRUE(out.str() == ReadFile(TAMBREL_METHODS_CSV)) << "differs from data/Methods.csv";
}

} // namespace
} // namespace tambrel
