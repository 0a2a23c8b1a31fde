#include "app/cli/CliCommands.h"
#include "library/LibraryTables.h"
#include "library/OptionsTable.h"
#include "library/TfrmDataMod.h"
#include "tables/TDbf.h"

#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tambrel {
namespace {

using namespace std::string_literals;
using test::ReadFile;
using Args = std::vector<std::string>;

struct CliRun {
    int status = -1;
    std::string out, err;
};

// Runs `tambrel-cli ARGS...` in this process, as if installed in `programFolder`.
CliRun Cli(Args args, const std::filesystem::path& programFolder = {})
{
    args.insert(args.begin(), "tambrel-cli");
    std::ostringstream out;
    std::ostringstream err;
    const int status = RunCli(std::move(args), out, err, programFolder);
    return {status, out.str(), err.str()};
}

Args operator+(Args args, const Args& more)
{
    args.insert(args.end(), more.begin(), more.end());
    return args;
}

// Whether `text` is what `pattern` shows: "*" stands for any text within a line, "**" for any
// text at all; everything else stands for itself.
bool Matches(std::string_view pattern, std::string_view text)
{
    const std::size_t star = pattern.find('*');
    if (star == std::string_view::npos) {
        return pattern == text;
    }
    if (text.substr(0, star) != pattern.substr(0, star)) {
        return false;
    }
    text.remove_prefix(star);
    const bool any = pattern.substr(star).starts_with("**");
    pattern.remove_prefix(star + (any ? 2 : 1));
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (Matches(pattern, text.substr(i))) {
            return true;
        }
        if (i < text.size() && !any && text[i] == '\n') {
            return false;
        }
    }
    return false;
}

// A command line, given as its arguments or as one text split at its spaces, where "~" stands
// for a space within an argument and '' for an empty argument.
struct Command {
    Command(Args given) : args(std::move(given)) {}
    Command(const char* text) : Command(std::string(text)) {}
    Command(const std::string& text)
    {
        std::istringstream in(text);
        for (std::string arg; in >> arg;) {
            std::replace(arg.begin(), arg.end(), '~', ' ');
            args.push_back(arg == "''" ? "" : arg);
        }
    }
    Args args;
};

// One run of the tool: its command, exit status and the patterns of what it writes to standard
// output and standard error; a text its output must not hold; a table held open meanwhile ("r",
// or "w" for writing, then its path); a file it writes, with its pattern, or with none when it
// must not exist. In every text "{dir}" is the test's folder, "{lib}" and "{imp}" library
// folders in it.
struct Row {
    Command command;
    int status = 0;
    std::string out{}, err{}, lacks{}, held{}, file{};
    std::optional<std::string> written{};
};

const auto Line = [](const std::string& text) { return text + "\n"; };
// A refusal as a script asking for JSON reads it.
const auto JsonError = [](const std::string& message) {
    return Line(R"({"error":")" + message + "\"}");
};

const std::string kCam = " -38-14-1258-36-14-58-16-78LH12 ";
const std::string kCamComma = " -38-14-1258-36-14-58-16-78,12 ";
const std::string kYorkshire = " -38-14-58-16-12-38-14-78,12 ";
const std::string kPlainBob = " x16x16x16x16x16x12 ";
const std::string kPlainBobJson =
    R"({"bells":6,"name":"PLAIN BOB MINOR","notation":"x16x16x16x16x16x12",)"
    R"("tidy_notation":"-1-1-1 LH2","cc_notation":"-16-16-16,12","symmetric":true,"lead_length":12,"lead_head":"135264",)"
    R"("lead_head_code":"A","class":"Bob","symmetry":"palindromic","title_suffix":"Bob Minor",)"
    R"("row_count":60,"leads_in_course":5,"course_too_long":false,)"
    R"("changes":["","16","","16","","16","","16","","16","","12"],"bob_type":"01",)"
    R"("single_type":"02","bob_changes":["","16","","16","","14","","16","","16","","16"],)"
    R"("single_changes":["","16","","16","","1234","","16","","16","","16"],)"
    R"("bob_lines":"234","single_lines":"34"})";
const std::string kCrossOnSeven = R"(Error in the Place Notation:\r\r-\r\rError at:\r\r- <--)";
const std::string kBadRecords = R"({"name":"BAD, CROSS","error":")" + kCrossOnSeven + "\"}\n" +
                                Line(R"({"name":"TOO MANY","error":"Invalid number of bells."})");
const std::string kInUse = " is in use by another program (or another window of Tambrel). "
                           "Close it there and try again.\n";

// A program folder whose bundled data is the small library and the real calls, with a methods
// file; the home folder is the test's own, and no command may make a library there unasked.
class CliTable : public ::testing::Test {
protected:
    CliTable() : dir(test::kSmallMethodsCsv, ReadFile(TAMBREL_CALLS_CSV))
    {
        ::setenv("HOME", dir.Path("home").c_str(), 1);
        ::unsetenv("XDG_DATA_HOME");
        dir.Write("in.csv", "\xEF\xBB\xBF"
                            "0,TB_Method_Library,\"Test build\",\r\n6,\"Plain Bob Minor\"," +
                                kPlainBob +
                                ",A\r\n\r\n7,\"Bad, Cross\",-,Z\n\"99\",Too Many,x,Z\n"
                                "5,Grandsire,3.1.5.1.5.1.5.1.5.1\n");
    }
    ~CliTable() override { EXPECT_FALSE(std::filesystem::exists(dir.Path("home"))); }

