#pragma once

#include <ostream>
#include <string_view>

namespace tambrel {

// Exit status of a command whose input was refused.
inline constexpr int kExitRefused = 2;

// Writes the refusal's message and gives the refused exit status.
inline int Refuse(std::ostream& err, std::string_view message)
{
    err << message << '\n';
    return kExitRefused;
}

} // namespace tambrel
