#pragma once

#include <string>

#include "editor/MappingPanel.h"
#include "model/SessionState.h"

namespace vantrel {

// The program's one undo ring of five snapshot files, shared by both mapping windows. The ring
// bookkeeping lives in the session (UndoFiles, UndoPos, UndoDepth, UndoSlots); the panel passed
// in is the window that is edited or restored, and its undo button follows the ring.

// Creates the five empty snapshot files "imp..." in `folder`; false when one cannot be made.
bool CreateUndoFiles(SessionState& state, const std::string& folder);
// Removes the snapshot files; failures are ignored, they are scratch.
void DeleteUndoFiles(SessionState& state);

// Forgets every snapshot and disables the window's undo button.
void ClearUndo(SessionState& state, MappingPanel& panel);

// Saves the window and the definition before an edit. A snapshot that cannot be written does
// not count: the ring stays as it was. The definition counts as changed either way, since the
// edit follows.
bool PushUndo(SessionState& state, MappingPanel& panel);

// Restores the newest snapshot into the window and the definition. A file that cannot be read
// or is not a valid snapshot restores nothing and is dropped from the ring. False when nothing
// was restored.
bool PopUndo(SessionState& state, MappingPanel& panel);

}  // namespace vantrel
