#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace vantrel::reader {

// Cells holding TRUE or FALSE, by sheet name: the workbook library reports them as the numbers 1
// and 0, while users expect the words Excel shows. Found by reading the workbook's own records.
using BooleanCells = std::map<std::string, std::set<std::pair<uint32_t, uint32_t>>>;

// Empty when the file cannot be read this way (the cells then stay numbers).
BooleanCells FindBooleanCells(const std::string& path);

}  // namespace vantrel::reader
