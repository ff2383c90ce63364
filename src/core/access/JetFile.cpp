#include "access/JetFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <fstream>
#include <iterator>

#include "access/Bytes.h"
#include "access/TableRows.h"
#include "common/Encoding.h"
#include "sources/engine/JetErrors.h"

namespace vantrel::access {

namespace {

constexpr std::size_t kColumnBytes = 25;
constexpr std::size_t kRealIndexBytes = 12;
constexpr std::size_t kTableBlockEnd = 63;
constexpr std::size_t kRealIndexDefinitionBytes = 52;
constexpr std::size_t kLogicalIndexBytes = 28;

}  // namespace

int JetVersionOf(std::string_view header) {
    if (header.size() < 0x15 ||
        (header.substr(4, 16) != std::string_view("Standard Jet DB\0", 16) &&
         header.substr(4, 16) != std::string_view("Standard ACE DB\0", 16)))
        return 0;
    return static_cast<uint8_t>(header[0x14]);
}

JetFile::~JetFile() {
    Close();
}

void JetFile::Close() {
    if (mapped_) ::munmap(const_cast<char*>(data_), size_);
    mapped_ = false;
    data_ = nullptr;
    size_ = 0;
    copy_.clear();
}

bool JetFile::Open(const std::string& path, ErrorState& error) {
    Close();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (fd < 0 || ::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (fd >= 0) ::close(fd);
        SetJetError(error, JetError::FileNotFound, path);
        return false;
    }
    size_ = static_cast<std::size_t>(st.st_size);
    void* map = size_ > 0 ? ::mmap(nullptr, size_, PROT_READ, MAP_PRIVATE, fd, 0) : MAP_FAILED;
    if (map != MAP_FAILED) {
        data_ = static_cast<const char*>(map);
        mapped_ = true;
    } else {
        std::ifstream in(path, std::ios::binary);
        copy_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        data_ = copy_.data();
        size_ = copy_.size();
    }
    ::close(fd);
    version_ = size_ >= 2 * kPageSize ? JetVersionOf(std::string_view(data_, kPageSize)) : 0;
    if (version_ == 0) {
        SetJetError(error, JetError::UnrecognizedFormat, path);
        Close();
        return false;
    }
    return true;
}

std::string_view JetFile::Page(uint32_t n) const {
    if (n >= PageCount()) return {};
    return std::string_view(data_ + std::size_t{n} * kPageSize, kPageSize);
}

// Jet4 text: UCS-2, or "FF FE" and one byte a character with zero bytes switching modes.
std::u16string JetTextUnits(std::string_view bytes) {
    std::u16string units;
    const auto unitAt = [&](std::size_t i) {
        return static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                     static_cast<uint8_t>(bytes[i + 1]) << 8);
    };
    if (bytes.size() >= 2 && static_cast<uint8_t>(bytes[0]) == 0xFF &&
        static_cast<uint8_t>(bytes[1]) == 0xFE) {
        bool compressed = true;
        for (std::size_t i = 2; i < bytes.size();) {
            if (bytes[i] == 0) {
                compressed = !compressed;
                ++i;
            } else if (compressed) {
                units.push_back(static_cast<uint8_t>(bytes[i++]));
            } else if (i + 1 < bytes.size()) {
                units.push_back(unitAt(i));
                i += 2;
            } else {
                break;
            }
        }
    } else {
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            units.push_back(unitAt(i));
    }
    return units;
}

std::string DecodeJetText(std::string_view bytes) {
    const std::u16string units = JetTextUnits(bytes);
    std::string utf16;
    for (const char16_t unit : units) {
        utf16.push_back(static_cast<char>(unit & 0xFF));
        utf16.push_back(static_cast<char>(unit >> 8));
    }
    std::string out;
    TextDecoder(TextEncoding::Utf16LE).Decode(utf16, out, true);
    return out;
}

