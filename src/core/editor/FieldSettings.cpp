#include "editor/FieldSettings.h"

#include <algorithm>

#include "editor/TablePairs.h"
#include "editor/UndoHistory.h"
#include "sources/FieldPairMaintenance.h"

namespace vantrel {

namespace {

bool HasSlot(const ImportDefinition& def, int32_t t) {
    return t >= 1 && t <= def.FieldPairs.TableBound();
}

}  // namespace

void FillFieldGrid(const ImportDefinition& def, int32_t t, MappingGrid& grid) {
    grid.Enabled = false;
    grid.SetRowCount(0);
    if (HasSlot(def, t)) {
        const int32_t last = std::min(def.FieldMax, def.FieldPairs.FieldBound());
        for (int32_t j = 1; j <= last && !def.FieldPairs(t, j).OutField.empty(); ++j) {
            grid.AddRow();
            const int32_t row = grid.Rows() - 1;
            grid.Cell(row, kOutputSide) =
                GridCell{def.FieldPairs(t, j).OutField, kWindowBackground};
            grid.Cell(row, kInputSide) = GridCell{def.FieldPairs(t, j).InField, kWindowBackground};
        }
    }
    grid.Enabled = true;
}

void ListUnplaced(const NameList& names, const MappingGrid& grid, int side, NamePanelList& list) {
    list.Clear();
    for (int32_t i = 1; i <= names.Count(); ++i)
        if (!grid.ColumnHolds(side, names[i])) list.Add(names[i]);
}

bool FieldSettings::Open() {
    main_.Busy = true;
    panel_.Busy = true;
    state_.FieldsChanged = false;
    const bool showErrors = LoadPair();
    panel_.Busy = false;
    return showErrors;
}

bool FieldSettings::LoadPair() {
    ClearUndo(state_, panel_);
    RefreshPairFields(state_, state_.CurrentTable, kKeepMapping, fields_);
    ShowPairFields();
    return state_.Errors.ErrorCount() != 0;
}

void FieldSettings::ShowPairFields() {
    FillFieldGrid(state_.Definition, state_.CurrentTable, panel_.Grid);
    ListUnplaced(state_.OutFieldList, panel_.Grid, kOutputSide, panel_.Lists[kOutputSide]);
    ListUnplaced(state_.InFieldList, panel_.Grid, kInputSide, panel_.Lists[kInputSide]);
}

void FieldSettings::ClearFieldPairs(int32_t t) {
    ImportDefinition& def = state_.Definition;
    if (!HasSlot(def, t)) return;
    const int32_t last = std::min(def.FieldMax, def.FieldPairs.FieldBound());
    for (int32_t j = 1; j <= last; ++j)
        def.FieldPairs(t, j) = FieldPair{};
}

void FieldSettings::StoreFieldPairs() {
    ImportDefinition& def = state_.Definition;
    const MappingGrid& grid = panel_.Grid;
    const int32_t t = state_.CurrentTable;
    // Cleared after growing too: rows without an output field leave positions that would
    // otherwise keep stale pairs behind the stored ones.
    if (def.FieldMax < grid.Rows()) ResizeModel(def, def.TableMax, grid.Rows(), state_.Errors);
    ClearFieldPairs(t);
    if (grid.Empty() || !HasSlot(def, t)) return;
    int32_t k = 0;
    for (int32_t r = 0; r < grid.Rows() && k < def.FieldPairs.FieldBound(); ++r) {
        if (grid.Text(r, kOutputSide).empty()) continue;
        ++k;
        def.FieldPairs(t, k) = FieldPair{grid.Text(r, kInputSide), grid.Text(r, kOutputSide)};
    }
}

bool FieldSettings::Step(int32_t delta, bool& showErrors) {
    showErrors = false;
    const int32_t target = state_.CurrentTable + delta;
    if (target < 1 || target > main_.Grid.Rows()) return false;
    panel_.Busy = true;
    if (state_.FieldsChanged) StoreFieldPairs();
    state_.CurrentTable = target;
    showErrors = LoadPair();
    panel_.Busy = false;
    return true;
}

void FieldSettings::Leave() {
    StoreFieldPairs();
    ClearUndo(state_, panel_);
    ClearUndo(state_, main_);
    main_.Busy = false;
}

}  // namespace vantrel
