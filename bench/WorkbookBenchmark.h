#pragma once

namespace vantrel::bench {

// vantrel-bench --xlsx [ROWS [ROUNDS]]: the import of a generated workbook into SQLite; the reader
// process streams the sheet, so its peak memory is the shared strings and a few buffers.
int BenchmarkWorkbook(long rows, int rounds);

}  // namespace vantrel::bench
