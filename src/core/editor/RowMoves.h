#pragma once

#include <cstdint>

#include "editor/MappingPanel.h"
#include "model/SessionState.h"

namespace vantrel {

// The main grid's pop-up menu "List編集": which cell it was opened on, the row picked for
// moving, and which of its items are enabled.
struct GridPopup {
    int32_t PopupRow = -1;
    int32_t PopupCol = -1;
    int32_t MoveSourceRow = -1;
    int32_t MoveSourceCol = -1;
    bool FieldSettingsEnabled = false;  // フィールド設定
    bool InsertEnabled = false;         // 行の上に挿入 and 行の下に挿入
};

// The main window's press on the grid and its pop-up menu items.
class RowMoves {
  public:
    RowMoves(SessionState& state, MappingPanel& panel, GridPopup& popup)
        : state_(state), panel_(panel), popup_(popup) {}

    // A press on the cell (row, col); true when the pop-up menu should be shown.
    bool PressGrid(int32_t row, int col, bool rightButton);
    // Enables フィールド設定 only for a current row that has an output table.
    void PreparePopup();
    // 行の移動: remembers the pressed row as the one to move.
    void MarkRowForMoving();
    // 行の下に挿入 / 行の上に挿入: the remembered row goes directly below or above the pressed one.
    bool InsertBelow() { return Insert(true); }
    bool InsertAbove() { return Insert(false); }

  private:
    bool PressedCellValid() const;
    bool Insert(bool below);

    SessionState& state_;
    MappingPanel& panel_;
    GridPopup& popup_;
};

}  // namespace vantrel
