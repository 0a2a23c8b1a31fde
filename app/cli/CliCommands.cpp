#include "app/cli/CliCommands.h"
#include "app/cli/CliSupport.h"

#include "app/cli/AnalysisCommands.h"
#include "app/cli/FindCommand.h"
#include "app/cli/ImportCommands.h"
#include "app/cli/LibraryCommands.h"
#include "app/cli/MethodFacts.h"
#include "app/cli/ProveCommand.h"
#include "app/cli/RenderCommand.h"
#include "app/cli/SheetCommands.h"
#include "app/cli/StatsCommand.h"
#include "display/TBellOptions.h"
#include "engine/CCNotation.h"
#include "engine/Messages.h"
#include "engine/OptionsStore.h"
#include "library/CollectionConvert.h"
#include "tables/FileIo.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <array>
#include <iostream>
#include <memory>
#include <sstream>
#include <streambuf>

namespace tambrel {

namespace {

// Ringers write a notation starting with a cross as "-38-14...", which an option parser would
// take for another option. Joining every value to its option keeps it a value; an empty value
// stays a separate argument, which the parser reads as an empty text.
void JoinOptionValues(std::vector<std::string>& args)
{
    static constexpr std::array<std::string_view, 33> kValueOptions = {
        "--bells",   "--notation", "--name",       "--input",       "--output",
        "-o",        "--build",    "--library",    "--table",       "--group",
        "--by",      "--from",     "--limit",      "--view",        "--set",
        "--width",   "--height",   "--mode",       "--rename",      "--check-personal",
        "--lead",    "--b-bells",  "--b-notation", "--b-name",      "--limit-seconds",
        "--type",    "--calling",  "--positions",  "--observation", "--method2",
        "--method3", "--method4",  "--method5"};
    const auto takesValue = [](std::string_view arg) {
        return std::find(kValueOptions.begin(), kValueOptions.end(), arg) != kValueOptions.end();
    };
    std::vector<std::string> joined;
    joined.reserve(args.size() + 1);
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (i > 0 && takesValue(arg) && i + 1 < args.size()) {
            if (args[i + 1].empty()) {
                joined.push_back(arg);
                joined.emplace_back();
            } else if (arg.size() == 2) {
                joined.push_back(arg + args[i + 1]); // a short option takes its value attached
            } else {
                joined.push_back(arg + "=" + args[i + 1]);
            }
            ++i;
        } else if (i > 0 && !arg.empty() && arg.back() == '=' &&
                   takesValue(std::string_view(arg).substr(0, arg.size() - 1))) {
            joined.push_back(arg.substr(0, arg.size() - 1));
            joined.emplace_back();
        } else {
            joined.push_back(arg);
        }
    }
    args = std::move(joined);
}

struct MethodOptions {
    std::string bells;
    std::string notation;
    std::string name;
    std::string library;
    bool rows = false;
    bool json = false;
};

int RunMethod(const MethodOptions& options, const std::filesystem::path& programFolder,
              std::ostream& out, std::ostream& err)
{
    CallsLibrary calls;
    std::string callsError;
    if (!LoadCliCalls(options.library, programFolder, calls, err, callsError)) {
        return Refuse(err, callsError);
    }
    auto store = std::make_unique<TBellStore>();
    store->SetCallsLibrary(&calls);
    const std::string error =
        CalculateMethod(*store, options.bells, options.name, options.notation);
    if (!error.empty()) {
        return Refuse(err, error);
    }
    if (options.json) {
        out << MethodJson(*store, options.rows) << '\n';
    } else {
        WriteSummary(out, *store, options.rows);
    }
    return 0;
}

int RunCheck(const MethodOptions& options, std::ostream& out)
{
    const std::optional<int> bells = ParseBells(options.bells);
    const std::string error =
        bells ? CheckPlaceNotation(options.notation, *bells) : std::string(kMsgInvalidBells);
    if (error.empty()) {
        return 0;
    }
    out << TerminalText(error) << '\n';
    return kExitRefused;
}

// A stream onto an OutputFile, so that long outputs are written as they are made.
class OutputFileBuffer : public std::streambuf {
public:
    explicit OutputFileBuffer(OutputFile& file) : m_file(file) { setp(m_buffer, m_buffer + kSize); }
    Status Flush()
    {
        const auto pending = static_cast<std::size_t>(pptr() - pbase());
        setp(m_buffer, m_buffer + kSize);
        return pending > 0 ? m_file.Write(std::string_view(m_buffer, pending)) : Status{};
    }

protected:
    int overflow(int c) override
    {
        if (!Flush()) {
            return traits_type::eof();
        }
        if (c != traits_type::eof()) {
            *pptr() = static_cast<char>(c);
            pbump(1);
        }
        return traits_type::not_eof(c);
    }
    int sync() override { return Flush() ? 0 : -1; }

private:
    static constexpr std::size_t kSize = 1U << 16U;
    OutputFile& m_file;
    char m_buffer[kSize];
};

// Runs `work` on the output file, or on `out` when no file is named. The file replaces an
// older one only once it is whole: a refusal or a write error leaves the older file as it was.
template <typename Work>
int WithOutput(const std::string& path, std::ostream& out, std::ostream& err, Work work)
{
    if (path.empty()) {
        return work(out);
    }
    OutputFile file(path);
    if (Status opened = file.Open(); !opened) {
        return Refuse(err, opened.error);
    }
    auto buffer = std::make_unique<OutputFileBuffer>(file);
    std::ostream stream(buffer.get());
    const int status = work(stream);
    if (status != 0) {
        return status;
    }
    Status written = buffer->Flush();
    if (written) {
        written = file.Commit();
    }
    return written ? 0 : Refuse(err, written.error);
}

int RunBatchCommand(const std::string& input, const std::string& output, const std::string& library,
                    bool withStats, const std::filesystem::path& programFolder, std::ostream& out,
                    std::ostream& err)
{
    CallsLibrary calls;
    std::string callsError;
    if (!LoadCliCalls(library, programFolder, calls, err, callsError)) {
        return Refuse(err, callsError);
    }
    std::string text;
    if (Status read = ReadRegularFile(input, text, kMaxImportBytes); !read) {
        return Refuse(err, read.error);
    }
    std::istringstream file(text);
    return WithOutput(output, out, err, [&](std::ostream& target) {
        RunBatch(file, target, &calls, withStats);
        return 0;
    });
}

int RunConvert(const std::string& input, const std::string& output,
               const std::optional<std::string>& build, std::ostream& out, std::ostream& err)
{
    if (build && (build->size() > static_cast<std::size_t>(kMaxBuildTextLength) ||
                  build->find_first_of("\"\r\n") != std::string::npos)) {
        return Refuse(err, "The build text must be at most 20 characters, without quotes.");
    }
    // The input is judged before an output is started.
    if (Status readable = InputFile().Open(input, kMaxCollectionBytes); !readable) {
        return Refuse(err, readable.error);
    }
    return WithOutput(output, out, err, [&](std::ostream& target) {
        const Result<ConvertCounts> converted = ConvertCollectionFile(
            input, target, build ? std::optional<std::string_view>(*build) : std::nullopt);
        if (!converted) {
            return Refuse(err, converted.error);
        }
        const ConvertCounts* counts = &*converted.value;
        err << "Converted " << counts->written << " methods; left out " << counts->LeftOut()
            << ":\n"
            << "  under 4 bells:                " << counts->underFourBells << '\n'
            << "  over 16 bells:                " << counts->overSixteenBells << '\n'
            << "  over 100 changes in a lead:   " << counts->overHundredChanges << '\n'
            << "  notation over 98 characters:  " << counts->notationTooLong << '\n'
            << "  title over 60 characters:     " << counts->titleTooLong << '\n'
            << "  title with a double quote:    " << counts->titleWithQuote << '\n'
            << "  notation not understood:      " << counts->notationRefused << '\n'
            << "  blank title:                  " << counts->titleBlank << '\n'
            << "  control character:            " << counts->controlCharacter << '\n';
        if (!counts->transliterated.empty()) {
            err << counts->transliterated.size()
                << " names have letters that code page 850 lacks; a library stores them with "
                   "plain letters:\n";
            for (const std::string& name : counts->transliterated) {
                err << "  " << TerminalText(name) << '\n';
            }
        }
        return 0;
    });
}

} // namespace

