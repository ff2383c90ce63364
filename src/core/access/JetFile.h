#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/ErrorState.h"

namespace vantrel::access {

// The pages of a Jet4 or ACE file (4 KB pages), read straight from the file. This is the layer
// the project's own Access writer and its structural verifier stand on.
class JetFile {
  public:
    static constexpr uint32_t kPageSize = 4096;

    // False (with the error set) for anything but a readable Jet4/ACE file.
    bool Open(const std::string& path, ErrorState& error);
    uint32_t PageCount() const { return static_cast<uint32_t>(bytes_.size() / kPageSize); }
    int Version() const { return version_; }
    // The bytes of page n; empty past the end of the file.
    std::string_view Page(uint32_t n) const;

  private:
    std::string bytes_;
    int version_ = 0;
};

// One column of a table definition.
struct JetColumn {
    uint8_t Type = 0;
    uint16_t Number = 0;       // position in the row's null mask, counting deleted columns
    uint16_t VarIndex = 0;     // slot in the variable-offset table
    uint16_t FixedOffset = 0;  // offset in the fixed area
    uint16_t Length = 0;
    uint8_t Flags = 0;
    std::string Name;

    bool IsFixed() const { return (Flags & 0x01) != 0; }
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
};

// Reads the table definition that starts on `page` (following continuation pages).
std::optional<JetTable> ReadTableDefinition(const JetFile& file, uint32_t page,
                                            std::string& problem);

// The bytes of row `slot` on a data page and its slot flags (0x8000 deleted, 0x4000 pointer).
struct JetRowSlot {
    std::string_view Bytes;
    uint16_t Flags = 0;
};
std::optional<JetRowSlot> RowOnPage(std::string_view page, uint16_t slot);
uint16_t RowsOnPage(std::string_view page);

// The row a 4-byte row pointer (row in the low byte, page above it) names.
std::optional<std::string_view> RowAt(const JetFile& file, uint32_t pointer);

// The pages a usage map row marks as used.
std::vector<uint32_t> PagesInUsageMap(const JetFile& file, std::string_view map);

// The column values of one row as raw bytes; no value (nullopt) for a Null column.
std::vector<std::optional<std::string_view>> SplitRow(const JetTable& table, std::string_view row);

// Every table the catalog lists: name, definition page and catalog flags.
struct JetCatalogEntry {
    std::string Name;
    uint32_t DefinitionPage = 0;
    int32_t Flags = 0;
};
std::vector<JetCatalogEntry> ReadCatalog(const JetFile& file, std::string& problem);

}  // namespace vantrel::access
