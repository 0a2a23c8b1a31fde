#include "library/Import.h"

#include "engine/Bells.h"
#include "engine/PlaceNotation.h"
#include "engine/TBellStore.h"
#include "engine/TextFunctions.h"
#include "library/LibraryTables.h"
#include "library/MethodLookup.h"
#include "library/TfrmDataMod.h"
#include "tables/FileIo.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <unordered_set>

// The Central Council's XML collection is read by the collection converter, where the tree
// has it.
#include "library/CollectionConvert.h"

namespace tambrel {

namespace {

constexpr std::size_t kMaxStoredNotation = 98; // the places field
constexpr std::size_t kMaxCallNotation = 20;

void Label(const ImportFeedback& feedback, std::string_view text)
{
    if (feedback.label) {
        feedback.label(text);
    }
}

void Progress(const ImportFeedback& feedback, std::size_t position, std::size_t maximum)
{
    if (feedback.progress) {
        feedback.progress(position, maximum);
    }
}

bool Ask(const ImportFeedback& feedback, ImportQuestion question, const std::string& text)
{
    return feedback.ask && feedback.ask(question, text);
}

std::string Field(const TDbf& table, std::string_view field)
{
    return Trim(table.FieldText(field));
}

// A staged record as the main library stores it.
struct TakenMethod {
    std::string bells; // padded to two characters
    std::string name;
    std::string notation; // tidy
};

// The method of the staging table's current record, or nothing when the library cannot take
// it: a bell count outside 4..16, no name, a notation the check refuses or too long to store.
std::optional<TakenMethod> TakeMethod(const TDbf& staging, TBellStore& store)
{
    const std::optional<int> stage = ImportedBells(staging.FieldText("bells"));
    std::string name = UpperCase(Field(staging, "name"));
    const std::string notation = Field(staging, "places");
    if (!stage || name.empty() || !CheckPlaceNotation(notation, *stage).empty()) {
        return std::nullopt;
    }
    store.SetBells(*stage);
    store.SetPlaceNotation(notation);
    store.ParseAndTidy();
    if (store.TidyNotation().size() > kMaxStoredNotation) {
        return std::nullopt;
    }
    return TakenMethod{BellsKey(*stage), std::move(name), store.TidyNotation()};
}

// The bell count of a staged call record the calls library can take.
std::optional<int> TakeCall(const TDbf& staging)
{
    if (Field(staging, "places").size() > kMaxCallNotation) {
        return std::nullopt;
    }
    return ImportedBells(staging.FieldText("bells"));
}

// Records of a table that are not its header record (bells "0").
std::size_t CountBelow(TDbf& table)
{
    std::size_t count = 0;
    table.SetOrderToTag("");
    for (table.GoTop(); !table.Eof(); table.Skip()) {
        count += Field(table, "bells") != "0" ? 1U : 0U;
    }
    return count;
}

// Ends a bulk update by writing the table once; when that or the update failed, the table is
// read again from its file, so nothing of a half-made change stays even in memory.
Status Finish(TDbf& table, Status status)
{
    if (status) {
        status = table.EndBulkUpdate();
    }
    if (!status) {
        table.DiscardChanges();
    }
    return status;
}

// The Central Council's XML collection, told by its first bytes, as a methods import file:
// converted into a folder of its own beside the tables (removed afterwards, or, should the
// program be killed, the next time the folder is opened), then read as any other.
std::optional<DelimitedReport> StageCollection(TDbf& staging, const std::filesystem::path& file,
                                               const std::filesystem::path& folder,
                                               ConvertCounts& counted)
{
    InputFile input;
    std::string start;
    if (!input.Open(file, kMaxCollectionBytes) || !input.ReadStart(start, 512) ||
        !IsCollectionXml(start)) {
        return std::nullopt;
    }
    DelimitedReport report;
    std::filesystem::path converting;
    if (report.status = MakeTemporaryFolder(folder, ".building", converting); !report.status) {
        return report;
    }
    const std::filesystem::path converted = converting / "Collection.csv";
    std::ofstream out(converted, std::ios::binary);
    Result<ConvertCounts> counts = ConvertCollectionFile(file, out);
    out.close();
    if (counts) {
        counted = std::move(*counts.value);
    }
    if (!counts) {
        report.status = Status::Fail(counts.error);
    } else if (!out) {
        report.status = Status::Fail("Cannot write " + converted.string() + ".");
    } else {
        report = AppendFromDelimited(staging, converted);
    }
    std::error_code ec;
    std::filesystem::remove_all(converting, ec);
    return report;
}

// The one place where a chosen file becomes the records of a staging table.
DelimitedReport Stage(TDbf& staging, bool methods, const std::filesystem::path& file,
                      ConvertCounts& counted)
{
    if (methods) {
        const std::filesystem::path folder = staging.DbfFileName().parent_path();
        if (std::optional<DelimitedReport> collection =
                StageCollection(staging, file, folder, counted)) {
            return std::move(*collection);
        }
    }
    return AppendFromDelimited(staging, file);
}

// Reads a file into a staging table and accepts it when its first line is the marker record
// (bells "0" and `marker` as the name). A rejected file leaves the staging table as it was.
Status ReadStaged(TDbf& staging, bool methods, std::string_view marker,
                  const std::filesystem::path& file, StagedFile& staged, std::string* reason)
{
    staged = StagedFile{};
    if (reason != nullptr) {
        reason->clear();
    }
    staging.BeginBulkUpdate();
    Status status = staging.Zap();
    DelimitedReport report;
    ConvertCounts counted; // of a collection
    if (status) {
        report = Stage(staging, methods, file, counted);
        status = report.status;
    }
    staging.SetOrderToTag("");
    staging.GoTop();
    // The marker must be the file's first record: a first line skipped as no whole record
    // does not let a later one stand in for it.
    const std::size_t firstSkipped = report.FirstSkippedLine();
    const bool accepted = status && !staging.Eof() && Field(staging, "bells") == "0" &&
                          Field(staging, "name") == marker &&
                          (firstSkipped == 0 || firstSkipped > report.firstLine);
    if (accepted) {
        status = staging.EndBulkUpdate();
    }
    if (!accepted || !status) {
        staging.DiscardChanges();
        if (reason != nullptr) {
            *reason = status.error;
        }
        return Status::Fail(UnableToImportText(methods, file.string()));
    }
    staging.GoTop();
    staged.path = file;
    staged.leftOut = counted.LeftOut();
    staged.skipped = report.overWide + report.malformed + report.control + staged.leftOut;
    staged.leftOutMethods = std::move(counted.leftOutMethods);
    staged.report = std::move(report);
    return {};
}

// Opens the library tables an import changes, then a staging table of its own: one that an
// import stopped before its end left behind is cleared first, since nothing else uses it while
// the library tables are held.
Status OpenImport(TfrmDataMod& data, std::string_view libraryCodes, std::string_view stagingCode,
                  std::string_view stagingFile)
{
    Status status = data.OpenTables(libraryCodes);
    if (status) {
        if (const auto leftover = FindIgnoringCase(data.LibraryFolder(), stagingFile)) {
            std::error_code ec;
            std::filesystem::remove(*leftover, ec);
        }
        status = data.OpenTables(stagingCode);
    }
    if (!status) {
        data.CloseTables();
    }
    return status;
}

Status CloseImport(TfrmDataMod& data, std::string_view stagingFile)
{
    const Status closed = data.CloseTables();
    if (const auto staging = FindIgnoringCase(data.LibraryFolder(), stagingFile)) {
        std::error_code ec;
        std::filesystem::remove(*staging, ec);
    }
    return closed;
}

constexpr std::string_view kMethodsStaging = "ImpMeths.dbf";
constexpr std::string_view kCallsStaging = "ImpCalls.dbf";

} // namespace

std::string ImportedGroup(std::string_view group)
{
    const std::string upper = UpperCase(Trim(group));
    if (upper.empty() || upper.back() == 'Z' || static_cast<unsigned char>(upper.front()) < 'A') {
        return "Z";
    }
    return upper.back() == 'X' ? upper.substr(0, upper.size() - 1) : upper;
}

std::optional<int> ImportedBells(std::string_view bells)
{
    return ParseBells(bells);
}

StagedDetails::StagedDetails(const StagedFile& staged)
{
    const DelimitedReport& report = staged.report;
    std::vector<std::pair<std::size_t, std::string>> listed;
    const auto list = [&listed](const std::vector<std::size_t>& numbers, std::string_view why) {
        for (const std::size_t line : numbers) {
            listed.emplace_back(line, "Line " + std::to_string(line) + ": " + std::string(why));
        }
    };
    list(report.malformedLines, "not one value to each field, or a quote left open; left out.");
    list(report.overWideLines, "a value too wide for the library; left out.");
    list(report.controlLines, "a control character in a value; left out.");
    for (std::size_t i = 0; i < report.transliteratedLines.size(); ++i) {
        listed.emplace_back(report.transliteratedLines[i],
                            "Line " + std::to_string(report.transliteratedLines[i]) + ": " +
                                (i < report.transliteratedValues.size()
                                     ? report.transliteratedValues[i]
                                     : std::string()) +
                                " is stored with plain letters for those the library lacks.");
    }
    std::stable_sort(listed.begin(), listed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& [line, text] : listed) {
        lines.push_back(std::move(text));
    }
    for (const std::string& method : staged.leftOutMethods) {
        lines.push_back("Left out, as a library cannot hold it: " + method + ".");
    }
    fileLines = report.malformed + report.overWide + report.control + report.transliterated;
    leftOut = staged.leftOut;
}

std::string StagedDetails::Summary() const
{
    std::string text;
    if (fileLines > 0) {
        text = std::to_string(fileLines) + (fileLines == 1 ? " line" : " lines") +
               " of the file left out or changed";
    }
    if (leftOut > 0) {
        text += (text.empty() ? "" : "; ") + std::to_string(leftOut) +
                " methods of the collection left out";
    }
    return text.empty() ? text : text + ": see Details.";
}

std::string StagedDetails::Text(std::size_t shown) const
{
    std::string text;
    for (std::size_t i = 0; i < lines.size() && i < shown; ++i) {
        text += (i > 0 ? "\r" : "") + lines[i];
    }
    const std::size_t total = fileLines + leftOut;
    const std::size_t more = total - std::min(total, std::min(shown, lines.size()));
    if (more > 0) {
        text += "\r... and " + std::to_string(more) + " more.";
    }
    return text;
}

MethodsImport::MethodsImport(TfrmDataMod& data)
    : m_data(data), m_store(std::make_unique<TBellStore>())
{
}

MethodsImport::~MethodsImport()
{
    if (m_open) {
        Close();
    }
}

Status MethodsImport::Open()
{
    m_ready = false;
    m_libraryReplaced = false;
    const Status status = OpenImport(m_data, "MAIN,MYLIB_CHECK", "IMPORTMETHS", kMethodsStaging);
    m_open = status.ok();
    return status;
}

Status MethodsImport::ReadFile(const std::filesystem::path& file, std::string* reason)
{
    m_ready = false;
    m_usable.reset();
    const Status status =
        ReadStaged(m_data.dbfImportMeths, true, kMethodLibraryMarker, file, m_staged, reason);
    m_ready = status.ok();
    return status;
}

Status MethodsImport::Close()
{
    m_open = false;
    m_ready = false;
    return CloseImport(m_data, kMethodsStaging);
}

std::string MethodsImport::ResultText(ImportMode mode) const
{
    std::string text = mode == ImportMode::Replace
                           ? MethodsImportedText(m_added)
                           : MethodsCheckedText(m_examined, m_added, m_renamed);
    if (m_staged.leftOut > 0) {
        text += (mode == ImportMode::Replace ? ". " : " ") + LeftOutText(m_staged.leftOut);
    }
    return text;
}

std::size_t MethodsImport::LibraryMethods()
{
    return CountBelow(m_data.dbfMethods);
}

std::size_t MethodsImport::Usable()
{
    // Counted when asked, as only a replace asks: an import reads each record once.
    if (!m_usable) {
        std::unordered_set<std::string> keys; // a notation twice is one method of the library
        TDbf& staging = m_data.dbfImportMeths;
        staging.SetOrderToTag("");
        staging.GoTop();
        for (staging.Skip(); m_ready && !staging.Eof(); staging.Skip()) {
            if (const std::optional<TakenMethod> method = TakeMethod(staging, *m_store)) {
                keys.insert(method->bells + method->notation);
            }
        }
        m_usable = keys.size();
    }
    return *m_usable;
}

std::size_t CallsImport::LibraryCalls()
{
    return CountBelow(m_data.dbfCalls);
}

std::size_t CallsImport::Usable()
{
    if (!m_usable) {
        std::size_t usable = 0;
        TDbf& staging = m_data.dbfImportCalls;
        staging.SetOrderToTag("");
        staging.GoTop();
        for (staging.Skip(); m_ready && !staging.Eof(); staging.Skip()) {
            usable += TakeCall(staging) ? 1U : 0U;
        }
        m_usable = usable;
    }
    return *m_usable;
}

Status MethodsImport::Run(ImportMode mode, bool checkPersonal, const ImportFeedback& feedback)
{
    m_examined = m_added = m_renamed = m_personalRemoved = 0;
    if (!m_ready) {
        return Status::Fail("No import file has been read.");
    }
    if (mode == ImportMode::Replace && Usable() == 0) {
        return Status::Fail(NothingToReplaceText(true, m_staged.path.filename().string()));
    }
    Label(feedback, kMsgImportingMethods);
    Status status = ImportRecords(mode, feedback);
    if (!status) {
        return status;
    }
    m_libraryReplaced = m_libraryReplaced || mode == ImportMode::Replace;
    if (checkPersonal) {
        Label(feedback, kMsgCheckingPersonal);
        status = CheckPersonal(feedback);
    }
    Label(feedback, ResultText(mode));
    return status;
}

Status MethodsImport::ImportRecords(ImportMode mode, const ImportFeedback& feedback)
{
    TDbf& main = m_data.dbfMethods;
    TDbf& staging = m_data.dbfImportMeths;
    main.SetWhileTo("");
    // Everything is written once, at the end: until then the file holds the library as it was.
    main.BeginBulkUpdate();
    Status status = mode == ImportMode::Replace ? main.Zap() : Status::Ok();

    const std::size_t total = staging.RecordCount();
    std::size_t position = 0;
    Progress(feedback, position, total);

    // The marker record becomes the header record. In "IMPORT" it takes the place of the
    // library's header, which comes first in every order; a library without one gets it added.
    staging.SetOrderToTag("");
    staging.GoTop();
    bool append = true;
    if (status && mode == ImportMode::Import) {
        main.SetOrderToTag("NAME");
        main.GoTop();
        append = main.Eof() || Field(main, "bells") != "0";
    }
    if (status) {
        main.ClearRecord();
        for (const auto& [field, value] :
             {std::pair<const char*, std::string>{"bells", PadRight(Field(staging, "bells"), 2)},
              {"name", Field(staging, "name")},
              {"places", Field(staging, "places")}}) {
            if (status) {
                status = main.Replace(field, value);
            }
        }
        if (status) {
            status = append ? main.AppendRec() : main.ReplaceRec();
        }
    }
    Progress(feedback, ++position, total); // the bar counts the marker too, so it ends full
    staging.Skip();
    if (status) {
        status = main.SetOrderToTag("PLACES");
    }

    // Names compare as the table stores them: letters its code page lacks are replaced there,
    // and the file's name must not differ from the stored one for that alone.
    const auto stored = [&main](std::string_view name) {
        return Trim(main.AsStored(UpperCase(Trim(name))));
    };
    for (; status && !staging.Eof(); staging.Skip()) {
        ++m_examined;
        Progress(feedback, ++position, total);
        const std::optional<TakenMethod> method = TakeMethod(staging, *m_store);
        if (!method) {
            continue;
        }
        const auto& [bells, name, tidy] = *method;
        if (FindMethod(main, FindBy::Places, bells, tidy)) {
            const std::string storedName = UpperCase(Field(main, "name"));
            if (stored(storedName) != stored(name) &&
                Ask(feedback, ImportQuestion::Rename, RenameQuestion(name, storedName))) {
                ++m_renamed;
                status = RenameMethod(main, name);
            }
            continue;
        }
        ++m_added;
        status = AppendMethod(main, bells, name, tidy, ImportedGroup(staging.FieldText("group")));
    }
    m_examined += m_staged.skipped - m_staged.leftOut; // left out unread: not checked

    Label(feedback, kMsgReindexingLibrary);
    if (status) {
        status = main.Reindex();
    }
    status = Finish(main, status);
    if (!status) {
        m_examined = m_added = m_renamed = 0;
    }
    return status;
}

Status MethodsImport::CheckPersonal(const ImportFeedback& feedback)
{
    TDbf& main = m_data.dbfMethods;
    TDbf& personal = m_data.dbfTemp;
    Status status = main.SetOrderToTag("PLACES");
    personal.BeginBulkUpdate();
    if (status) {
        status = personal.SetOrderToTag("");
    }
    personal.GoTop();
    while (status && !personal.Eof()) {
        if (FindMethod(main, FindBy::Places, PadRight(Field(personal, "bells"), 2),
                       Field(personal, "places")) &&
            Ask(feedback, ImportQuestion::RemovePersonal,
                RemovePersonalQuestion(UpperCase(Field(personal, "name")),
                                       UpperCase(Field(main, "name"))))) {
            // After a deletion the next record is current, so the walk does not move on; after
            // the last one the record before it is, and the walk is over.
            const std::uint32_t deleted = personal.RecNo();
            status = personal.DeleteRec();
            ++m_personalRemoved;
            if (!personal.Eof() && personal.RecNo() < deleted) {
                break;
            }
            continue;
        }
        personal.Skip();
    }
    status = Finish(personal, status);
    if (!status) {
        m_personalRemoved = 0;
    }
    return status;
}

CallsImport::CallsImport(TfrmDataMod& data) : m_data(data) {}

CallsImport::~CallsImport()
{
    if (m_open) {
        Close();
    }
}

Status CallsImport::Open()
{
    m_ready = false;
    const Status status = OpenImport(m_data, "CALLS", "IMPORTCALLS", kCallsStaging);
    m_open = status.ok();
    return status;
}

Status CallsImport::ReadFile(const std::filesystem::path& file, std::string* reason)
{
    m_ready = false;
    m_usable.reset();
    const Status status =
        ReadStaged(m_data.dbfImportCalls, false, kCallsLibraryMarker, file, m_staged, reason);
    m_ready = status.ok();
    return status;
}

Status CallsImport::Close()
{
    m_open = false;
    m_ready = false;
    return CloseImport(m_data, kCallsStaging);
}

Status CallsImport::Run(const ImportFeedback& feedback)
{
    m_added = 0;
    if (!m_ready) {
        return Status::Fail("No import file has been read.");
    }
    if (Usable() == 0) {
        return Status::Fail(NothingToReplaceText(false, m_staged.path.filename().string()));
    }
    TDbf& calls = m_data.dbfCalls;
    TDbf& staging = m_data.dbfImportCalls;
    Label(feedback, kMsgImportingCalls);
    Status status;
    {
        calls.SetWhileTo("");
        // Written once, at the end: until then the file holds the calls as they were.
        calls.BeginBulkUpdate();
        status = calls.Zap();
        const std::size_t total = staging.RecordCount();
        std::size_t position = 0;
        Progress(feedback, position, total);
        staging.SetOrderToTag("");
        // The marker record comes first and becomes the header record (bells "0").
        bool marker = true;
        for (staging.GoTop(); status && !staging.Eof(); staging.Skip(), marker = false) {
            Progress(feedback, ++position, total);
            const std::optional<int> stage = marker ? std::optional<int>(0) : TakeCall(staging);
            if (!stage) {
                continue;
            }
            ++m_added;
            calls.ClearRecord();
            for (const auto& [field, value] :
                 {std::pair<const char*, std::string>{"bells", BellsKey(*stage)},
                  {"call_ref", Right("00" + Field(staging, "call_ref"), 2)},
                  {"name", Field(staging, "name")},
                  {"places", Field(staging, "places")},
                  {"lines", Field(staging, "lines")}}) {
                if (status) {
                    status = calls.Replace(field, value);
                }
            }
            if (status) {
                status = calls.AppendRec();
            }
        }
        Label(feedback, kMsgReindexingCalls);
        if (status) {
            status = calls.Reindex();
        }
    }
    status = Finish(calls, status);
    if (!status) {
        m_added = 0;
        return status;
    }
    Label(feedback, ResultText());
    return status;
}

} // namespace tambrel
