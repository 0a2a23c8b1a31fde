#include "library/CollectionConvert.h"

#include "engine/CCNotation.h"
#include "engine/Messages.h"
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "library/LibraryTables.h"
#include "library/XmlInputGuard.h"
#include "tables/CodePage.h"
#include "tables/Delimited.h"
#include "tables/FileIo.h"

#include <libxml/parser.h>
#include <libxml/xmlerror.h>

#include <algorithm>
#include <charconv>
#include <istream>
#include <memory>
#include <ostream>
#include <span>
#include <streambuf>

namespace tambrel {

namespace {

// Nothing a library holds comes near this; longer text is cut here and the method left out,
// so that a hostile file cannot make one field grow without end.
constexpr std::size_t kMaxFieldBytes = 4096;
// A message of the XML parser may quote the file; this much of it is plenty.
constexpr int kMaxParserMessageLength = 200;

bool HasControlCharacter(std::string_view text)
{
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == '\x7F'; });
}

std::string_view Field(const std::vector<std::string>& values, std::size_t index)
{
    return index < values.size() ? std::string_view(values[index]) : std::string_view{};
}

// One method as the collection gives it. A field cut at kMaxFieldBytes is marked too long.
struct CollectionMethod {
    std::string_view stage;
    std::string_view title;
    std::string_view notation; // the Council's comma form
    bool titleCut = false;
    bool notationCut = false;
};

// Writes the methods import file, one method at a time, and counts what it leaves out.
class ImportFileWriter {
public:
    ImportFileWriter(std::ostream& out, std::string_view build) : m_out(out)
    {
        m_out << "0," << kMethodLibraryMarker << ',' << QuoteDelimitedValue(build) << ",\n";
    }

    void Add(const CollectionMethod& method)
    {
        int stage = 0; // a stage that is no number is left out with those under four bells
        std::from_chars(method.stage.data(), method.stage.data() + method.stage.size(), stage);
        if (stage < kMinBells) {
            return LeaveOut(m_counts.underFourBells, method, "under 4 bells");
        }
        if (stage > kMaxBells) {
            return LeaveOut(m_counts.overSixteenBells, method, "over 16 bells");
        }
        const std::string_view title = method.title;
        if (title.empty()) {
            return LeaveOut(m_counts.titleBlank, method, "blank title"); // nothing to name it by
        }
        // It would reach the import file as it is. The XML's white space is a blank by now,
        // but the CSV keeps a tab, say.
        if (HasControlCharacter(title) || HasControlCharacter(method.notation)) {
            return LeaveOut(m_counts.controlCharacter, method, "control character");
        }
        if (title.find('"') != std::string_view::npos) {
            return LeaveOut(m_counts.titleWithQuote, method, "title with a double quote");
        }
        // The name as the library will hold it: replaced letters may take more room.
        const CodePage::Encoded stored = m_codePage.ToOem(UpperCase(title));
        if (method.titleCut || Utf8Length(title) > TBellStore::kMaxNameLength ||
            stored.bytes.size() > static_cast<std::size_t>(TBellStore::kMaxNameLength)) {
            return LeaveOut(m_counts.titleTooLong, method, "title over 60 characters");
        }
        if (method.notationCut) {
            return LeaveOut(m_counts.notationTooLong, method, "notation over 98 characters");
        }
        const Result<std::string> lead = ExpandCCNotation(method.notation);
        if (!lead) {
            return LeaveOut(m_counts.notationRefused, method, "notation not understood");
        }
        if (const std::string check = CheckPlaceNotation(*lead.value, stage); !check.empty()) {
            return check == kMsgTooManyRows
                       ? LeaveOut(m_counts.overHundredChanges, method, "over 100 changes in a lead")
                       : LeaveOut(m_counts.notationRefused, method, "notation not understood");
        }
        m_store->SetBells(stage);
        m_store->SetName(title);
        m_store->SetPlaceNotation(*lead.value);
        m_store->CalculateFirstLead(); // a long course costs no more than a short one
        if (m_store->TidyNotation().size() > kMaxLibraryNotation) {
            return LeaveOut(m_counts.notationTooLong, method, "notation over 98 characters");
        }
        m_out << stage << ',' << QuoteDelimitedValue(m_store->Name()) << ','
              << QuoteDelimitedValue(m_store->TidyNotation()) << ',' << m_store->LeadHeadCode()
              << '\n';
        ++m_counts.written;
        if (stored.transliterated) {
            m_counts.transliterated.push_back(m_store->Name());
        }
    }

