#include "editor/TablePairs.h"

#include <algorithm>
#include <utility>

#include "sources/FieldPairMaintenance.h"
#include "sources/SourceCatalog.h"

namespace vantrel {

void ReleasePair(ImportDefinition& def, int side, int32_t row) {
    const int32_t n = row + 1;
    const int32_t positions = std::min(def.FieldMax, def.FieldPairs.FieldBound());
    if (side == kInputSide) {
        if (n < 1 || n >= static_cast<int32_t>(def.Tables.size())) return;
        def.Table(n).InTable.clear();
        if (n <= def.FieldPairs.TableBound()) {
            for (int32_t j = 1; j <= positions; ++j)
                def.FieldPairs(n, j).InField.clear();
        }
        return;
    }
    std::vector<TableSetting> oldTables = std::move(def.Tables);
    FieldPairMatrix oldPairs = std::move(def.FieldPairs);
    def.Tables.assign(oldTables.size(), TableSetting{});
    def.FieldPairs.Allocate(oldPairs.TableBound(), oldPairs.FieldBound());
    const int32_t last = std::min(def.TableCount, static_cast<int32_t>(oldTables.size()) - 1);
    int32_t k = 0;
    for (int32_t t = 1; t <= last; ++t) {
        // Pairs of rows whose output cell was emptied stay: each still has its grid row.
        if (t == n) continue;
        ++k;
        def.Table(k) = std::move(oldTables[static_cast<std::size_t>(t)]);
        def.Table(k).FieldSlot = k;
        if (t <= oldPairs.TableBound() && k <= def.FieldPairs.TableBound()) {
            for (int32_t j = 1; j <= positions; ++j)
                def.FieldPairs(k, j) = std::move(oldPairs(t, j));
        }
    }
    def.TableCount = k;
}

namespace {

bool SlotExists(const ImportDefinition& def, int32_t n) {
    return n >= 1 && n <= def.TableMax && n < static_cast<int32_t>(def.Tables.size()) &&
           n <= def.FieldPairs.TableBound();
}

}  // namespace

void RefreshPairFields(SessionState& state, int32_t t, std::string_view mode, FieldLister& fields) {
    fields.ListFields(t, kOutputSide, state.OutFieldList);
    fields.ListFields(t, kInputSide, state.InFieldList);
    ReconcileFields(state.Definition, t, state.OutFieldList, state.InFieldList, mode, state.Errors);
}

void BuildPairFromRow(SessionState& state, const MappingGrid& grid, int32_t row,
                      FieldLister& fields) {
    ImportDefinition& def = state.Definition;
    const int32_t n = row + 1;
    if (row < 0 || row >= grid.Rows()) return;
    if (!SlotExists(def, n)) {
        const int32_t oldSlots = std::min(def.FieldPairs.TableBound(), def.TableMax);
        const int32_t tableMax = std::max(n, def.TableMax);
        def.Tables.resize(static_cast<std::size_t>(tableMax) + 1);
        def.FieldPairs.Reshape(tableMax, def.FieldMax, oldSlots, def.FieldMax);
        def.TableMax = tableMax;
        def.TableCount = std::max(def.TableCount, n);
    }
    // A rebuilt pair starts without field pairs: those of a former output table would name
    // fields the new one lacks, and reconciling with mode "0" keeps whatever is there.
    for (int32_t j = 0; j <= def.FieldPairs.FieldBound(); ++j)
        def.FieldPairs(n, j) = FieldPair{};
    TableSetting& pair = def.Table(n);
    pair = def.DefaultTableSetting;
    pair.FieldSlot = n;
    pair.OutTable = grid.Text(row, kOutputSide);
    pair.InTable = grid.Text(row, kInputSide);
    if (pair.OutTable.empty() || pair.InTable.empty()) return;
    DefaultHeaderRow(pair, def.InputPath, false);
    RefreshPairFields(state, n, kKeepMapping, fields);
}

void AssignInputTable(SessionState& state, const MappingGrid& grid, int32_t row,
                      bool deriveHeaderRow, FieldLister& fields) {
    ImportDefinition& def = state.Definition;
    const int32_t n = row + 1;
    if (row < 0 || row >= grid.Rows() || !SlotExists(def, n)) return;
    def.Table(n).InTable = grid.Text(row, kInputSide);
    if (deriveHeaderRow) DefaultHeaderRow(def.Table(n), def.InputPath, false);
    RefreshPairFields(state, n, kCheckMapping, fields);
}

void MovePairInModel(ImportDefinition& def, int32_t from, int32_t to) {
    const int32_t a = from + 1;
    const int32_t b = to + 1;
    if (a == b || !SlotExists(def, a) || !SlotExists(def, b)) return;
    const int32_t step = a < b ? 1 : -1;
    for (int32_t k = a; k != b; k += step) {
        std::swap(def.Table(k), def.Table(k + step));
        def.FieldPairs.SwapSlots(k, k + step);
    }
    for (int32_t k = std::min(a, b); k <= std::max(a, b); ++k)
        def.Table(k).FieldSlot = k;
}

}  // namespace vantrel
