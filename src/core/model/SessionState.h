#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/ErrorLog.h"
#include "model/ImportDefinition.h"
#include "model/NameList.h"

namespace vantrel {

// Everything the windows and operations share while the program runs: the import definition
// plus the run-time state around it. One object, owned by the application and passed by
// reference.
struct SessionState {
    ImportDefinition Definition;
    ErrorLog Errors;

    std::string WorkDbPath;                // temporary work database, fixed while running
    std::array<std::string, 5> UndoFiles;  // the five snapshot files of the undo ring
    int32_t UndoDepth = 0;                 // snapshots held, 0..5
    int32_t UndoPos = 0;                   // ring position 1..5 of the newest, 0 = empty
    std::array<int32_t, 6> UndoSlots{};    // [1..5]: ring positions of held snapshots, oldest first

    bool FieldsChanged = false;  // the field mapping shown in the field settings window changed
    int32_t CurrentTable = 0;    // pair open in the field settings window and method dialog
    NameList OutFieldList;       // fields of the current pair's output table
    NameList InFieldList;        // fields of the current pair's input table
    int32_t StartCount = 0;      // 1 once a run has passed its checks (backup asked once)

    std::array<std::string, 2> SideFolder;    // path up to and including its last separator
    std::array<std::string, 2> SideFileName;  // path after its last separator
    std::string DefinitionName;               // file name of the definition last opened
};

}  // namespace vantrel