    std::string Fill(std::string text) const
    {
        const std::string root = std::filesystem::path(dir.Data()).parent_path().string();
        for (const auto& [key, path] :
             {std::pair{"{dir}", root}, {"{lib}", root + "/lib"}, {"{imp}", root + "/imp"}}) {
            for (std::size_t at; (at = text.find(key)) != std::string::npos;) {
                text.replace(at, 5, path);
            }
        }
        return text;
    }

    void Check(const std::vector<Row>& rows) const
    {
        for (const Row& row : rows) {
            Args args;
            std::string shown;
            for (const std::string& arg : row.command.args) {
                args.push_back(Fill(arg));
                shown += " " + arg;
            }
            SCOPED_TRACE(shown);
            TDbf held;
            if (!row.held.empty()) {
                held.SetDbfFileName(Fill(row.held.substr(1)));
                ASSERT_TRUE(held.Open(row.held[0] == 'w' ? TableAccess::Write : TableAccess::Read));
            }
            const CliRun run = Cli(args, std::filesystem::path(dir.Data()).parent_path());
            EXPECT_EQ(run.status, row.status);
            EXPECT_TRUE(Matches(Fill(row.out), run.out)) << run.out;
            EXPECT_TRUE(Matches(Fill(row.err), run.err)) << run.err;
            EXPECT_TRUE(row.lacks.empty() || run.out.find(row.lacks) == std::string::npos);
            ASSERT_TRUE(!row.file.empty() || !row.written) << "a pattern for no file";
            if (!row.file.empty()) {
                const std::string file = Fill(row.file);
                EXPECT_EQ(std::filesystem::exists(file), row.written.has_value()) << file;
                EXPECT_TRUE(!row.written || Matches(Fill(*row.written), ReadFile(file))) << file;
            }
        }
    }

    test::LibraryDir dir;
};

TEST_F(CliTable, ParsingMethodAndCheck)
{
    const std::string method = "method --bells 6 --notation" + kPlainBob;
    const std::string evil = "Quote \" back \\ tab\t bell\x07 \xC3\xA9 \xFF"
                             "\xE0\x80\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82";
    Check({
        {"", 2, "", "A subcommand is required\n"},
        {"--help", 0, "**\n  method *\n**\n  convert-cc *\n**"},
        {method + "--json --name Plain~Bob~Minor", 0, kPlainBobJson + "\n"},
        // Every byte of a name gives valid JSON; bytes that are not UTF-8 are replaced.
        {Command(method).args + Args{"--name", evil, "--json"}, 0,
         R"(*,"name":"QUOTE \" BACK \\ TAB\t BELL\u0007 )" + "\xC3\x89 "s +
             test::Repeat("\xEF\xBF\xBD", 13) + Line(R"(",*)")},
        {"method --bells 5 --notation 3.1.5.1.5.1.5.1.5.1 --rows --json", 0,
         Line(R"(*,"single_lines":"*","rows":["12345","21354",*,"13254","12345"]})")},
        {"method --bells 12 --notation -ET-ET --json", 0, Line(R"({"bells":12,*)")},
        // A notation starting with a cross is a value, in either form.
        {"method --bells 8 --notation" + kCam + "--json", 0,
         Line(R"(*"lead_head":"15738264","lead_head_code":"B","class":"Surprise",)"
              R"("symmetry":"palindromic","title_suffix":"Surprise Major",*)")},
        // The class words follow the notation, not the name; a hybrid's title has none.
        {"method --bells 6 --name Cambridge~Delight~Minor --json --notation "
         "-36-14-12-36-1456.56-56.14-36-12-14-36-12",
         0, Line(R"(*"class":"Hybrid","symmetry":"","title_suffix":"Minor",*)")},
        {"method --bells 5 --name Christ --notation 5.1.5.1.5,345", 0,
         "**Class:           Differential\nSymmetry:        palindromic\n"
         "Full title:      CHRIST DIFFERENTIAL DOUBLES\n**"},
        {"method --bells=8 --notation=-38-14-1258-36-14-58-16-78LH12 --json", 0,
         Line(R"(*"tidy_notation":"-3-4-25-36-4-5-6-7 LH2",)"
              R"("cc_notation":"-38-14-1258-36-14-58-16-78,12",*)")},
        // What would drive a terminal is shown, not obeyed.
        {"method --bells 6 --notation x16x16x16,12 --name Evil\x1B[2J\a", 0,
         "Method:          EVIL\\x1B[2J\\x07\nBells:           6 (Minor)\n"
         "Notation:        -16-16-16-16-16-12\nTidy notation:   -1-1-1 LH2\n"
         "CC notation:     -16-16-16,12\n"
         "Symmetric:       yes\nLead length:     12 changes\nLead head:       135264\n"
         "Lead-head code:  A\nClass:           Bob\nSymmetry:        palindromic\n"
         "Full title:      EVIL\\x1B[2J\\x07 BOB MINOR\nPlain course:    60 rows, 5 leads\n"
         "Bob:             01, lines 234\nSingle:          02, lines 34\n"},
        // Half a lead before the end of the course, the call at the lead end, half a lead after.
        {method + "--rows", 0,
         "**Single:          02, lines 34\n\nPlain course\n123456\n214365\n**\n135264\n**"
         "\n\nBob lead\n536241\n352614\n325164\n231546\n213456\n124365\n142356\n**"
         "\n\nSingle lead\n536241\n**\n124365\n124356\n**"},
        // Refusals: the message on standard error, or as JSON on standard output.
        {"method --bells 7 --notation - --json", 2, JsonError(kCrossOnSeven)},
        {"method --bells 8 --notation ''", 2, "", "No Place Notation Entered.\n"},
        {"method --bells 8 --notation=", 2, "", "No Place Notation Entered.\n"},
        {Args{"method", "--bells", "8", "--notation", "12\xFF\xC3\x00\x01"s, "--json"}, 2,
         R"({"error":"Error in the Place Notation:\r\r12)" + "\xEF\xBF\xBD*\"}\n"s},
        // check is quiet on a valid notation and writes the refusal to standard output.
        {"check --bells 8 --notation" + kCam},
        {"check --bells 7 --notation 3.1.7.1.7.1.7,1"},
        {"check --bells 8 --notation 12..14", 2,
         "Error in the Place Notation:\n\n12..14\n\nError at:\n\n12.. <--\n"},
        {"check --bells 99 --notation 12", 2, "Invalid number of bells.\n"},
    });
}