    ConvertCounts Take() { return std::move(m_counts); }

private:
    // Counts a method left out, and names the first of them, so that the user can see which.
    void LeaveOut(std::size_t& count, const CollectionMethod& method, std::string_view reason)
    {
        ++count;
        if (m_counts.leftOutMethods.size() >= ConvertCounts::kListed) {
            return;
        }
        std::string title = Utf8Length(method.title) > TBellStore::kMaxNameLength
                                ? Utf8Left(method.title, TBellStore::kMaxNameLength) + "..."
                                : std::string(method.title);
        for (char& c : title) {
            c = static_cast<unsigned char>(c) < 0x20 || c == '\x7F' ? '?' : c;
        }
        const std::string stage = method.stage.empty()
                                      ? std::string("no stage")
                                      : "stage " + std::string(method.stage.substr(0, 8));
        m_counts.leftOutMethods.push_back((title.empty() ? std::string("(no title)") : title) +
                                          " (" + stage + "): " + std::string(reason));
    }

    std::ostream& m_out;
    ConvertCounts m_counts;
    CodePage m_codePage;
    std::unique_ptr<TBellStore> m_store = std::make_unique<TBellStore>();
};

// ---- The XML collection

struct ParserDeleter {
    void operator()(xmlParserCtxt* parser) const { xmlFreeParserCtxt(parser); }
};

std::string_view View(const xmlChar* text)
{
    return text == nullptr ? std::string_view{}
                           : std::string_view(reinterpret_cast<const char*>(text));
}

std::string_view View(const xmlChar* begin, const xmlChar* end)
{
    return {reinterpret_cast<const char*>(begin), static_cast<std::size_t>(end - begin)};
}

int CloseNothing(void* /*context*/)
{
    return 0; // the caller owns the stream
}

bool IsXmlSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

// Text of an element as one line: runs of XML white space (a wrapped title) become one blank,
// none at either end, so no line break reaches the import file.
std::string Collapse(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    bool blank = false;
    for (const char c : text) {
        if (IsXmlSpace(c)) {
            blank = !out.empty();
            continue;
        }
        if (blank) {
            out += ' ';
            blank = false;
        }
        out += c;
    }
    return out;
}

// What an open element means to the conversion; everything else, and all that lies in another
// namespace, is passed over.
enum class Role : std::uint8_t {
    Other,
    Collection,
    MethodSet,
    Properties,
    SetStage,
    Method,
    Title,
    Notation,
    MethodStage
};

bool IsField(Role role)
{
    return role == Role::SetStage || role == Role::Title || role == Role::Notation ||
           role == Role::MethodStage;
}

Role ChildRole(Role parent, std::string_view name)
{
    switch (parent) {
    case Role::Collection:
        return name == "methodSet" ? Role::MethodSet
               : name == "method"  ? Role::Method
                                   : Role::Other;
    case Role::MethodSet:
        return name == "properties" ? Role::Properties
               : name == "method"   ? Role::Method
                                    : Role::Other;
    case Role::Properties:
        return name == "stage" ? Role::SetStage : Role::Other;
    case Role::Method:
        return name == "title"      ? Role::Title
               : name == "notation" ? Role::Notation
               : name == "stage"    ? Role::MethodStage
                                    : Role::Other;
    default:
        return Role::Other;
    }
}

// Text gathered for one field, cut at kMaxFieldBytes.
struct FieldText {
    std::string text;
    bool cut = false;
    bool present = false;

    void Clear()
    {
        text.clear();
        cut = false;
        present = false;
    }
    void Append(std::string_view more)
    {
        const std::size_t room = kMaxFieldBytes - text.size();
        if (more.size() > room) {
            more = more.substr(0, room);
            cut = true;
        }
        text.append(more);
    }
};

// An attribute value as libxml2's SAX2 parser gives it without entity substitution: each "&"
// comes as "&#38;", for a tree builder to read again.
std::string AttributeText(std::string_view value)
{
    std::string text;
    for (std::size_t at = 0; at < value.size();) {
        if (value.substr(at).starts_with("&#38;")) {
            text += '&';
            at += 5;
        } else {
            text += value[at++];
        }
    }
    return text;
}

// Reads the collection with libxml2's SAX2 parser, which pulls its bytes through an
// XmlInputGuard. Not with the text reader: that one is fed a block at a time and looks through
// a long comment, attribute value or CDATA section again for every block it adds.
class XmlCollectionReader {
public:
    XmlCollectionReader(std::istream& xml, std::ostream& out, std::optional<std::string_view> build)
        : m_xml(xml), m_input(xml), m_out(out), m_build(build)
    {
    }

