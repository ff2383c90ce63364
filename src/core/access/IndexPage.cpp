#include "access/IndexPage.h"

#include <algorithm>
#include <cstring>

#include "access/Bytes.h"

namespace vantrel::access {

namespace {

constexpr std::size_t kPageBytes = 4096;
constexpr std::size_t kMaskAt = 27;
constexpr std::size_t kMaskBytes = 453;
constexpr std::size_t kEntriesAt = kMaskAt + kMaskBytes;

uint32_t BigEndian32(std::string_view s, std::size_t at) {
    uint32_t value = 0;
    for (std::size_t k = 0; k < 4; ++k)
        value = value << 8 | U8(s, at + k);
    return value;
}

std::size_t SharedPrefix(const IndexPageImage& image) {
    if (!image.IsLeaf() || image.Entries.size() < 2) return 0;
    // Only key bytes are shared, never the row pointers.
    const std::string& first = image.Entries.front();
    std::size_t shared = first.size() - 4;
    for (const auto& entry : image.Entries) {
        shared = std::min(shared, entry.size() - 4);
        const auto diff =
            std::mismatch(first.begin(), first.begin() + static_cast<long>(shared), entry.begin());
        shared = static_cast<std::size_t>(diff.first - first.begin());
    }
    return shared;
}

}  // namespace

std::optional<IndexPageImage> ReadIndexPage(std::string_view page, std::string& problem) {
    const uint8_t type = U8(page, 0);
    if (page.size() != kPageBytes || (type != kIndexNodePage && type != kIndexLeafPage)) {
        problem = "索引のページではありません";
        return std::nullopt;
    }
    IndexPageImage image;
    image.Type = type;
    image.Prev = U32(page, 12);
    image.Next = U32(page, 16);
    image.Tail = U32(page, 20);
    const std::size_t prefix = U16(page, 24);
    const std::size_t trailer = image.IsLeaf() ? 4 : 8;
    std::size_t start = 0;
    for (std::size_t bit = 1; bit <= kIndexEntryCapacity; ++bit) {
        if (!(U8(page, kMaskAt + bit / 8) >> (bit % 8) & 1)) continue;
        const std::string_view stored = page.substr(kEntriesAt + start, bit - start);
        if (image.Entries.empty()) {
            if (stored.size() < std::max(prefix, trailer)) {
                problem = "索引ページの共通部分の長さが正しくありません";
                return std::nullopt;
            }
            image.Entries.emplace_back(stored);
        } else {
            std::string entry = image.Entries.front().substr(0, prefix);
            entry += stored;
            if (entry.size() < trailer) {
                problem = "索引ページの項目が短すぎます";
                return std::nullopt;
            }
            image.Entries.push_back(std::move(entry));
        }
        start = bit;
    }
    if (U16(page, 2) != kIndexEntryCapacity - start) {
        problem = "索引ページの空き容量が正しくありません";
        return std::nullopt;
    }
    return image;
}

std::size_t IndexPageBytes(const IndexPageImage& image) {
    std::size_t bytes = 0;
    for (const auto& entry : image.Entries)
        bytes += entry.size();
    if (!image.Entries.empty()) bytes -= SharedPrefix(image) * (image.Entries.size() - 1);
    return bytes;
}

bool WriteIndexPage(const IndexPageImage& image, uint32_t tableDefinitionPage, char* page) {
    const std::size_t bytes = IndexPageBytes(image);
    if (bytes > kIndexEntryCapacity) return false;
    const std::size_t prefix = SharedPrefix(image);
    std::memset(page, 0, kPageBytes);
    page[0] = static_cast<char>(image.Type);
    page[1] = 0x01;
    Put16(page + 2, static_cast<uint16_t>(kIndexEntryCapacity - bytes));
    Put32(page + 4, tableDefinitionPage);
    Put32(page + 12, image.Prev);
    Put32(page + 16, image.Next);
    Put32(page + 20, image.Tail);
    Put16(page + 24, static_cast<uint16_t>(prefix));
    std::size_t end = 0;
    for (std::size_t i = 0; i < image.Entries.size(); ++i) {
        const std::string_view stored = std::string_view(image.Entries[i]).substr(i ? prefix : 0);
        std::memcpy(page + kEntriesAt + end, stored.data(), stored.size());
        end += stored.size();
        page[kMaskAt + end / 8] = static_cast<char>(page[kMaskAt + end / 8] | 1 << (end % 8));
    }
    return true;
}

std::string_view EntryKey(std::string_view entry, bool node) {
    const std::size_t trailer = node ? 8 : 4;
    return entry.substr(0, entry.size() >= trailer ? entry.size() - trailer : 0);
}

uint32_t EntryRowPointer(std::string_view entry, bool node) {
    const std::size_t at = entry.size() - std::min(entry.size(), std::size_t{node ? 8u : 4u});
    return BigEndian32(entry, at);
}

uint32_t EntryChild(std::string_view node) {
    return BigEndian32(node, node.size() - std::min<std::size_t>(node.size(), 4));
}

void AppendBigEndian32(std::string& entry, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8)
        entry.push_back(static_cast<char>(value >> shift & 0xFF));
}

std::string LeafEntry(std::string_view key, uint32_t dataPage, uint8_t dataRow) {
    std::string entry(key);
    AppendBigEndian32(entry, dataPage << 8 | dataRow);
    return entry;
}

int CompareEntries(std::string_view a, bool aNode, std::string_view b, bool bNode) {
    const int keys = EntryKey(a, aNode).compare(EntryKey(b, bNode));
    if (keys != 0) return keys;
    const uint32_t pa = EntryRowPointer(a, aNode), pb = EntryRowPointer(b, bNode);
    return pa < pb ? -1 : pa > pb ? 1 : 0;
}

}  // namespace vantrel::access
