#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tambrel {

// Code page 850, the one Tambrel writes: language driver 0x02.
inline constexpr std::uint8_t kLanguageDriver850 = 0x02;

// Converts between the program's UTF-8 and the OEM code page of one table, through iconv. Text
// the code page cannot hold is transliterated to plain Latin letters (Ł -> L, œ -> oe) and the
// conversion says so; nothing becomes garbage silently.
class CodePage {
public:
    // The code page a table's language driver byte names; unknown drivers read as 850.
    explicit CodePage(std::uint8_t languageDriver = kLanguageDriver850);
    ~CodePage();
    CodePage(const CodePage&) = delete;
    CodePage& operator=(const CodePage&) = delete;

    std::uint8_t LanguageDriver() const { return m_languageDriver; }
    std::string_view Name() const { return m_name; }

    struct Encoded {
        std::string bytes;
        bool transliterated = false; // some character was replaced by a near one, or by "?"
    };
    // UTF-8 text to OEM bytes, whole (no cutting here).
    Encoded ToOem(std::string_view utf8);

    // OEM bytes to UTF-8; every byte is a character of the code page.
    std::string FromOem(std::string_view oem);

    // Upper case of each OEM byte, by the same rule the engine uses for method names.
    const std::array<std::uint8_t, 256>& UpperTable() const { return m_upper; }

private:
    std::uint8_t m_languageDriver;
    std::string m_name;
    void* m_toOem = nullptr;               // iconv_t, UTF-8 -> OEM with transliteration
    std::array<std::string, 128> m_high{}; // UTF-8 of bytes 0x80..0xFF
    std::array<std::uint8_t, 256> m_upper{};
    void* m_locale = nullptr; // locale_t C.UTF-8: glibc transliterates only under UTF-8
};

} // namespace tambrel