MutableRow MutableRowAt(PageStore& store, uint32_t pointer) {
    const std::string_view page = store.Page(pointer >> 8);
    const auto slot = RowOnPage(page, static_cast<uint16_t>(pointer & 0xFF));
    if (!slot) return {};
    char* data = store.MutablePage(pointer >> 8);
    return {data + (slot->Bytes.data() - page.data()), slot->Bytes.size()};
}

uint16_t RowsOnPage(std::string_view page) {
    return U16(page, 12);
}

std::optional<JetRowSlot> RowOnPage(std::string_view page, uint16_t slot) {
    if (page.size() != JetFile::kPageSize || static_cast<uint8_t>(page[0]) != 0x01 ||
        slot >= RowsOnPage(page))
        return std::nullopt;
    const uint16_t raw = U16(page, 14 + 2u * slot);
    const std::size_t start = raw & 0x1FFF;
    // A row ends where the row before it (a lower slot) starts; the first one at the page end.
    std::size_t end = JetFile::kPageSize;
    for (int k = slot - 1; k >= 0; --k) {
        const std::size_t previous = U16(page, 14 + 2u * static_cast<unsigned>(k)) & 0x1FFF;
        if (previous > start) {
            end = previous;
            break;
        }
    }
    if (start >= end || end > page.size()) return std::nullopt;
    return JetRowSlot{page.substr(start, end - start), static_cast<uint16_t>(raw & 0xC000)};
}

std::optional<std::string_view> LiveRow(const PageSource& file, uint32_t page, uint16_t slot) {
    const auto row = RowOnPage(file.Page(page), slot);
    if (!row || (row->Flags & 0x8000)) return std::nullopt;
    if (!(row->Flags & 0x4000)) return row->Bytes;
    // A row that grew was moved: its slot holds the row number and page of its new place.
    if (row->Bytes.size() < 4) return std::nullopt;
    return RowAt(file, U32(row->Bytes, 0));
}

std::optional<std::string_view> RowAt(const PageSource& file, uint32_t pointer) {
    const auto slot = RowOnPage(file.Page(pointer >> 8), static_cast<uint16_t>(pointer & 0xFF));
    if (!slot) return std::nullopt;
    return slot->Bytes;
}

std::vector<uint32_t> PagesInUsageMap(const PageSource& file, std::string_view map) {
    std::vector<uint32_t> pages;
    if (map.empty()) return pages;
    auto addBits = [&](std::string_view bits, uint32_t first) {
        for (std::size_t byte = 0; byte < bits.size(); ++byte) {
            for (int bit = 0; bit < 8; ++bit) {
                if (static_cast<uint8_t>(bits[byte]) & (1u << bit)) {
                    pages.push_back(
                        first + static_cast<uint32_t>(byte * 8 + static_cast<std::size_t>(bit)));
                }
            }
        }
    };
    if (map[0] == 0) {
        addBits(map.substr(std::min<std::size_t>(5, map.size())), U32(map, 1));
    } else if (map[0] == 1) {
        // A list of bitmap pages, each covering (page size - 4) * 8 pages.
        const uint32_t perPage = (JetFile::kPageSize - 4) * 8;
        for (std::size_t k = 0; 1 + 4 * k + 4 <= map.size(); ++k) {
            const uint32_t bitmapPage = U32(map, 1 + 4 * k);
            if (bitmapPage == 0) continue;
            const std::string_view page = file.Page(bitmapPage);
            if (page.empty() || static_cast<uint8_t>(page[0]) != 0x05) continue;
            addBits(page.substr(4), static_cast<uint32_t>(k) * perPage);
        }
    }
    return pages;
}

namespace {

// A name of the table definition: a 2-byte length, then the text; `at` moves past it.
bool ReadName(std::string_view bytes, std::size_t& at, std::string& name) {
    const uint16_t length = U16(bytes, at);
    if (at + 2 + length > bytes.size()) return false;
    name = DecodeJetText(bytes.substr(at + 2, length));
    at += 2u + length;
    return true;
}

}  // namespace

