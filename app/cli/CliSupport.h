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

// With --json anywhere on the command line, a refusal is one {"error": ...} line on standard
// output, where a script reads the answer, instead of text on the error stream. RunCli holds
// one of these for the command's run.
class JsonRefusals {
public:
    explicit JsonRefusals(std::ostream* out) : m_previous(Target()) { Target() = out; }
    ~JsonRefusals() { Target() = m_previous; }
    JsonRefusals(const JsonRefusals&) = delete;
    JsonRefusals& operator=(const JsonRefusals&) = delete;

    // The stream refusals go to as JSON; null when they go to the error stream as text.
    static std::ostream*& Target()
    {
        static thread_local std::ostream* target = nullptr;
        return target;
    }

private:
    std::ostream* m_previous;
};

// Writes the refusal's message (as JSON when the command asked for JSON) and gives the refused
// exit status.
int Refuse(std::ostream& err, std::string_view message);

} // namespace tambrel
