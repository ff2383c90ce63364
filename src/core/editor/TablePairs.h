#pragma once

#include <cstdint>

#include "model/ImportDefinition.h"

namespace vantrel {

// Releases one side of table pair row + 1. Side 0 drops the pair: later pairs move up one slot
// (pairs with no output table are dropped too), so pair k stays aligned with grid row k - 1
// once the grid row is deleted. Side 1 forgets the pair's input table and input fields.
void ReleasePair(ImportDefinition& def, int side, int32_t row);

}  // namespace vantrel
