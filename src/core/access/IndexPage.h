#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vantrel::access {

inline constexpr uint8_t kIndexNodePage = 0x03, kIndexLeafPage = 0x04;
// Entry bytes one index page holds after its header and entry mask.
inline constexpr std::size_t kIndexEntryCapacity = 3616;

// One index page in parts. Entries are whole: a leaf entry is key + data page (3 bytes
// big-endian) + row; a node entry adds the child page (4 bytes big-endian). The shared prefix a
// page may keep is put back on reading and taken off again on writing.
struct IndexPageImage {
    uint8_t Type = kIndexLeafPage;
    uint32_t Prev = 0;
    uint32_t Next = 0;
    uint32_t Tail = 0;  // nodes: the last child, which has no entry
    std::vector<std::string> Entries;

    bool IsLeaf() const { return Type == kIndexLeafPage; }
};

// Nothing (with `problem` set) for a page that is no readable index page.
std::optional<IndexPageImage> ReadIndexPage(std::string_view page, std::string& problem);

// One index page read where it lies: where its entries are, without copying them. For finding
// and changing entries one at a time; IndexPageImage is for rewriting a page whole. Reading costs
// the same however many entries the page has: the n-th entry is found by counting bits of the
// page's mask a word at a time.
class IndexPageView {
  public:
    // False (with `problem` set) for a page that is no readable index page.
    bool Read(std::string_view page, std::string& problem);
    bool IsLeaf() const { return type_ == kIndexLeafPage; }
    uint32_t Prev() const;
    uint32_t Next() const;
    uint32_t Tail() const;
    std::size_t Count() const { return count_; }
    std::size_t Prefix() const { return prefix_; }
    // Entry bytes as stored (each entry after the first without the shared prefix).
    std::size_t Used() const { return used_; }
    std::size_t StoredStart(std::size_t i) const { return i ? StoredEnd(i - 1) : 0; }
    std::size_t StoredEnd(std::size_t i) const;
    // Entry i whole, the shared prefix put back.
    std::string Entry(std::size_t i) const;
    // The first position whose entry is not below `leafEntry` in Access's order (node entries
    // compared by their leaf form), and whether the entry there is equal to it.
    std::size_t LowerBound(std::string_view leafEntry, bool& equal) const;
    // The first position whose key is not below `key`.
    std::size_t KeyLowerBound(std::string_view key) const;
    // The ends of the entries after stored position `after`, in order, as `visit(end)`.
    template <typename Visit>
    void EndsAfter(std::size_t after, Visit visit) const {
        for (std::size_t w = (after + 1) / 64; w < kWords; ++w) {
            uint64_t word = words_[w];
            if (w == (after + 1) / 64) word &= ~uint64_t{0} << ((after + 1) % 64);
            for (; word != 0; word &= word - 1)
                visit(w * 64 + static_cast<std::size_t>(__builtin_ctzll(word)));
        }
    }

  private:
    static constexpr std::size_t kWords = (kIndexEntryCapacity + 64) / 64;

    std::string_view EntryInto(std::size_t i, std::string& scratch) const;
    // Entry i whole is `head` (the shared prefix; empty for the first) followed by `tail`.
    void Pieces(std::size_t i, std::string_view& head, std::string_view& tail) const;
    // Entry i against a leaf entry (or, `keysOnly`, a key) in Access's order.
    int Compare(std::size_t i, std::string_view leafEntry, bool keysOnly) const;
    // The first entry from `low` on that is not below `probe` (a binary search).
    std::size_t FirstNotBelow(std::string_view probe, bool keysOnly, std::size_t low) const;

    std::string_view page_;
    uint8_t type_ = 0;
    std::size_t prefix_ = 0;
    std::size_t count_ = 0;
    std::size_t used_ = 0;
    uint64_t words_[kWords] = {};     // the mask: bit n set where an entry ends n bytes in
    uint16_t rank_[kWords + 1] = {};  // entries ending before each word
};

// Replaces entries [from, to) of the index page `page` (read into `view`) by `entries` (whole
// entries, in order), where they lie, keeping the page's shared prefix and links. False, with the
// page as it was, when the result does not fit or an entry does not share that prefix: the page
// must then be rewritten whole. `view` no longer describes the page afterwards.
bool SpliceIndexEntries(char* page, const IndexPageView& view, std::size_t from, std::size_t to,
                        const std::vector<std::string_view>& entries);

// The entry bytes the page takes when written: a leaf leaves out the prefix all its entries
// share, except on its first entry.
std::size_t IndexPageBytes(const IndexPageImage& image);

// Writes the image over the 4096 bytes at `page`; false, leaving them as they were, when the
// entries do not fit.
bool WriteIndexPage(const IndexPageImage& image, uint32_t tableDefinitionPage, char* page);

// The parts of a whole entry: node entries end with their child page.
std::string_view EntryKey(std::string_view entry, bool node);
// The data pointer as a row pointer: page << 8 | row.
uint32_t EntryRowPointer(std::string_view entry, bool node);
uint32_t EntryChild(std::string_view node);

// Appends a 4-byte big-endian number (child pages in node entries).
void AppendBigEndian32(std::string& entry, uint32_t value);

// Leaf form of an entry: key and row pointer.
std::string LeafEntry(std::string_view key, uint32_t dataPage, uint8_t dataRow);

// Orders entries as Access does: key bytes unsigned, then data page, then row.
int CompareEntries(std::string_view a, bool aNode, std::string_view b, bool bNode);

}  // namespace vantrel::access
