#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "access/PageStore.h"
#include "common/ErrorState.h"

namespace vantrel::access {

// The pages of a Jet4 or ACE file (4 KB pages) for reading: mapped into memory, so that views of
// pages stay valid while the file is open. The verifier and the tests read through it; the writer
// has its own store (JetWriteFile).
class JetFile : public PageSource {
  public:
    static constexpr uint32_t kPageSize = 4096;

    JetFile() = default;
    JetFile(const JetFile&) = delete;
    JetFile& operator=(const JetFile&) = delete;
    ~JetFile();

    // False (with the error set) for anything but a readable Jet4/ACE file.
    bool Open(const std::string& path, ErrorState& error);
    uint32_t PageCount() const override { return static_cast<uint32_t>(size_ / kPageSize); }
    // The version byte: 1 Jet4, 2 ACE12 (2007), 3 ACE14 (2010), 5 ACE16, 6 ACE17.
    int Version() const { return version_; }
    std::string_view Page(uint32_t n) const override;

  private:
    void Close();

    const char* data_ = nullptr;
    std::size_t size_ = 0;
    bool mapped_ = false;
    std::string copy_;  // the bytes, where the file could not be mapped
    int version_ = 0;
};

// The version byte of a Jet4/ACE file whose first page is `header`; 0 for anything else.
int JetVersionOf(std::string_view header);

// One column of a table definition.
struct JetColumn {
    uint8_t Type = 0;
    uint16_t Number = 0;       // position in the row's null mask, counting deleted columns
    uint16_t VarIndex = 0;     // slot in the variable-offset table
    uint16_t FixedOffset = 0;  // offset in the fixed area
    uint16_t Length = 0;
    uint8_t Flags = 0;        // 0x01 fixed, 0x04 autonumber, 0x40 GUID autonumber
    uint8_t MiscFlags = 0;    // 0x01 Unicode compression
    uint16_t SortOrder = 0;   // text columns: collation LCID (1033 = General)
    uint8_t SortVersion = 0;  // text columns: 0 General legacy, 1 General
    uint8_t Precision = 0;    // Decimal columns
    uint8_t Scale = 0;
    std::string Name;
    // Long value (Memo, OLE) columns keep their own page maps (row pointers, 0 when absent).
    uint32_t LongValueOwnedMap = 0;
    uint32_t LongValueFreeMap = 0;

    bool IsFixed() const { return (Flags & 0x01) != 0; }
    bool IsAutoNumber() const { return (Flags & 0x44) != 0; }
    bool IsCompressed() const { return (MiscFlags & 0x01) != 0; }
};

// Column types as the file stores them.
namespace JetType {
inline constexpr uint8_t Boolean = 0x01, Byte = 0x02, Integer = 0x03, Long = 0x04, Currency = 0x05,
                         Single = 0x06, Double = 0x07, DateTime = 0x08, Binary = 0x09, Text = 0x0A,
                         Ole = 0x0B, Memo = 0x0C, Guid = 0x0F, Decimal = 0x10, Complex = 0x12,
                         BigInt = 0x13, ExtendedDate = 0x14;
}  // namespace JetType

// One column of an index key.
struct JetIndexColumn {
    uint16_t ColumnNumber = 0;  // JetColumn::Number
    bool Ascending = true;
};

// A physical index: the B-tree itself.
struct JetRealIndex {
    std::vector<JetIndexColumn> Columns;
    uint32_t UsageMap = 0;             // row pointer of the index's own page map
    uint32_t FirstPage = 0;            // the root page
    uint8_t Flags = 0;                 // 0x01 unique, 0x02 ignore nulls, 0x08 required
    uint32_t UniqueEntries = 0;        // statistics kept in the definition's header block
    std::size_t DefinitionOffset = 0;  // where its 52 bytes start in the table definition

