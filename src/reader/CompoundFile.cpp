#include "CompoundFile.h"

#include <cstring>
#include <fstream>
#include <iterator>

namespace vantrel::reader {

namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;
constexpr std::size_t kEntryBytes = 128;

}  // namespace

bool CompoundFile::Open() {
    if (!bytes_.Has(0, 512) ||
        std::memcmp(file_.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8) != 0)
        return false;
    const uint16_t shift = bytes_.U16(0x1E);
    if (shift != 9 && shift != 12) return false;
    sector_ = std::size_t{1} << shift;
    miniCutoff_ = bytes_.U32(0x38);
    // The sector allocation table, listed by the header and its extension sectors.
    std::vector<uint32_t> fatSectors;
    for (int i = 0; i < 109; ++i)
        fatSectors.push_back(bytes_.U32(0x4C + 4 * static_cast<std::size_t>(i)));
    // A sector can be visited once: a chain longer than the file has sectors is a loop.
    const std::size_t sectors = file_.size() / sector_;
    uint32_t difat = bytes_.U32(0x44);
    for (std::size_t guard = 0; difat < kEndOfChain; ++guard) {
        const std::size_t at = Offset(difat);
        if (guard >= sectors || !bytes_.Has(at, sector_)) return false;
        for (std::size_t k = 0; k + 4 < sector_; k += 4)
            fatSectors.push_back(bytes_.U32(at + k));
        difat = bytes_.U32(at + sector_ - 4);
    }
    for (uint32_t s : fatSectors) {
        if (s >= kEndOfChain) continue;
        const std::size_t at = Offset(s);
        if (!bytes_.Has(at, sector_)) continue;
        for (std::size_t k = 0; k < sector_; k += 4)
            fat_.push_back(bytes_.U32(at + k));
    }
    directory_ = Chain(bytes_.U32(0x30), fat_, false, SIZE_MAX);
    if (directory_.size() < kEntryBytes) return false;
    const Bytes dir(directory_);
    miniStream_ = Chain(dir.U32(0x74), fat_, false, dir.U32(0x78));
    const std::string miniFatBytes = Chain(bytes_.U32(0x3C), fat_, false, SIZE_MAX);
    const Bytes mf(miniFatBytes);
    for (std::size_t k = 0; k + 4 <= miniFatBytes.size(); k += 4)
        miniFat_.push_back(mf.U32(k));
    return !looped_;
}

std::size_t CompoundFile::Entry(const char* wanted) const {
    const Bytes dir(directory_);
    for (std::size_t at = 0; at + kEntryBytes <= directory_.size(); at += kEntryBytes) {
        if (dir.U8(at + 0x42) != 2) continue;
        const std::size_t nameBytes = std::min<std::size_t>(dir.U16(at + 0x40), 64);
        std::string name;
        for (std::size_t k = 0; k + 1 < nameBytes; k += 2) {
            const uint16_t c = dir.U16(at + k);
            if (c) name.push_back(c < 0x80 ? static_cast<char>(c) : '?');
        }
        if (name == wanted) return at;
    }
    return SIZE_MAX;
}

bool CompoundFile::HasStream(const char* name) const {
    return Entry(name) != SIZE_MAX;
}

std::string CompoundFile::Stream(std::initializer_list<const char*> names) const {
    const Bytes dir(directory_);
    for (const char* wanted : names) {
        const std::size_t at = Entry(wanted);
        if (at == SIZE_MAX) continue;
        const uint32_t size = dir.U32(at + 0x78);
        const uint32_t start = dir.U32(at + 0x74);
        std::string stream = size < miniCutoff_ ? Chain(start, miniFat_, true, size)
                                                : Chain(start, fat_, false, size);
        if (looped_) return {};
        return stream;
    }
    return {};
}

std::string CompoundFile::Chain(uint32_t start, const std::vector<uint32_t>& table, bool mini,
                                std::size_t size) const {
    std::string out;
    const std::size_t unit = mini ? 64 : sector_;
    // Each sector belongs to one chain once; meeting one again means the chain loops, and the
    // file is damaged.
    std::vector<bool> seen(table.size());
    for (uint32_t s = start; s < kEndOfChain && s < table.size() && out.size() < size;
         s = table[s]) {
        if (seen[s]) {
            looped_ = true;
            break;
        }
        seen[s] = true;
        if (mini) {
            const std::size_t at = std::size_t{s} * 64;
            if (at + unit > miniStream_.size()) break;
            out.append(miniStream_, at, unit);
        } else {
            const std::size_t at = Offset(s);
            if (!bytes_.Has(at, unit)) break;
            out.append(file_, at, unit);
        }
    }
    if (out.size() > size) out.resize(size);
    return out;
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool IsEncryptedPackage(const std::string& path) {
    const std::string file = ReadWholeFile(path);
    CompoundFile compound(file);
    return compound.Open() && compound.HasStream("EncryptedPackage");
}

}  // namespace vantrel::reader
