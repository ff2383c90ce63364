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

// Name of the staged table of a pair: a text file's table up to its first "." (the table is
// named after the file), every other input table by its whole name.
std::string StagedTableName(const std::string& inputPath, const std::string& inTable);

// Whether row x is left out: for workbooks and text, x is in the list and the list's last
// number is at least x (plain membership for lists written in ascending order).
bool IsSkippedRow(const RowsToSkip& skip, int64_t x);

}  // namespace vantrel