std::optional<JetTable> ReadTableDefinition(const PageSource& file, uint32_t page,
                                            std::string& problem) {
    // The definition may run over several pages; each continuation adds its bytes after the
    // 8-byte page header.
    std::string bytes;
    std::vector<uint32_t> pages;
    for (uint32_t p = page, guard = 0; p != 0 && guard < 1000; ++guard) {
        const std::string_view data = file.Page(p);
        if (data.empty() || static_cast<uint8_t>(data[0]) != 0x02) {
            problem = "テーブル定義のページ " + std::to_string(p) + " が正しくありません";
            return std::nullopt;
        }
        bytes.append(bytes.empty() ? data : data.substr(8));
        pages.push_back(p);
        p = U32(data, 4);
    }
    JetTable t;
    t.DefinitionPage = page;
    t.DefinitionPages = std::move(pages);
    t.RowCount = U32(bytes, 16);
    t.AutoNumber = U32(bytes, 20);
    t.MaxColumns = U16(bytes, 41);
    t.VariableColumns = U16(bytes, 43);
    const uint16_t columns = U16(bytes, 45);
    t.IndexCount = U32(bytes, 47);
    t.RealIndexCount = U32(bytes, 51);
    t.OwnedPagesMap = U32(bytes, 55);
    t.FreePagesMap = U32(bytes, 59);
    std::size_t at = kTableBlockEnd + kRealIndexBytes * t.RealIndexCount;
    if (t.RealIndexCount > 1000 || t.IndexCount > 1000 ||
        at + kColumnBytes * columns > bytes.size()) {
        problem = "テーブル定義 (ページ " + std::to_string(page) + ") の列が読めません";
        return std::nullopt;
    }
    for (uint16_t c = 0; c < columns; ++c, at += kColumnBytes) {
        JetColumn col;
        col.Type = static_cast<uint8_t>(bytes[at]);
        col.Number = U16(bytes, at + 5);
        col.VarIndex = U16(bytes, at + 7);
        col.Flags = static_cast<uint8_t>(bytes[at + 15]);
        col.MiscFlags = static_cast<uint8_t>(bytes[at + 16]);
        if (col.Type == JetType::Text || col.Type == JetType::Memo) {
            col.SortOrder = U16(bytes, at + 11);
            col.SortVersion = static_cast<uint8_t>(bytes[at + 14]);
        } else if (col.Type == JetType::Decimal) {
            col.Precision = static_cast<uint8_t>(bytes[at + 11]);
            col.Scale = static_cast<uint8_t>(bytes[at + 12]);
        }
        col.FixedOffset = U16(bytes, at + 21);
        col.Length = U16(bytes, at + 23);
        t.Columns.push_back(col);
    }
    for (auto& col : t.Columns) {
        if (!ReadName(bytes, at, col.Name)) {
            problem = "テーブル定義 (ページ " + std::to_string(page) + ") の列名が読めません";
            return std::nullopt;
        }
    }
    if (at + kRealIndexDefinitionBytes * t.RealIndexCount + kLogicalIndexBytes * t.IndexCount >
        bytes.size()) {
        problem = "テーブル定義 (ページ " + std::to_string(page) + ") の索引が読めません";
        return std::nullopt;
    }
    for (uint32_t r = 0; r < t.RealIndexCount; ++r, at += kRealIndexDefinitionBytes) {
        JetRealIndex index;
        for (std::size_t k = 0; k < 10; ++k) {
            const uint16_t number = U16(bytes, at + 4 + 3 * k);
            if (number == 0xFFFF) continue;
            index.Columns.push_back({number, static_cast<uint8_t>(bytes[at + 6 + 3 * k]) == 0x01});
        }
        index.DefinitionOffset = at;
        index.UsageMap = U32(bytes, at + 34);
        index.FirstPage = U32(bytes, at + 38);
        index.Flags = static_cast<uint8_t>(bytes[at + 46]);
        index.UniqueEntries = U32(bytes, kTableBlockEnd + kRealIndexBytes * r + 4);
        t.RealIndexes.push_back(std::move(index));
    }
    for (uint32_t l = 0; l < t.IndexCount; ++l, at += kLogicalIndexBytes) {
        JetLogicalIndex index;
        index.DefinitionOffset = at;
        index.Number = U32(bytes, at + 4);
        index.RealIndex = U32(bytes, at + 8);
        index.RelatedTableType = static_cast<uint8_t>(bytes[at + 12]);
        index.RelatedIndex = U32(bytes, at + 13);
        index.RelatedTable = U32(bytes, at + 17);
        index.CascadeUpdates = bytes[at + 21] != 0;
        index.CascadeDeletes = bytes[at + 22] != 0;
        index.Type = static_cast<uint8_t>(bytes[at + 23]);
        if (index.RealIndex >= t.RealIndexCount) {
            problem =
                "テーブル定義 (ページ " + std::to_string(page) + ") の索引番号が正しくありません";
            return std::nullopt;
        }
        t.Indexes.push_back(std::move(index));
    }
    for (auto& index : t.Indexes) {
        if (!ReadName(bytes, at, index.Name)) {
            problem = "テーブル定義 (ページ " + std::to_string(page) + ") の索引名が読めません";
            return std::nullopt;
        }
    }
    // Long value columns list their own page maps, ending with 0xFFFF.
    while (at + 10 <= bytes.size()) {
        const uint16_t number = U16(bytes, at);
        if (number == 0xFFFF) break;
        for (auto& col : t.Columns) {
            if (col.Number != number) continue;
            col.LongValueOwnedMap = U32(bytes, at + 2);
            col.LongValueFreeMap = U32(bytes, at + 6);
        }
        at += 10;
    }
    return t;
}

