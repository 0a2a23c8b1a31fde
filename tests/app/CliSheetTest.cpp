#include "analysis/Messages.h"
#include "app/cli/CliCommands.h"

#include <nlohmann/json.hpp>

#include <QImage>

#include "tests/support/CliRun.h"
#include "tests/support/TestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

namespace tambrel {
namespace {

using test::ReadFile;
using test::TempDir;

using test::Cli;
using test::CliRun;

nlohmann::ordered_json Json(const std::string& text)
{
    return nlohmann::ordered_json::parse(text);
}

const std::string kCambridge = "-38-14-1258-36-14-58-16-78,12";
const std::string kYorkshire = "-38-14-58-16-12-38-14-78,12";
const std::string kStedmanTriples = "3.1.7.3.1.3,1";
const std::string kGrandsireTriples = "3,1.7.1.7.1.7.1";
const std::string kCambridgeRoyal = "-30-14-1250-36-1470-58-16-70-18-90,12";

std::vector<std::string> Keys(const nlohmann::ordered_json& object)
{
    std::vector<std::string> keys;
    for (const auto& item : object.items()) {
        keys.push_back(item.key());
    }
    return keys;
}

TEST(CliComp, OneObjectPerLeadWithTheKeysOfTheSectionsShown)
{
    using Keys_ = std::vector<std::string>;
    struct Case {
        std::string bells, notation;
        std::vector<std::string> settings;
        int leads;
        Keys_ keys;
    };
    const Keys_ all = {"lead", "first_row", "patterns", "even", "odd", "split_even", "split_odd"};
    for (const Case& c : {
             Case{"8", kCambridge, {}, 7, all},
             // Without the odd sections the split even one stays.
             Case{"8",
                  kCambridge,
                  {"OddFCH=False"},
                  7,
                  {"lead", "first_row", "patterns", "even", "split_even"}},
             Case{"8",
                  kCambridge,
                  {"SplitTenorFCH=False"},
                  7,
                  {"lead", "first_row", "patterns", "even", "odd"}},
             Case{"7", kStedmanTriples, {}, 7, {"lead", "first_row", "patterns", "even", "odd"}},
             Case{"10",
                  kCambridgeRoyal,
                  {"SplitTenorFCH=True"},
                  9,
                  {"lead", "first_row", "patterns", "even", "odd"}},
         }) {
        SCOPED_TRACE(c.bells + " " + c.notation);
        std::vector<std::string> args = {"comp",       "--bells",  c.bells,
                                         "--notation", c.notation, "--json"};
        for (const std::string& setting : c.settings) {
            args.insert(args.end(), {"--set", setting});
        }
        const CliRun run = Cli(args);
        ASSERT_EQ(run.status, 0) << run.err << run.out;
        const auto json = Json(run.out);
        EXPECT_EQ(Keys(json), Keys_{"columns"});
        ASSERT_EQ(json["columns"].size(), static_cast<std::size_t>(c.leads));
        for (std::size_t i = 0; i < json["columns"].size(); ++i) {
            const auto& column = json["columns"][i];
            EXPECT_EQ(Keys(column), c.keys);
            EXPECT_EQ(column["lead"], static_cast<int>(i) + 1);
        }
        EXPECT_EQ(
            json["columns"][0]["first_row"],
            std::string("1234567890").substr(0, static_cast<std::size_t>(std::stoi(c.bells))));
    }
}

TEST(CliSheets, RefusalsExitTwoWithTheDesktopProgramsMessage)
{
    const std::string cut = test::Repeat("x16", 20) + "LH1D";
    struct Case {
        std::vector<std::string> args;
        std::string_view message;
    };
    for (const Case& c : {
             Case{{"comp", "--bells", "6", "--notation", "x16x16x16,12"}, kMsgCompFewBells},
             Case{{"comp", "--bells", "16", "--notation", cut}, kMsgCompTooLong},
             Case{{"intmeth", "--bells", "6", "--notation", "x16x16x16,12"}, kMsgIntMethFewBells},
             Case{{"intmeth", "--bells", "16", "--notation", cut}, kMsgIntMethTooLong},
             Case{{"intmeth", "--bells", "8", "--notation", kCambridge, "--b-bells", "7",
                   "--b-notation", kStedmanTriples},
                  kMsgIntMethStages},
             Case{{"intmeth", "--bells", "16", "--notation", "x1Dx1Dx1Dx1Dx1Dx1Dx1Dx1D,12",
                   "--b-notation", cut},
                  kMsgIntMethTooLong},
             Case{{"render", "--view", "comp", "--bells", "6", "--notation", "x16x16x16,12", "-o",
                   "never.png"},
                  kMsgCompFewBells},
             Case{{"render", "--view", "intmeth", "--bells", "8", "--notation", kCambridge,
                   "--b-bells", "7", "--b-notation", kStedmanTriples, "-o", "never.png"},
                  kMsgIntMethStages},
             Case{{"comp", "--bells", "8", "--notation", kCambridge, "--set", "OddFCH=perhaps"},
                  ""},
         }) {
        SCOPED_TRACE(c.args[0] + " " + c.args[2] + " " + c.args[4]);
        const CliRun run = Cli(c.args);
        EXPECT_EQ(run.status, 2);
        EXPECT_EQ(run.out, "");
        EXPECT_FALSE(run.err.empty());
        if (!c.message.empty()) {
            std::string expected(c.message);
            std::replace(expected.begin(), expected.end(), '\r', '\n');
            EXPECT_EQ(run.err, expected + "\n");
        }
        if (c.args[0] != "render") {
            std::vector<std::string> json = c.args;
            json.push_back("--json");
            const CliRun asJson = Cli(json);
            EXPECT_EQ(asJson.status, 2);
            if (!c.message.empty()) {
                EXPECT_EQ(Json(asJson.out)["error"], std::string(c.message));
            }
        }
    }
}

TEST(CliRender, TheCompositionAndInterMethodSheets)
{
    const TempDir dir;
    const auto render = [&](const std::string& view, const std::string& file,
                            std::vector<std::string> more = {}) {
        std::vector<std::string> args = {"render",   "--view",      view,
                                         "--bells",  "8",           "--notation",
                                         kCambridge, "--name",      "Cambridge Surprise Major",
                                         "-o",       dir.Path(file)};
        args.insert(args.end(), more.begin(), more.end());
        return Cli(args);
    };
    ASSERT_EQ(render("comp", "c.png").status, 0);
    const QImage png(QString::fromStdString(dir.Path("c.png")));
    ASSERT_FALSE(png.isNull());
    EXPECT_EQ(png.width(), 1200);
    EXPECT_GT(png.height(), 800); // the whole sheet, taller than the window
    ASSERT_EQ(render("comp", "c.svg").status, 0);
    EXPECT_NE(ReadFile(dir.Path("c.svg")).find("Composition Sheet"), std::string::npos);
    const auto pages = [&](const std::string& file) {
        const std::string pdf = ReadFile(dir.Path(file));
        int count = 0;
        for (std::size_t at = pdf.find("/Type /Page\n"); at != std::string::npos;
             at = pdf.find("/Type /Page\n", at + 1)) {
            ++count;
        }
        return count;
    };
    ASSERT_EQ(render("comp", "portrait.pdf").status, 0);
    ASSERT_EQ(render("comp", "landscape.pdf", {"--set", "PrintOrient=Landscape"}).status, 0);
    EXPECT_EQ(pages("portrait.pdf"), 1);
    EXPECT_EQ(pages("landscape.pdf"), 2); // the split odd section in a band of its own

    const CliRun intMeth = render(
        "intmeth", "i.svg", {"--b-notation", kYorkshire, "--b-name", "Yorkshire Surprise Major"});
    ASSERT_EQ(intMeth.status, 0) << intMeth.err;
    const std::string svg = ReadFile(dir.Path("i.svg"));
    EXPECT_NE(svg.find("Plain Course of CAMBRIDGE SURPRISE MAJOR"), std::string::npos);
    EXPECT_NE(svg.find("Against FCH's of YORKSHIRE SURPRISE MAJOR"), std::string::npos);
    EXPECT_EQ(render("diagram", "d.png", {"--b-notation", kYorkshire}).status, 2);
}

} // namespace
} // namespace tambrel