    Result<ConvertCounts> Read()
    {
        // No network, no external subset, no entity substitution, no XInclude, and the
        // parser's own limits on the size of a name, an attribute value and the depth stay
        // on (no XML_PARSE_HUGE). CDATA comes as plain text. The guard hands on UTF-8
        // whatever the document says its encoding is.
        constexpr int kOptions = XML_PARSE_NONET | XML_PARSE_NOCDATA | XML_PARSE_IGNORE_ENC;
        xmlInitParser(); // the import may convert on a thread of its own; repeating is harmless
        xmlSAXHandler handler{};
        handler.initialized = XML_SAX2_MAGIC;
        handler.internalSubset = OnDocumentType;
        handler.startElementNs = OnStartElement;
        handler.endElementNs = OnEndElement;
        handler.characters = OnText;
        handler.ignorableWhitespace = OnText; // white space between words is text too
        handler.serror = OnError;
        const std::unique_ptr<xmlParserCtxt, ParserDeleter> parser(xmlCreateIOParserCtxt(
            &handler, this, ReadInput, CloseNothing, this, XML_CHAR_ENCODING_NONE));
        if (!parser) {
            return Fail("The XML reader could not be started.");
        }
        m_parser = parser.get();
        xmlCtxtUseOptions(m_parser, kOptions);
        const bool parsed = xmlParseDocument(m_parser) == 0 && m_parser->wellFormed != 0;
        if (!m_refusal.empty()) {
            return Fail(std::move(m_refusal));
        }
        if (!parsed || !m_firstError.empty()) {
            if (m_xml.bad()) {
                return Fail("The collection could not be read to its end.");
            }
            return Fail("The collection is not well-formed XML (" +
                        (m_firstError.empty() ? std::string("it ends too soon") : m_firstError) +
                        ").");
        }
        if (!m_writer) {
            return Fail("The collection is empty.");
        }
        return Result<ConvertCounts>::ok(m_writer->Take());
    }

private:
    static Result<ConvertCounts> Fail(std::string message)
    {
        return Result<ConvertCounts>::fail(std::move(message));
    }

    static XmlCollectionReader& Of(void* context)
    {
        return *static_cast<XmlCollectionReader*>(context);
    }

    // After the first error or refusal nothing more is read or converted.
    bool Stopped() const { return !m_refusal.empty() || !m_firstError.empty(); }

    // Refuses the whole file from within a callback, where libxml2 lets the parser be stopped.
    void Stop(std::string refusal)
    {
        m_refusal = std::move(refusal);
        xmlStopParser(m_parser);
    }

    static int ReadInput(void* context, char* buffer, int length)
    {
        XmlCollectionReader& reader = Of(context);
        if (reader.Stopped()) {
            return -1;
        }
        const int got = reader.m_input.Read(buffer, length);
        if (got < 0 && reader.m_refusal.empty()) {
            reader.m_refusal = reader.m_input.Refusal(); // empty if the stream failed
        }
        return got;
    }

    // libxml2 2.12 passes the error as const, older versions do not.
    template <typename ErrorPointer> static void OnError(void* context, ErrorPointer error)
    {
        XmlCollectionReader& reader = Of(context);
        if (error == nullptr || error->level < XML_ERR_ERROR || !reader.m_firstError.empty()) {
            return;
        }
        std::string message = error->message != nullptr ? error->message : "unknown error";
        while (!message.empty() && (message.back() == '\n' || message.back() == ' ')) {
            message.pop_back();
        }
        if (Utf8Length(message) > kMaxParserMessageLength) {
            message = Utf8Left(message, kMaxParserMessageLength) + "...";
        }
        reader.m_firstError = "line " + std::to_string(error->line) + ": " + message;
    }

    static void OnDocumentType(void* context, const xmlChar* /*name*/, const xmlChar* /*publicId*/,
                               const xmlChar* /*systemId*/)
    {
        // The guard refuses a document type before the parser reads it. Refused here as well,
        // no entity of the document's own is expanded even if the guard were to miss one.
        Of(context).Stop(std::string(kMsgCollectionDocumentType));
    }

    static void OnStartElement(void* context, const xmlChar* localName, const xmlChar* /*prefix*/,
                               const xmlChar* uri, int /*namespaces*/,
                               const xmlChar** /*namespaceValues*/, int attributes,
                               int /*defaulted*/, const xmlChar** attributeValues)
    {
        XmlCollectionReader& reader = Of(context);
        if (reader.Stopped()) {
            return;
        }
        // Five pointers an attribute: local name, prefix, namespace, value and its end.
        const std::span<const xmlChar*> values(attributeValues,
                                               5 * static_cast<std::size_t>(attributes));
        if (std::string refusal = reader.StartElement(View(localName), View(uri), values);
            !refusal.empty()) {
            reader.Stop(std::move(refusal));
        }
    }

