#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "access/JetFile.h"

namespace vantrel::access {

// Whether the key bytes of `index` can be built here: every column of a numeric, date, Yes/No,
// GUID or binary type. Text and Memo keys need the collation tables; a descending Decimal key
// of a Jet4 file follows an ordering no file at hand shows.
bool IndexSupportsKeys(const JetTable& table, const JetRealIndex& index, int version);

// The column values of a stored row in the form IndexKey takes: SplitRow's values, with each
// Yes/No column holding one byte (1 Yes, 0 No) taken from the row's null mask.
std::vector<std::optional<std::string_view>> KeyValuesOfRow(const JetTable& table,
                                                            std::string_view row);

// The key bytes Access stores for a row in `index` (before the row pointer). `values` are in the
// order of table.Columns, as KeyValuesOfRow gives them; no value means Null. No key when the
// index ignores Nulls and every key column is Null: such a row takes no entry.
// Only for indexes IndexSupportsKeys accepts.
std::optional<std::string> IndexKey(const JetTable& table, const JetRealIndex& index,
                                    const std::vector<std::optional<std::string_view>>& values);

}  // namespace vantrel::access
