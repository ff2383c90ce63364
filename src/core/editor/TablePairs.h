#pragma once

#include <cstdint>
#include <string_view>

#include "editor/FieldLister.h"
#include "editor/MappingPanel.h"
#include "model/ImportDefinition.h"
#include "model/SessionState.h"

namespace vantrel {

// Releases one side of table pair row + 1. Side 0 drops the pair: later pairs move up one slot,
// so pair k stays aligned with grid row k - 1 once the grid row is deleted. Side 1 forgets the
// pair's input table and input fields.
void ReleasePair(ImportDefinition& def, int side, int32_t row);

// Reads both field lists of pair t and brings its field pairs in line with them.
void RefreshPairFields(SessionState& state, int32_t t, std::string_view mode, FieldLister& fields);

// Rebuilds table pair row + 1 from the grid row with the default import method. A row past the
// allocated slots grows the whole model, field positions included, so its fields have a home.
void BuildPairFromRow(SessionState& state, const MappingGrid& grid, int32_t row,
                      FieldLister& fields);

// Gives pair row + 1 the input table of its grid row, its header row derived anew or kept.
void AssignInputTable(SessionState& state, const MappingGrid& grid, int32_t row,
                      bool deriveHeaderRow, FieldLister& fields);

// Moves pair from + 1 with its field pairs to index to + 1; the pairs between shift by one and
// every pair keeps FieldSlot equal to its index.
void MovePairInModel(ImportDefinition& def, int32_t from, int32_t to);

}  // namespace vantrel
