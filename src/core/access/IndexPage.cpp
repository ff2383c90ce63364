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

namespace {

// How many bits are set before each word, and in all: with the processor's own instruction
// where it has one.
__attribute__((target_clones("popcnt", "default"))) std::size_t RankWords(const uint64_t* words,
                                                                          std::size_t count,
                                                                          uint16_t* rank) {
    std::size_t total = 0;
    for (std::size_t w = 0; w < count; ++w) {
        rank[w] = static_cast<uint16_t>(total);
        total += static_cast<std::size_t>(__builtin_popcountll(words[w]));
    }
    rank[count] = static_cast<uint16_t>(total);
    return total;
}

// Compares the first `length` bytes of `head` followed by `tail` with `other`, as bytes.
int ComparePieces(std::string_view head, std::string_view tail, std::size_t length,
                  std::string_view other) {
    const std::size_t fromHead = std::min(head.size(), length);
    const std::size_t first = std::min(fromHead, other.size());
    if (const int c = first ? std::memcmp(head.data(), other.data(), first) : 0) return c;
    if (first < fromHead) return 1;  // `other` ended inside the head
    const std::size_t fromTail = length - fromHead, left = other.size() - fromHead;
    const std::size_t second = std::min(fromTail, left);
    if (const int c = second ? std::memcmp(tail.data(), other.data() + fromHead, second) : 0)
        return c;
    return fromTail == left ? 0 : fromTail < left ? -1 : 1;
}

}  // namespace

bool IndexPageView::Read(std::string_view page, std::string& problem) {
    type_ = U8(page, 0);
    if (page.size() != kPageBytes || (type_ != kIndexNodePage && type_ != kIndexLeafPage)) {
        problem = "索引のページではありません";
        return false;
    }
    page_ = page;
    prefix_ = U16(page, 24);
    std::memset(words_, 0, sizeof words_);
    std::memcpy(words_, page.data() + kMaskAt, kMaskBytes);
    // Nothing ends at the start, nor past the room for entries.
    words_[0] &= ~uint64_t{1};
    words_[kWords - 1] &= (uint64_t{1} << (kIndexEntryCapacity % 64 + 1)) - 1;
    count_ = RankWords(words_, kWords, rank_);
    used_ = 0;
    for (std::size_t w = kWords; w-- > 0;) {
        if (words_[w] == 0) continue;
        used_ = w * 64 + 63 - static_cast<std::size_t>(__builtin_clzll(words_[w]));
        break;
    }
    const std::size_t trailer = IsLeaf() ? 4 : 8;
    if (count_ > 0 && StoredEnd(0) < std::max(prefix_, trailer)) {
        problem = "索引ページの共通部分の長さが正しくありません";
        return false;
    }
    if (U16(page, 2) != kIndexEntryCapacity - used_) {
        problem = "索引ページの空き容量が正しくありません";
        return false;
    }
    return true;
}

std::size_t IndexPageView::StoredEnd(std::size_t i) const {
    // The word holding the i-th end, then the bit within it.
    const std::size_t w =
        static_cast<std::size_t>(std::upper_bound(rank_, rank_ + kWords + 1, i) - rank_) - 1;
    uint64_t word = words_[w];
    for (std::size_t k = i - rank_[w]; k > 0; --k)
        word &= word - 1;
    return w * 64 + static_cast<std::size_t>(__builtin_ctzll(word));
}

uint32_t IndexPageView::Prev() const {
    return U32(page_, 12);
}

uint32_t IndexPageView::Next() const {
    return U32(page_, 16);
}

uint32_t IndexPageView::Tail() const {
    return U32(page_, 20);
}

std::string_view IndexPageView::EntryInto(std::size_t i, std::string& scratch) const {
    const std::string_view stored =
        page_.substr(kEntriesAt + StoredStart(i), StoredEnd(i) - StoredStart(i));
    if (i == 0 || prefix_ == 0) return stored;
    scratch.assign(page_.substr(kEntriesAt, prefix_));
    scratch.append(stored);
    return scratch;
}

std::string IndexPageView::Entry(std::size_t i) const {
    std::string scratch;
    return std::string(EntryInto(i, scratch));
}

void IndexPageView::Pieces(std::size_t i, std::string_view& head, std::string_view& tail) const {
    // The ends of the entry before and of this one, found together.
    const std::size_t w =
        static_cast<std::size_t>(std::upper_bound(rank_, rank_ + kWords + 1, i) - rank_) - 1;
    uint64_t word = words_[w];
    std::size_t start = 0;
    if (i == rank_[w]) {
        // The one before ends in an earlier word, or there is none.
        start = i == 0 ? 0 : StoredEnd(i - 1);
    } else {
        for (std::size_t k = i - rank_[w]; k > 1; --k)
            word &= word - 1;
        start = w * 64 + static_cast<std::size_t>(__builtin_ctzll(word));
        word &= word - 1;
    }
    const std::size_t end = w * 64 + static_cast<std::size_t>(__builtin_ctzll(word));
    head = i == 0 ? std::string_view{} : page_.substr(kEntriesAt, prefix_);
    tail = page_.substr(kEntriesAt + start, end - start);
}