TEST_F(CliTable, AnalysisCommands)
{
    const std::string fch = "fch --bells 8 --notation" + kCam + "--lead ";
    const std::string comp = "comp --bells 8 --notation" + kCamComma;
    const std::string intMeth = "intmeth --bells 8 --notation" + kCamComma;
    const std::string outside = "The lead must be from 1 to 7, the leads of the plain course.";
    Check({
        {fch + "1 --json", 0,
         Line(R"({"in_course":["*"],"out_of_course":[*],"split_in":[*],"split_out":[*]})")},
        // Without B the method is searched against itself, so no row is its own recurrence;
        // the same method given as B is another course, whose first lead holds every row.
        {fch + "1 --labels --json", 0, "{\"in_course\":[*\n", "", "L1-23456"},
        {fch + "1 --labels --json --b-notation" + kCamComma, 0,
         Line(R"({"in_course":["L1-23456",*)")},
        {fch + "1 --labels --tb2 --json --b-bells 8 --b-notation" + kCam, 0,
         Line(R"({"in_course":["23456 V1",*)")},
        {fch + "1", 0,
         "In course: *\nOut of course:*\nSplit tenors, in course:*\n"
         "Split tenors, out of course:*\n"},
        {fch + "0", 2, "", outside + "\n"},
        {fch + "8 --json", 2, JsonError(outside)},
        {fch + "1 --b-bells 6 --b-notation x16x16x16,12", 2, "",
         "Method B must have as many bells as the method: 8.\n"},
        {fch + "1 --b-bells 8", 2, "", "--b-bells needs --b-notation.\n"},
        {fch + "1 --b-notation 9", 2, "",
         "Method B: Error in the Place Notation:\n\n9\n\nError at:\n\n9 <--\n"},
        // One change a lead: 13245678 (a CRU position and a roll-up) and then rounds.
        // A touch proved: three bobs at home in Plain Bob Minor; refusals as JSON for scripts.
        {"prove --bells 6 --notation x16x16x16,12 --calling (ppppb)3 --json", 0,
         Line(R"({"changes":180,"comes_round":true,"round_at":180,"round_part_way":false,)"
              R"("true":true,"false_rows":[],"false_count":0,"leads":15,"calls":{"b":3,"s":0},)"
              R"("end_row":"123456",*)")},
        {"prove --bells 6 --notation x16x16x16,12 --calling (pppsb)6 --rows", 0,
         "False: row 168 repeats row 59. (24 rows repeat.)\n**\nRows\n123456\n214365\n**"},
        // The same touch by calling positions: three Homes of Plain Bob Major.
        {"prove --bells 8 --notation x18x18x18x18,12 --positions HHH", 0,
         "336 changes, true, comes round.\nLeads:       21 (bobs 3, singles 0)\n"
         "Calls:       H H H\n**"},
        {"prove --bells 7 --notation 3,1.7.1.7.1.7.1 --positions H --json", 2,
         JsonError("Calling positions are only for methods with Plain Bob lead heads.")},
        {"prove --bells 8 --notation x18x18x18x18,12 --json", 2,
         JsonError("Give the calling either lead by lead (--calling) or by calling positions "
                   "(--positions).")},
        {"prove --bells 6 --notation x16x16x16,12 --calling p2:b --json", 2,
         JsonError("There is no method of 6 bells on page 2.")},
        {"prove --bells 6 --notation x16x16x16,12 --method2 x17 --calling p2:b", 2, "",
         "Page 2: Error in the Place Notation:**"},
        {"rolls --bells 8 --notation 145678 --lead 1 --json", 0,
         Line(R"({"cru":1,"roll_ups":1,"roll_downs":0,"patterns":["13245678"]})")},
        {"rolls --bells 8 --notation 145678 --lead 2", 0,
         "CRU positions: 1\nRoll-ups: 1\nRoll-downs: 0\nPatterns: 12345678\n"},
        {"rolls --bells 8 --notation x18 --lead 1", 0, "**\nPatterns: none\n"},
        {"rolls --bells 8 --notation 145678 --lead 3", 2, "",
         "The lead must be from 1 to 2, the leads of the plain course.\n"},
        {"stats --bells 8 --name X --json --notation" + kCamComma, 0,
         Line(R"({"bells":8,"name":"X","lead_head_code":"B","classification":"*",)"
              R"("right_places":"*","changes_of_direction":"*","average_blows":"*",)"
              R"("difficulty":"*","cru":"*","roll_ups":"*","roll_downs":"*",)"
              R"("fch_groups":"FCH Groups = BDEe"})")},
        {"stats --bells 8 --notation" + kCamComma, 0,
         "UNTITLED METHOD\nStatistics Sheet\n\nThis is a Regular Symetric Method of Lead Head "
         "Group B\n**\nFCH Groups = BDEe\n**"},
        {"stats --bells 8 --notation x19 --json", 2, JsonError("Error in the Place Notation:*")},
        {"stats --bells 3 --notation x", 2, "", "Invalid number of bells.\n"},
        // The sheets: one object per lead, with the keys of the sections shown.
        {comp + "--json", 0,
         Line(R"({"columns":[{"lead":1,"first_row":"12345678","patterns":[*],"even":[*],)"
              R"("odd":[*],"split_even":[*],"split_odd":[*]},{"lead":2,*,{"lead":7,*}]})"),
         "", R"("lead":8)"},
        {comp + "--set OddFCH=False --json", 0,
         Line(R"({"columns":[{"lead":1,"first_row":"12345678","patterns":[*],"even":[*],)"
              R"("split_even":[*]},*)"),
         "", R"("odd")"},
        {comp + "--set SplitTenorFCH=False --json", 0, "{\"columns\":[*\n", "", R"("split_)"},
        {comp, 0,
         "UNTITLED METHOD\nComposition Sheet\n\n(Lead 1) 12345678\n  Roll Ups: *\n"
         "  Even FCH: *\n**\n  Even FCH: none\n**\n(Lead 7) 16482735\n**Split FCH (Odd): *\n"},
        {intMeth + "--b-notation" + kYorkshire + "--json", 0,
         Line(R"({"columns":[{"lead":1,"first_row":"12345678",*)")},
        {"comp --bells 6 --json --notation" + kPlainBob, 2,
         JsonError("Composition Sheets are only available for methods with 7 or more bells.")},
        {comp + "--set OddFCH=perhaps", 2, "",
         "The option OddFCH takes True or False, not \"perhaps\".\n"},
        {comp + "--set OddFCH", 2, "", "A setting is written KEY=VALUE, not \"OddFCH\".\n"},
        {intMeth + "--b-bells 7 --b-notation 3.1.7.3.1.3,1", 2, "",
         "Inter-Method Falseness Sheets compare two methods with the same number of bells.\n"},
        {intMeth + "--b-bells 8", 2, "", "--b-bells needs --b-notation.\n"},
        {intMeth + "--b-notation 9 --json", 2,
         JsonError(R"(Method B: Error in the Place Notation:\r\r9\r\rError at:\r\r9 <--)")},
    });
}

