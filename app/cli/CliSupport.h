#pragma once

#include <ostream>
#include <string>
#include <string_view>

namespace tambrel {

// Exit status of a command whose input was refused.
inline constexpr int kExitRefused = 2;

// Text as a terminal should show it: the carriage returns that break the program's message
// texts into lines become new lines (a bare one would send the cursor back over the line), and
// every other control character, which a hostile name could use to drive the terminal, is
// written as \xNN.
inline std::string TerminalText(std::string_view message)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(message.size());
    for (const char c : message) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r') {
            text += '\n';
        } else if ((byte < 0x20 && c != '\n' && c != '\t') || byte == 0x7F) {
            text += "\\x";
            text += kHex[byte >> 4U];
            text += kHex[byte & 0x0FU];
        } else {
            text += c;
        }
    }
    return text;
}

// Writes the refusal's message and gives the refused exit status.
inline int Refuse(std::ostream& err, std::string_view message)
{
    err << TerminalText(message) << '\n';
    return kExitRefused;
}

} // namespace tambrel
