#include "app/cli/CliCommands.h"
#include "engine/Messages.h"
#include "library/LibraryTables.h"
#include "tables/Delimited.h"
#include "tables/TDbf.h"

#include <nlohmann/json.hpp>

#include <QImage>

#include "tests/support/CliRun.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace tambrel {
namespace {

using test::ReadFile;
using test::Repeat;
using test::TempDir;

using test::Cli;
using test::CliRun;

nlohmann::json Json(const std::string& text)
{
    return nlohmann::json::parse(text);
}

std::vector<nlohmann::json> JsonLines(const std::string& text)
{
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(nlohmann::json::parse(line));
    }
    return lines;
}

TEST(CliMethod, PlainBobMinorAsJson)
{
    const CliRun run =
        Cli({"method", "--bells", "6", "--notation", "x16x16x16x16x16x12", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, R"({"bells":6,"name":"UNTITLED METHOD","notation":"x16x16x16x16x16x12",)"
                       R"("tidy_notation":"-1-1-1 LH2","symmetric":true,"lead_length":12,)"
                       R"("lead_head":"135264","lead_head_code":"A","row_count":60,)"
                       R"("leads_in_course":5,"course_too_long":false,)"
                       R"("changes":["","16","","16","","16","","16","","16","","12"],)"
                       R"("bob_type":"01","single_type":"02",)"
                       R"("bob_changes":["","16","","16","","14","","16","","16","","16"],)"
                       R"("single_changes":["","16","","16","","1234","","16","","16","","16"],)"
                       R"("bob_lines":"234","single_lines":"34"})"
                       "\n");
}

TEST(CliMethod, RowsNameAndGrandsire)
{
    const CliRun run = Cli({"method", "--bells", "5", "--notation", "3.1.5.1.5.1.5.1.5.1", "--name",
                            "Grandsire Doubles", "--rows", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const nlohmann::json facts = Json(run.out);
    EXPECT_EQ(facts["name"], "GRANDSIRE DOUBLES");
    EXPECT_EQ(facts["lead_head"], "12534");
    EXPECT_EQ(facts["lead_head_code"], "A");
    ASSERT_EQ(facts["rows"].size(), 31U); // rounds and 30 rows
    EXPECT_EQ(facts["rows"][0], "12345");
    EXPECT_EQ(facts["rows"][10], "12534");
    EXPECT_EQ(facts["rows"][30], "12345");
}

TEST(CliMethod, NotationMayBeginWithACross)
{
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"method", "--bells", "8", "--notation",
                                   "-38-14-1258-36-14-58-16-78LH12", "--json"},
          std::vector<std::string>{"method", "--bells=8",
                                   "--notation=-38-14-1258-36-14-58-16-78LH12", "--json"}}) {
        const CliRun run = Cli(args);
        ASSERT_EQ(run.status, 0) << run.err;
        const nlohmann::json facts = Json(run.out);
        EXPECT_EQ(facts["lead_head"], "15738264");
        EXPECT_EQ(facts["lead_head_code"], "B");
        EXPECT_EQ(facts["tidy_notation"], "-3-4-25-36-4-5-6-7 LH2");
    }
}