// A script asking for JSON reads every refusal as JSON, the arguments' own included; and every
// command that calculates takes a library's calls and options, which --set overrides.
TEST_F(CliTable, JsonRefusalsAndLibraries)
{
    const std::string comp = "comp --bells 8 --json --notation" + kCamComma;
    const std::string cam = " --bells 8 --notation" + kCamComma;
    TfrmDataMod module(Fill("{lib}"), dir.Data());
    ASSERT_TRUE(module.EnsureTables());
    ASSERT_EQ(OptionsTable(module).WriteRecords({{"OddFCH", "False"}, {"TB2Notation", "True"}}),
              "");
    Check({
        {"fch" + cam + "--lead abc --json", 2, JsonError("*--lead*abc*")},
        {"method --bells 6 --notation x16 --json --colour red", 2, JsonError("*--colour*")},
        {"stats --json", 2, JsonError("--* is required")},
        {"library find --library {lib} --bells 8 --json", 2,
         JsonError("Give --name or --notation.")},
        {"find-similar --bells 6 --notation x16 --type sideways --json", 2,
         JsonError("--type: sideways not in {above,below}")},
        {"rolls --bells 8 --notation 145678 --lead 3 --json --library {dir}/in.csv", 2,
         JsonError("*")},
        {comp + "--library {lib}", 0, "{\"columns\":[*\n", "", R"("odd")"},
        {comp + "--library {lib} --set OddFCH=True", 0, "*\"odd\":[*\n"},
        {comp, 0, "*\"odd\":[*\n"},
        {"intmeth" + cam + "--library {lib} --json", 0, "{\"columns\":[*\n", "", R"("odd")"},
        {"fch" + cam + "--lead 1 --labels --json --library {lib}", 0,
         Line(R"({"in_course":["* V1",*)")},
        {"rolls --bells 8 --notation 145678 --lead 1 --library {lib}", 0, "CRU positions: 1\n**"},
        {"stats" + cam + "--library {lib}", 0, "UNTITLED METHOD\n**FCH Groups = BDEe\n**"},
    });
}