int IndexPageView::Compare(std::size_t i, std::string_view leafEntry, bool keysOnly) const {
    std::string_view head, tail;
    Pieces(i, head, tail);
    const std::size_t size = head.size() + tail.size();
    const std::size_t trailer = IsLeaf() ? 4 : 8;
    const std::size_t keyLength = size >= trailer ? size - trailer : 0;
    const std::string_view otherKey =
        keysOnly
            ? leafEntry
            : leafEntry.substr(0, leafEntry.size() - std::min<std::size_t>(4, leafEntry.size()));
    if (const int c = ComparePieces(head, tail, keyLength, otherKey)) return c;
    if (keysOnly) return 0;
    // Then the row pointers, big-endian: the four bytes after the key.
    uint32_t mine = 0;
    for (std::size_t b = keyLength; b < keyLength + 4 && b < size; ++b) {
        const char byte = b < head.size() ? head[b] : tail[b - head.size()];
        mine = mine << 8 | static_cast<uint8_t>(byte);
    }
    const uint32_t theirs = EntryRowPointer(leafEntry, false);
    return mine < theirs ? -1 : mine > theirs ? 1 : 0;
}

std::size_t IndexPageView::FirstNotBelow(std::string_view probe, bool keysOnly,
                                         std::size_t low) const {
    std::size_t high = count_;
    while (low < high) {
        const std::size_t mid = (low + high) / 2;
        if (Compare(mid, probe, keysOnly) < 0)
            low = mid + 1;
        else
            high = mid;
    }
    return low;
}

std::size_t IndexPageView::LowerBound(std::string_view leafEntry, bool& equal) const {
    // Entries added in order go last: look there first.
    const bool afterLast = count_ > 0 && Compare(count_ - 1, leafEntry, false) < 0;
    const std::size_t low = FirstNotBelow(leafEntry, false, afterLast ? count_ : 0);
    equal = low < count_ && Compare(low, leafEntry, false) == 0;
    return low;
}

std::size_t IndexPageView::KeyLowerBound(std::string_view key) const {
    return FirstNotBelow(key, true, 0);
}

bool SpliceIndexEntries(char* page, const IndexPageView& view, std::size_t from, std::size_t to,
                        const std::vector<std::string_view>& entries) {
    const std::size_t prefix = view.Prefix();
    const std::size_t trailer = view.IsLeaf() ? 4 : 8;
    std::vector<std::string_view> replacing = entries;
    std::string promoted;
    // The first entry is stored whole, the others without the shared prefix: when the first
    // changes, the entry after the replaced ones is stored again too.
    if (from == 0 && to < view.Count()) {
        promoted = view.Entry(to);
        replacing.push_back(promoted);
        ++to;
    }
    const std::string_view shared(page + kEntriesAt, prefix);
    std::size_t added = 0;
    for (std::size_t k = 0; k < replacing.size(); ++k) {
        const std::string_view e = replacing[k];
        if (prefix > 0 && (e.size() < prefix + trailer || e.substr(0, prefix) != shared))
            return false;
        added += from + k == 0 ? e.size() : e.size() - prefix;
    }
    const std::size_t used = view.Used();
    const std::size_t start = view.StoredStart(from);
    const std::size_t end = to == 0 ? 0 : view.StoredEnd(to - 1);
    const std::size_t removed = end - start;
    if (used - removed + added > kIndexEntryCapacity) return false;
    // The shared prefix lives in the first entry: keep a copy while it may move.
    const std::string prefixBytes(shared);
    char* base = page + kEntriesAt;
    std::memmove(base + start + added, base + end, used - end);
    std::size_t at = start;
    for (std::size_t k = 0; k < replacing.size(); ++k) {
        const std::string_view stored =
            from + k == 0 ? replacing[k] : replacing[k].substr(prefixBytes.size());
        std::memcpy(base + at, stored.data(), stored.size());
        at += stored.size();
    }
    const std::size_t newUsed = used - removed + added;
    if (newUsed < used) std::memset(base + newUsed, 0, used - newUsed);
    if (newUsed == 0) Put16(page + 24, 0);  // nothing left to share
    // The mask from the first changed entry on.
    char* mask = page + kMaskAt;
    const std::size_t firstBit = start + 1;
    mask[firstBit / 8] = static_cast<char>(mask[firstBit / 8] & ((1 << (firstBit % 8)) - 1));
    std::memset(mask + firstBit / 8 + 1, 0, kMaskBytes - firstBit / 8 - 1);
    auto mark = [&](std::size_t endAt) {
        mask[endAt / 8] = static_cast<char>(mask[endAt / 8] | 1 << (endAt % 8));
    };
    at = start;
    for (std::size_t k = 0; k < replacing.size(); ++k) {
        at += from + k == 0 ? replacing[k].size() : replacing[k].size() - prefixBytes.size();
        mark(at);
    }
    const std::ptrdiff_t shift =
        static_cast<std::ptrdiff_t>(added) - static_cast<std::ptrdiff_t>(removed);
    view.EndsAfter(end, [&](std::size_t old) {
        mark(static_cast<std::size_t>(static_cast<std::ptrdiff_t>(old) + shift));
    });
    Put16(page + 2, static_cast<uint16_t>(kIndexEntryCapacity - newUsed));
    return true;
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
