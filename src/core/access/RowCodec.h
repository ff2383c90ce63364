#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "access/JetFile.h"
#include "sources/engine/Value.h"

namespace vantrel::access {

// A row as column values in their stored form, in the order of JetTable::Columns: fixed and
// variable columns as their bytes, Booleans as "\1" or "\0", long values (Memo, OLE) as their
// 12-byte field plus any inline data. No value for Null.
using StoredRow = std::vector<std::optional<std::string>>;

// The program's field type for a column type; Unsupported for complex and unknown columns.
FieldType FieldTypeOf(const JetColumn& column);

StoredRow UnpackRow(const JetTable& table, std::string_view row);

// The row bytes; at least `minimumSize` long (padding goes between the data and the offsets,
// where readers never look).
std::string PackRow(const JetTable& table, const StoredRow& values, std::size_t minimumSize = 0);

// Text as a Text or Memo column stores it: one byte a character after an FF FE mark when the
// column compresses and every character fits in one byte, UCS-2 otherwise.
std::string EncodeJetText(std::string_view utf8, bool compress);

// A value already converted to the column's field type, in the column's stored form (long
// values excepted: EncodeLongValueData gives their data). False when it does not fit (Decimal
// precision, malformed GUID).
bool EncodeColumnValue(const JetColumn& column, const Value& value, std::string& out);
std::string EncodeLongValueData(const JetColumn& column, const Value& value);

// The stored form back as a value; long values need the file to follow their pages.
Value DecodeColumnValue(const PageSource& file, const JetColumn& column,
                        const std::optional<std::string>& stored);

}  // namespace vantrel::access
