#pragma once

#include <cstdint>
#include <vector>

#include "editor/FieldLister.h"
#include "editor/MappingPanel.h"
#include "model/SessionState.h"

namespace vantrel {

// Which mapping window an operation edits: the main window pairs tables and keeps the
// definition in step with its grid; the field settings window pairs fields and only marks its
// mapping as changed, writing it back itself.
enum class EditorWindow { Main, FieldSettings };

// The list and grid operations both mapping windows share. Every edit runs in one frame:
// guard, busy, snapshot, the edit, column fitting, not busy. The window applies the button
// states after each call.
class MappingOperations {
  public:
    MappingOperations(SessionState& state, MappingPanel& panel, EditorWindow window,
                      FieldLister& fields)
        : state_(state), panel_(panel), window_(window), fields_(fields) {}

    // ">>": the selected output name, or all of them, into new rows at the bottom.
    void SendOut();
    // "<": each selected input name to the row whose output has the same name.
    bool SendIn();
    // "<-": selected input names into the empty input cells from the top.
    bool FillBlanks();
    // "<<" (side 0) returns whole rows, ">>" (side 1) input names; marked rows or all.
    bool Return(int side);
    // A press on a list; true when the window should begin a drag.
    bool StartDrag(int side, bool leftButton);
    // A drop on the grid cell (row, col) from the list of `draggedSide` (-1: not a list).
    bool Drop(int draggedSide, int32_t row, int col);
    // A click on a grid cell: it becomes current and its mark flips.
    void ToggleMark(int32_t row, int col);
    // Gives the names of one-sided rows back to their lists and removes those rows. True when
    // the error window should be shown.
    bool RevertOneSided();

    // Fits the two column widths to the grid's current sizes.
    void FitColumns();

  private:
    bool IsMain() const { return window_ == EditorWindow::Main; }
    NamePanelList& List(int side) { return panel_.Lists[static_cast<std::size_t>(side)]; }
    void BeginEdit();
    void EndEdit();
    bool CanPlaceInputs() const;
    template <typename Visit>
    void VisitSelectedItems(int side, Visit visit);
    std::vector<bool> SelectedRows(int side);
    void PlaceInput(int32_t row, bool deriveHeaderRow);
    void SyncTableCount();

    SessionState& state_;
    MappingPanel& panel_;
    EditorWindow window_;
    FieldLister& fields_;
};

}  // namespace vantrel
