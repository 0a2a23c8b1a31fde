#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace tambrel {

// Little-endian integers in dBase file images; callers check the bounds first.
inline std::uint16_t Get16(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes[at]) |
                                      static_cast<unsigned char>(bytes[at + 1]) << 8U);
}

inline std::uint32_t Get32(std::string_view bytes, std::size_t at)
{
    return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at])) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 1])) << 8U |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 2])) << 16U |
           static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + 3])) << 24U;
}

inline void Put16(std::string& out, std::size_t at, std::uint16_t value)
{
    out[at] = static_cast<char>(value & 0xFFU);
    out[at + 1] = static_cast<char>(value >> 8U);
}

inline void Put32(std::string& out, std::size_t at, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        out[at + i] = static_cast<char>((value >> (8 * i)) & 0xFFU);
    }
}

} // namespace tambrel
