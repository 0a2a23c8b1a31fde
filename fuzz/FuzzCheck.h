#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tambrel::fuzz {

// What the replay driver is running, said when a property fails (libFuzzer saves its own
// crashing input, so there it stays empty).
inline std::string& CurrentInput()
{
    static std::string input;
    return input;
}

[[noreturn]] inline void PropertyFailed(std::string_view property, const char* file, int line)
{
    std::fprintf(stderr, "Property failed: %.*s\n  at %s:%d\n", static_cast<int>(property.size()),
                 property.data(), file, line);
    if (!CurrentInput().empty()) {
        std::fprintf(stderr, "  input: %s\n", CurrentInput().c_str());
    }
    std::fflush(stderr);
    std::abort();
}

// The input as printable text: bytes outside printable ASCII as \xNN.
inline std::string Printable(std::string_view bytes)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 && b < 0x7F && b != '\\') {
            out += c;
        } else {
            out += "\\x";
            out += kHex[b >> 4U];
            out += kHex[b & 0x0FU];
        }
    }
    return out;
}

} // namespace tambrel::fuzz

// A property of the fuzzed code; a failure names the condition, where it is and the input.
#define TAMBREL_REQUIRE(condition)                                                                 \
    ((condition) ? void(0) : ::tambrel::fuzz::PropertyFailed(#condition, __FILE__, __LINE__))
