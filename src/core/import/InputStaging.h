#pragma once

#include <functional>

#include "model/SessionState.h"
#include "sources/DelimitedText.h"
#include "sources/engine/Engine.h"

namespace vantrel {

// Told how many input rows were read so far, at the start and every thousand rows; returning
// false stops staging.
using StagingProgress = std::function<bool(int64_t rows)>;

// Copies everything the run will read into the work database: the sheets, text lines or input
// tables of every pair, with its rows to skip and header row applied. Returns false when staging
// cannot start (the work database or the input cannot be opened) or `progress` stopped it;
// problems with single pairs, rows or cells are logged and staging goes on. The input file is
// only ever read.
bool StageInput(SessionState& state, Engine& engine, const StagingProgress& progress = {});

// Names of the staged tables of pairs 1..TableCount (element 0 unused, empty where a pair has no
// input). A text file's table is named up to its first "." and shared by every pair naming it
// (the file is read once). Other input tables keep their whole name; pairs that read one table
// with the same rows to skip and header row share its copy, and a pair that reads it otherwise
// gets a copy of its own, so each pair's settings apply to the table as the input holds it.
std::vector<std::string> StagedTableNames(const ImportDefinition& def);

// Whether row x is left out: for workbooks and text, x is in the list and the list's last
// number is at least x (plain membership for lists written in ascending order).
bool IsSkippedRow(const RowsToSkip& skip, int64_t x);

}  // namespace vantrel
