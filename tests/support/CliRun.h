#pragma once

#include "app/cli/CliCommands.h"

#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

namespace tambrel::test {

// What one command of the command-line tool did, run in the test's own process.
struct CliRun {
    int status = -1;
    std::string out;
    std::string err;
};

// Runs `tambrel-cli ARGS...` as if started from `programFolder` (where it looks for its data).
inline CliRun Cli(std::vector<std::string> args, const std::filesystem::path& programFolder = {})
{
    args.insert(args.begin(), "tambrel-cli");
    std::ostringstream out;
    std::ostringstream err;
    CliRun run;
    run.status = RunCli(std::move(args), out, err, programFolder);
    run.out = out.str();
    run.err = err.str();
    return run;
}

} // namespace tambrel::test
