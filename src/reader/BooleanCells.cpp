// A compound-file and BIFF record walk that only looks for boolean cells; every offset is checked,
// since the file may be damaged.
#include "BooleanCells.h"

#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

#include "common/Encoding.h"

namespace vantrel::reader {

namespace {

constexpr uint32_t kEndOfChain = 0xFFFFFFFE;

class Bytes {
  public:
    explicit Bytes(const std::string& data) : data_(data) {}
    bool Has(std::size_t at, std::size_t n) const {
        return at <= data_.size() && n <= data_.size() - at;
    }
    uint8_t U8(std::size_t at) const { return Has(at, 1) ? static_cast<uint8_t>(data_[at]) : 0; }
    uint16_t U16(std::size_t at) const { return static_cast<uint16_t>(U8(at) | U8(at + 1) << 8); }
    uint32_t U32(std::size_t at) const { return uint32_t{U16(at)} | uint32_t{U16(at + 2)} << 16; }
    const std::string& Data() const { return data_; }

  private:
    const std::string& data_;
};

// Reads one stream of a compound file.
class CompoundFile {
  public:
    explicit CompoundFile(const std::string& file) : file_(file), bytes_(file) {}

    bool Open() {
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
        if (directory_.size() < 128) return false;
        const Bytes dir(directory_);
        miniStream_ = Chain(dir.U32(0x74), fat_, false, dir.U32(0x78));
        const std::string miniFatBytes = Chain(bytes_.U32(0x3C), fat_, false, SIZE_MAX);
        const Bytes mf(miniFatBytes);
        for (std::size_t k = 0; k + 4 <= miniFatBytes.size(); k += 4)
            miniFat_.push_back(mf.U32(k));
        return !looped_;
    }

    // The stream with one of the given names ("Workbook", "Book"); empty when there is none.
    std::string Stream(std::initializer_list<const char*> names) const {
        const Bytes dir(directory_);
        for (std::size_t at = 0; at + 128 <= directory_.size(); at += 128) {
            if (dir.U8(at + 0x42) != 2) continue;
            const std::size_t nameBytes = std::min<std::size_t>(dir.U16(at + 0x40), 64);
            std::string name;
            for (std::size_t k = 0; k + 1 < nameBytes; k += 2) {
                const uint16_t c = dir.U16(at + k);
                if (c) name.push_back(c < 0x80 ? static_cast<char>(c) : '?');
            }
            for (const char* wanted : names) {
                if (name != wanted) continue;
                const uint32_t size = dir.U32(at + 0x78);
                const uint32_t start = dir.U32(at + 0x74);
                std::string stream = size < miniCutoff_ ? Chain(start, miniFat_, true, size)
                                                        : Chain(start, fat_, false, size);
                if (looped_) return {};
                return stream;
            }
        }
        return {};
    }

  private:
    std::size_t Offset(uint32_t sector) const { return (std::size_t{sector} + 1) * sector_; }

    std::string Chain(uint32_t start, const std::vector<uint32_t>& table, bool mini,
                      std::size_t size) const {
        std::string out;
        const std::size_t unit = mini ? 64 : sector_;
        // Each sector belongs to one chain once; meeting one again means the chain loops, and
        // the file is damaged.
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

    const std::string& file_;
    Bytes bytes_;
    std::size_t sector_ = 512;
    uint32_t miniCutoff_ = 4096;
    std::vector<uint32_t> fat_, miniFat_;
    mutable bool looped_ = false;
    std::string directory_, miniStream_;
};

std::string SheetName(const Bytes& b, std::size_t at, std::size_t end) {
    const std::size_t count = b.U8(at);
    const bool wide = (b.U8(at + 1) & 1) != 0;
    std::string raw;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t pos = at + 2 + k * (wide ? 2 : 1);
        if (pos + (wide ? 2 : 1) > end) break;
        const uint16_t c = wide ? b.U16(pos) : b.U8(pos);
        raw.push_back(static_cast<char>(c & 0xFF));
        raw.push_back(static_cast<char>(c >> 8));
    }
    std::string name;
    TextDecoder(TextEncoding::Utf16LE).Decode(raw, name, true);
    return name;
}

}  // namespace

BooleanCells FindBooleanCells(const std::string& path) {
    BooleanCells cells;
    std::ifstream in(path, std::ios::binary);
    const std::string file{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    CompoundFile compound(file);
    if (!compound.Open()) return cells;
    const std::string stream = compound.Stream({"Workbook", "Book"});
    const Bytes b(stream);
    // Sheet names by the offset of their first record, from the workbook's sheet list.
    std::map<std::size_t, std::string> sheetAt;
    std::string current;
    for (std::size_t at = 0; b.Has(at, 4);) {
        const uint16_t type = b.U16(at);
        const std::size_t length = b.U16(at + 2);
        const std::size_t data = at + 4;
        if (!b.Has(data, length)) break;
        if (auto it = sheetAt.find(at); it != sheetAt.end()) current = it->second;
        if (type == 0x0085 && length >= 8) {
            sheetAt[b.U32(data)] = SheetName(b, data + 6, data + length);
        } else if (type == 0x002F) {
            break;  // encrypted records: nothing more can be read
        } else if (type == 0x0205 && length >= 8 && !current.empty() && b.U8(data + 7) == 0) {
            cells[current].insert({b.U16(data), b.U16(data + 2)});
        } else if (type == 0x0006 && length >= 14 && !current.empty() && b.U8(data + 6) == 1 &&
                   b.U16(data + 12) == 0xFFFF) {
            cells[current].insert(
                {b.U16(data), b.U16(data + 2)});  // a formula with a boolean result
        }
        at = data + length;
    }
    return cells;
}

}  // namespace vantrel::reader
