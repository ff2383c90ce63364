#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "model/ErrorLog.h"
#include "model/ImportDefinition.h"
#include "model/NameList.h"

namespace vantrel {

// Which input row each staged record came from, kept as the few points where the distance
// between record number and row number changes (skipped rows, header rows).
class SourceRowMap {
  public:
    // Records that the next staged record of `table` came from input row `row`.
    void Add(const std::string& table, int64_t row) {
        Table& t = tables_[table];
        const int64_t record = ++t.Count;
        if (t.Steps.empty() || t.Steps.back().second != row - record)
            t.Steps.emplace_back(record, row - record);
    }
    // The input row of staged record `record` (1-based) of `table`; 0 when unknown.
    int64_t RowOf(const std::string& table, int64_t record) const {
        const auto it = tables_.find(table);
        if (it == tables_.end() || it->second.Steps.empty() || record < 1) return 0;
        const auto& steps = it->second.Steps;
        auto step = std::upper_bound(steps.begin(), steps.end(),
                                     std::pair<int64_t, int64_t>{record, INT64_MAX});
        if (step == steps.begin()) return 0;
        return record + std::prev(step)->second;
    }
    void Forget(const std::string& table) { tables_.erase(table); }
    void Clear() { tables_.clear(); }

  private:
    struct Table {
        int64_t Count = 0;
        std::vector<std::pair<int64_t, int64_t>> Steps;  // (first record, row - record)
    };
    std::map<std::string, Table> tables_;
};

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
    SourceRowMap StagedRows;     // input rows of the staged records of the last run
    // Staged tables whose input could not be read to its end, with the reason their pairs are
    // not written.
    std::map<std::string, std::string> IncompleteStaging;

    std::array<std::string, 2> SideFolder;    // path up to and including its last separator
    std::array<std::string, 2> SideFileName;  // path after its last separator
    std::string DefinitionName;               // file name of the definition last opened
};

}  // namespace vantrel
