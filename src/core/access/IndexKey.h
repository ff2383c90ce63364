#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "access/JetFile.h"

namespace vantrel::access {

// Whether the key bytes of `index` can be built here: every column of a numeric, date, Yes/No,
// GUID or binary type, or Text or Memo with a sort order TextSortOrderSupported accepts. A
// descending Decimal key of a Jet4 file follows an ordering no file at hand shows.
bool IndexSupportsKeys(const JetTable& table, const JetRealIndex& index, int version);

// The column values of a stored row in the form IndexKey takes: SplitRow's values, with each
// Yes/No column holding one byte (1 Yes, 0 No) taken from the row's null mask.
std::vector<std::optional<std::string_view>> KeyValuesOfRow(const JetTable& table,
                                                            std::string_view row);

// KeyValuesOfRow with the data of the Memo columns of `index` read from `file`: views into `row`
// and `memoData` (which must outlive them). None when a Memo's data cannot be read.
std::optional<std::vector<std::optional<std::string_view>>> KeyValuesOfRow(
    const PageSource& file, const JetTable& table, const JetRealIndex& index, std::string_view row,
    std::vector<std::string>& memoData);

struct KeyOptions {
    // Key ー ゝ ゞ ヽ ヾ 々 and the like the way Windows sorts them (see TextColumnKey); what
    // Access writes for them is not known.
    bool AllowUnverifiedKeys = false;
};

// Why a row's value cannot be keyed.
struct KeyProblem {
    std::string Column;
    char32_t Character = 0;   // the character with no weight, or the unverified one
    bool Unverified = false;  // a character whose key is not known rather than one without weight
};

// The key bytes Access stores for a row in `index` (before the row pointer). `values` are in the
// order of table.Columns, as KeyValuesOfRow gives them; no value means Null. A Text column's
// value is its stored bytes; a Memo column's value is its data as stored in the long value (UCS-2
// or compressed text, as ReadLongValue or EncodeLongValueData give it), never its 12-byte field:
// the key needs the memo's first 255 characters, and the caller already has them or reads them
// with the file. No key when the index ignores Nulls and every key column is Null: such a row
// takes no entry. No key either, with `problem` filled in (Column not empty), when a text value
// cannot be keyed. Only for indexes IndexSupportsKeys accepts.
std::optional<std::string> IndexKey(const JetTable& table, const JetRealIndex& index,
                                    const std::vector<std::optional<std::string_view>>& values,
                                    const KeyOptions& options, KeyProblem* problem);

// Per physical index of `table`, whether changing a row from `before` (as stored, Memo columns
// as their fields) to `after` changes a value of its key columns. Texts count by their
// characters, however they are stored; a Memo column of `after` holds its data where
// `afterMemoIsData` says so and its field elsewhere.
std::vector<bool> IndexesTouched(const PageSource& file, const JetTable& table,
                                 const std::vector<std::optional<std::string>>& before,
                                 const std::vector<std::optional<std::string>>& after,
                                 const std::vector<bool>& afterMemoIsData);

// The same with the default options; a value that cannot be keyed gives no key.
std::optional<std::string> IndexKey(const JetTable& table, const JetRealIndex& index,
                                    const std::vector<std::optional<std::string_view>>& values);

}  // namespace vantrel::access
