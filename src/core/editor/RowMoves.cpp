#include "editor/RowMoves.h"

#include "editor/TablePairs.h"
#include "editor/UndoHistory.h"

namespace vantrel {

bool RowMoves::PressGrid(int32_t row, int col, bool rightButton) {
    if (panel_.Grid.Empty()) return false;
    popup_.PopupRow = row;
    popup_.PopupCol = col;
    if (!rightButton) return false;
    PreparePopup();
    state_.CurrentTable = row + 1;
    return true;
}

void RowMoves::PreparePopup() {
    const MappingGrid& grid = panel_.Grid;
    const int32_t current = grid.CurrentRow;
    popup_.FieldSettingsEnabled = !grid.Empty() && current >= 0 && current < grid.Rows() &&
                                  !grid.Text(current, kOutputSide).empty();
}

bool RowMoves::PressedCellValid() const {
    return (popup_.PopupCol == 0 || popup_.PopupCol == 1) && popup_.PopupRow >= 0 &&
           popup_.PopupRow < panel_.Grid.Rows();
}

void RowMoves::MarkRowForMoving() {
    if (!PressedCellValid()) return;
    popup_.MoveSourceRow = popup_.PopupRow;
    popup_.MoveSourceCol = popup_.PopupCol;
    popup_.InsertEnabled = true;
}

bool RowMoves::Insert(bool below) {
    MappingGrid& grid = panel_.Grid;
    const int32_t s = popup_.MoveSourceRow;
    const int32_t t = popup_.PopupRow;
    // The picked row may be gone since: then there is nothing to move.
    if (!popup_.InsertEnabled || !PressedCellValid() || s < 0 || s >= grid.Rows()) return false;
    panel_.Busy = true;
    PushUndo(state_, panel_);
    int32_t to = t;
    if (below && t < s) to = t + 1;
    if (!below && t > s) to = t - 1;
    grid.MoveRow(s, to);
    const int col = grid.CurrentCol == 1 ? 1 : 0;
    grid.Cell(t, col).BackColor = kWindowBackground;
    grid.Cell(s, col).BackColor = kWindowBackground;
    ImportDefinition& def = state_.Definition;
    // Pairs move even without field positions, or they would part from their rows.
    if (def.TableCount > 0) MovePairInModel(def, s, to);
    popup_.InsertEnabled = false;
    panel_.Busy = false;
    return true;
}

}  // namespace vantrel