TEST_F(CliTable, FilesReadAndWritten)
{
    const std::string batch =
        kPlainBobJson + "\n" + kBadRecords +
        Line(R"({"bells":5,"name":"GRANDSIRE",*"class":"Bob",*"title_suffix":"Doubles",*})");
    const std::string withStats =
        kPlainBobJson.substr(0, kPlainBobJson.size() - 1) +
        Line(R"(,"classification":"*","right_places":"*","changes_of_direction":"*",)"
             R"("average_blows":"*","difficulty":"*","cru":"","roll_ups":"","roll_downs":"",)"
             R"("fch_groups":""})") +
        kBadRecords + "{\"bells\":5,*\n";
    ::mkfifo(dir.Path("pipe.csv").c_str(), 0600);
    std::filesystem::create_directory(dir.Path("folder.csv"));
    dir.Write("cc.csv",
              "stage,title,notation\n8,Cambridge Surprise Major,\"-38-14-1258-36-14-58-16-"
              "78,12\"\n4,\"Ulu\xE1\xB9\x9Fu Minimus\",-14-14\n6, ,x16\n18,Too Big,-\n");
    dir.Write("other.xml", "<?xml version=\"1.0\"?>\n<collection xmlns=\"urn:something-else\">"
                           "<methodSet/></collection>");
    const std::string render = "render --bells 8 --name Cambridge --notation" + kCam;
    const auto refused = [&](const std::string& more, const std::string& err) {
        return Row{render + more + " -o {dir}/x.png", 2, "", err + "\n", "", "", "{dir}/x.png"};
    };
    const auto drawn = [&](const std::string& more, const std::string& file,
                           const std::string& pattern) {
        return Row{
            render + more + " -o {dir}/" + file, 0, "", "", "", "", "{dir}/" + file, pattern};
    };
    Check({
        {"batch --input {dir}/in.csv", 0, batch, "", "fch_groups"},
        {"batch --input {dir}/in.csv --stats", 0, withStats},
        {"batch --input {dir}/in.csv --output {dir}/out.jsonl", 0, "", "", "", "",
         "{dir}/out.jsonl", batch},
        // Only regular files are read: a folder or a pipe is refused at once, never waited on.
        {"batch --input {dir}/none.csv", 2, "",
         "Cannot read {dir}/none.csv: No such file or directory.\n"},
        {"batch --input {dir}/pipe.csv", 2, "",
         "Cannot read {dir}/pipe.csv: it is a pipe, not a file.\n"},
        {"batch --input {dir}/folder.csv", 2, "",
         "Cannot read {dir}/folder.csv: it is a folder, not a file.\n"},
        {"batch --input {dir}/in.csv --output {dir}/no/out.jsonl", 2, "",
         "Cannot write a file beside {dir}/no/out.jsonl: No such file or directory.\n"},
        {"convert-cc --input {dir}/cc.csv --output {dir}/Methods.csv --build Test~1", 0, "",
         "Converted 2 methods; left out 2:\n  under 4 bells:                0\n"
         "  over 16 bells:                1\n  over 100 changes in a lead:   0\n"
         "  notation over 98 characters:  0\n  title over 60 characters:     0\n"
         "  title with a double quote:    0\n  notation not understood:      0\n"
         "  blank title:                  1\n  control character:            0\n"
         "1 names have letters that code page 850 lacks; a library stores them with plain "
         "letters:\n  ULU\xE1\xB9\x9EU MINIMUS\n",
         "", "", "{dir}/Methods.csv",
         "0,TB_Method_Library,\"Test 1\",\n"
         "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n"
         "4,\"ULU\xE1\xB9\x9EU MINIMUS\",\"-1 LH1\",Z\n"},
        {"convert-cc --input {dir}/cc.csv --output {dir}/x.csv --build " + std::string(21, 'b'), 2,
         "", "The build text must be at most 20 characters, without quotes.\n", "", "",
         "{dir}/x.csv"},
        {"convert-cc --input {dir}/other.xml --output {dir}/x.csv", 2, "",
         "The file is XML but not the Central Council's methods collection: it must be a "
         "collection element in the namespace "
         "http://www.cccbr.org.uk/methods/schemas/2007/05/methods.\n",
         "", "", "{dir}/x.csv"},
        // The format follows the file's name; the options reach the drawing.
        drawn(" --view stats --width 640", "s.png", "\x89PNG\r\n\x1A\n\0\0\0\rIHDR\0\0\x02\x80**"s),
        drawn(" --set PrintOrient=Landscape", "l.pdf", "**/MediaBox [0 0 842.000000 595.000000]**"),
        drawn(" --view stats", "s.svg", "**Statistics Sheet**"),
        drawn(" --set CCNotation=True", "cc.svg", "**(-38-14-1258-36-14-58-16-78,12)**"),
        drawn(" --view comp", "c.svg", "**Composition Sheet**"),
        drawn(" --view intmeth --b-name Yorkshire --b-notation" + kYorkshire, "i.svg",
              "**Plain Course of CAMBRIDGE**Against FCH's of YORKSHIRE**"),
        // The calling reaches the drawing program; one it refuses draws nothing.
        drawn(" --view touch --calling (p)7", "t.svg", "**224 changes, true, comes round.**"),
        refused(" --view touch --calling pq", "\"q\" is not a call: use p, b (or -) and s."),
        refused(" --calling p", "A calling is drawn only with --view touch."),
        refused(" --set Size=9", "The option Size cannot be 9 (0 to 3)."),
        refused(" --set Size", "A setting is written KEY=VALUE, not \"Size\"."),
        refused(" --set BobType=42", "The calls library has no call 42 on 8 bells; it has 01, 02, "
                                     "03, 04, 05, 06, 07, 08."),
        refused(" --set SingleLines=9",
                "The option SingleLines names a bell the method does not have: 9."),
        refused(" --view statistics", "The view must be diagram, stats, comp, intmeth or touch."),
        refused(" --b-notation" + kYorkshire, "A second method is drawn only with --view intmeth."),
        refused(" --width 99", "The width and height must be 100 to 20000 pixels."),
        refused(" --view intmeth --b-bells 7 --b-notation 3.1.7.3.1.3,1",
                "Inter-Method Falseness Sheets compare two methods with the same number of bells."),
        {render + "-o {dir}/x.gif", 2, "", "The output file must end in .png, .svg or .pdf.\n", "",
         "", "{dir}/x.gif"},
        {"render --view comp --bells 6 -o {dir}/x.png --notation" + kPlainBob, 2, "",
         "Composition Sheets are only available for methods with 7 or more bells.\n", "", "",
         "{dir}/x.png"},
    });
}

