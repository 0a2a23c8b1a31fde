#pragma once

#include <array>
#include <filesystem>
#include <iosfwd>
#include <string>

namespace tambrel {

struct ProveOptions {
    std::string bells;
    std::string notation;
    std::string name;
    std::string library;
    std::string calling;   // lead by lead
    std::string positions; // by calling positions, a course at a time
    std::string observation;
    std::array<std::string, 4> spliced; // the notations of pages 2..5
    bool rows = false;
    bool json = false;
};

// `tambrel-cli prove`: a touch proved from rounds, its false rows, lead heads and music. Exit
// status 0 when proved (true or not), 2 when the input is refused.
int RunProve(const ProveOptions& options, const std::filesystem::path& programFolder,
             std::ostream& out, std::ostream& err);

} // namespace tambrel
