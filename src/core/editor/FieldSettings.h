#pragma once

#include <cstdint>

#include "editor/FieldLister.h"
#include "editor/MappingPanel.h"
#include "model/ImportDefinition.h"
#include "model/NameList.h"
#include "model/SessionState.h"

namespace vantrel {

// Shows the mapping of pair t in the field grid, one row per field pair, no marks.
void FillFieldGrid(const ImportDefinition& def, int32_t t, MappingGrid& grid);

// Fills the list of `side` with the names not already in the grid column of that side.
void ListUnplaced(const NameList& names, const MappingGrid& grid, int side, NamePanelList& list);

// The field settings window's own routines: loading a table pair into its lists and grid,
// writing the grid back, stepping between pairs and leaving.
class FieldSettings {
  public:
    FieldSettings(SessionState& state, MappingPanel& panel, MappingPanel& mainPanel,
                  FieldLister& fields)
        : state_(state), panel_(panel), main_(mainPanel), fields_(fields) {}

    // The window opens on CurrentTable. True when the error window should be shown.
    bool Open();
    // Loads pair CurrentTable with an empty undo history. True when the log holds lines.
    bool LoadPair();
    // Shows the field pairs of CurrentTable in the grid and the fields not placed in the lists,
    // from the field lists already read: after loading, and after the import method dialog
    // changed the pair's header row.
    void ShowPairFields();
    // Writes the grid into the field pairs of CurrentTable, packed from position 1.
    void StoreFieldPairs();
    // Empties every field position of pair t.
    void ClearFieldPairs(int32_t t);
    // "前へ" / "次へ": false when there is no such pair. `showErrors` as for LoadPair.
    bool Previous(bool& showErrors) { return Step(-1, showErrors); }
    bool Next(bool& showErrors) { return Step(1, showErrors); }
    // Leaving by "戻　る" or the close box: the grid is written back and neither window keeps
    // snapshots taken here.
    void Leave();

  private:
    bool Step(int32_t delta, bool& showErrors);

    SessionState& state_;
    MappingPanel& panel_;
    MappingPanel& main_;
    FieldLister& fields_;
};

}  // namespace vantrel