TEST_F(CliTable, LibraryCommands)
{
    const std::string list = "library list --library {lib} --bells 8 ";
    const std::string find = "library find --library {lib} --bells ";
    const std::string similar = "find-similar --library {lib} --bells ";
    const std::string bob = similar + "6 --notation x16x16x16LH12 --type above ";
    const std::string cambridge = Line(R"({"recno":2,"bells":"8","name":"CAMBRIDGE SURPRISE )"
                                       R"(MAJOR","places":"-3-4-25-36-4-5-6-7 LH2","group":"B"})");
    const std::string needs =
        "To use Find Similar Methods, the method must be:\n\n    Symetric\n"
        "    On a maximum of 8 Bells\n    Have 40 or less Changes in a lead\n";
    const std::string groupP = "The lead-head group P is not offered on 6 bells; the groups are "
                               "ALL, A, B, E, F, G, H, L, M.";
    const std::string limit = "--limit takes a whole number from 0 to 1000000, not \"";
    Check({
        {"library info --library {lib} --json", 0,
         Line(R"({"folder":"{lib}","tables":[{"table":"MAIN","file":"Methods.dbf",)"
              R"("records":4,"build":"Test 1"},{"table":"PERSONAL",*},{"table":"FIND_LIB",*},)"
              R"({"table":"CALLS",*,"build":"Tambrel 2026-12"},{"table":"OPTIONS",*}]})")},
        {"library info --library {lib}", 0,
         "Library folder: {lib}\n  MAIN      Methods.dbf   4       records, built Test 1\n"
         "  PERSONAL  My_Lib.dbf    0       records\n**"},
        {list, 0,
         "3      8  M  BRISTOL SURPRISE MAJOR  -5-4.5-5.36.4-4.5-4-1 LH1\n"
         "2      8  B  CAMBRIDGE SURPRISE MAJOR  -3-4-25-36-4-5-6-7 LH2\n"},
        // The browser's soft seek: the first method at or after the text.
        {list + "--from CAMB --json", 0, cambridge},
        {list + "--group b --json", 0, cambridge},
        {list + "--by places", 0, "2 *CAMBRIDGE*\n3 *BRISTOL*\n"},
        {list + "--limit 0"},
        {list + "--limit 1000001", 2, "", limit + "1000001\".\n"},
        {list + "--limit -1", 2, "", limit + "-1\".\n"},
        {list, 2, "", "The table Methods.dbf" + kInUse, "", "w{lib}/Methods.dbf"},
        {find + "8 --name Cambridge~Surprise~Major --json", 0, cambridge},
        // Any valid notation of the method finds it: the lookup uses its tidy form.
        {find + "8 --notation x38x14x1258x36x14x58x16x78x16x58x14x36x1258x14x38x12 --json", 0,
         cambridge},
        {find + "8 --name No~Such", 1},
        {find + "8 --notation 12..14", 2, "",
         "Error in the Place Notation:\n\n12..14\n\nError at:\n\n12.. <--\n"},
        {find + "99 --name X", 2, "", "Invalid number of bells.\n"},
        {"library reindex --library {lib}", 0, "Reindexed the library in {lib}\n"},
        {bob, 0,
         "Possibilities Checked: 81\nMethods Found: 13\n12 New Methods and 1 Existing Methods\n"
         "have been saved in the Method Find Library\n"},
        {bob + "--name Plain~Bob --json", 0,
         Line(
             R"({"possibilities":81,"found":13,"new":12,"existing":1,"stopped":false,)"
             R"("methods":[**{"name":"PLAIN BOB MINOR","notation":"-1-1-1 LH2","group":"A"}**]})")},
        {"library list --library {lib} --table FIND_LIB --bells 6", 0, test::Repeat("*\n", 13)},
        {similar + "8 --type above --group b --notation" + kCamComma, 0,
         "Possibilities Checked: *,*\n**"},
        {bob + "--limit-seconds 0 --json", 0,
         Line(R"({"possibilities":0,"found":0,"new":0,"existing":0,"stopped":true,)"
              R"("methods":[]})")},
        {bob + "--limit-seconds 0 --name Plain~Bob", 0,
         "Base Method: PLAIN BOB\nPossibilities Checked: 0\nMethods Found: 0\n"
         "0 New Methods and 0 Existing Methods\nhave been saved in the Method Find Library\n"
         "The search was stopped before its end.\n"},
        {similar + "6 --notation x14x16x16x16x16x12 --type above", 2, "", needs},
        {bob + "--group P --json", 2, JsonError(groupP)},
        {bob + "--limit-seconds soon", 2, "",
         "--limit-seconds takes a number of seconds, not \"soon\".\n"},
        // The desktop program's browser holds the find library: refused, nothing changed.
        {bob, 2, "", "The table Find_Lib.dbf" + kInUse, "", "r{lib}/Find_Lib.dbf"},
        {"library list --library {lib} --table FIND_LIB --bells 6"},
    });
}

