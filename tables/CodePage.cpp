#include "tables/CodePage.h"

#include "engine/TextFunctions.h"

#include <algorithm>
#include <cerrno>
#include <iconv.h>
#include <locale.h>

namespace tambrel {

namespace {

// Language drivers of dBase: 0x02 is code page 850; 0x01, 0x1B and the other DOS drivers
// listed here are 437; 0x03 and 0x57 are Windows 1252. Anything else is read as 850.
const char* CodePageName(std::uint8_t driver)
{
    switch (driver) {
    case 0x01:
    case 0x09:
    case 0x0B:
    case 0x0D:
    case 0x0F:
    case 0x11:
    case 0x15:
    case 0x18:
    case 0x19:
    case 0x1B:
        return "CP437";
    case 0x03:
    case 0x57:
        return "CP1252";
    default:
        return "CP850";
    }
}

iconv_t AsIconv(void* handle)
{
    return static_cast<iconv_t>(handle);
}

} // namespace

CodePage::CodePage(std::uint8_t languageDriver)
    : m_languageDriver(languageDriver), m_name(CodePageName(languageDriver))
{
    m_locale = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    const std::string target = m_name + "//TRANSLIT";
    m_toOem = iconv_open(target.c_str(), "UTF-8");

    // Decoding is byte by byte, so one table made through iconv serves every later call.
    iconv_t fromOem = iconv_open("UTF-8", m_name.c_str());
    for (std::size_t b = 0x80; b <= 0xFF; ++b) {
        char in = static_cast<char>(b);
        char out[8] = {};
        char* ip = &in;
        std::size_t il = 1;
        char* op = out;
        std::size_t ol = sizeof out;
        if (fromOem != reinterpret_cast<iconv_t>(-1) &&
            iconv(fromOem, &ip, &il, &op, &ol) != static_cast<std::size_t>(-1)) {
            m_high[b - 0x80].assign(out, static_cast<std::size_t>(op - out));
        } else {
            m_high[b - 0x80] = "\xEF\xBF\xBD"; // a byte the code page leaves undefined
        }
    }
    if (fromOem != reinterpret_cast<iconv_t>(-1)) {
        iconv_close(fromOem);
    }

    for (std::size_t b = 0; b < 256; ++b) {
        m_upper[b] = static_cast<std::uint8_t>(b);
    }
    for (std::size_t b = 'a'; b <= 'z'; ++b) {
        m_upper[b] = static_cast<std::uint8_t>(b - 'a' + 'A');
    }
    for (std::size_t b = 0x80; b <= 0xFF; ++b) {
        const std::string upper = UpperCase(m_high[b - 0x80]);
        if (upper == m_high[b - 0x80]) {
            continue;
        }
        const auto it = std::find(m_high.begin(), m_high.end(), upper);
        if (it != m_high.end()) {
            m_upper[b] = static_cast<std::uint8_t>(0x80 + (it - m_high.begin()));
        }
    }
}

CodePage::~CodePage()
{
    if (m_toOem != reinterpret_cast<void*>(-1) && m_toOem != nullptr) {
        iconv_close(AsIconv(m_toOem));
    }
    if (m_locale != nullptr) {
        freelocale(static_cast<locale_t>(m_locale));
    }
}

CodePage::Encoded CodePage::ToOem(std::string_view utf8)
{
    Encoded result;
    if (std::all_of(utf8.begin(), utf8.end(),
                    [](char c) { return static_cast<unsigned char>(c) < 0x80; })) {
        result.bytes.assign(utf8);
        return result;
    }
    if (m_toOem == reinterpret_cast<void*>(-1) || m_locale == nullptr) {
        // No converter: keep ASCII, mark everything else.
        for (std::size_t i = 0; i < utf8.size(); i += Utf8SequenceLength(utf8, i)) {
            const bool ascii = static_cast<unsigned char>(utf8[i]) < 0x80;
            result.bytes += ascii ? utf8[i] : '?';
            result.transliterated = result.transliterated || !ascii;
        }
        return result;
    }
    const locale_t previous = uselocale(static_cast<locale_t>(m_locale));
    iconv(AsIconv(m_toOem), nullptr, nullptr, nullptr, nullptr);
    std::string out(utf8.size() * 4 + 16, '\0');
    char* ip = const_cast<char*>(utf8.data());
    std::size_t il = utf8.size();
    char* op = out.data();
    std::size_t ol = out.size();
    std::size_t irreversible = 0;
    while (il > 0) {
        const std::size_t r = iconv(AsIconv(m_toOem), &ip, &il, &op, &ol);
        if (r != static_cast<std::size_t>(-1)) {
            irreversible += r;
            break;
        }
        if (errno == E2BIG) {
            const std::size_t used = static_cast<std::size_t>(op - out.data());
            out.resize(out.size() * 2);
            op = out.data() + used;
            ol = out.size() - used;
            continue;
        }
        // Broken UTF-8: one "?" for the bad byte, then go on.
        if (ol == 0) {
            break;
        }
        *op++ = '?';
        --ol;
        ++ip;
        --il;
        ++irreversible;
    }
    uselocale(previous);
    out.resize(static_cast<std::size_t>(op - out.data()));
    const auto questionMarks = [](std::string_view text) {
        return std::count(text.begin(), text.end(), '?');
    };
    result.transliterated = irreversible > 0 || questionMarks(out) != questionMarks(utf8);
    result.bytes = std::move(out);
    return result;
}

std::string CodePage::FromOem(std::string_view oem)
{
    std::string out;
    out.reserve(oem.size());
    for (const char c : oem) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out += c;
        } else {
            out += m_high[b - 0x80];
        }
    }
    return out;
}

} // namespace tambrel
