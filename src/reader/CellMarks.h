#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <utility>

namespace vantrel::reader {

using CellPosition = std::pair<uint32_t, uint32_t>;  // 0-based row, column

// Cells the workbook library reports as numbers although Excel shows words: TRUE and FALSE
// (reported as 1 and 0) and error values such as #DIV/0! (reported as 1). Found by reading the
// workbook's own records.
struct SheetCellMarks {
    std::set<CellPosition> Booleans;
    std::map<CellPosition, uint8_t> Errors;  // by Excel's error code
};
using CellMarks = std::map<std::string, SheetCellMarks>;  // by sheet name

// Empty when the file cannot be read this way (the cells then stay numbers).
CellMarks FindCellMarks(const std::string& path);

// The text Excel shows for an error code ("#DIV/0!"); "#N/A" for a code it does not know.
std::string ErrorCodeText(uint8_t code);

}  // namespace vantrel::reader
