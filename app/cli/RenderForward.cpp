#include "app/cli/CliSupport.h"
#include "app/cli/RenderCommand.h"

#include <cerrno>
#include <cstring>
#include <iostream>

#include <unistd.h>

namespace tambrel {

// Drawing needs Qt, whose libraries cost most of a command's start; the other commands do
// without them, so `render` runs in the program beside this one that has them.
int RunRender(const RenderOptions& options, const std::filesystem::path& programFolder,
              std::ostream& out, std::ostream& err)
{
    const std::filesystem::path program = programFolder / kRenderProgram;
    std::vector<std::string> args = RenderArguments(options);
    args.insert(args.begin(), program.string());
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);
    out.flush();
    err.flush();
    std::cout.flush();
    std::cerr.flush();
    ::execv(program.c_str(), argv.data());
    return Refuse(err, "The drawing program " + program.string() +
                           " could not be started: " + std::strerror(errno) + ".");
}

} // namespace tambrel