    static void OnEndElement(void* context, const xmlChar* /*localName*/, const xmlChar* /*prefix*/,
                             const xmlChar* /*uri*/)
    {
        XmlCollectionReader& reader = Of(context);
        if (!reader.Stopped()) {
            reader.EndElement();
        }
    }

    static void OnText(void* context, const xmlChar* text, int length)
    {
        XmlCollectionReader& reader = Of(context);
        if (!reader.Stopped() && !reader.m_roles.empty() && IsField(reader.m_roles.back())) {
            reader.Current()->Append(View(text, text + length));
        }
    }

    // Returns the refusal of the whole file, or nothing.
    std::string StartElement(std::string_view name, std::string_view uri,
                             std::span<const xmlChar*> attributes)
    {
        const bool ours = uri == kCollectionNamespace;
        Role role = Role::Other;
        if (m_roles.empty()) {
            if (!ours || name != "collection") {
                return "The file is XML but not the Central Council's methods collection: it "
                       "must be a collection element in the namespace " +
                       std::string(kCollectionNamespace) + ".";
            }
            role = Role::Collection;
            std::string_view date;
            for (std::size_t a = 0; a + 4 < attributes.size(); a += 5) {
                if (attributes[a + 1] == nullptr && View(attributes[a]) == "date") {
                    date = View(attributes[a + 3], attributes[a + 4]);
                }
            }
            m_writer.emplace(m_out, m_build ? std::string(*m_build)
                                            : CollectionBuildText(AttributeText(date)));
        } else if (ours) {
            role = ChildRole(m_roles.back(), name);
        }
        switch (role) {
        case Role::MethodSet:
            m_setStage.Clear();
            break;
        case Role::Method:
            m_title.Clear();
            m_notation.Clear();
            m_methodStage.Clear();
            break;
        default:
            if (IsField(role)) {
                Current(role)->Clear();
                Current(role)->present = true;
            }
        }
        m_roles.push_back(role);
        return {};
    }

    void EndElement()
    {
        if (m_roles.empty()) {
            return;
        }
        const Role role = m_roles.back();
        m_roles.pop_back();
        if (role == Role::MethodSet) {
            m_setStage.Clear(); // a method outside any set takes no stage from the last one
        }
        if (role != Role::Method) {
            return;
        }
        // A method may state its own stage; otherwise its set's properties give it.
        const std::string stage =
            Collapse(m_methodStage.present ? m_methodStage.text : m_setStage.text);
        const std::string title = Collapse(m_title.text);
        const std::string notation = Collapse(m_notation.text);
        m_writer->Add({stage, title, notation, m_title.cut, m_notation.cut});
    }

    FieldText* Current(Role role)
    {
        switch (role) {
        case Role::SetStage:
            return &m_setStage;
        case Role::Title:
            return &m_title;
        case Role::Notation:
            return &m_notation;
        default:
            return &m_methodStage;
        }
    }
    FieldText* Current() { return Current(m_roles.back()); }

    std::istream& m_xml;
    XmlInputGuard m_input;
    std::ostream& m_out;
    std::optional<std::string_view> m_build;
    xmlParserCtxt* m_parser = nullptr; // while Read runs
    std::string m_refusal;             // of the whole file, by the guard or the reader
    std::string m_firstError;          // the parser's first, with its line; the rest follow it
    std::optional<ImportFileWriter> m_writer; // made at the root element, which holds the date
    std::vector<Role> m_roles;                // the open elements, root first
    FieldText m_setStage;
    FieldText m_title;
    FieldText m_notation;
    FieldText m_methodStage;
};

// A stream over an input file read piece by piece, so that a collection is never held whole.
class InputFileBuffer : public std::streambuf {
public:
    explicit InputFileBuffer(InputFile& file) : m_file(file) {}
    const Status& ReadStatus() const { return m_status; }

protected:
    int_type underflow() override
    {
        if (gptr() < egptr()) {
            return traits_type::to_int_type(*gptr());
        }
        std::size_t got = 0;
        if (m_status) {
            m_status = m_file.Read(m_buffer, kSize, got);
        }
        if (got == 0) {
            return traits_type::eof();
        }
        setg(m_buffer, m_buffer, m_buffer + got);
        return traits_type::to_int_type(*gptr());
    }

private:
    static constexpr std::size_t kSize = 1U << 16U;
    InputFile& m_file;
    Status m_status;
    char m_buffer[kSize];
};

} // namespace

