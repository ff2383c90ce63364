#pragma once

#include <string>
#include <vector>

namespace vantrel::bench {

// Writes an .xlsx workbook of one sheet "Data": a header row of `columns` names, then `rows` rows
// of the benchmark's ten columns (numbers, unique codes, decimals, dates, Japanese text, booleans)
// the way Excel writes them (shared strings, cell references, a date style). The XML is written
// to temporary files and compressed by libzip, so the generator's memory stays small too.
bool WriteBenchmarkWorkbook(const std::string& path, long rows,
                            const std::vector<std::string>& columns);

}  // namespace vantrel::bench
