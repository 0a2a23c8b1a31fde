#pragma once

#include <iosfwd>
#include <string>
#include <vector>

namespace tambrel {

// Runs tambrel-cli with `args` (the program name first) and returns its exit status:
// 0 done, 2 refused input (the message goes to `err`, or as JSON to `out` with --json).
int RunCli(std::vector<std::string> args, std::ostream& out, std::ostream& err);

} // namespace tambrel