    bool IsUnique() const { return (Flags & 0x01) != 0; }
    bool IgnoresNulls() const { return (Flags & 0x02) != 0; }
};

// A logical index as the user sees it; several may share one physical index.
struct JetLogicalIndex {
    std::string Name;
    uint32_t Number = 0;
    uint32_t RealIndex = 0;        // position in JetTable::RealIndexes
    uint8_t Type = 0;              // 0x01 primary key, 0x02 foreign key (relationship)
    uint8_t RelatedTableType = 0;  // relationship side: 0x01 this table is the primary one
    uint32_t RelatedIndex = 0xFFFFFFFF;
    uint32_t RelatedTable = 0;  // definition page of the other table
    bool CascadeUpdates = false;
    bool CascadeDeletes = false;
    std::size_t DefinitionOffset = 0;  // where its 28 bytes start in the table definition

    bool IsRelationship() const { return Type == 0x02; }
};

// The parts of a table definition (TDEF) the verifier and the writer need.
struct JetTable {
    uint32_t DefinitionPage = 0;
    uint32_t RowCount = 0;
    uint32_t AutoNumber = 0;
    uint16_t MaxColumns = 0;
    uint16_t VariableColumns = 0;
    uint32_t IndexCount = 0;
    uint32_t RealIndexCount = 0;
    uint32_t OwnedPagesMap = 0;  // row pointer (row << 0 | page << 8) of the owned-pages map
    uint32_t FreePagesMap = 0;
    std::vector<JetColumn> Columns;
    std::vector<JetRealIndex> RealIndexes;
    std::vector<JetLogicalIndex> Indexes;
    std::vector<uint32_t> DefinitionPages;  // the first page and its continuations

    const JetColumn* ColumnByNumber(uint16_t number) const;
};

// Changes 4 bytes of a table definition at `offset` of its bytes as ReadTableDefinition joins
// them (continuation pages add their bytes after their 8-byte header).
void PutDefinition32(PageStore& store, const JetTable& table, std::size_t offset, uint32_t value);

// Reads the table definition that starts on `page` (following continuation pages).
std::optional<JetTable> ReadTableDefinition(const PageSource& file, uint32_t page,
                                            std::string& problem);

// The bytes of row `slot` on a data page and its slot flags (0x8000 deleted, 0x4000 pointer).
struct JetRowSlot {
    std::string_view Bytes;
    uint16_t Flags = 0;
};
std::optional<JetRowSlot> RowOnPage(std::string_view page, uint16_t slot);
uint16_t RowsOnPage(std::string_view page);

// The bytes of a row for changing in place; empty when the pointer names no row.
struct MutableRow {
    char* Data = nullptr;
    std::size_t Size = 0;
};
MutableRow MutableRowAt(PageStore& store, uint32_t pointer);

// The data of a live row (following the pointer of a row that was moved); none for a deleted or
// missing row.
std::optional<std::string_view> LiveRow(const PageSource& file, uint32_t page, uint16_t slot);

// The row a 4-byte row pointer (row in the low byte, page above it) names.
std::optional<std::string_view> RowAt(const PageSource& file, uint32_t pointer);

// The pages a usage map row marks as used.
std::vector<uint32_t> PagesInUsageMap(const PageSource& file, std::string_view map);

// The column values of one row as raw bytes; no value (nullopt) for a Null column.
std::vector<std::optional<std::string_view>> SplitRow(const JetTable& table, std::string_view row);

// Jet4 text (UCS-2, or compressed with an FF FE mark) as UTF-8.
std::string DecodeJetText(std::string_view bytes);
// The same text as its UTF-16 code units, exactly as stored (lone surrogates kept).
std::u16string JetTextUnits(std::string_view bytes);

// The bytes of a long value (Memo, OLE) from its 12-byte field and what follows it in the row;
// no value when the rows it points at are missing or too short.
std::optional<std::string> ReadLongValue(const PageSource& file, std::string_view field);

// Every table the catalog lists: name, definition page and catalog flags.
struct JetCatalogEntry {
    std::string Name;
    uint32_t DefinitionPage = 0;
    int32_t Flags = 0;
    std::string Properties;  // the design properties (LvProp) of the table and its columns
};
std::vector<JetCatalogEntry> ReadCatalog(const PageSource& file, std::string& problem);

}  // namespace vantrel::access