TEST_F(CliTable, Imports)
{
    dir.Write("methods.csv", "0,TB_Method_Library,\"Mine\",\n6,PLAIN BOB MINOR,-1-1-1 LH2,A\n"
                             "8,JAN\xC3\x81\xC4\x8C"
                             "EK SURPRISE MAJOR,-5-4-5-36-4-5-6-7 LH2,B\n");
    dir.Write("calls.csv", "0,00,TB_Calls_Library,\"Calls 9\",\n6,01,Bob,16,56\n");
    dir.Write("nocalls.csv", "0,00,TB_Calls_Library,\"Calls 9\",\n");
    dir.Write("nothing.csv", "0,TB_Method_Library,x,\n6,\"ESC\x1B[2J\",-1-1-1 LH2,A\n");
    // The personal library holds two methods that the main library will hold.
    ASSERT_EQ(Cli({"library", "info", "--library", dir.Path("imp")}).status, 0);
    {
        TDbf personal(kMethodTags, kMethodLayout);
        personal.SetDbfFileName(dir.Path("imp/My_Lib.dbf"));
        ASSERT_TRUE(personal.Open());
        for (const char* name : {"MY BOB", "MY BOB TOO"}) {
            personal.ClearRecord();
            ASSERT_TRUE(personal.Replace("bells", "6") && personal.Replace("name", name) &&
                        personal.Replace("places", "-1-1-1 LH2") && personal.AppendRec());
        }
    }
    const std::string methods = "import-methods {dir}/methods.csv --library {imp} --mode ";
    const std::string calls = "import-calls --library {imp} {dir}/";
    const std::string unplain = "Warning: 1 values have letters that code page 850 lacks; they "
                                "are stored with plain letters (lines 3).\n";
    const std::string personal = "library list --library {imp} --table PERSONAL --bells 6";
    const std::string nothing = " was not replaced.\n\nNothing was changed.\n";
    Check({
        {methods + "replace", 0, "2 Methods Imported\n", unplain},
        // Every question answered Yes: any rename would be counted.
        {methods + "import --rename yes", 0, "2 Methods Checked, 0 Imported, 0 Renamed.\n",
         unplain},
        {personal, 0, "*MY BOB*\n*MY BOB TOO*\n"},
        {methods + "import --check-personal yes", 0,
         "2 Methods Checked, 0 Imported, 0 Renamed.\n"
         "2 Methods Removed from your Personal Library.\n",
         unplain},
        {personal},
        // A name with letters code page 850 lacks is found by them.
        {"library find --library {imp} --bells 8 --name JAN\xC3\x81\xC4\x8C"
         "EK~SURPRISE~MAJOR",
         0,
         "3      8  B  JAN\xC3\x81"
         "CEK SURPRISE MAJOR  -5-4-5-36-4-5-6-7 LH2\n"},
        {"import-methods {dir}/calls.csv --library {imp} --mode import", 2, "",
         "Unable to import Methods from file:\n\n{dir}/calls.csv\n"},
        {calls + "none.csv", 2, "",
         "Unable to import Calls from file:\n\n{dir}/none.csv\n\nCannot read {dir}/none.csv: "
         "No such file or directory.\n"},
        {methods + "add", 2, "", "--mode: add not in {import,replace}\n"},
        {methods + "import --rename always", 2, "", "--rename: always not in {yes,no}\n"},
        // A file with nothing to take is no library: refused, not an empty library.
        {"import-methods {dir}/nothing.csv --library {imp} --mode replace", 2, "",
         "Warning: 1 records with control characters were left out (lines 2).\n"
         "nothing.csv holds no method that the Main Library can take, so it" +
             nothing},
        {calls + "nocalls.csv", 2, "",
         "nocalls.csv holds no call that the Calls Library can take, so it" + nothing},
        // The desktop program holds a table while its import dialog is open.
        {calls + "calls.csv", 2, "", "The table Calls.dbf" + kInUse, "", "r{imp}/Calls.dbf"},
        {"library info --library {imp} --json", 0,
         Line(R"(*"records":3,*{"table":"CALLS","file":"Calls.dbf","records":109,*)")},
        {calls + "calls.csv", 0, "2 Calls Imported\n"},
        // The commands that work out a method use the calls of the library folder given.
        {"method --bells 6 --library {imp} --json --notation" + kPlainBob, 0,
         Line(R"(*,"bob_changes":["","16","","16","","16","","16","","16","","16"],*,)"
              R"("bob_lines":"56",*)")},
        {"batch --input {dir}/in.csv --library {imp}", 0,
         R"(*,"bob_lines":"56",*)"
         "\n**"},
        {"render --bells 6 --set ShowSingle=True --library {imp} -o {dir}/pb.png --notation" +
             kPlainBob,
         0, "", "Warning: No single for 6 bells in the Calls Library.\n", "", "", "{dir}/pb.png",
         "\x89PNG**"},
    });
}

