#pragma once

#include <cstdint>

#include "editor/MappingPanel.h"
#include "model/ImportDefinition.h"
#include "model/SessionState.h"

namespace vantrel {

// Enabled state of the main window's buttons, one member per control it governs.
struct MainButtons {
    bool CmdSendOut = false;
    bool CmdBack0 = false;  // CmdBack(0), "<<"
    bool CmdSetOrder = false;
    bool CmdSendIN = false;
    bool CmdBack1 = false;  // CmdBack(1), ">>"
    bool CmdStart = false;
    bool CmdFieldSet = false;
    bool Save = false;  // the picture button 保存
    bool CmdErr = false;
    bool CmdIn = false;
    bool CmdFuseigou = false;

    bool operator==(const MainButtons&) const = default;
};

// Enabled state of the field settings window's buttons.
struct FieldButtons {
    bool CmdSendOut = false;
    bool CmdBack0 = false;
    bool CmdSetOrder = false;
    bool CmdSendIN = false;
    bool CmdBack1 = false;
    bool CmdB = false;
    bool CmdF = false;
    bool CmdFuseigou = false;
    bool CmdErr = false;

    bool operator==(const FieldButtons&) const = default;
};

// True when some row's cell in the column is not empty.
bool ColumnHasEntry(const MappingGrid& grid, int col);

// True when some grid row has both tables and its pair feeds at least one output field.
bool StartCheck(const ImportDefinition& def, const MappingGrid& grid);

MainButtons MainEnabledSwitch(const SessionState& state, const MappingPanel& panel);
// `mainGridRows`: the number of table pairs, which bounds "next table".
FieldButtons FieldEnabledSwitch(const SessionState& state, const MappingPanel& panel,
                                int32_t mainGridRows);

}  // namespace vantrel
