#pragma once

#include <algorithm>
#include <ostream>
#include <string>
#include <string_view>

namespace tambrel {

// Exit status of a command whose input was refused.
inline constexpr int kExitRefused = 2;

// A message as a terminal shows it: the carriage returns that break the program's message
// texts into lines become new lines (a bare one would send the cursor back over the line).
inline std::string TerminalText(std::string_view message)
{
    std::string text(message);
    std::replace(text.begin(), text.end(), '\r', '\n');
    return text;
}

// Writes the refusal's message and gives the refused exit status.
inline int Refuse(std::ostream& err, std::string_view message)
{
    err << TerminalText(message) << '\n';
    return kExitRefused;
}

} // namespace tambrel