// Every command that writes a file refuses a symbolic link to a file (planted by whoever can
// write a shared folder) and a pipe nobody reads, at once and writing nothing. The links and
// pipes are made by this user, and by another one when the tests run as root.
TEST(CliOutput, PlantedLinksAndUnreadPipesAreRefused)
{
    const test::TempDir dir;
    const std::string input = dir.Write("in.csv", "8,CAMBRIDGE,\"-3-4-25-36-4-5-6-7 LH2\",B\n");
    const std::string collection = dir.Write("cc.csv", "stage,title,notation\n6,X,-16-16-16\n");
    const std::string precious = dir.Write("precious.txt", "keep me");
    const std::string shared = dir.Path("shared");
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    for (const bool secondUser : {false, true}) {
        if (secondUser && ::geteuid() != 0) {
            GTEST_SKIP() << "making files as another user needs root";
        }
        for (const std::string kind : {"link", "pipe"}) {
            const std::string target = shared + "/" + kind + ".png";
            for (const Args& args :
                 {Args{"render", "--bells", "8", "--notation", "x1x1x1x1,12"},
                  Args{"convert-cc", "--input", collection}, Args{"batch", "--input", input}}) {
                SCOPED_TRACE(kind + " " + args[0] + (secondUser ? " of another user" : ""));
                // The child makes it, as the other user when asked.
                const pid_t child = ::fork();
                if (child == 0) {
                    ::_exit(secondUser && (::setgid(65534) != 0 || ::setuid(65534) != 0) ? 1
                            : kind == "link" ? ::symlink(precious.c_str(), target.c_str())
                                             : ::mkfifo(target.c_str(), 0666));
                }
                int status = 1;
                ASSERT_TRUE(::waitpid(child, &status, 0) == child && status == 0);
                ::alarm(10); // should the open wait for a reader, the tests end, not hang
                const CliRun run =
                    Cli(args + Args{args[0] == "render" ? "-o" : "--output", target});
                ::alarm(0);
                EXPECT_EQ(run.status, 2);
                EXPECT_EQ(run.err,
                          kind == "link"
                              ? target + " is a symbolic link; give the file itself.\n"
                              : "Cannot write " + target + ": nothing is reading from it.\n");
                EXPECT_EQ(ReadFile(precious), "keep me");
                std::filesystem::remove(target);
            }
        }
    }
}

// The output is written beside its target under a name nobody can guess and renamed into
// place: a link planted where older versions wrote first is never followed, a refused run
// leaves the older file and nothing else, and a device is written in place.
TEST(CliOutput, TargetsAreReplacedOnlyWhole)
{
    const test::TempDir dir;
    const std::string input = dir.Write("in.csv", "8,CAMBRIDGE,\"-3-4-25-36-4-5-6-7 LH2\",B\n");
    const std::string precious = dir.Write("precious.txt", "keep me");
    const std::string out = dir.Path("out.jsonl");
    std::filesystem::create_symlink(precious, out + ".part");
    ASSERT_EQ(Cli({"batch", "--input", input, "--output", out}).status, 0);
    EXPECT_EQ(ReadFile(precious), "keep me");
    const std::string good = ReadFile(out);
    EXPECT_TRUE(Matches("{\"bells\":8,*\n", good));

    const std::string collection = dir.Write("cc.csv", "stage,name\n8,x\n");
    EXPECT_EQ(Cli({"convert-cc", "--input", collection, "--output", out}).status, 2);
    EXPECT_EQ(ReadFile(out), good);
    const auto files = std::distance(std::filesystem::directory_iterator(dir.Path("")), {});
    EXPECT_EQ(files, 5); // in.csv, precious.txt, the planted link, out.jsonl, cc.csv

    // A device, through a link or by the shell's redirection of the program's own output.
    std::filesystem::create_symlink("/dev/null", dir.Path("null"));
    EXPECT_EQ(Cli({"batch", "--input", input, "--output", dir.Path("null")}).status, 0);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
    const int saved = ::dup(1);
    const int file = ::open(dir.Path("stdout.jsonl").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 1);
    const int status = Cli({"batch", "--input", input, "--output", "/dev/stdout"}).status;
    ::dup2(saved, 1);
    ::close(saved);
    ::close(file);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(ReadFile(dir.Path("stdout.jsonl")), good);
}

// A full disk: the render fails with exit status 2 and the previous picture stays as it was.
// Needs a small file system of its own, so it runs where the tests may mount one (as root).
TEST(CliOutput, AFullDiskLeavesThePreviousFileWhole)
{
    const test::TempDir dir;
    const std::string disk = dir.Path("disk");
    std::filesystem::create_directory(disk);
    if (::geteuid() != 0 ||
        std::system(("mount -t tmpfs -o size=1m tmpfs " + disk + " 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "needs a tmpfs of its own, which only root may mount";
    }
    struct Unmount {
        std::string disk;
        ~Unmount() { EXPECT_EQ(std::system(("umount " + disk).c_str()), 0); }
    } unmount{disk};
    const Args render = Command("render --bells 8 --notation" + kCam).args;
    for (const std::string name : {"d.png", "d.svg", "d.pdf"}) {
        SCOPED_TRACE(name);
        const std::string target = disk + "/" + name;
        ASSERT_EQ(Cli(render + Args{"--width", "200", "--height", "200", "-o", target}).status, 0);
        const std::string before = ReadFile(target);
        std::ofstream(disk + "/filler", std::ios::binary)
            << std::string(std::filesystem::space(disk).available, 'x');
        const CliRun full = Cli(render + Args{"--width", "3000", "--height", "3000", "-o", target});
        EXPECT_EQ(full.status, 2);
        EXPECT_TRUE(Matches("Cannot write " + target + "**", full.err)) << full.err;
        EXPECT_EQ(ReadFile(target), before);
        std::filesystem::remove(disk + "/filler");
    }
}

} // namespace
} // namespace tambrel
