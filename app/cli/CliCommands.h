#pragma once

#include <filesystem>
#include <iosfwd>
#include <string>
#include <vector>

namespace tambrel {

// Runs tambrel-cli with `args` (the program name first) and returns its exit status:
// 0 done, 2 refused input (the message goes to `err`, or as JSON to `out` with --json), and
// 1 when `library find` finds nothing. `programFolder` is where the program lives: the default
// library folder and the bundled data are found from it.
int RunCli(std::vector<std::string> args, std::ostream& out, std::ostream& err,
           const std::filesystem::path& programFolder = {});

} // namespace tambrel