void PutDefinition32(PageStore& store, const JetTable& table, std::size_t offset, uint32_t value) {
    for (int k = 0; k < 4; ++k, ++offset) {
        std::size_t page = 0, at = offset;
        if (at >= JetFile::kPageSize) {
            at -= JetFile::kPageSize;
            page = 1 + at / (JetFile::kPageSize - 8);
            at = 8 + at % (JetFile::kPageSize - 8);
        }
        if (page >= table.DefinitionPages.size()) return;
        char* data = store.MutablePage(table.DefinitionPages[page]);
        if (data) data[at] = static_cast<char>(value >> (8 * k) & 0xFF);
    }
}

const JetColumn* JetTable::ColumnByNumber(uint16_t number) const {
    for (const auto& col : Columns) {
        if (col.Number == number) return &col;
    }
    return nullptr;
}

std::vector<std::optional<std::string_view>> SplitRow(const JetTable& table, std::string_view row) {
    std::vector<std::optional<std::string_view>> values(table.Columns.size());
    if (row.size() < 4) return values;
    const uint16_t stored = U16(row, 0);
    const std::size_t maskBytes = (stored + 7u) / 8u;
    if (maskBytes + 4 > row.size()) return values;
    const std::size_t maskAt = row.size() - maskBytes;
    // A count whose offsets would not fit before the mask is damage: no variable value is read.
    const uint16_t claimed = U16(row, maskAt - 2);
    const uint16_t varCount = 2u * std::size_t{claimed} + 4u <= maskAt ? claimed : uint16_t{0};
    auto notNull = [&](uint16_t number) {
        return number < stored &&
               (static_cast<uint8_t>(row[maskAt + number / 8]) >> (number % 8) & 1) != 0;
    };
    // Variable offsets run backwards from the count, then the end-of-data offset.
    auto varOffset = [&](std::size_t k) -> std::size_t {
        return U16(row, maskAt - 2 - 2 * (k + 1));
    };
    const std::size_t eod = U16(row, maskAt - 2 - 2 * (std::size_t{varCount} + 1));
    for (std::size_t c = 0; c < table.Columns.size(); ++c) {
        const JetColumn& col = table.Columns[c];
        if (col.IsFixed()) {
            if (!notNull(col.Number) && col.Type != 0x01) continue;
            const std::size_t start = 2 + col.FixedOffset;
            if (start + col.Length <= row.size()) values[c] = row.substr(start, col.Length);
        } else {
            if (!notNull(col.Number) || col.VarIndex >= varCount) continue;
            const std::size_t start = varOffset(col.VarIndex);
            const std::size_t end =
                col.VarIndex + 1u < varCount ? varOffset(col.VarIndex + 1u) : eod;
            if (start <= end && end <= row.size()) values[c] = row.substr(start, end - start);
        }
    }
    return values;
}