TEST(CliMethod, ReadableSummary)
{
    const CliRun run = Cli({"method", "--bells", "16", "--notation", "x1Dx1D", "--rows"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Bells:           16 (Sixteen)\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("Lead head:       4628103T5B7D9CEA\n"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\n1234567890ETABCD\n"), std::string::npos);

    // A name that would drive the terminal is shown, not obeyed.
    const CliRun named =
        Cli({"method", "--bells", "6", "--notation", "x16x16x16,12", "--name", "Evil\x1B[2J\a"});
    ASSERT_EQ(named.status, 0) << named.err;
    EXPECT_NE(named.out.find("Method:          EVIL\\x1B[2J\\x07\n"), std::string::npos)
        << named.out;
}

TEST(CliMethod, RefusalsExitTwoWithTheMessage)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string crossOnSeven = "Error in the Place Notation:\r\r-\r\rError at:\r\r- <--";
    for (const Case& c : {
             Case{{"--bells", "0", "--notation", "x"}, std::string(kMsgInvalidBells)},
             Case{{"--bells", "99", "--notation", "x"}, std::string(kMsgInvalidBells)},
             Case{{"--bells", "3", "--notation", "3"}, std::string(kMsgInvalidBells)},
             Case{{"--bells", "17", "--notation", "x"}, std::string(kMsgInvalidBells)},
             Case{{"--bells", "six", "--notation", "x"}, std::string(kMsgInvalidBells)},
             Case{{"--bells", "6x", "--notation", "x"}, std::string(kMsgInvalidBells)},
             Case{{"--bells", "7", "--notation", "-"}, crossOnSeven},
             Case{{"--bells", "8", "--notation", ""}, std::string(kMsgNoNotation)},
             Case{{"--bells", "8", "--notation=."}, std::string(kMsgNoNotation)},
             Case{{"--bells", "8", "--notation="}, std::string(kMsgNoNotation)},
             Case{{"--bells", "5", "--notation", std::string(10000, '1')},
                  "Error in the Place Notation:\r\r" + std::string(10000, '1') +
                      "\r\rError at:\r\r11 <--"},
             Case{{"--bells", "8", "--notation", std::string(10000, '-')},
                  std::string(kMsgTooManyRows)},
         }) {
        std::vector<std::string> args = c.args;
        args.insert(args.begin(), "method");
        const CliRun plain = Cli(args);
        EXPECT_EQ(plain.status, 2);
        std::string onTerminal = c.message; // line breaks a terminal shows as such
        std::replace(onTerminal.begin(), onTerminal.end(), '\r', '\n');
        EXPECT_EQ(plain.err, onTerminal + "\n");
        EXPECT_EQ(plain.out, "");

        args.push_back("--json");
        const CliRun json = Cli(args);
        EXPECT_EQ(json.status, 2);
        EXPECT_EQ(Json(json.out), nlohmann::json({{"error", c.message}}));
        if (c.message.find('\r') != std::string::npos) {
            EXPECT_NE(json.out.find("\\r\\r"), std::string::npos); // kept, escaped
        }
    }
}

TEST(CliMethod, BinaryNotationGivesValidJson)
{
    const std::string binary("12\xFF\xC3\x00\x01", 6);
    const CliRun run = Cli({"method", "--bells", "8", "--notation", binary, "--json"});
    EXPECT_EQ(run.status, 2);
    const nlohmann::json error = Json(run.out); // replaced bytes, but parseable
    EXPECT_EQ(error["error"].get<std::string>().rfind("Error in the Place Notation:\r\r12", 0), 0U);
}

TEST(CliMethod, NamesWithAnyCharactersGiveValidJson)
{
    const std::string name = std::string("Quote \" back \\ tab\t bell\x07 \xC3\xA9 ") + "\xFF";
    const CliRun run = Cli(
        {"method", "--bells", "6", "--notation", "x16x16x16x16x16x12", "--name", name, "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Json(run.out)["name"], "QUOTE \" BACK \\ TAB\t BELL\x07 \xC3\x89 \xEF\xBF\xBD");
    EXPECT_NE(run.out.find("\\u0007"), std::string::npos);
}

TEST(CliMethod, MalformedUtf8NeverReachesTheJson)
{
    // An overlong "/", a surrogate, a code point past U+10FFFF and a cut sequence: each byte
    // of them becomes a replacement character, so strict parsers read every line.
    const std::string replaced = "\xEF\xBF\xBD";
    const std::string name = "A\xE0\x80\xAF\xED\xA0\x80\xF4\x90\x80\x80\xE2\x82";
    const CliRun named = Cli(
        {"method", "--bells", "6", "--notation", "x16x16x16x16x16x12", "--name", name, "--json"});
    ASSERT_EQ(named.status, 0) << named.err;
    std::string expected = "A";
    for (int i = 0; i < 12; ++i) {
        expected += replaced;
    }
    EXPECT_EQ(Json(named.out)["name"], expected);

    const CliRun refused = Cli({"method", "--bells", "8", "--notation",
                                "-38-14-1258-36-14-58-16-78LH\xF4\x90\x80\x80", "--json"});
    EXPECT_EQ(refused.status, 2);
    const std::string error = Json(refused.out)["error"];
    EXPECT_EQ(error.find("\xF4\x90"), std::string::npos);
    EXPECT_NE(error.find(replaced), std::string::npos);
}

TEST(CliMethod, TheCentralCouncilCommaFormIsExpanded)
{
    const CliRun cambridge =
        Cli({"method", "--bells", "8", "--notation", "-38-14-1258-36-14-58-16-78,12", "--json"});
    ASSERT_EQ(cambridge.status, 0) << cambridge.err;
    const nlohmann::json facts = Json(cambridge.out);
    EXPECT_EQ(facts["notation"], "-38-14-1258-36-14-58-16-78-16-58-14-36-1258-14-38-12");
    EXPECT_EQ(facts["tidy_notation"], "-3-4-25-36-4-5-6-7 LH2");
    EXPECT_EQ(facts["lead_head_code"], "B");
    EXPECT_EQ(Cli({"check", "--bells", "7", "--notation", "3.1.7.1.7.1.7,1"}).status, 0);
    // Refused as ever, with the validator's own message.
    const CliRun refused = Cli({"check", "--bells", "6", "--notation", "x16x16,"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.out.rfind("Error in the Place Notation:\n\nx16x16,", 0), 0U) << refused.out;
}

const std::string kCambridge = "-38-14-1258-36-14-58-16-78LH12";

// Without B the method is searched against its own store, so a row is never its own
// recurrence; the same method given as B is another course, whose first lead holds every row.
TEST(CliFch, TheMethodItselfOrAnother)
{
    const CliRun own =
        Cli({"fch", "--bells", "8", "--notation", kCambridge, "--lead", "1", "--json"});
    ASSERT_EQ(own.status, 0) << own.err;
    const nlohmann::json lists = Json(own.out);
    std::vector<std::string> keys;
    for (const auto& [key, value] : lists.items()) {
        keys.push_back(key);
        EXPECT_TRUE(value.is_array()) << key;
    }
    EXPECT_EQ(keys,
              (std::vector<std::string>{"in_course", "out_of_course", "split_in", "split_out"}));
    EXPECT_FALSE(lists["in_course"].empty());
    EXPECT_EQ(std::count(lists["in_course"].begin(), lists["in_course"].end(), "23456"), 0);

    const CliRun other =
        Cli({"fch", "--bells", "8", "--notation", kCambridge, "--lead", "1", "--b-notation",
             "-38-14-1258-36-14-58-16-78,12", "--labels", "--json"});
    ASSERT_EQ(other.status, 0) << other.err;
    EXPECT_EQ(Json(other.out)["in_course"][0], "L1-23456");
    const CliRun second =
        Cli({"fch", "--bells", "8", "--notation", kCambridge, "--lead", "1", "--b-bells", "8",
             "--b-notation", kCambridge, "--labels", "--tb2", "--json"});
    ASSERT_EQ(second.status, 0) << second.err;
    EXPECT_EQ(Json(second.out)["in_course"][0], "23456 V1");

    // The comma form gives the same lists; the readable form lists them under their titles.
    const CliRun comma = Cli({"fch", "--bells", "8", "--notation", "-38-14-1258-36-14-58-16-78,12",
                              "--lead", "1", "--json"});
    EXPECT_EQ(comma.out, own.out);
    const CliRun readable = Cli({"fch", "--bells", "8", "--notation", kCambridge, "--lead", "1"});
    ASSERT_EQ(readable.status, 0) << readable.err;
    std::string inCourse = "In course:";
    for (const auto& fch : lists["in_course"]) {
        inCourse += " " + fch.get<std::string>();
    }
    EXPECT_EQ(readable.out.rfind(inCourse + "\nOut of course: ", 0), 0U) << readable.out;
    EXPECT_NE(readable.out.find("\nSplit tenors, in course: "), std::string::npos);
    EXPECT_NE(readable.out.find("\nSplit tenors, out of course: "), std::string::npos);
}

TEST(CliFch, RefusalsExitTwoWithTheMessage)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const std::string outside = "The lead must be from 1 to 7, the leads of the plain course.";
    for (const Case& c : {
             Case{{"--lead", "0"}, outside},
             Case{{"--lead", "8"}, outside},
             Case{{"--lead", "1", "--b-bells", "6", "--b-notation", "x16x16x16,12"},
                  "Method B must have as many bells as the method: 8."},
             Case{{"--lead", "1", "--b-bells", "10", "--b-notation", "x10"},
                  "Method B must have as many bells as the method: 8."},
             Case{{"--lead", "1", "--b-bells", "8"}, "--b-bells needs --b-notation."},
             Case{{"--lead", "1", "--b-notation", "9"},
                  "Method B: Error in the Place Notation:\r\r9\r\rError at:\r\r9 <--"},
         }) {
        std::vector<std::string> args = {"fch", "--bells", "8", "--notation", kCambridge};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SCOPED_TRACE(c.message);
        const CliRun plain = Cli(args);
        EXPECT_EQ(plain.status, 2);
        std::string onTerminal = c.message;
        std::replace(onTerminal.begin(), onTerminal.end(), '\r', '\n');
        EXPECT_EQ(plain.err, onTerminal + "\n");
        EXPECT_EQ(plain.out, "");
        args.push_back("--json");
        const CliRun json = Cli(args);
        EXPECT_EQ(json.status, 2);
        EXPECT_EQ(Json(json.out), nlohmann::json({{"error", c.message}}));
    }
    EXPECT_EQ(Cli({"fch", "--bells", "8", "--notation", kCambridge}).status, 2);
    EXPECT_EQ(Cli({"fch", "--bells", "8", "--notation", kCambridge, "--lead", "one"}).status, 2);
    EXPECT_EQ(Cli({"fch", "--bells", "8", "--notation", "9", "--lead", "1"}).status, 2);
}

// One change a lead: 13245678 (a CRU position and a roll-up) and then rounds.
TEST(CliRolls, CountsAndPatternsOfALead)
{
    const CliRun json =
        Cli({"rolls", "--bells", "8", "--notation", "145678", "--lead", "1", "--json"});
    ASSERT_EQ(json.status, 0) << json.err;
    EXPECT_EQ(json.out, R"({"cru":1,"roll_ups":1,"roll_downs":0,"patterns":["13245678"]})"
                        "\n");
    const CliRun readable = Cli({"rolls", "--bells", "8", "--notation", "145678", "--lead", "2"});
    ASSERT_EQ(readable.status, 0) << readable.err;
    EXPECT_EQ(readable.out, "CRU positions: 1\nRoll-ups: 1\nRoll-downs: 0\nPatterns: 12345678\n");
    const CliRun outside = Cli({"rolls", "--bells", "8", "--notation", "145678", "--lead", "3"});
    EXPECT_EQ(outside.status, 2);
    EXPECT_EQ(outside.err, "The lead must be from 1 to 2, the leads of the plain course.\n");
    EXPECT_EQ(outside.out, "");
    const CliRun none = Cli({"rolls", "--bells", "8", "--notation", "x18", "--lead", "1"});
    ASSERT_EQ(none.status, 0) << none.err;
    EXPECT_NE(none.out.find("Patterns: none\n"), std::string::npos) << none.out;
}

TEST(CliRender, PictureFilesOfTheDiagram)
{
    const TempDir dir;
    const std::vector<std::string> method = {"render",
                                             "--bells",
                                             "8",
                                             "--notation",
                                             "-38-14-1258-36-14-58-16-78LH12",
                                             "--name",
                                             "Cambridge Surprise Major"};
    auto with = [&](std::vector<std::string> more) {
        std::vector<std::string> args = method;
        args.insert(args.end(), more.begin(), more.end());
        return Cli(args);
    };
    ASSERT_EQ(with({"--set", "ShowGrid=True", "-o", dir.Path("c.png")}).status, 0);
    const QImage png(QString::fromStdString(dir.Path("c.png")));
    ASSERT_FALSE(png.isNull());
    EXPECT_LE(png.width(), 1200);
    EXPECT_GT(png.width(), 1000); // nine columns fill most of the width
    EXPECT_LT(png.height(), 800);

    ASSERT_EQ(with({"--set", "ShowGrid=True", "-o", dir.Path("c.svg")}).status, 0);
    const std::string svg = ReadFile(dir.Path("c.svg"));
    EXPECT_NE(svg.find("<svg"), std::string::npos);
    EXPECT_NE(svg.find("viewBox=\"0 0 " + std::to_string(png.width()) + " " +
                       std::to_string(png.height()) + "\""),
              std::string::npos); // the same extent at 96 dpi

    ASSERT_EQ(with({"--set", "PrintOrient=Landscape", "-o", dir.Path("c.pdf")}).status, 0);
    const std::string pdf = ReadFile(dir.Path("c.pdf"));
    EXPECT_EQ(pdf.rfind("%PDF-", 0), 0U);
    EXPECT_NE(pdf.find("/MediaBox [0 0 842.000000 595.000000]"), std::string::npos); // A4 across

    // Each option takes only its own values.
    struct Refusal {
        std::string setting, message;
    };
    for (const Refusal& r : {
             Refusal{"Colours=True", "There is no option Colours."},
             Refusal{"Size=9", "The option Size cannot be 9 (0 to 3)."},
             Refusal{"Size", "A setting is written KEY=VALUE, not \"Size\"."},
             Refusal{"ShowGrid=maybe", "The option ShowGrid takes True or False, not \"maybe\"."},
             Refusal{"Continuous=yes", "The option Continuous takes True or False, not \"yes\"."},
             Refusal{"PrintOrient=Sideways",
                     "The option PrintOrient takes Portrait or Landscape, not \"Sideways\"."},
             Refusal{"BobType=ZZ", "The option BobType takes the two-digit code of a call, such "
                                   "as 01, not \"ZZ\"."},
             Refusal{"BobType=42", "The calls library has no call 42 on 8 bells; it has 01, 02, "
                                   "03, 04, 05, 06, 07, 08."},
             Refusal{"SingleLines=9", "The option SingleLines names a bell the method does not "
                                      "have: 9."},
         }) {
        const CliRun refused = with({"--set", r.setting, "-o", dir.Path("x.png")});
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.err, r.message + "\n");
    }
    EXPECT_EQ(with({"-o", dir.Path("x.gif")}).err,
              "The output file must end in .png, .svg or .pdf.\n");
    EXPECT_EQ(with({"--view", "statistics", "-o", dir.Path("x.png")}).status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("x.png")));
}

TEST(CliStats, TheSheetsLinesAsJsonAndAsText)
{
    const std::vector<std::string> keys = {"bells",          "name",         "lead_head_code",
                                           "classification", "right_places", "changes_of_direction",
                                           "average_blows",  "difficulty",   "cru",
                                           "roll_ups",       "roll_downs",   "fch_groups"};
    struct Case {
        std::string bells, notation;
        std::string classification, rollUps, fchGroups;
    };
    for (const Case& c : {
             Case{"8", "-38-14-1258-36-14-58-16-78,12",
                  "This is a Regular Symetric Method of Lead Head Group B",
                  "Four Bell plus Roll Ups (xx78) = 15", "FCH Groups = BDEe"},
             // Under 7 bells: no roll lines; under 8: no groups.
             Case{"6", "x16x16x16,12", "This is a Regular Symetric Method of Lead Head Group A", "",
                  ""},
             // A lead-head code above M: rolls but no groups.
             Case{"8", "38,16-16-18-58-", "", "", ""},
         }) {
        SCOPED_TRACE(c.notation);
        const CliRun json =
            Cli({"stats", "--bells", c.bells, "--notation", c.notation, "--name", "X", "--json"});
        ASSERT_EQ(json.status, 0) << json.err;
        const nlohmann::ordered_json facts = nlohmann::ordered_json::parse(json.out);
        std::vector<std::string> names;
        for (const auto& item : facts.items()) {
            names.push_back(item.key());
            if (item.key() != "bells") {
                EXPECT_TRUE(item.value().is_string()) << item.key();
            }
        }
        EXPECT_EQ(names, keys);
        if (!c.classification.empty()) {
            EXPECT_EQ(facts["classification"], c.classification);
        }
        if (c.bells == "6") {
            EXPECT_EQ(facts["cru"], "");
            EXPECT_EQ(facts["roll_ups"], "");
            EXPECT_EQ(facts["roll_downs"], "");
        } else {
            const std::string rollUps = facts["roll_ups"];
            EXPECT_EQ(rollUps.rfind("Four Bell plus Roll Ups (xx78) = ", 0), 0U) << rollUps;
        }
        if (!c.rollUps.empty()) {
            EXPECT_EQ(facts["roll_ups"], c.rollUps);
        }
        EXPECT_EQ(facts["fch_groups"], c.fchGroups);

        // The text form: the name, the title, a blank line, then the body as on the sheet.
        const CliRun text = Cli({"stats", "--bells", c.bells, "--notation", c.notation});
        ASSERT_EQ(text.status, 0) << text.err;
        EXPECT_EQ(text.out.rfind("UNTITLED METHOD\nStatistics Sheet\n\n", 0), 0U) << text.out;
        for (const char* key : {"classification", "right_places", "difficulty", "fch_groups"}) {
            const std::string line = facts[key];
            if (!line.empty()) {
                EXPECT_NE(text.out.find("\n" + line + "\n"), std::string::npos) << line;
            }
        }
    }
    const CliRun refused = Cli({"stats", "--bells", "8", "--notation", "x19", "--json"});
    EXPECT_EQ(refused.status, 2);
    EXPECT_TRUE(Json(refused.out).contains("error"));
    EXPECT_EQ(Cli({"stats", "--bells", "3", "--notation", "x"}).status, 2);
}

TEST(CliStats, BatchAddsTheLinesOnlyWhenAsked)
{
    const TempDir dir;
    const std::string input = dir.Write("in.csv", "8,Cambridge,\"-3-4-25-36-4-5-6-7 LH2\",B\n"
                                                  "7,\"Bad, Cross\",-,Z\n"
                                                  "6,Plain Bob,\"-1-1-1 LH2\",A\n");
    const std::vector<nlohmann::json> plain = JsonLines(Cli({"batch", "--input", input}).out);
    const CliRun run = Cli({"batch", "--input", input, "--stats"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<nlohmann::json> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 3U);
    ASSERT_EQ(plain.size(), 3U);
    EXPECT_FALSE(plain[0].contains("fch_groups"));
    // The facts are kept and the lines added; a refused record stays an error alone.
    EXPECT_EQ(lines[0]["lead_head"], plain[0]["lead_head"]);
    EXPECT_EQ(lines[0]["fch_groups"], "FCH Groups = BDEe");
    EXPECT_EQ(lines[1], plain[1]);
    EXPECT_EQ(lines[2]["cru"], "");
    EXPECT_EQ(lines[2]["difficulty"],
              Json(Cli({"stats", "--bells", "6", "--notation", "-1-1-1 LH2", "--json"})
                       .out)["difficulty"]);
}

TEST(CliRender, TheStatisticsSheet)
{
    const TempDir dir;
    const auto render = [&](const std::string& file) {
        return Cli({"render", "--view", "stats", "--bells", "8", "--notation",
                    "-38-14-1258-36-14-58-16-78,12", "--name", "Cambridge Surprise Major", "-o",
                    dir.Path(file)});
    };
    ASSERT_EQ(render("s.png").status, 0);
    const QImage png(QString::fromStdString(dir.Path("s.png")));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.width(), 1200);
    EXPECT_LT(png.height(), 800); // the sheet's own height, not the window's
    ASSERT_EQ(render("s.svg").status, 0);
    EXPECT_NE(ReadFile(dir.Path("s.svg")).find("Statistics Sheet"), std::string::npos);
    ASSERT_EQ(render("s.pdf").status, 0);
    EXPECT_EQ(ReadFile(dir.Path("s.pdf")).rfind("%PDF-", 0), 0U);
}

TEST(CliMethod, MissingOrUnknownOptions)
{
    EXPECT_EQ(Cli({"method", "--bells", "8"}).status, 2);
    EXPECT_EQ(Cli({"method", "--bells", "8", "--notation", "x", "--colour", "red"}).status, 2);
    EXPECT_EQ(Cli({"frobnicate"}).status, 2);
    EXPECT_EQ(Cli({}).status, 2);
    const CliRun help = Cli({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("method"), std::string::npos);
}

TEST(CliCheck, QuietWhenValid)
{
    const CliRun ok =
        Cli({"check", "--bells", "8", "--notation", "-38-14-1258-36-14-58-16-78LH12"});
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.out + ok.err, "");

    const CliRun bad = Cli({"check", "--bells", "8", "--notation", "12..14"});
    EXPECT_EQ(bad.status, 2);
    EXPECT_EQ(bad.out, "Error in the Place Notation:\n\n12..14\n\nError at:\n\n12.. <--\n");

    const CliRun bells = Cli({"check", "--bells", "99", "--notation", "12"});
    EXPECT_EQ(bells.status, 2);
    EXPECT_EQ(bells.out, std::string(kMsgInvalidBells) + "\n");
}

TEST(CliBatch, OneLinePerRecordAndErrorsDoNotStopIt)
{
    const TempDir dir;
    const std::string input = dir.Write("in.csv", "\xEF\xBB\xBF"
                                                  "0,TB_Method_Library,\"Test build\",\r\n"
                                                  "6,\"Plain Bob\",\"-1-1-1 LH2\",A\r\n"
                                                  "\r\n"
                                                  "7,\"Bad, Cross\",-,Z\n"
                                                  "\"99\",Too Many,x,Z\n"
                                                  "5,Grandsire,3.1.5.1.5.1.5.1.5.1\n");
    const CliRun run = Cli({"batch", "--input", input});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<nlohmann::json> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 4U);
    EXPECT_EQ(lines[0]["name"], "PLAIN BOB");
    EXPECT_EQ(lines[0]["lead_head"], "135264");
    EXPECT_FALSE(lines[0].contains("rows"));
    EXPECT_EQ(lines[1], nlohmann::json({{"name", "BAD, CROSS"},
                                        {"error", "Error in the Place Notation:\r\r-\r\r"
                                                  "Error at:\r\r- <--"}}));
    EXPECT_EQ(lines[2]["error"], std::string(kMsgInvalidBells));
    EXPECT_EQ(lines[3]["lead_head_code"], "A");
}

