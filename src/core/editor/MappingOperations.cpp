#include "editor/MappingOperations.h"

#include <algorithm>

#include "editor/GridLayout.h"
#include "editor/TablePairs.h"
#include "editor/UndoHistory.h"

namespace vantrel {

namespace {

bool AllFalse(const std::vector<bool>& flags) {
    return std::none_of(flags.begin(), flags.end(), [](bool f) { return f; });
}

}  // namespace

void MappingOperations::BeginEdit() {
    panel_.Busy = true;
    PushUndo(state_, panel_);
    if (!IsMain()) state_.FieldsChanged = true;
}

void MappingOperations::EndEdit() {
    FitColumns();
    panel_.Busy = false;
}

void MappingOperations::FitColumns() {
    MappingGrid& g = panel_.Grid;
    g.ColumnWidth = FitGridColumns(g.Width, g.Height, g.RowHeight, g.Rows(), g.ColumnWidth);
}

bool MappingOperations::CanPlaceInputs() const {
    return !panel_.Grid.Empty() && !panel_.Lists[kInputSide].Empty();
}

void MappingOperations::SyncTableCount() {
    if (IsMain()) state_.Definition.TableCount = panel_.Grid.Rows();
}

// Visits each item the list held at the start that is selected (all of them when none is),
// passing its live position; `visit` tells whether the item left the list.
template <typename Visit>
void MappingOperations::VisitSelectedItems(int side, Visit visit) {
    const NamePanelList& list = List(side);
    const int32_t count = list.Count();
    const int32_t current = list.Current();
    int32_t gone = 0;
    for (int32_t i = 0; i < count; ++i) {
        if (current >= 0 && i != current) continue;
        if (visit(i - gone)) ++gone;
    }
}

std::vector<bool> MappingOperations::SelectedRows(int side) {
    MappingGrid& grid = panel_.Grid;
    grid.Enabled = false;
    grid.CurrentCol = side;
    std::vector<bool> selected(static_cast<std::size_t>(grid.Rows()), false);
    for (int32_t r = 0; r < grid.Rows(); ++r) {
        GridCell& cell = grid.Cell(r, side);
        if (!cell.IsMarked()) continue;
        selected[static_cast<std::size_t>(r)] = true;
        cell.BackColor = kWindowBackground;
    }
    grid.Enabled = true;
    if (AllFalse(selected)) selected.assign(selected.size(), true);
    return selected;
}

void MappingOperations::PlaceInput(int32_t row, bool deriveHeaderRow) {
    if (IsMain()) AssignInputTable(state_, panel_.Grid, row, deriveHeaderRow, fields_);
}

void MappingOperations::SendOut() {
    MappingGrid& grid = panel_.Grid;
    if (IsMain()) {
        PushUndo(state_, panel_);
    } else {
        grid.Enabled = false;
        PushUndo(state_, panel_);
        state_.FieldsChanged = true;
    }
    VisitSelectedItems(kOutputSide, [&](int32_t live) {
        grid.AddRow();
        const int32_t row = grid.Rows() - 1;
        grid.Cell(row, kOutputSide).Text = List(kOutputSide).Item(live);
        List(kOutputSide).RemoveAt(live);
        if (!IsMain()) return true;
        const int32_t match = List(kInputSide).Find(grid.Text(row, kOutputSide));
        if (match >= 0) {
            grid.Cell(row, kInputSide).Text = List(kInputSide).Item(match);
            List(kInputSide).RemoveAt(match);
        }
        BuildPairFromRow(state_, grid, row, fields_);
        return true;
    });
    SyncTableCount();
    grid.Enabled = true;
    FitColumns();
}

bool MappingOperations::SendIn() {
    if (!CanPlaceInputs()) return false;
    BeginEdit();
    MappingGrid& grid = panel_.Grid;
    NamePanelList& inputs = List(kInputSide);
    VisitSelectedItems(kInputSide, [&](int32_t live) {
        const std::string name = inputs.Item(live);
        int32_t row = 0;
        while (row < grid.Rows() && grid.Text(row, kOutputSide) != name)
            ++row;
        if (row == grid.Rows()) return false;
        std::string& cell = grid.Cell(row, kInputSide).Text;
        const bool left = cell.empty();
        if (left) {
            inputs.RemoveAt(live);
        } else {
            inputs.SetItem(live, cell);  // swapped out; not visited again
        }
        cell = name;
        PlaceInput(row, true);
        return left;
    });
    EndEdit();
    return true;
}

bool MappingOperations::FillBlanks() {
    if (!CanPlaceInputs()) return false;
    BeginEdit();
    MappingGrid& grid = panel_.Grid;
    NamePanelList& inputs = List(kInputSide);
    int32_t scan = 0;
    VisitSelectedItems(kInputSide, [&](int32_t live) {
        while (scan < grid.Rows() && !grid.Text(scan, kInputSide).empty())
            ++scan;
        if (scan >= grid.Rows()) return false;  // past the last row: the rest stay
        grid.Cell(scan, kInputSide).Text = inputs.Item(live);
        inputs.RemoveAt(live);
        PlaceInput(scan, true);
        ++scan;
        return true;
    });
    EndEdit();
    return true;
}

bool MappingOperations::Return(int side) {
    MappingGrid& grid = panel_.Grid;
    if (grid.Empty() || (side != kOutputSide && side != kInputSide)) return false;
    BeginEdit();
    const std::vector<bool> selected = SelectedRows(side);
    int32_t live = 0;
    for (const bool chosen : selected) {
        if (!chosen) {
            ++live;
            continue;
        }
        const std::string& name = grid.Text(live, side);
        if (!name.empty()) List(side).Add(name);
        if (IsMain()) ReleasePair(state_.Definition, side, live);
        if (side == kInputSide) {
            grid.Cell(live, kInputSide).Text.clear();
            ++live;
            continue;
        }
        if (!grid.Text(live, kInputSide).empty()) List(kInputSide).Add(grid.Text(live, kInputSide));
        grid.RemoveRow(live);
    }
    SyncTableCount();
    EndEdit();
    return true;
}

bool MappingOperations::StartDrag(int side, bool leftButton) {
    if (side != kOutputSide && side != kInputSide) return false;
    const NamePanelList& list = List(side);
    if (list.Empty() || list.Current() < 0) return false;
    panel_.DragItem = list.Current();
    return leftButton && (!IsMain() || !panel_.Grid.Empty());
}

bool MappingOperations::Drop(int draggedSide, int32_t row, int col) {
    MappingGrid& grid = panel_.Grid;
    if (grid.Empty() || (draggedSide != kOutputSide && draggedSide != kInputSide)) return false;
    if (col != draggedSide || row < 0 || row >= grid.Rows()) return false;
    NamePanelList& list = List(col);
    // The drag item is the position of the last press; a list changed since may not have it.
    if (panel_.DragItem < 0 || panel_.DragItem >= list.Count()) return false;
    BeginEdit();
    std::string& cell = grid.Cell(row, col).Text;
    std::string previous = std::move(cell);
    cell = list.Item(panel_.DragItem);
    list.SetItem(panel_.DragItem, std::move(previous));
    if (list.Item(panel_.DragItem).empty()) {
        list.RemoveAt(panel_.DragItem);
    } else {
        list.SetCurrent(-1);
    }
    if (IsMain()) {
        if (col == kInputSide) {
            PlaceInput(row, false);
        } else {
            BuildPairFromRow(state_, grid, row, fields_);
        }
    }
    EndEdit();
    return true;
}

void MappingOperations::ToggleMark(int32_t row, int col) {
    MappingGrid& grid = panel_.Grid;
    if (row < 0 || row >= grid.Rows() || col < 0 || col > 1) return;
    grid.CurrentRow = row;
    grid.CurrentCol = col;
    GridCell& cell = grid.Cell(row, col);
    cell.BackColor = cell.IsMarked() ? kWindowBackground : kMarkColor;
}

bool MappingOperations::RevertOneSided() {
    MappingGrid& grid = panel_.Grid;
    const int32_t visits = grid.Rows();
    int32_t live = 0;
    for (int32_t i = 0; i < visits; ++i) {
        const bool hasOut = !grid.Text(live, kOutputSide).empty();
        const bool hasIn = !grid.Text(live, kInputSide).empty();
        if (hasOut == hasIn) {
            ++live;
            continue;
        }
        const int side = hasOut ? kOutputSide : kInputSide;
        List(side).Add(grid.Text(live, side));
        if (IsMain()) ReleasePair(state_.Definition, kOutputSide, live);
        grid.RemoveRow(live);
    }
    SyncTableCount();
    if (!IsMain()) state_.FieldsChanged = true;
    ErrorLog& log = state_.Errors;
    if (!log.Pending.IsSet()) return false;
    log.AddErrorLine(log.Pending.Description);
    return true;
}

}  // namespace vantrel