std::optional<std::string> ReadLongValue(const PageSource& file, std::string_view field) {
    if (field.size() < 12) return std::nullopt;
    const uint32_t header = U32(field, 0);
    const uint32_t length = header & 0x3FFFFFFF;
    if (header & 0x80000000u) {
        if (field.size() < 12 + std::size_t{length}) return std::nullopt;
        return std::string(field.substr(12, length));
    }
    uint32_t pointer = U32(field, 4);
    if (header & 0x40000000u) {
        const auto row = RowAt(file, pointer);
        if (!row || row->size() < length) return std::nullopt;
        return std::string(row->substr(0, length));
    }
    // A chain: each row starts with the pointer of the next one.
    std::string value;
    for (uint32_t guard = 0; value.size() < length && guard < (1u << 20); ++guard) {
        const auto row = RowAt(file, pointer);
        if (!row || row->size() < 4) return std::nullopt;
        value.append(row->substr(4, std::min<std::size_t>(row->size() - 4, length - value.size())));
        pointer = U32(*row, 0);
        if (value.size() < length && pointer == 0) return std::nullopt;
    }
    if (value.size() != length) return std::nullopt;
    return value;
}

std::vector<JetCatalogEntry> ReadCatalog(const PageSource& file, std::string& problem) {
    std::vector<JetCatalogEntry> entries;
    // The catalog (MSysObjects) is the table defined on page 2.
    const auto catalog = ReadTableDefinition(file, 2, problem);
    if (!catalog) return entries;
    auto column = [&](const char* name) -> int {
        for (std::size_t c = 0; c < catalog->Columns.size(); ++c) {
            if (catalog->Columns[c].Name == name) return static_cast<int>(c);
        }
        return -1;
    };
    const int id = column("Id"), nameCol = column("Name"), type = column("Type"),
              flags = column("Flags"), props = column("LvProp");
    if (id < 0 || nameCol < 0 || type < 0 || flags < 0) {
        problem = "カタログの列が見つかりません";
        return entries;
    }
    // Rows Access moved to other pages are read through their overflow pointers.
    std::vector<std::string> rowProblems;
    for (const auto& row : LiveRows(file, *catalog, rowProblems)) {
        const auto values = SplitRow(*catalog, row.Bytes);
        const auto& typeValue = values[static_cast<std::size_t>(type)];
        if (!typeValue || (U16(*typeValue, 0) & 0x7F) != 1) continue;
        JetCatalogEntry e;
        e.DefinitionPage = values[static_cast<std::size_t>(id)]
                               ? U32(*values[static_cast<std::size_t>(id)], 0) & 0x00FFFFFF
                               : 0;
        e.Name = values[static_cast<std::size_t>(nameCol)]
                     ? DecodeJetText(*values[static_cast<std::size_t>(nameCol)])
                     : "";
        e.Flags = values[static_cast<std::size_t>(flags)]
                      ? static_cast<int32_t>(U32(*values[static_cast<std::size_t>(flags)], 0))
                      : 0;
        if (props >= 0 && values[static_cast<std::size_t>(props)])
            e.Properties =
                ReadLongValue(file, *values[static_cast<std::size_t>(props)]).value_or("");
        entries.push_back(std::move(e));
    }
    return entries;
}

}  // namespace vantrel::access
