#include "editor/ButtonStates.h"

#include <algorithm>

namespace vantrel {

namespace {

// The buttons both windows share, decided alike.
template <typename Buttons>
void ArrowButtons(const MappingPanel& panel, Buttons& b) {
    const bool rows = !panel.Grid.Empty();
    const bool inputs = !panel.Lists[kInputSide].Empty();
    b.CmdSendOut = !panel.Lists[kOutputSide].Empty();
    b.CmdBack0 = ColumnHasEntry(panel.Grid, kOutputSide);
    b.CmdSetOrder = rows && inputs;
    b.CmdSendIN = rows && inputs;
    b.CmdBack1 = ColumnHasEntry(panel.Grid, kInputSide);
    b.CmdFuseigou = rows;
}

}  // namespace

bool ColumnHasEntry(const MappingGrid& grid, int col) {
    for (int32_t r = 0; r < grid.Rows(); ++r)
        if (!grid.Text(r, col).empty()) return true;
    return false;
}

bool StartCheck(const ImportDefinition& def, const MappingGrid& grid) {
    const int32_t positions = std::min(def.FieldMax, def.FieldPairs.FieldBound());
    for (int32_t r = 0; r < grid.Rows(); ++r) {
        if (grid.Text(r, 0).empty() || grid.Text(r, 1).empty()) continue;
        const int32_t t = r + 1;
        if (t > def.FieldPairs.TableBound()) continue;
        for (int32_t j = 1; j <= positions; ++j) {
            const FieldPair& f = def.FieldPairs(t, j);
            if (!f.InField.empty() && !f.OutField.empty()) return true;
        }
    }
    return false;
}

MainButtons MainEnabledSwitch(const SessionState& state, const MappingPanel& panel) {
    const ImportDefinition& def = state.Definition;
    const bool rows = !panel.Grid.Empty();
    const bool bothPaths = !def.OutputPath.empty() && !def.InputPath.empty();
    MainButtons b;
    ArrowButtons(panel, b);
    b.CmdStart = StartCheck(def, panel.Grid);
    b.CmdFieldSet = bothPaths && rows;
    b.Save = bothPaths;
    b.CmdErr = state.Errors.ErrorCount() != 0;
    b.CmdIn = !def.OutputPath.empty() && (!panel.Lists[kOutputSide].Empty() || rows);
    return b;
}

FieldButtons FieldEnabledSwitch(const SessionState& state, const MappingPanel& panel,
                                int32_t mainGridRows) {
    FieldButtons b;
    ArrowButtons(panel, b);
    b.CmdB = state.CurrentTable >= 2;
    b.CmdF = state.CurrentTable < mainGridRows;
    b.CmdErr = state.Errors.ErrorCount() != 0;
    return b;
}

}  // namespace vantrel
