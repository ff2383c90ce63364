#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace vantrel {

// Cell colours in the 0x00BBGGRR encoding the windows paint: a marked cell is light blue.
inline constexpr uint32_t kMarkColor = 0xFFC0C0;
// The system window-background colour (a system colour code, top bit set).
inline constexpr uint32_t kWindowBackground = 0x80000005;

// A list of unplaced names: items in the order they were added, at most one current item.
class NamePanelList {
  public:
    int32_t Count() const { return static_cast<int32_t>(items_.size()); }
    bool Empty() const { return items_.empty(); }
    const std::string& Item(int32_t i) const { return items_[static_cast<std::size_t>(i)]; }
    void SetItem(int32_t i, std::string text) {
        items_[static_cast<std::size_t>(i)] = std::move(text);
    }
    const std::vector<std::string>& Items() const { return items_; }

    void Add(std::string name) { items_.push_back(std::move(name)); }
    void RemoveAt(int32_t i);
    void Clear();
    // Position of the first item equal to `name` (exact), or -1.
    int32_t Find(const std::string& name) const;

    // The current (selected) item, -1 for none.
    int32_t Current() const { return current_; }
    void SetCurrent(int32_t i) { current_ = (i >= 0 && i < Count()) ? i : -1; }

    bool Enabled = true;
    uint32_t BackColor = kWindowBackground;

  private:
    std::vector<std::string> items_;
    int32_t current_ = -1;
};

struct GridCell {
    std::string Text;
    uint32_t BackColor = 0;  // 0: no colour set yet

    bool IsMarked() const { return BackColor == kMarkColor; }
};

// The two-column mapping grid: column 0 an output name, column 1 an input name. No header row:
// row 0 is the first pair.
class MappingGrid {
  public:
    int32_t Rows() const { return static_cast<int32_t>(rows_.size()); }
    bool Empty() const { return rows_.empty(); }
    GridCell& Cell(int32_t row, int col) {
        return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    }
    const GridCell& Cell(int32_t row, int col) const {
        return rows_[static_cast<std::size_t>(row)][static_cast<std::size_t>(col)];
    }
    const std::string& Text(int32_t row, int col) const { return Cell(row, col).Text; }

    void AddRow() { rows_.emplace_back(); }
    void RemoveRow(int32_t row) { rows_.erase(rows_.begin() + row); }
    // Takes row `from` out and puts it back so that it ends at index `to`; the rows between
    // shift by one.
    void MoveRow(int32_t from, int32_t to);
    void SetRowCount(int32_t n) { rows_.resize(static_cast<std::size_t>(n < 0 ? 0 : n)); }
    // True when some row holds exactly `name` in column `col`.
    bool ColumnHolds(int col, const std::string& name) const;

    bool Enabled = true;
    // The current cell: the one last clicked, and the column the return buttons read.
    int32_t CurrentRow = 0;
    int CurrentCol = 0;
    // Sizes in twips the window reports, and the width both columns get from them.
    int32_t Width = 0;
    int32_t Height = 0;
    int32_t RowHeight = 0;
    int32_t ColumnWidth = 0;

  private:
    std::vector<std::array<GridCell, 2>> rows_;
};

// What one mapping window shows: the two lists of unplaced names and the grid between them.
struct MappingPanel {
    std::array<NamePanelList, 2> Lists;  // by side: 0 output, 1 input
    MappingGrid Grid;
    int32_t DragItem = -1;     // list position current at the last list press
    bool Busy = false;         // an edit runs: the window shows itself disabled
    bool UndoEnabled = false;  // the window's undo button
};

}  // namespace vantrel
