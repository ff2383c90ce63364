#pragma once

#include <sqlite3.h>

#include <string>

#include "common/ErrorState.h"
#include "sources/engine/Engine.h"

// How SQLite columns stand for Access fields: declared types, stored values and errors.
namespace vantrel::backends::sqlite {

std::string QuoteIdentifier(const std::string& name);
std::string Upper(std::string s);

// The Access type a declared SQLite column type stands for.
FieldInfo MapColumn(const std::string& name, const std::string& declared);
// Whether SQLite keeps text stored in a column of this declared type as text (its affinity is
// TEXT or BLOB) rather than turning number-like text into a 15-digit number.
bool KeepsText(const std::string& declared);
// The declared type of a new column for a field.
std::string DeclaredType(const FieldInfo& f);

// The pending error for SQLite's latest failure on `db`, as the Access error users know.
void SetSqliteError(ErrorState& error, sqlite3* db, const std::string& table,
                    bool deleting = false);

std::string ColumnText(sqlite3_stmt* stmt, int col);
// A stored value read back as its field's type; values SQLite's loose typing let in that do not
// fit the type come back as they are stored.
Value ReadColumn(sqlite3_stmt* stmt, int col, const FieldInfo& f);
// Whether a Currency or Decimal value survives as an SQLite number: whole numbers within 64
// bits, others with at most the 15 significant digits SQLite keeps.
bool FitsSqliteNumber(const Value& v);
// Binds a value converted for its field; `keepsText`: the column keeps text as text.
void BindValue(sqlite3_stmt* stmt, int index, const Value& v, bool keepsText);

}  // namespace vantrel::backends::sqlite
