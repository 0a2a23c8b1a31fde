// Fuzz target for the production index reader and writer. Every input is used twice.
// As a file image: ParseMdx refuses it with a reason or reads it, never crashing or looping on
// the page pointers it follows; the tags it reads are well formed, and a tag whose entries name
// each of its records once is written out again and reads back the same.
// As a description: the bytes choose 1..4 tags, their key lengths (1..100), up to 400 records
// and their keys; the entries, sorted as the table engine sorts them (key bytes, then record
// number), must come back from SerializeMdx and ParseMdx unchanged and in the same order.
#include "fuzz/FuzzCheck.h"
#include "tables/MdxFile.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <numeric>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

using tambrel::MdxTag;
using tambrel::ParsedMdxTag;

// Hands out the input a byte at a time, starting again from its front when it runs out, so a
// short input still describes whole tags.
class ByteSource {
public:
    explicit ByteSource(std::string_view bytes) : m_bytes(bytes) {}

    std::size_t Next()
    {
        if (m_bytes.empty()) {
            return 0;
        }
        const auto byte = static_cast<unsigned char>(m_bytes[m_pos % m_bytes.size()]);
        ++m_pos;
        return byte;
    }
    std::size_t Next16() { return Next() | Next() << 8U; }

private:
    std::string_view m_bytes;
    std::size_t m_pos = 0;
};

// Writes the tags and reads them back: they must come back exactly.
void CheckRoundTrip(const std::vector<MdxTag>& tags)
{
    const std::string image = tambrel::SerializeMdx("FUZZ", tags);
    TAMBREL_REQUIRE(image.size() % 512 == 0);
    std::string error;
    const std::optional<std::vector<ParsedMdxTag>> parsed = tambrel::ParseMdx(image, error);
    TAMBREL_REQUIRE(parsed.has_value());
    TAMBREL_REQUIRE(parsed->size() == tags.size());
    for (std::size_t t = 0; t < tags.size(); ++t) {
        const MdxTag& tag = tags[t];
        const ParsedMdxTag& back = (*parsed)[t];
        TAMBREL_REQUIRE(back.name == tag.name);
        TAMBREL_REQUIRE(back.expression == tag.expression);
        TAMBREL_REQUIRE(back.keyLength == tag.keyLength);
        TAMBREL_REQUIRE(back.recnos == tag.order);
        TAMBREL_REQUIRE(back.keys.size() == tag.order.size());
        const auto keyLength = static_cast<std::size_t>(tag.keyLength);
        for (std::size_t i = 0; i < tag.order.size(); ++i) {
            const std::size_t at = (tag.order[i] - 1) * keyLength;
            TAMBREL_REQUIRE(back.keys[i] == std::string_view(tag.keys).substr(at, keyLength));
        }
    }
}

void CheckFile(std::string_view bytes)
{
    std::string error;
    const std::optional<std::vector<ParsedMdxTag>> parsed = tambrel::ParseMdx(bytes, error);
    if (!parsed) {
        TAMBREL_REQUIRE(!error.empty());
        return;
    }
    const auto tagCount = static_cast<std::size_t>(static_cast<unsigned char>(bytes[28]) |
                                                   static_cast<unsigned char>(bytes[29]) << 8U);
    TAMBREL_REQUIRE(parsed->size() == tagCount);
    TAMBREL_REQUIRE(parsed->size() <= static_cast<std::size_t>(tambrel::kMaxTags));

    std::vector<MdxTag> again;
    bool writable = true;
    for (const ParsedMdxTag& tag : *parsed) {
        TAMBREL_REQUIRE(!tag.name.empty() && tag.name.size() <= 10);
        TAMBREL_REQUIRE(tag.name.find('\0') == std::string::npos);
        TAMBREL_REQUIRE(tag.expression.size() <= 221 &&
                        tag.expression.find('\0') == std::string::npos);
        TAMBREL_REQUIRE(tag.keyLength >= 1 && tag.keyLength <= tambrel::kMaxKeyLength);
        TAMBREL_REQUIRE(tag.keys.size() == tag.recnos.size());
        const auto keyLength = static_cast<std::size_t>(tag.keyLength);
        for (const std::string& key : tag.keys) {
            TAMBREL_REQUIRE(key.size() == keyLength);
        }

        // Entries naming records 1..n once each can be written again just as they stand.
        const std::size_t count = tag.recnos.size();
        MdxTag copy{tag.name, tag.expression, tag.keyLength, tag.recnos,
                    std::string(count * keyLength, ' ')};
        std::vector<bool> seen(count + 1, false);
        writable = writable && tag.expression.size() <= 220;
        for (std::size_t i = 0; writable && i < count; ++i) {
            const std::uint32_t recno = tag.recnos[i];
            writable = recno >= 1 && recno <= count && !seen[recno];
            if (writable) {
                seen[recno] = true;
                copy.keys.replace((recno - 1) * keyLength, keyLength, tag.keys[i]);
            }
        }
        again.push_back(std::move(copy));
    }
    if (writable) {
        CheckRoundTrip(again);
    }
}

// A key byte from one of three alphabets: any byte; 'A'..'C'; or only 0x00 and 0xFF, which
// sort apart differently as signed and as unsigned chars.
char KeyByte(std::size_t alphabet, std::size_t byte)
{
    switch (alphabet) {
    case 0:
        return static_cast<char>(byte);
    case 1:
        return static_cast<char>('A' + byte % 3);
    default:
        return (byte & 1U) != 0 ? '\0' : '\xFF';
    }
}

std::vector<MdxTag> DescribedTags(ByteSource& source)
{
    static constexpr std::string_view kNameCharacters = "ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789_";
    std::vector<MdxTag> tags(1 + source.Next() % 4);
    const std::size_t records = source.Next16() % 401;
    for (MdxTag& tag : tags) {
        tag.keyLength = static_cast<int>(1 + source.Next() % tambrel::kMaxKeyLength);
        for (std::size_t n = 1 + source.Next() % 10; n > 0; --n) {
            tag.name += kNameCharacters[source.Next() % kNameCharacters.size()];
        }
        for (std::size_t n = source.Next() % 221; n > 0; --n) {
            tag.expression += static_cast<char>(' ' + source.Next() % 95);
        }

        // Keys of any bytes, or of so few that many are equal and the record number decides.
        const std::size_t alphabet = source.Next() % 3;
        const auto keyLength = static_cast<std::size_t>(tag.keyLength);
        tag.keys.assign(records * keyLength, ' ');
        for (std::size_t r = 0; r < records; ++r) {
            for (std::size_t i = 0, used = source.Next() % (keyLength + 1); i < used; ++i) {
                tag.keys[r * keyLength + i] = KeyByte(alphabet, source.Next());
            }
        }

        tag.order.resize(records);
        std::iota(tag.order.begin(), tag.order.end(), std::uint32_t{1});
        const char* keys = tag.keys.data();
        std::sort(tag.order.begin(), tag.order.end(), [&](std::uint32_t a, std::uint32_t b) {
            const int c =
                std::memcmp(keys + (a - 1) * keyLength, keys + (b - 1) * keyLength, keyLength);
            return c < 0 || (c == 0 && a < b);
        });
    }
    return tags;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    CheckFile(bytes);
    ByteSource source(bytes);
    CheckRoundTrip(DescribedTags(source));
    return 0;
}