int RunCli(std::vector<std::string> args, std::ostream& out, std::ostream& err,
           const std::filesystem::path& programFolder)
{
    // Read before parsing, so that a script asking for JSON gets its errors as JSON even when the
    // arguments themselves are refused.
    const bool json =
        std::find(args.begin() + (args.empty() ? 0 : 1), args.end(), "--json") != args.end();
    const JsonRefusals refusals(json ? &out : nullptr);
    JoinOptionValues(args);

    CLI::App app{"Method facts, checks and library data from place notation.", "tambrel-cli"};
    app.require_subcommand(1);

    MethodOptions method;
    CLI::App* methodCommand = app.add_subcommand("method", "The facts of one method");
    methodCommand->add_option("--bells", method.bells, "Number of bells, 4 to 16")->required();
    methodCommand->add_option("--notation", method.notation, "Place notation")->required();
    methodCommand->add_option("--name", method.name, "Method name");
    methodCommand->add_flag("--rows", method.rows, "Show the rows of the plain course");
    methodCommand->add_flag("--json", method.json, "Write one JSON object");
    methodCommand->add_option("--library", method.library,
                              "Library folder whose calls to use (default: the program's)");

    MethodOptions check;
    CLI::App* checkCommand = app.add_subcommand("check", "Check a place notation");
    checkCommand->add_option("--bells", check.bells, "Number of bells, 4 to 16")->required();
    checkCommand->add_option("--notation", check.notation, "Place notation")->required();

    std::string batchInput;
    std::string batchOutput;
    CLI::App* batchCommand =
        app.add_subcommand("batch", "The facts of every method of a methods import file");
    batchCommand->add_option("--input", batchInput, "Methods import file")->required();
    batchCommand->add_option("--output", batchOutput, "JSON lines file (default: standard output)");
    std::string batchLibrary;
    batchCommand->add_option("--library", batchLibrary,
                             "Library folder whose calls to use (default: the program's)");
    bool batchStats = false;
    batchCommand->add_flag("--stats", batchStats, "Add the statistics sheet's lines");

    StatsOptions stats;
    CLI::App* statsCommand = app.add_subcommand("stats", "The statistics sheet of one method");
    statsCommand->add_option("--bells", stats.bells, "Number of bells, 4 to 16")->required();
    statsCommand->add_option("--notation", stats.notation, "Place notation")->required();
    statsCommand->add_option("--name", stats.name, "Method name");
    statsCommand->add_flag("--json", stats.json, "Write one JSON object");
    // The commands that calculate or draw up a sheet read one library's calls and options.
    std::string sheetLibrary;
    const auto addLibrary = [&sheetLibrary](CLI::App* command) {
        command->add_option("--library", sheetLibrary,
                            "Library folder whose calls and options to use (default: the "
                            "program's calls, the default options)");
    };
    addLibrary(statsCommand);

    std::string ccInput;
    std::string ccOutput;
    std::string ccBuild;
    CLI::App* convertCommand = app.add_subcommand(
        "convert-cc", "Turn the Central Council collection into a methods import file");
    convertCommand->add_option("--input", ccInput, "The collection, as XML or CSV")->required();
    convertCommand->add_option("--output", ccOutput, "Methods import file")->required();
    CLI::Option* ccBuildOption = convertCommand->add_option(
        "--build", ccBuild,
        "Build text of the library (20 characters; default: CCCBR and the XML's date)");

    LibraryCommands library(app, programFolder);
    ImportCommands imports(app, programFolder);
    FindCommand findSimilar(app, programFolder);

    RenderOptions render;
    CLI::App* renderCommand = app.add_subcommand(
        "render", "Draw a method's diagram or sheet into a PNG, SVG or PDF file");
    renderCommand->add_option("--bells", render.bells, "Number of bells, 4 to 16")->required();
    renderCommand->add_option("--notation", render.notation, "Place notation")->required();
    renderCommand->add_option("--name", render.name, "Method name");
    renderCommand->add_option("--view", render.view,
                              "The view to draw (diagram, stats, comp, intmeth or touch)");
    renderCommand->add_option("--set", render.settings,
                              "An option as KEY=VALUE (Numbers=2, ShowGrid=True, ...); repeatable");
    renderCommand->add_option("--width", render.width, "Picture width in pixels (PNG, SVG)");
    renderCommand->add_option("--height", render.height, "Visible height in pixels (PNG, SVG)");
    renderCommand->add_option("-o,--output", render.output, "The file to write")->required();
    renderCommand->add_option("--library", render.library,
                              "Library folder whose calls to use (default: the program's)");

    FchOptions fch;
    CLI::App* fchCommand =
        app.add_subcommand("fch", "The false course heads of one lead against a plain course");
    fchCommand->add_option("--bells", fch.bells, "Number of bells, 4 to 16")->required();
    fchCommand->add_option("--notation", fch.notation, "Place notation")->required();
    fchCommand->add_option("--lead", fch.lead, "The lead searched, from 1")->required();
    fchCommand->add_option("--b-bells", fch.bBells, "Bells of B (default: as --bells)");
    fchCommand->add_option("--b-notation", fch.bNotation,
                           "Place notation of B, whose plain course is searched (default: the "
                           "method itself)");
    fchCommand->add_flag("--labels", fch.labels, "Label each FCH with the lead of B");
    fchCommand->add_flag("--tb2", fch.tb2, "Write the FCHs in the second notation");
    fchCommand->add_flag("--json", fch.json, "Write one JSON object");
    addLibrary(fchCommand);

    RollsOptions rolls;
    CLI::App* rollsCommand =
        app.add_subcommand("rolls", "The CRU positions, roll-ups and roll-downs of one lead");
    rollsCommand->add_option("--bells", rolls.bells, "Number of bells, 4 to 16")->required();
    rollsCommand->add_option("--notation", rolls.notation, "Place notation")->required();
    rollsCommand->add_option("--lead", rolls.lead, "The lead counted, from 1")->required();
    rollsCommand->add_flag("--json", rolls.json, "Write one JSON object");
    addLibrary(rollsCommand);

    SheetOptions comp;
    CLI::App* compCommand = app.add_subcommand("comp", "The composition sheet of one method");
    SheetOptions intMeth;
    CLI::App* intMethCommand = app.add_subcommand(
        "intmeth", "The inter-method falseness sheet of a method against a second one");
    for (auto [command, sheet] :
         {std::pair{compCommand, &comp}, std::pair{intMethCommand, &intMeth}}) {
        command->add_option("--bells", sheet->bells, "Number of bells, 7 to 16")->required();
        command->add_option("--notation", sheet->notation, "Place notation")->required();
        command->add_option("--name", sheet->name, "Method name");
        command->add_option("--set", sheet->settings,
                            "An option as KEY=VALUE (OddFCH, SplitTenorFCH, TB2Notation); "
                            "repeatable");
        command->add_flag("--json", sheet->json, "Write one JSON object");
        addLibrary(command);
    }
    intMethCommand->add_option("--b-bells", intMeth.bBells, "Bells of B (default: as --bells)");
    intMethCommand->add_option("--b-notation", intMeth.bNotation,
                               "Place notation of the second method (default: the method itself)");
    intMethCommand->add_option("--b-name", intMeth.bName, "Name of the second method");
    renderCommand->add_option("--b-bells", render.bBells, "Bells of the second method (intmeth)");
    renderCommand->add_option("--b-notation", render.bNotation,
                              "Place notation of the second method (intmeth; default: itself)");
    renderCommand->add_option("--b-name", render.bName, "Name of the second method (intmeth)");
    renderCommand->add_option("--calling", render.calling,
                              "The touch lead by lead (touch): p, b (or -), s, (group)N, *N");

    ProveOptions prove;
    CLI::App* proveCommand =
        app.add_subcommand("prove", "Prove a touch: its length, truth, lead heads and music");
    proveCommand->add_option("--bells", prove.bells, "Number of bells, 4 to 16")->required();
    proveCommand->add_option("--notation", prove.notation, "Place notation")->required();
    proveCommand->add_option("--name", prove.name, "Method name");
    proveCommand->add_option("--library", prove.library,
                             "Library folder whose calls to use (default: the program's)");
    CLI::Option* callingOption = proveCommand->add_option(
        "--calling", prove.calling,
        "The calling lead by lead: p, b (or -), s, (group)N, 2:b, *N for parts");
    CLI::Option* positionsOption = proveCommand->add_option(
        "--positions", prove.positions,
        "The calling by calling positions, a course at a time: W H H, sH, 2M, /, *N for parts");
    callingOption->excludes(positionsOption);
    proveCommand->add_option("--observation", prove.observation,
                             "The observation bell of --positions (default: the tenor)");
    for (std::size_t page = 2; page <= 5; ++page) {
        proveCommand->add_option("--method" + std::to_string(page), prove.spliced[page - 2],
                                 "Place notation of the method of page " + std::to_string(page) +
                                     ", for spliced leads");
    }
    proveCommand->add_flag("--rows", prove.rows, "Show every row rung");
    proveCommand->add_flag("--json", prove.json, "Write one JSON object");

    try {
        std::reverse(args.begin(), args.end());
        if (!args.empty()) {
            args.pop_back(); // the program name
        }
        app.parse(args);
    } catch (const CLI::CallForHelp&) {
        out << app.help();
        return 0;
    } catch (const CLI::CallForAllHelp&) {
        out << app.help("", CLI::AppFormatMode::All);
        return 0;
    } catch (const CLI::ParseError& e) {
        return Refuse(err, e.what());
    }

    // Ringers paste the Central Council's comma form; it is checked, shown and used expanded.
    method.notation = ExpandTypedNotation(method.notation);
    check.notation = ExpandTypedNotation(check.notation);
    render.notation = ExpandTypedNotation(render.notation);
    fch.notation = ExpandTypedNotation(fch.notation);
    fch.bNotation = ExpandTypedNotation(fch.bNotation);
    rolls.notation = ExpandTypedNotation(rolls.notation);
    stats.notation = ExpandTypedNotation(stats.notation);
    render.bNotation = ExpandTypedNotation(render.bNotation);
    prove.notation = ExpandTypedNotation(prove.notation);
    for (std::string& notation : prove.spliced) {
        notation = ExpandTypedNotation(notation);
    }
    for (SheetOptions* sheet : {&comp, &intMeth}) {
        sheet->notation = ExpandTypedNotation(sheet->notation);
        sheet->bNotation = ExpandTypedNotation(sheet->bNotation);
    }
    CallsLibrary libraryCalls;
    if (!sheetLibrary.empty()) {
        std::vector<OptionRecord> records;
        std::string error;
        if (!LoadCliLibrary(sheetLibrary, programFolder, libraryCalls, records, err, error)) {
            return Refuse(err, error);
        }
        TBellOptions saved;
        for (const std::string& problem : saved.LoadRecords(records)) {
            err << "Warning: " << TerminalText(problem) << '\n';
        }
        // The library's sheet options come first, so that --set overrides them.
        std::vector<std::string> sheetSettings;
        for (const OptionRecord& record : saved.SaveRecords()) {
            if (record.option == "OddFCH" || record.option == "SplitTenorFCH" ||
                record.option == "TB2Notation") {
                sheetSettings.push_back(record.option + "=" + record.value);
            }
        }
        for (SheetOptions* sheet : {&comp, &intMeth}) {
            sheet->settings.insert(sheet->settings.begin(), sheetSettings.begin(),
                                   sheetSettings.end());
        }
        fch.tb2 = fch.tb2 || saved.TB2Notation;
        stats.calls = fch.calls = rolls.calls = comp.calls = intMeth.calls = &libraryCalls;
    }
    if (methodCommand->parsed()) {
        return RunMethod(method, programFolder, out, err);
    }
    if (checkCommand->parsed()) {
        return RunCheck(check, out);
    }
    if (batchCommand->parsed()) {
        return RunBatchCommand(batchInput, batchOutput, batchLibrary, batchStats, programFolder,
                               out, err);
    }
    if (statsCommand->parsed()) {
        return RunStats(stats, out, err);
    }
    if (library.Parsed()) {
        return library.Run(out, err);
    }
    if (imports.Parsed()) {
        return imports.Run(out, err);
    }
    if (findSimilar.Parsed()) {
        return findSimilar.Run(out, err);
    }
    if (renderCommand->parsed()) {
        return RunRender(render, programFolder, out, err);
    }
    if (fchCommand->parsed()) {
        return RunFch(fch, out, err);
    }
    if (rollsCommand->parsed()) {
        return RunRolls(rolls, out, err);
    }
    if (compCommand->parsed()) {
        return RunComp(comp, out, err);
    }
    if (proveCommand->parsed()) {
        return RunProve(prove, programFolder, out, err);
    }
    if (intMethCommand->parsed()) {
        return RunIntMeth(intMeth, out, err);
    }
    return RunConvert(ccInput, ccOutput,
                      ccBuildOption->count() > 0 ? std::optional(ccBuild) : std::nullopt, out, err);
}

} // namespace tambrel
