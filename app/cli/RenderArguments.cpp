#include "app/cli/RenderCommand.h"

namespace tambrel {

std::vector<std::string> RenderArguments(const RenderOptions& options)
{
    // Every value joined to its option, so that one starting with a cross stays a value.
    std::vector<std::string> args = {"render",
                                     "--bells=" + options.bells,
                                     "--notation=" + options.notation,
                                     "--name=" + options.name,
                                     "--view=" + options.view,
                                     "--width=" + std::to_string(options.width),
                                     "--height=" + std::to_string(options.height),
                                     "--output=" + options.output};
    for (const std::string& setting : options.settings) {
        args.push_back("--set=" + setting);
    }
    for (const auto& [option, value] : {std::pair{"--library=", &options.library},
                                        {"--b-bells=", &options.bBells},
                                        {"--b-notation=", &options.bNotation},
                                        {"--b-name=", &options.bName},
                                        {"--calling=", &options.calling}}) {
        if (!value->empty()) {
            args.push_back(option + *value);
        }
    }
    return args;
}

} // namespace tambrel
