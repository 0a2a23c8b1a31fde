#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tambrel {

struct RenderOptions {
    std::string bells;
    std::string notation;
    std::string name;
    std::string view = "diagram";
    std::vector<std::string> settings; // KEY=VALUE, option names as in the options table
    int width = 1200;
    int height = 800;
    std::string output;
    std::string library;
    std::string bBells;    // the inter-method sheet's second method; empty: the method's bells
    std::string bNotation; // empty: the method is its own second method
    std::string bName;
    std::string calling; // the touch view's calling, lead by lead
};

// Writes the diagram, the statistics, composition or inter-method sheet or a touch of a method
// as PNG or SVG
// (the on-screen drawing on a picture of the given width and visible height) or PDF (the printed
// drawing on A4 pages). Exit status as the other commands: 0 done, 2 refused.
int RunRender(const RenderOptions& options, const std::filesystem::path& programFolder,
              std::ostream& out, std::ostream& err);

// The program that draws, beside tambrel-cli: the same commands with Qt linked in, so that the
// others start without it.
inline constexpr const char* kRenderProgram = "tambrel-cli-render";

// The render command line that gives `options` again.
std::vector<std::string> RenderArguments(const RenderOptions& options);

} // namespace tambrel
