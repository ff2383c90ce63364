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
