#pragma once

#include <cstdint>
#include <string>

#include "sources/engine/ReaderProtocol.h"

// How both workbook readers present a sheet, as the Excel driver does with HDR=NO;IMEX=1:
// a table named sheet + "$" whose fields F1..Fn are text.
namespace vantrel::reader {

// The catalog entry of a sheet.
void PutSheetTable(Writer& out, const std::string& sheetName);

// Whether a requested table names this sheet: with or without its "$", letter case ignored.
bool NamesSheet(const std::string& table, const std::string& sheetName);

// The fields and row count of a sheet; an empty sheet still has one column. Returns the number
// of fields each row then carries.
std::size_t PutSheetShape(Writer& out, std::size_t columns, int64_t rows);

}  // namespace vantrel::reader
