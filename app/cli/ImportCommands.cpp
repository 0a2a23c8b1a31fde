#include "app/cli/ImportCommands.h"
#include "app/cli/CliSupport.h"
#include "app/cli/LibraryCommands.h"

#include "library/Import.h"
#include "library/TfrmDataMod.h"

#include <memory>
#include <optional>
#include <ostream>

namespace tambrel {

namespace {

std::string LineList(const std::vector<std::size_t>& lines, std::size_t count)
{
    std::string text;
    for (const std::size_t line : lines) {
        text += (text.empty() ? "" : ", ") + std::to_string(line);
    }
    return text + (lines.size() < count ? ", ..." : "");
}

// What the file's reading left out or changed, so that a script's log shows it.
void ReportStaged(const StagedFile& staged, std::ostream& err)
{
    const DelimitedReport& report = staged.report;
    if (staged.leftOut > 0) {
        err << "Warning: " << staged.leftOut
            << " methods of the collection were left out, as a library cannot hold them:\n";
        for (const std::string& method : staged.leftOutMethods) {
            err << "  " << TerminalText(method) << '\n';
        }
        if (staged.leftOutMethods.size() < staged.leftOut) {
            err << "  ... and " << staged.leftOut - staged.leftOutMethods.size() << " more.\n";
        }
    }
    if (report.overWide > 0) {
        err << "Warning: " << report.overWide
            << " records with values too wide for the table were left out (lines "
            << LineList(report.overWideLines, report.overWide) << ").\n";
    }
    if (report.malformed > 0) {
        err << "Warning: " << report.malformed
            << " lines that are not whole records were left out (lines "
            << LineList(report.malformedLines, report.malformed) << ").\n";
    }
    if (report.control > 0) {
        err << "Warning: " << report.control
            << " records with control characters were left out (lines "
            << LineList(report.controlLines, report.control) << ").\n";
    }
    if (report.transliterated > 0) {
        err << "Warning: " << report.transliterated
            << " values have letters that code page 850 lacks; they are stored with plain "
               "letters (lines "
            << LineList(report.transliteratedLines, report.transliteratedLines.size()) << ").\n";
    }
}

// The refusal of a whole file: the dialog's message, then what the reader found.
int RefuseFile(std::ostream& err, const Status& refused, const std::string& reason)
{
    return Refuse(err, reason.empty() ? refused.error : refused.error + "\r\r" + reason);
}

// Opens the import's tables and reads the file into its staging table; the exit status when
// that was refused, nothing when the import may run.
template <typename Job>
std::optional<int> Prepare(Job& job, TfrmDataMod& module, Status status, const std::string& file,
                           std::ostream& err)
{
    if (status) {
        status = job.Open();
    }
    ReportWarnings(module, err);
    if (!status) {
        return Refuse(err, status.error);
    }
    std::string reason;
    if (Status read = job.ReadFile(file, &reason); !read) {
        job.Close();
        return RefuseFile(err, read, reason);
    }
    ReportStaged(job.Staged(), err);
    return std::nullopt;
}

// Closes the import's tables after `status`, the outcome of the import; 0 when both went well.
template <typename Job> int Finish(Job& job, TfrmDataMod& module, Status status, std::ostream& err)
{
    if (Status closed = job.Close(); status && !closed) {
        status = closed;
    }
    ReportWarnings(module, err);
    return status ? 0 : Refuse(err, status.error);
}

} // namespace

ImportCommands::ImportCommands(CLI::App& app, std::filesystem::path programFolder)
    : m_programFolder(std::move(programFolder))
{
    const CLI::IsMember yesNo({"yes", "no"});
    m_methods = app.add_subcommand(
        "import-methods", "Import a methods file into the main library, as the import dialog does");
    m_methods->add_option("file", m_file, "Methods import file")->required();
    m_methods
        ->add_option("--mode", m_mode, "import: add the new methods; replace: the file's alone")
        ->required()
        ->check(CLI::IsMember({"import", "replace"}));
    m_methods
        ->add_option("--rename", m_rename,
                     "Give a method the file's name for its notation (default no)")
        ->check(yesNo);
    m_methods
        ->add_option("--check-personal", m_checkPersonal,
                     "Remove from the personal library what the main library now holds "
                     "(default no)")
        ->check(yesNo);
    m_methods->add_option("--library", m_folder, "Library folder (default: the program's)");

    m_calls = app.add_subcommand("import-calls", "Replace the calls library by a calls file");
    m_calls->add_option("file", m_file, "Calls import file")->required();
    m_calls->add_option("--library", m_folder, "Library folder (default: the program's)");
}

int ImportCommands::Run(std::ostream& out, std::ostream& err)
{
    return m_methods->parsed() ? ImportMethods(out, err) : ImportCalls(out, err);
}

int ImportCommands::ImportMethods(std::ostream& out, std::ostream& err)
{
    Status status;
    auto module = MakeDataModule(m_folder, m_programFolder, err, status);
    MethodsImport job(*module);
    if (const std::optional<int> refused = Prepare(job, *module, status, m_file, err)) {
        return *refused;
    }
    ImportFeedback feedback;
    const bool rename = m_rename == "yes";
    feedback.ask = [rename](ImportQuestion question, const std::string&) {
        return question == ImportQuestion::Rename ? rename : true;
    };
    const ImportMode mode = m_mode == "replace" ? ImportMode::Replace : ImportMode::Import;
    const bool checkPersonal = m_checkPersonal == "yes";
    if (const int refused = Finish(job, *module, job.Run(mode, checkPersonal, feedback), err)) {
        return refused;
    }
    out << job.ResultText(mode) << '\n';
    if (checkPersonal) {
        out << job.PersonalRemoved() << " Methods Removed from your Personal Library.\n";
    }
    return 0;
}

int ImportCommands::ImportCalls(std::ostream& out, std::ostream& err)
{
    Status status;
    auto module = MakeDataModule(m_folder, m_programFolder, err, status);
    CallsImport job(*module);
    if (const std::optional<int> refused = Prepare(job, *module, status, m_file, err)) {
        return *refused;
    }
    if (const int refused = Finish(job, *module, job.Run({}), err)) {
        return refused;
    }
    out << job.ResultText() << '\n';
    return 0;
}

} // namespace tambrel
