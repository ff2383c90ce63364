#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "access/JetFile.h"
#include "access/JetWriteFile.h"
#include "common/ErrorState.h"

namespace vantrel::access {

// Where a table's rows and long values (Memo, OLE) lie: new ones go on pages with room or on new
// pages of the table (or of the long value column), and the slots and pages of deleted ones are
// given back, so that a table whose rows are replaced keeps its size.
class RowStorage {
  public:
    RowStorage(JetWriteFile& file, const JetTable& table);

    // Adds the row on a page of the table; its row pointer (page << 8 | slot), or 0 with `error`
    // set when no page could be had.
    uint32_t PlaceRow(std::string_view row, ErrorState& error);
    // The stored field of a long value of `column` (12 bytes, plus the data when it stays in the
    // row); its rows are written first.
    std::optional<std::string> StoreLongValue(std::size_t column, std::string_view data,
                                              ErrorState& error);
    // Deletes the rows a stored long value field of `column` points at.
    void FreeLongValue(std::size_t column, std::string_view field);

    // Where the bytes of the live row at `pointer` are: the slot itself, or the place its
    // overflow pointer names. None for a deleted or missing row. A value, never a view into a
    // page: pages change while rows and index entries are written.
    std::optional<uint32_t> RowHome(uint32_t pointer) const;
    // Bytes the row at `home` has room for, 0 when there is no such row.
    std::size_t RowSizeAt(uint32_t home) const;
    void OverwriteRow(uint32_t home, std::string_view bytes);
    // Puts the row's new bytes in a new place its slot then points at; the copy it had before
    // (`home`, when not the slot itself) is deleted.
    bool MoveRow(uint32_t pointer, uint32_t home, std::string_view bytes, ErrorState& error);
    // Deletes the row's slot and the copy its pointer names.
    void DeleteRow(uint32_t pointer, uint32_t home);

  private:
    // Where new rows of one kind go: the table's data pages or a long value column's pages.
    struct Target {
        uint32_t OwnedMap = 0;
        uint32_t FreeMap = 0;
        bool LongValues = false;
        uint32_t Current = 0;
        bool Searched = false;
    };

    uint32_t Place(std::string_view row, Target& target, ErrorState& error);
    uint32_t FindPageWithRoom(Target& target, std::size_t size);
    // Flags a slot deleted for every reader; a page left without any row is given back.
    void DeleteSlot(uint32_t pointer, Target& target);

    JetWriteFile& file_;
    const JetTable& table_;
    Target rows_;
    std::vector<Target> longValues_;  // per column
};

}  // namespace vantrel::access