TEST(CliBatch, OutputFileAndUnreadableInput)
{
    const TempDir dir;
    const std::string input = dir.Write("in.csv", "8,CAMBRIDGE,\"-3-4-25-36-4-5-6-7 LH2\",B\n");
    const CliRun run = Cli({"batch", "--input", input, "--output", dir.Path("out.jsonl")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(Json(ReadFile(dir.Path("out.jsonl")))["lead_head"], "15738264");

    // Only regular files are read: a folder or a pipe is refused at once, never waited on.
    ::mkfifo(dir.Path("pipe.csv").c_str(), 0600);
    std::filesystem::create_directory(dir.Path("folder.csv"));
    struct Case {
        std::string input, why;
    };
    for (const Case& c : {Case{"nothing.csv", "No such file or directory."},
                          Case{"pipe.csv", "it is a pipe, not a file."},
                          Case{"folder.csv", "it is a folder, not a file."}}) {
        const CliRun refused = Cli({"batch", "--input", dir.Path(c.input)});
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.err, "Cannot read " + dir.Path(c.input) + ": " + c.why + "\n");
    }

    const CliRun unwritable =
        Cli({"batch", "--input", input, "--output", dir.Path("no/such/folder/out.jsonl")});
    EXPECT_EQ(unwritable.status, 2);
}

// The output is written beside its target under a name nobody can guess and renamed into
// place: a link planted where older versions wrote first is never followed, a refused run
// leaves the older file, and a device target is written in place, not replaced.
TEST(CliBatch, OutputsReplaceTheirTargetsOnlyWhole)
{
    const TempDir dir;
    const std::string input = dir.Write("in.csv", "8,CAMBRIDGE,\"-3-4-25-36-4-5-6-7 LH2\",B\n");
    const std::string precious = dir.Write("precious.txt", "keep me");
    std::filesystem::create_symlink(precious, dir.Path("out.jsonl.part"));
    ASSERT_EQ(Cli({"batch", "--input", input, "--output", dir.Path("out.jsonl")}).status, 0);
    EXPECT_EQ(ReadFile(precious), "keep me");
    EXPECT_TRUE(std::filesystem::is_symlink(dir.Path("out.jsonl.part")));
    const std::string good = ReadFile(dir.Path("out.jsonl"));
    EXPECT_NE(good.find("15738264"), std::string::npos);

    // convert-cc refused after starting: the older output stays whole, nothing is left.
    const std::string collection = dir.Write("cc.csv", "stage,name\n8,x\n");
    const CliRun refused =
        Cli({"convert-cc", "--input", collection, "--output", dir.Path("out.jsonl")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(ReadFile(dir.Path("out.jsonl")), good);
    std::size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path(""))) {
        ++files;
    }
    EXPECT_EQ(files, 5U); // in.csv, precious.txt, the planted link, out.jsonl, cc.csv

    ASSERT_EQ(Cli({"batch", "--input", input, "--output", "/dev/null"}).status, 0);
    EXPECT_TRUE(std::filesystem::is_character_file("/dev/null"));
}

// Every command that writes a file refuses a symbolic link to a file (planted by whoever can
// write a shared folder) and a pipe nobody reads, at once and writing nothing. The links and
// pipes are made by this user, or by another one (as root only).
void ExpectPlantedOutputsRefused(bool secondUser)
{
    const TempDir dir;
    const std::string input = dir.Write("in.csv", "8,CAMBRIDGE,\"-3-4-25-36-4-5-6-7 LH2\",B\n");
    const std::string collection = dir.Write("cc.csv", "stage,title,notation\n6,X,-16-16-16\n");
    const std::string precious = dir.Write("precious.txt", "keep me");
    const std::string shared = dir.Path("shared");
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    const auto plant = [&](const std::function<int()>& make) {
        if (!secondUser) {
            return make() == 0;
        }
        const pid_t child = ::fork();
        if (child == 0) {
            ::_exit(::setgid(65534) == 0 && ::setuid(65534) == 0 && make() == 0 ? 0 : 1);
        }
        int status = 0;
        return ::waitpid(child, &status, 0) == child && WIFEXITED(status) &&
               WEXITSTATUS(status) == 0;
    };
    using Args = std::vector<std::string>;
    const auto commands = [&](const std::string& out) {
        return std::vector<Args>{
            {"render", "--bells", "8", "--notation", "x1x1x1x1,12", "-o", out + ".png"},
            {"convert-cc", "--input", collection, "--output", out + ".png"},
            {"batch", "--input", input, "--output", out + ".png"}};
    };
    for (const Args& args : commands(shared + "/link")) {
        const std::string target = args.back();
        ASSERT_TRUE(plant([&] { return ::symlink(precious.c_str(), target.c_str()); }));
        const CliRun run = Cli(args);
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_EQ(run.err, target + " is a symbolic link; give the file itself.\n");
        EXPECT_EQ(ReadFile(precious), "keep me");
        EXPECT_TRUE(std::filesystem::is_symlink(target));
        std::filesystem::remove(target);
    }

    // A pipe with no reader: refused at once. Should the open ever wait, a reader comes after
    // a while so that the test fails rather than hangs.
    for (const Args& args : commands(shared + "/pipe")) {
        const std::string target = args.back();
        ASSERT_TRUE(plant([&] { return ::mkfifo(target.c_str(), 0666); }));
        std::atomic<bool> done = false;
        bool waited = false;
        std::thread rescue([&] {
            for (int i = 0; i < 200 && !done; ++i) {
                std::this_thread::sleep_for(std::chrono::milliseconds(50));
            }
            if (!done) {
                waited = true;
                const int reader = ::open(target.c_str(), O_RDONLY);
                char buffer[4096];
                while (reader >= 0 && ::read(reader, buffer, sizeof buffer) > 0) {
                }
                ::close(reader);
            }
        });
        const CliRun run = Cli(args);
        done = true;
        rescue.join();
        EXPECT_FALSE(waited) << args[0] << " waited for a reader";
        EXPECT_EQ(run.status, 2) << args[0];
        EXPECT_EQ(run.err, "Cannot write " + target + ": nothing is reading from it.\n");
        std::filesystem::remove(target);
    }
}

TEST(CliOutput, PlantedLinksAndUnreadPipesAreRefused)
{
    ExpectPlantedOutputsRefused(false);

    // A link to a device, and the program's own output sent to a file by the shell.
    const TempDir dir;
    const std::string input = dir.Write("in.csv", "8,CAMBRIDGE,\"-3-4-25-36-4-5-6-7 LH2\",B\n");
    std::filesystem::create_symlink("/dev/null", dir.Path("null"));
    EXPECT_EQ(Cli({"batch", "--input", input, "--output", dir.Path("null")}).status, 0);
    const int saved = ::dup(1);
    const int file = ::open(dir.Path("stdout.jsonl").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 1);
    const int status = Cli({"batch", "--input", input, "--output", "/dev/stdout"}).status;
    ::dup2(saved, 1);
    ::close(saved);
    ::close(file);
    EXPECT_EQ(status, 0);
    EXPECT_EQ(Json(ReadFile(dir.Path("stdout.jsonl")))["lead_head"], "15738264");
}

TEST(CliOutput, ASecondUsersLinksAndPipesAreRefused)
{
    if (::geteuid() != 0) {
        GTEST_SKIP() << "making files as another user needs root";
    }
    ExpectPlantedOutputsRefused(true);
}

// A full disk: the render fails with exit status 2 and the previous picture stays as it was.
// Needs a small file system of its own, so it runs where the tests may mount one (as root).
TEST(CliRender, AFullDiskLeavesThePreviousFileWhole)
{
    const TempDir dir;
    const std::string disk = dir.Path("disk");
    std::filesystem::create_directory(disk);
    if (::geteuid() != 0 ||
        std::system(("mount -t tmpfs -o size=1m tmpfs " + disk + " 2>/dev/null").c_str()) != 0) {
        GTEST_SKIP() << "needs a tmpfs of its own, which only root may mount";
    }
    struct Unmount {
        std::string disk;
        ~Unmount()
        {
            if (std::system(("umount " + disk).c_str()) != 0) {
                ADD_FAILURE() << "could not unmount " << disk;
            }
        }
    } unmount{disk};
    const std::vector<std::string> render = {"render", "--bells", "8", "--notation",
                                             "-38-14-1258-36-14-58-16-78LH12"};
    for (const std::string name : {"d.png", "d.svg", "d.pdf"}) {
        SCOPED_TRACE(name);
        const std::string target = disk + "/" + name;
        std::vector<std::string> small = render;
        small.insert(small.end(), {"--width", "200", "--height", "200", "-o", target});
        const CliRun first = Cli(small);
        ASSERT_EQ(first.status, 0) << first.err;
        const std::string before = ReadFile(target);
        // Fill what is left of the disk.
        std::ofstream(disk + "/filler", std::ios::binary)
            << std::string(std::filesystem::space(disk).available, 'x');
        std::vector<std::string> big = render;
        big.insert(big.end(), {"--width", "3000", "--height", "3000", "-o", target});
        const CliRun full = Cli(big);
        EXPECT_EQ(full.status, 2);
        EXPECT_NE(full.err.find("Cannot write " + target), std::string::npos) << full.err;
        EXPECT_EQ(ReadFile(target), before);
        std::filesystem::remove(disk + "/filler");
    }
}

TEST(CliConvert, WritesTheLibraryImportFile)
{
    const TempDir dir;
    const std::string csv = dir.Write(
        "cc.csv", "stage,title,name,class,notation,lead_head,lh_code,symmetry,fch_groups\n"
                  "8,Cambridge Surprise Major,Cambridge,Surprise,\"-38-14-1258-36-14-58-16-78,12\","
                  "15738264,b,palindromic,\n"
                  "5,Grandsire Doubles,Grandsire,Bob,\"3,1.5.1.5.1\",12534,a,palindromic,\n"
                  "8,\"Bells, Bells Major\",x,Bob,-18-18-18-18-18-18-18-12,,,,\n"
                  "4,\"Ulu\xE1\xB9\x9Fu Minimus\",x,Bob,-14-14,,,,\n"
                  "6, ,x,Bob,x16x16x16x16x16x12,,,,\n"
                  "8,\"Say \"\"Hi\"\" Major\",x,Bob,-18-18-18-18-18-18-18-12,,,,\n"
                  "18,Too Big Eighteen,x,Bob,-,,,,\n"
                  "3,Too Small Singles,x,Bob,\"3,1\",,,,\n"
                  "6,A Title So Long That No Library Could Ever Hold It In Sixty Letters Minor,"
                  "x,Bob,x16,,,,\n"
                  "6,\"Tab\tTitle Minor\",x,Bob,x16,,,,\n"
                  "6,Long Lead Minor,x,Bob," +
                      std::string(101, '-') + ",,,,\n" + "5,Long Tidy Doubles,x,Bob," +
                      Repeat("3.1.", 50) + ",,,,\n");
    const CliRun run = Cli(
        {"convert-cc", "--input", csv, "--output", dir.Path("Methods.csv"), "--build", "Test 1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir.Path("Methods.csv")),
              "0,TB_Method_Library,\"Test 1\",\n"
              "8,\"CAMBRIDGE SURPRISE MAJOR\",\"-3-4-25-36-4-5-6-7 LH2\",B\n"
              "5,\"GRANDSIRE DOUBLES\",3.1.5.1.5.1.5.1.5.1,A\n"
              "8,\"BELLS, BELLS MAJOR\",\"-1-1-1-1 LH2\",A\n"
              "4,\"ULU\xE1\xB9\x9EU MINIMUS\",\"-1 LH1\",Z\n");
    EXPECT_NE(run.err.find("Converted 4 methods; left out 8:"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("blank title:                  1"), std::string::npos);
    EXPECT_NE(run.err.find("1 names have letters that code page 850 lacks; a library stores them "
                           "with plain letters:\n  ULU\xE1\xB9\x9EU MINIMUS\n"),
              std::string::npos)
        << run.err;
    EXPECT_NE(run.err.find("title with a double quote:    1"), std::string::npos);
    EXPECT_NE(run.err.find("over 100 changes in a lead:   1"), std::string::npos);
    EXPECT_NE(run.err.find("notation over 98 characters:  1"), std::string::npos);
    EXPECT_NE(run.err.find("control character:            1"), std::string::npos);

    const CliRun longBuild = Cli({"convert-cc", "--input", csv, "--output", dir.Path("x.csv"),
                                  "--build", std::string(21, 'b')});
    EXPECT_EQ(longBuild.status, 2);
    EXPECT_FALSE(std::filesystem::exists(dir.Path("x.csv")));
}

// The Council's XML is taken by its content under any name; its date names the library unless
// --build does, and a file that is no collection is refused with nothing written.
TEST(CliConvert, TakesTheCouncilsXml)
{
    const TempDir dir;
    const std::string header = "<?xml version=\"1.0\"?>\n<collection date=\"2026-06-08\" "
                               "xmlns=\"http://www.cccbr.org.uk/methods/schemas/2007/05/methods\">";
    const std::string xml = dir.Write(
        "methods.csv",
        header + "<methodSet><properties><stage>2</stage></properties><method><title>Cross "
                 "Two</title><notation>-</notation></method></methodSet><methodSet><properties>"
                 "<stage>8</stage></properties><method><title>Kate &amp; William Alliance "
                 "Major</title><notation>-38-14-58-36-14-18-3456.78,12</notation></method>"
                 "</methodSet></collection>");
    const CliRun run = Cli({"convert-cc", "--input", xml, "--output", dir.Path("Methods.csv")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(ReadFile(dir.Path("Methods.csv")),
              "0,TB_Method_Library,\"CCCBR 2026-06-08\",\n"
              "8,\"KATE & WILLIAM ALLIANCE MAJOR\",\"-3-4-5-36-4-1-3456.7 LH2\",B\n");
    EXPECT_NE(run.err.find("Converted 1 methods; left out 1:\n  under 4 bells:                1\n"),
              std::string::npos)
        << run.err;

    const CliRun given = Cli(
        {"convert-cc", "--input", xml, "--output", dir.Path("Given.csv"), "--build", "My build"});
    ASSERT_EQ(given.status, 0) << given.err;
    EXPECT_TRUE(ReadFile(dir.Path("Given.csv")).starts_with("0,TB_Method_Library,\"My build\",\n"));

    const std::string other = dir.Write(
        "other.xml", "<collection xmlns=\"urn:something-else\"><methodSet/></collection>");
    const CliRun refused = Cli({"convert-cc", "--input", other, "--output", dir.Path("x.csv")});
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(refused.err, "The file is XML but not the Central Council's methods collection: it "
                           "must be a collection element in the namespace "
                           "http://www.cccbr.org.uk/methods/schemas/2007/05/methods.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("x.csv")));

    // An element with 20,000 attributes is refused, and nothing is written.
    const CliRun crowded =
        Cli({"convert-cc", "--input", TAMBREL_COLLECTION_SEEDS "/many-attributes.xml", "--output",
             dir.Path("x.csv")});
    EXPECT_EQ(crowded.status, 2);
    EXPECT_EQ(crowded.err, "The collection has an element that, with the elements around it, "
                           "carries more than 64 attributes (line 6), which the Central "
                           "Council's file never has; it was not read.\n");
    EXPECT_FALSE(std::filesystem::exists(dir.Path("x.csv")));
}

TEST(CliBatch, TheBundledLibraryRunsClean)
{
    const CliRun run = Cli({"batch", "--input", TAMBREL_METHODS_CSV});
    ASSERT_EQ(run.status, 0) << run.err;
    std::size_t lines = 0;
    std::istringstream in(run.out);
    for (std::string line; std::getline(in, line); ++lines) {
        ASSERT_EQ(line.find("\"error\""), std::string::npos) << line;
    }
    EXPECT_GT(lines, 23000U);
}

} // namespace
} // namespace tambrel

namespace tambrel {
namespace {

// One library folder built from the bundled data, shared by the library command tests.
class CliLibrary : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new std::string((std::filesystem::temp_directory_path() /
                                  ("tambrel-cli-library-" + std::to_string(::getpid())))
                                     .string());
        std::filesystem::remove_all(*folder);
    }
    static void TearDownTestSuite()
    {
        std::filesystem::remove_all(*folder);
        delete folder;
    }
    static CliRun Library(std::vector<std::string> args)
    {
        args.insert(args.begin(), "library");
        args.insert(args.begin() + 2, {"--library", *folder});
        return Cli(std::move(args));
    }
    static std::string* folder;
};
std::string* CliLibrary::folder = nullptr;

// The names of the bundled library's methods of one bell count, sorted as the index sorts them.
std::vector<std::string> BundledNames(const std::string& bells)
{
    std::vector<std::string> names;
    std::istringstream in(ReadFile(TAMBREL_METHODS_CSV));
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> values = SplitDelimitedLine(line);
        if (values.size() > 1 && values[0] == bells) {
            names.push_back(values[1]);
        }
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(CliLibrary, ListStartsAtTheSoftSeekPosition)
{
    const CliRun run = Library(
        {"list", "--table", "MAIN", "--bells", "8", "--from", "CAMB", "--limit", "3", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<std::string> names = BundledNames("8");
    const auto first = std::lower_bound(names.begin(), names.end(), "CAMB");
    const std::vector<nlohmann::json> lines = JsonLines(run.out);
    ASSERT_EQ(lines.size(), 3U);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(lines[i]["name"], *(first + static_cast<std::ptrdiff_t>(i)));
        EXPECT_EQ(lines[i]["bells"], "8");
    }
    EXPECT_TRUE(lines[0]["recno"].is_number());

    // Past the last name of the range: the last method of the range.
    const CliRun last = Library({"list", "--bells", "8", "--from", "ZZZZ", "--json"});
    ASSERT_EQ(last.status, 0) << last.err;
    const std::vector<nlohmann::json> tail = JsonLines(last.out);
    ASSERT_EQ(tail.size(), 1U);
    EXPECT_EQ(tail[0]["name"], names.back());
}

TEST_F(CliLibrary, ListLimitsInPlainNumbers)
{
    for (const std::string limit : {"-1", "abc", "1000001", ""}) {
        const CliRun refused = Library({"list", "--bells", "8", "--limit", limit});
        EXPECT_EQ(refused.status, 2);
        EXPECT_EQ(refused.err,
                  "--limit takes a whole number from 0 to 1000000, not \"" + limit + "\".\n");
    }
    EXPECT_EQ(Library({"list", "--bells", "8", "--limit", "0"}).out, "");
}

TEST_F(CliLibrary, ListByGroupAndPlaces)
{
    const CliRun run = Library(
        {"list", "--bells", "8", "--group", "b", "--by", "places", "--limit", "500", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    const std::vector<nlohmann::json> lines = JsonLines(run.out);
    ASSERT_GT(lines.size(), 10U);
    for (std::size_t i = 0; i < lines.size(); ++i) {
        EXPECT_EQ(lines[i]["group"], "B");
        if (i > 0) {
            EXPECT_LE(lines[i - 1]["places"].get<std::string>(),
                      lines[i]["places"].get<std::string>());
        }
    }
}

TEST_F(CliLibrary, FindByNameOrNotation)
{
    const CliRun byName =
        Library({"find", "--bells", "8", "--name", "Cambridge Surprise Major", "--json"});
    ASSERT_EQ(byName.status, 0) << byName.err;
    EXPECT_EQ(Json(byName.out)["places"], "-3-4-25-36-4-5-6-7 LH2");
    EXPECT_EQ(Json(byName.out)["group"], "B");

    // Any valid notation of the method finds it: the lookup uses its tidy form.
    const CliRun byNotation =
        Library({"find", "--bells", "8", "--notation",
                 "x38x14x1258x36x14x58x16x78x16x58x14x36x1258x14x38x12", "--json"});
    ASSERT_EQ(byNotation.status, 0) << byNotation.err;
    EXPECT_EQ(Json(byNotation.out)["name"], "CAMBRIDGE SURPRISE MAJOR");

    // A letter code page 850 lacks is stored as its plain letter, and still found.
    const CliRun uluru =
        Library({"find", "--bells", "4", "--name", "ULU\xE1\xB9\x9EU Minimus", "--json"});
    ASSERT_EQ(uluru.status, 0) << uluru.err;
    EXPECT_EQ(Json(uluru.out)["name"], "ULURU MINIMUS");

    EXPECT_EQ(Library({"find", "--bells", "8", "--name", "No Such Method"}).status, 1);
    EXPECT_EQ(Library({"find", "--bells", "8", "--notation", "12..14"}).status, 2);
    EXPECT_EQ(Library({"find", "--bells", "99", "--name", "X"}).err,
              std::string(kMsgInvalidBells) + "\n");
}

TEST_F(CliLibrary, MethodUsesTheCallsOfTheLibraryFolder)
{
    ASSERT_EQ(Library({"info"}).status, 0);
    // A library whose calls table holds another bob: the method's bob lead shows it.
    TDbf calls(kCallsTags);
    calls.SetDbfFileName(std::filesystem::path(*folder) / "Calls.dbf");
    ASSERT_TRUE(calls.Open());
    ASSERT_TRUE(calls.SetOrderToTag("REF"));
    ASSERT_TRUE(calls.FindExact("6 01"));
    ASSERT_TRUE(calls.Replace("places", "16"));
    ASSERT_TRUE(calls.Replace("lines", "56"));
    ASSERT_TRUE(calls.ReplaceRec());
    ASSERT_TRUE(calls.Close());

    const CliRun run = Cli({"method", "--bells", "6", "--notation", "x16x16x16x16x16x12",
                            "--library", *folder, "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Json(run.out)["bob_changes"][5], "16");
    EXPECT_EQ(Json(run.out)["bob_lines"], "56");

    const CliRun batch = Cli({"batch", "--input", TAMBREL_METHODS_CSV, "--library", *folder});
    ASSERT_EQ(batch.status, 0) << batch.err;
}

TEST(CliMethodCalls, NoFolderIsMadeUnasked)
{
    const TempDir dir;
    ::setenv("HOME", dir.Path("home").c_str(), 1);
    ::unsetenv("XDG_DATA_HOME");
    const CliRun run =
        Cli({"method", "--bells", "8", "--notation", "x18x18x18x18x18x18x18x12", "--json"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Json(run.out)["bob_changes"][7], "14"); // the bundled calls
    EXPECT_FALSE(std::filesystem::exists(dir.Path("home")));
}

TEST(CliMethodCalls, SummaryShowsTheCallLeadsRowByRow)
{
    const CliRun run = Cli({"method", "--bells", "6", "--notation", "x16x16x16x16x16x12", "--name",
                            "Plain Bob Minor", "--rows"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.out.find("Bob:             01, lines 234\n"), std::string::npos) << run.out;
    // Half a lead before the end of the course, the bob at the lead end, half a lead after.
    EXPECT_NE(run.out.find("\nBob lead\n536241\n352614\n325164\n231546\n213456\n124365\n142356\n"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\nSingle lead\n536241\n"), std::string::npos);
    EXPECT_NE(run.out.find("\n124365\n124356\n"), std::string::npos);
}

TEST_F(CliLibrary, InfoAndReindex)
{
    const CliRun info = Library({"info", "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    const nlohmann::json facts = Json(info.out);
    EXPECT_EQ(facts["folder"], *folder);
    ASSERT_EQ(facts["tables"].size(), 5U);
    EXPECT_EQ(facts["tables"][0]["table"], "MAIN");
    const std::string bundled = ReadFile(TAMBREL_METHODS_CSV);
    EXPECT_EQ(facts["tables"][0]["records"], std::count(bundled.begin(), bundled.end(), '\n'));
    EXPECT_EQ(facts["tables"][0]["build"], "CCCBR 2023-09-18");

    const CliRun reindex = Library({"reindex"});
    ASSERT_EQ(reindex.status, 0) << reindex.err;
    EXPECT_EQ(reindex.out, "Reindexed the library in " + *folder + "\n");
}

TEST_F(CliLibrary, ATableInUseIsRefused)
{
    ASSERT_EQ(Library({"info"}).status, 0);
    TDbf held;
    held.SetDbfFileName(std::filesystem::path(*folder) / "Methods.dbf");
    ASSERT_TRUE(held.Open());
    const CliRun run = Library({"list", "--bells", "8"});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "The table Methods.dbf is in use by another program (or another window of "
                       "Tambrel). Close it there and try again.\n");
}

} // namespace
} // namespace tambrel

namespace tambrel {
namespace {

// The import commands on a library folder of their own, whose bundled data holds no methods:
// a new main library starts with its header alone.
class CliImport : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.Path("program/data"));
        dir.Write("program/data/Methods.csv", "0,TB_Method_Library,\"Empty\",\n");
        std::filesystem::copy_file(std::filesystem::path(TAMBREL_METHODS_CSV).parent_path() /
                                       "Calls.csv",
                                   dir.Path("program/data/Calls.csv"));
        library = dir.Path("Library");
    }

    CliRun Run(std::vector<std::string> args)
    {
        args.insert(args.end(), {"--library", library});
        return Cli(std::move(args), dir.Path("program"));
    }

    TempDir dir;
    std::string library;
};

// The whole collection into an empty library, then again: nothing is new and nothing asks to be
// renamed, not even the names stored with plain letters for those code page 850 lacks.
TEST_F(CliImport, TheBundledCollectionTwice)
{
    const std::string bundled = ReadFile(TAMBREL_METHODS_CSV);
    const auto methods = std::count(bundled.begin(), bundled.end(), '\n') - 1;
    const CliRun replace = Run({"import-methods", TAMBREL_METHODS_CSV, "--mode", "replace"});
    ASSERT_EQ(replace.status, 0) << replace.err;
    EXPECT_EQ(replace.out, std::to_string(methods) + " Methods Imported\n");
    EXPECT_NE(replace.err.find("Warning: 7 values have letters that code page 850 lacks"),
              std::string::npos)
        << replace.err;

    // Every question answered Yes: any rename would be counted.
    const CliRun again = Run({"import-methods", TAMBREL_METHODS_CSV, "--mode", "import", "--rename",
                              "yes", "--check-personal", "yes"});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(again.out, std::to_string(methods) +
                             " Methods Checked, 0 Imported, 0 Renamed.\n"
                             "0 Methods Removed from your Personal Library.\n");

    const CliRun found = Run({"library", "find", "--bells", "8", "--name",
                              "JAN\xC3\x81\xC4\x8C"
                              "EK SURPRISE MAJOR"});
    EXPECT_EQ(found.status, 0) << found.err;
    const CliRun info = Run({"library", "info", "--json"});
    ASSERT_EQ(info.status, 0) << info.err;
    EXPECT_EQ(Json(info.out)["tables"][0]["records"], methods + 1);
    EXPECT_EQ(Json(info.out)["tables"][0]["build"], "CCCBR 2023-09-18");
}

TEST_F(CliImport, RefusedFilesAndLibrariesExitTwo)
{
    ASSERT_EQ(Run({"library", "info"}).status, 0);
    const std::string mainImage = ReadFile(library + "/Methods.dbf");
    const std::string callsImage = ReadFile(library + "/Calls.dbf");
    const std::string calls = dir.Write("calls.csv", "0,00,TB_Calls_Library,\"Calls 9\",\n");
    const std::string nothing =
        dir.Write("nothing.csv", "0,TB_Method_Library,x,\n6,\"ESC\x1B[2J\",-1-1-1 LH2,A\n");
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {{"import-methods", calls, "--mode", "import"},
              "Unable to import Methods from file:\n\n" + calls + "\n"},
             {{"import-calls", dir.Path("none.csv")},
              "Unable to import Calls from file:\n\n" + dir.Path("none.csv") + "\n\nCannot read " +
                  dir.Path("none.csv") + ": No such file or directory.\n"},
             {{"import-methods", calls, "--mode", "add"}, "--mode: add not in {import,replace}\n"},
             {{"import-methods", calls, "--mode", "import", "--rename", "always"},
              "--rename: always not in {yes,no}\n"},
             // --mode replace answers the question, but a file with nothing to take is no
             // library: refused, not an empty library reported as a success.
             {{"import-methods", nothing, "--mode", "replace"},
              "Warning: 1 records with control characters were left out (lines 2).\n"
              "nothing.csv holds no method that the Main Library can take, so it was not "
              "replaced.\n\nNothing was changed.\n"},
             {{"import-calls", calls},
              "calls.csv holds no call that the Calls Library can take, so it was not "
              "replaced.\n\nNothing was changed.\n"},
         }) {
        SCOPED_TRACE(c.args[0] + " " + c.args[1]);
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
    EXPECT_EQ(ReadFile(library + "/Methods.dbf"), mainImage);
    EXPECT_EQ(ReadFile(library + "/Calls.dbf"), callsImage);

    // The desktop program holds a table while its import dialog is open.
    TDbf held;
    held.SetDbfFileName(std::filesystem::path(library) / "Calls.dbf");
    ASSERT_TRUE(held.Open(TableAccess::Read));
    const CliRun locked = Run({"import-calls", calls});
    EXPECT_EQ(locked.status, 2);
    EXPECT_EQ(locked.err, "The table Calls.dbf is in use by another program (or another window "
                          "of Tambrel). Close it there and try again.\n");
}

TEST_F(CliImport, CallsAndThePersonalCheck)
{
    const CliRun calls =
        Run({"import-calls", dir.Write("calls.csv", "0,00,TB_Calls_Library,\"Calls "
                                                    "9\",\n8,1,Bob,14,234\n")});
    ASSERT_EQ(calls.status, 0) << calls.err;
    EXPECT_EQ(calls.out, "2 Calls Imported\n");
    // The calls now have no single: the picture has no Single column, and says so.
    const CliRun drawn = Run({"render", "--bells", "8", "--notation", "x18x18x18x18,12", "--set",
                              "ShowSingle=True", "-o", dir.Path("pbm.png")});
    EXPECT_EQ(drawn.status, 0);
    EXPECT_EQ(drawn.err, "Warning: No single for 8 bells in the Calls Library.\n");

    const std::string file = dir.Write("methods.csv", "0,TB_Method_Library,\"Mine\",\n"
                                                      "6,PLAIN BOB MINOR,x16x16x16x16x16x12,A\n");
    ASSERT_EQ(Run({"import-methods", file, "--mode", "import"}).status, 0);
    {
        TDbf personal(kMethodTags, kMethodLayout);
        personal.SetDbfFileName(std::filesystem::path(library) / "My_Lib.dbf");
        ASSERT_TRUE(personal.Open());
        for (const char* name : {"MY BOB", "MY BOB TOO"}) {
            personal.ClearRecord();
            ASSERT_TRUE(personal.Replace("bells", "6"));
            ASSERT_TRUE(personal.Replace("name", name));
            ASSERT_TRUE(personal.Replace("places", "-1-1-1 LH2"));
            ASSERT_TRUE(personal.AppendRec());
        }
    }
    const CliRun kept = Run({"import-methods", file, "--mode", "import"});
    EXPECT_EQ(kept.out, "1 Methods Checked, 0 Imported, 0 Renamed.\n");
    const CliRun checked =
        Run({"import-methods", file, "--mode", "import", "--check-personal", "yes"});
    ASSERT_EQ(checked.status, 0) << checked.err;
    EXPECT_EQ(checked.out, "1 Methods Checked, 0 Imported, 0 Renamed.\n"
                           "2 Methods Removed from your Personal Library.\n");
    EXPECT_EQ(Run({"library", "list", "--table", "PERSONAL", "--bells", "6"}).out, "");
}

} // namespace
} // namespace tambrel

namespace tambrel {
namespace {

// find-similar on a library folder whose main library knows Plain Bob Minor.
class CliFind : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::filesystem::create_directories(dir.Path("program/data"));
        dir.Write("program/data/Methods.csv", "0,TB_Method_Library,\"Find\",\n"
                                              "6,\"PLAIN BOB MINOR\",\"-1-1-1 LH2\",A\n");
        library = dir.Path("Library");
    }

    CliRun Run(std::vector<std::string> args)
    {
        args.insert(args.begin(), "find-similar");
        args.insert(args.end(), {"--library", library});
        return Cli(std::move(args), dir.Path("program"));
    }

    TempDir dir;
    std::string library;
};

TEST_F(CliFind, CountsAndTheMethodsStored)
{
    const std::vector<std::string> plainBob = {"--bells",       "6",      "--notation",
                                               "x16x16x16LH12", "--type", "above"};
    const CliRun text = Run(plainBob);
    ASSERT_EQ(text.status, 0) << text.err;
    EXPECT_EQ(text.out, "Possibilities Checked: 81\nMethods Found: 13\n12 New Methods and 1 "
                        "Existing Methods\nhave been saved in the Method Find Library\n");

    std::vector<std::string> args = plainBob;
    args.push_back("--json");
    const CliRun json = Run(args);
    ASSERT_EQ(json.status, 0) << json.err;
    const nlohmann::ordered_json result = nlohmann::ordered_json::parse(json.out);
    std::vector<std::string> keys;
    for (const auto& item : result.items()) {
        keys.push_back(item.key());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"possibilities", "found", "new", "existing",
                                              "stopped", "methods"}));
    EXPECT_EQ(result["possibilities"], 81);
    EXPECT_EQ(result["found"], 13);
    EXPECT_EQ(result["new"], 12);
    EXPECT_EQ(result["existing"], 1);
    EXPECT_EQ(result["stopped"], false);
    ASSERT_EQ(result["methods"].size(), 13U);
    int pairs = 0;
    for (std::size_t i = 0; i < result["methods"].size(); ++i) {
        const nlohmann::ordered_json& m = result["methods"][i];
        const std::string notation = m["notation"];
        if (notation == "-1-1-1 LH2") {
            EXPECT_EQ(m["name"], "PLAIN BOB MINOR");
            EXPECT_EQ(m["group"], "A");
        }
        // Both lead ends of a half lead follow one another, LH1 first.
        if (i > 0 && notation.ends_with(" LH2")) {
            const std::string before = result["methods"][i - 1]["notation"];
            pairs += before == notation.substr(0, notation.size() - 1) + "1" ? 1 : 0;
        }
        if (i + 1 < result["methods"].size() && notation.ends_with(" LH2")) {
            const std::string after = result["methods"][i + 1]["notation"];
            EXPECT_NE(after, notation.substr(0, notation.size() - 1) + "1");
        }
    }
    EXPECT_GT(pairs, 0);

    // The browser's view of the find library holds the same methods.
    std::ostringstream out;
    std::ostringstream err;
    ASSERT_EQ(RunCli({"tambrel-cli", "library", "list", "--table", "FIND_LIB", "--bells", "6",
                      "--limit", "100", "--library", library},
                     out, err, dir.Path("program")),
              0);
    const std::string listed = out.str();
    EXPECT_EQ(std::count(listed.begin(), listed.end(), '\n'), 13);
}

TEST_F(CliFind, GroupedCountsAndATimeLimit)
{
    const CliRun grouped = Run({"--bells", "8", "--notation", "-38-14-1258-36-14-58-16-78,12",
                                "--type", "above", "--group", "b"});
    ASSERT_EQ(grouped.status, 0) << grouped.err;
    EXPECT_TRUE(grouped.out.starts_with("Possibilities Checked: ")) << grouped.out;
    EXPECT_NE(grouped.out.find(',', 0), std::string::npos) << grouped.out;

    const CliRun stopped = Run({"--bells", "8", "--notation", "-38-14-1258-36-14-58-16-78LH12",
                                "--type", "below", "--limit-seconds", "0", "--json"});
    ASSERT_EQ(stopped.status, 0) << stopped.err;
    const nlohmann::json result = Json(stopped.out);
    EXPECT_EQ(result["stopped"], true);
    EXPECT_EQ(result["possibilities"], 0);
    EXPECT_EQ(result["found"], 0);
    EXPECT_TRUE(result["methods"].empty());
}

TEST_F(CliFind, RefusalsExitTwoAndChangeNothing)
{
    ASSERT_EQ(Run({"--bells", "6", "--notation", "x16x16x16LH12", "--type", "below"}).status, 0);
    const std::string before = ReadFile(library + "/Find_Lib.dbf");
    const std::string needs = "To use Find Similar Methods, the method must be:\n\n    "
                              "Symetric\n    On a maximum of 8 Bells\n    Have 40 or less Changes "
                              "in a lead\n";
    struct Case {
        std::vector<std::string> args;
        std::string err;
    };
    for (const Case& c : std::vector<Case>{
             {{"--bells", "6", "--notation", "x14x16x16x16x16x12", "--type", "above"}, needs},
             {{"--bells", "9", "--notation", "3.1.9.1.9.1.9.1.9LH129", "--type", "above"}, needs},
             {{"--bells", "6", "--notation", "x16x16x16LH12", "--type", "above", "--group", "P"},
              "The lead-head group P is not offered on 6 bells; the groups are ALL, A, B, E, F, "
              "G, H, L, M.\n"},
             {{"--bells", "6", "--notation", "x13", "--type", "above"},
              "Error in the Place Notation:\n\nx13\n\nError at:\n\nx13 <--\n"},
             {{"--bells", "6", "--notation", "x16x16x16LH12", "--type", "sideways"},
              "--type: sideways not in {above,below}\n"},
             {{"--bells", "6", "--notation", "x16x16x16LH12", "--type", "above", "--limit-seconds",
               "soon"},
              "--limit-seconds takes a number of seconds, not \"soon\".\n"},
         }) {
        SCOPED_TRACE(c.args[3]);
        const CliRun run = Run(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.err, c.err);
        EXPECT_EQ(run.out, "");
    }
    const CliRun json = Run({"--bells", "6", "--notation", "x16x16x16LH12", "--type", "above",
                             "--group", "P", "--json"});
    EXPECT_EQ(json.status, 2);
    EXPECT_EQ(Json(json.out)["error"], "The lead-head group P is not offered on 6 bells; the "
                                       "groups are ALL, A, B, E, F, G, H, L, M.");

    // The desktop program's browser holds the find library.
    TDbf held;
    held.SetDbfFileName(std::filesystem::path(library) / "Find_Lib.dbf");
    ASSERT_TRUE(held.Open(TableAccess::Read));
    const CliRun locked = Run({"--bells", "6", "--notation", "x16x16x16LH12", "--type", "above"});
    EXPECT_EQ(locked.status, 2);
    EXPECT_EQ(locked.err, "The table Find_Lib.dbf is in use by another program (or another window "
                          "of Tambrel). Close it there and try again.\n");
    EXPECT_EQ(ReadFile(library + "/Find_Lib.dbf"), before);
}

} // namespace
} // namespace tambrel
