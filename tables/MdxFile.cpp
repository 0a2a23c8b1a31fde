#include "tables/MdxFile.h"
#include "tables/Bytes.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <ctime>
#include <unordered_set>

namespace tambrel {

namespace {

constexpr std::size_t kPage = 512;
constexpr std::size_t kBlockPages = 2;
constexpr std::size_t kBlock = kPage * kBlockPages;
constexpr std::size_t kTagTableOffset = 544;
constexpr std::size_t kTagEntrySize = 32;
constexpr std::size_t kFirstTagPage = 4;
constexpr std::size_t kMaxTreeDepth = 32;

void PutDate(std::string& out, std::size_t at, const std::tm& date)
{
    out[at] = static_cast<char>(date.tm_year % 256);
    out[at + 1] = static_cast<char>(date.tm_mon + 1);
    out[at + 2] = static_cast<char>(date.tm_mday);
}

std::size_t ItemLength(int keyLength)
{
    return (4 + static_cast<std::size_t>(keyLength) + 3) / 4 * 4;
}

// Splits `count` items into `groups` runs as evenly as possible; returns the run sizes.
std::vector<std::size_t> EvenRuns(std::size_t count, std::size_t groups)
{
    std::vector<std::size_t> runs(groups, count / groups);
    for (std::size_t i = 0; i < count % groups; ++i) {
        ++runs[i];
    }
    return runs;
}

struct Built {
    std::string blocks; // the tag's nodes, each kBlock bytes
    std::uint32_t rootPage = 0;
    std::uint32_t firstLeaf = 0;
    std::uint32_t lastLeaf = 0;
};

// Builds one tag's B+-tree: leaves hold (record number, key); each interior entry holds a
// child's page and the highest key under it, the last child going in the trailing pointer.
Built BuildTree(const MdxTag& tag, std::uint32_t firstPage)
{
    const std::size_t keyLength = static_cast<std::size_t>(tag.keyLength);
    const std::size_t item = ItemLength(tag.keyLength);
    const std::size_t perNode = (kBlock - 12) / item;
    Built built;
    std::uint32_t nextPage = firstPage;
    auto newNode = [&]() -> std::size_t {
        built.blocks.append(kBlock, '\0');
        nextPage += kBlockPages;
        return built.blocks.size() - kBlock;
    };

    struct Child {
        std::uint32_t page;
        std::string highKey;
    };
    std::vector<Child> level;

    const std::size_t entries = tag.order.size();
    const std::size_t leaves = std::max<std::size_t>(1, (entries + perNode - 1) / perNode);
    std::size_t at = 0;
    for (const std::size_t run : EvenRuns(entries, leaves)) {
        const std::uint32_t page = nextPage;
        const std::size_t node = newNode();
        Put32(built.blocks, node, static_cast<std::uint32_t>(run));
        for (std::size_t i = 0; i < run; ++i, ++at) {
            const std::uint32_t recno = tag.order[at];
            const std::size_t slot = node + 8 + i * item;
            Put32(built.blocks, slot, recno);
            std::memcpy(built.blocks.data() + slot + 4, tag.keys.data() + (recno - 1) * keyLength,
                        keyLength);
        }
        std::string high;
        if (run > 0) {
            const std::uint32_t last = tag.order[at - 1];
            high.assign(tag.keys.data() + (last - 1) * keyLength, keyLength);
        }
        level.push_back(Child{page, std::move(high)});
    }
    built.firstLeaf = level.front().page;
    built.lastLeaf = level.back().page;

    while (level.size() > 1) {
        const std::size_t nodes = (level.size() + perNode) / (perNode + 1);
        std::vector<Child> parents;
        std::size_t child = 0;
        for (const std::size_t run : EvenRuns(level.size(), nodes)) {
            const std::uint32_t page = nextPage;
            const std::size_t node = newNode();
            // run children: run - 1 entries, then the trailing pointer
            Put32(built.blocks, node, static_cast<std::uint32_t>(run - 1));
            for (std::size_t i = 0; i + 1 < run; ++i) {
                const std::size_t slot = node + 8 + i * item;
                Put32(built.blocks, slot, level[child + i].page);
                std::memcpy(built.blocks.data() + slot + 4, level[child + i].highKey.data(),
                            keyLength);
            }
            Put32(built.blocks, node + 8 + (run - 1) * item, level[child + run - 1].page);
            parents.push_back(Child{page, level[child + run - 1].highKey});
            child += run;
        }
        level = std::move(parents);
    }
    built.rootPage = level.front().page;
    return built;
}

} // namespace

std::string SerializeMdx(std::string_view tableName, const std::vector<MdxTag>& tags)
{
    const std::time_t now = std::time(nullptr);
    std::tm date{};
    localtime_r(&now, &date);

    std::string out(kFirstTagPage * kPage, '\0');
    out[0] = 2;
    PutDate(out, 1, date);
    std::string base(tableName.substr(0, 16));
    for (char& c : base) {
        c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    }
    std::memcpy(out.data() + 4, base.data(), base.size());
    Put16(out, 20, static_cast<std::uint16_t>(kBlockPages));
    Put16(out, 22, static_cast<std::uint16_t>(kBlock));
    out[24] = 1;
    out[25] = 48;
    out[26] = static_cast<char>(kTagEntrySize);
    Put16(out, 28, static_cast<std::uint16_t>(tags.size()));
    out[30] = static_cast<char>(tags.size() + 1);
    out[31] = 0x1B;
    PutDate(out, 44, date);
    out[529] = 1;

    // Tag names form a binary search tree in the order the tags were made (1-based links).
    std::vector<std::array<std::uint8_t, 3>> links(tags.size(),
                                                   std::array<std::uint8_t, 3>{0, 0, 0});
    for (std::size_t t = 1; t < tags.size(); ++t) {
        std::size_t node = 0;
        for (;;) {
            const bool left = tags[t].name < tags[node].name;
            std::uint8_t& next = links[node][left ? 0 : 1];
            if (next == 0) {
                next = static_cast<std::uint8_t>(t + 1);
                links[t][2] = static_cast<std::uint8_t>(node + 1);
                break;
            }
            node = next - 1U;
        }
    }

    for (std::size_t t = 0; t < tags.size(); ++t) {
        const MdxTag& tag = tags[t];
        const auto headerPage = static_cast<std::uint32_t>(out.size() / kPage);
        const Built tree = BuildTree(tag, headerPage + kBlockPages);

        const std::size_t entry = kTagTableOffset + t * kTagEntrySize;
        Put32(out, entry, headerPage);
        std::memcpy(out.data() + entry + 4, tag.name.data(),
                    std::min(tag.name.size(), std::size_t{10}));
        out[entry + 15] = 0x10;
        out[entry + 16] = static_cast<char>(links[t][0]);
        out[entry + 17] = static_cast<char>(links[t][1]);
        out[entry + 18] = static_cast<char>(links[t][2]);
        out[entry + 19] = 0x02;
        out[entry + 20] = 'C';

        std::string header(kBlock, '\0');
        const std::size_t item = ItemLength(tag.keyLength);
        Put32(header, 0, tree.rootPage);
        Put32(header, 4, static_cast<std::uint32_t>(kBlockPages + tree.blocks.size() / kPage));
        header[8] = 0x10;
        header[9] = 'C';
        header[11] = 0x1B;
        Put16(header, 12, static_cast<std::uint16_t>(tag.keyLength));
        Put16(header, 14, static_cast<std::uint16_t>((kBlock - 12) / item));
        Put16(header, 18, static_cast<std::uint16_t>(item));
        header[20] = 1;
        std::memcpy(header.data() + 24, tag.expression.data(),
                    std::min(tag.expression.size(), std::size_t{220}));
        header[246] = tag.order.empty() ? 0 : 1;
        Put32(header, 248, tree.firstLeaf);
        Put32(header, 252, tree.lastLeaf);
        PutDate(header, 257, date);
        out += header;
        out += tree.blocks;
    }
    Put32(out, 32, static_cast<std::uint32_t>(out.size() / kPage));
    return out;
}

std::optional<std::vector<ParsedMdxTag>> ParseMdx(std::string_view bytes, std::string& error)
{
    if (bytes.size() < kFirstTagPage * kPage) {
        error = "The index file is too short.";
        return std::nullopt;
    }
    const std::size_t blockBytes = Get16(bytes, 22);
    const std::size_t tagCount = Get16(bytes, 28);
    const std::size_t entrySize = static_cast<unsigned char>(bytes[26]);
    if (blockBytes < kPage || blockBytes % kPage != 0 || blockBytes > 32 * kPage ||
        tagCount > static_cast<std::size_t>(kMaxTags) ||
        (entrySize != kTagEntrySize && tagCount > 0)) {
        error = "The index file's header is damaged.";
        return std::nullopt;
    }
    const std::size_t pages = bytes.size() / kPage;
    auto block = [&](std::uint32_t page) -> std::string_view {
        if (page < kFirstTagPage || page >= pages ||
            static_cast<std::size_t>(page) * kPage + blockBytes > bytes.size()) {
            return {};
        }
        return bytes.substr(static_cast<std::size_t>(page) * kPage, blockBytes);
    };

    // No two tags share a page in a real index; walking each page once at most keeps a crafted
    // file from costing more than its size (every tag pointing at one tree, cycles).
    std::unordered_set<std::uint32_t> seen;
    std::vector<ParsedMdxTag> tags;
    for (std::size_t t = 0; t < tagCount; ++t) {
        const std::size_t entry = kTagTableOffset + t * kTagEntrySize;
        ParsedMdxTag tag;
        const std::string_view name = bytes.substr(entry + 4, 11);
        tag.name = std::string(name.substr(0, std::min(name.find('\0'), std::size_t{10})));
        const std::uint32_t headerPage = Get32(bytes, entry);
        const std::string_view header = block(headerPage);
        if (header.size() < 256 || tag.name.empty() || !seen.insert(headerPage).second) {
            error = "The index file's tag table is damaged.";
            return std::nullopt;
        }
        const std::uint32_t root = Get32(header, 0);
        tag.keyLength = Get16(header, 12);
        const std::size_t item = Get16(header, 18);
        const std::string_view expression = header.substr(24, 221);
        tag.expression = std::string(expression.substr(0, expression.find('\0')));
        if (tag.keyLength < 1 || tag.keyLength > kMaxKeyLength ||
            item < 4 + static_cast<std::size_t>(tag.keyLength) || item > blockBytes - 12) {
            error = "The index tag " + tag.name + " is damaged.";
            return std::nullopt;
        }
        const std::size_t perNode = (blockBytes - 12) / item;
        const auto keyLength = static_cast<std::size_t>(tag.keyLength);

        // Depth-first walk; every page may be visited once, so a cycle cannot loop.
        bool broken = false;
        auto walk = [&](auto&& self, std::uint32_t page, std::size_t depth) -> void {
            const std::string_view node = block(page);
            if (broken || node.empty() || depth > kMaxTreeDepth || !seen.insert(page).second) {
                broken = true;
                return;
            }
            const std::uint32_t count = Get32(node, 0);
            if (count > perNode) {
                broken = true;
                return;
            }
            const std::uint32_t trailing = Get32(node, 8 + count * item);
            for (std::uint32_t i = 0; i < count && !broken; ++i) {
                const std::size_t slot = 8 + i * item;
                const std::uint32_t pointer = Get32(node, slot);
                if (trailing == 0) {
                    tag.recnos.push_back(pointer);
                    tag.keys.emplace_back(node.substr(slot + 4, keyLength));
                } else {
                    self(self, pointer, depth + 1);
                }
            }
            if (trailing != 0 && !broken) {
                self(self, trailing, depth + 1);
            }
        };
        walk(walk, root, 0);
        if (broken) {
            error = "The index tag " + tag.name + " has a damaged tree.";
            return std::nullopt;
        }
        tags.push_back(std::move(tag));
    }
    return tags;
}

} // namespace tambrel
