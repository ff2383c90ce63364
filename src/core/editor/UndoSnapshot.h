#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "editor/MappingPanel.h"
#include "model/ImportDefinition.h"
#include "model/SessionState.h"

namespace vantrel {

// One window's lists and grid together with the whole definition, as the undo ring keeps it.
struct UndoSnapshot {
    std::vector<std::string> OutItems;
    std::vector<std::string> InItems;
    std::vector<std::array<std::string, 2>> Rows;
    int32_t FileVersion = 0;
    bool BackupFlag = false;
    std::string OutputPath;
    std::string InputPath;
    int32_t TableMax = 0;
    int32_t TableCount = 0;
    int32_t FieldMax = 0;
    std::array<std::string, 2> SideFolder;
    std::array<std::string, 2> SideFileName;
    std::vector<TableSetting> Tables = std::vector<TableSetting>(1);
    FieldPairMatrix FieldPairs;
};

UndoSnapshot TakeSnapshot(const SessionState& state, const MappingPanel& panel);
// Replaces lists, grid (without marks or selections) and definition with the snapshot's.
void RestoreSnapshot(UndoSnapshot&& snapshot, SessionState& state, MappingPanel& panel);

// The private file form: a magic, a version, then counts and length-prefixed texts.
std::string EncodeSnapshot(const UndoSnapshot& snapshot);
// False, with `snapshot` in no particular state, when the bytes are not a whole, well-formed
// snapshot.
bool DecodeSnapshot(std::string_view bytes, UndoSnapshot& snapshot);

}  // namespace vantrel