bool IsCollectionXml(std::string_view firstBytes)
{
    std::string_view text = firstBytes;
    // Text in UTF-16 (which XML allows) is judged by its low bytes: a byte-order mark, then
    // optional blanks and "<".
    if (text.starts_with("\xFF\xFE") || text.starts_with("\xFE\xFF")) {
        const bool little = text[0] == '\xFF';
        for (std::size_t i = 2; i + 1 < text.size(); i += 2) {
            const char high = little ? text[i + 1] : text[i];
            const char low = little ? text[i] : text[i + 1];
            if (high != '\0' || !IsXmlSpace(low)) {
                return high == '\0' && low == '<';
            }
        }
        return false;
    }
    if (text.starts_with("\xEF\xBB\xBF")) {
        text.remove_prefix(3);
    }
    while (!text.empty() && IsXmlSpace(text.front())) {
        text.remove_prefix(1);
    }
    return text.starts_with('<');
}

std::string CollectionBuildText(std::string_view date)
{
    std::string build = "CCCBR";
    const std::string day = Collapse(date);
    if (!day.empty()) {
        build += ' ';
    }
    for (std::size_t i = 0; i < day.size();) {
        const std::size_t length = Utf8SequenceLength(day, i);
        const std::string_view character = std::string_view(day).substr(i, length);
        i += length;
        if (character == "\"" || static_cast<unsigned char>(character[0]) < 0x20 ||
            character[0] == '\x7F') {
            continue; // a build text is one quoted value of the import file
        }
        if (build.size() + character.size() > static_cast<std::size_t>(kMaxBuildTextLength)) {
            break;
        }
        build += character;
    }
    while (!build.empty() && build.back() == ' ') {
        build.pop_back();
    }
    return build;
}

Result<ConvertCounts> ConvertCollectionCsv(std::istream& csv, std::ostream& out,
                                           std::string_view build)
{
    std::string line;
    if (!std::getline(csv, line)) {
        return Result<ConvertCounts>::fail("The collection is empty.");
    }
    StripByteOrderMark(line);
    const std::vector<std::string> header = SplitDelimitedLine(line);
    std::size_t stageColumn = header.size();
    std::size_t titleColumn = header.size();
    std::size_t notationColumn = header.size();
    for (std::size_t c = 0; c < header.size(); ++c) {
        const std::string name = Trim(header[c]);
        if (name == "stage") {
            stageColumn = c;
        } else if (name == "title") {
            titleColumn = c;
        } else if (name == "notation") {
            notationColumn = c;
        }
    }
    if (stageColumn == header.size() || titleColumn == header.size() ||
        notationColumn == header.size()) {
        return Result<ConvertCounts>::fail(
            "The collection needs the columns stage, title and notation.");
    }

    ImportFileWriter writer(out, build);
    while (std::getline(csv, line)) {
        if (Trim(line).empty() || Trim(line) == "\r") {
            continue;
        }
        const std::vector<std::string> values = SplitDelimitedLine(line);
        const std::string stage = Trim(Field(values, stageColumn));
        const std::string title = Trim(Field(values, titleColumn));
        writer.Add({stage, title, Field(values, notationColumn)});
    }
    return Result<ConvertCounts>::ok(writer.Take());
}

Result<ConvertCounts> ConvertCollectionXml(std::istream& xml, std::ostream& out,
                                           std::optional<std::string_view> build)
{
    XmlCollectionReader reader(xml, out, build);
    return reader.Read();
}

Result<ConvertCounts> ConvertCollectionFile(const std::filesystem::path& path, std::ostream& out,
                                            std::optional<std::string_view> build)
{
    InputFile file;
    if (Status opened = file.Open(path, kMaxCollectionBytes); !opened) {
        return Result<ConvertCounts>::fail(std::move(opened.error));
    }
    std::string start;
    if (Status read = file.ReadStart(start, 512); !read) {
        return Result<ConvertCounts>::fail(std::move(read.error));
    }
    auto buffer = std::make_unique<InputFileBuffer>(file);
    std::istream in(buffer.get());
    Result<ConvertCounts> counts =
        IsCollectionXml(start)
            ? ConvertCollectionXml(in, out, build)
            : ConvertCollectionCsv(in, out, build.value_or(kDefaultCsvBuildText));
    if (!buffer->ReadStatus()) {
        return Result<ConvertCounts>::fail(buffer->ReadStatus().error);
    }
    return counts;
}

} // namespace tambrel
