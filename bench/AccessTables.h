#pragma once

#include <set>
#include <string>

namespace vantrel::bench {

// Makes `path` (a copy of a fixture) hold the benchmark's output table: EmptyAllTypes keeping
// only the indexes named in `keep`, and, when `japanese` is set, the column PlainText sorted in
// Japanese order (1041) instead of General (its other text columns stay General). The program
// cannot create tables, so the table definition is rewritten in place. Empty on success, else the
// reason.
std::string PrepareBenchTable(const std::string& path, const std::set<std::string>& keep,
                              bool japanese);

// Grows `path` to at least `bytes` by adding rows with long memos to its LongValues table.
std::string GrowDatabase(const std::string& path, unsigned long long bytes);

}  // namespace vantrel::bench
