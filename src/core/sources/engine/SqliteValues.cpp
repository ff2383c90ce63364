#include "sources/engine/SqliteValues.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "sources/engine/JetErrors.h"
#include "sources/engine/TextConversion.h"

namespace vantrel::backends::sqlite {

namespace {

constexpr double kJulianDayOfOleEpoch = 2415018.5;
constexpr double kOleDayOfUnixEpoch = 25569.0;

// The object an SQLite error message names: "NOT NULL constraint failed: t.c" gives "t.c".
std::string NamedObject(sqlite3* db) {
    const std::string msg = sqlite3_errmsg(db);
    const auto colon = msg.find(": ");
    return colon == std::string::npos ? msg : msg.substr(colon + 2);
}

std::string FormatIsoDate(double ole) {
    DateTimeParts p;
    if (!OleDateToParts(ole, p)) return {};
    // "YYYY-MM-DD[ HH:MM:SS]", written digit by digit: dates are bound for every row.
    std::string out;
    auto put = [&out](int32_t value, int width) {
        char digits[4];
        for (int k = width - 1; k >= 0; --k, value /= 10)
            digits[k] = static_cast<char>('0' + value % 10);
        out.append(digits, static_cast<std::size_t>(width));
    };
    put(p.Year, 4);
    out.push_back('-');
    put(p.Month, 2);
    out.push_back('-');
    put(p.Day, 2);
    if (p.Hour || p.Minute || p.Second) {
        out.push_back(' ');
        put(p.Hour, 2);
        out.push_back(':');
        put(p.Minute, 2);
        out.push_back(':');
        put(p.Second, 2);
    }
    return out;
}

// A stored REAL as SQLite itself shows it: 15 significant digits.
std::string ShownReal(double v) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.15g", v);
    return buffer;
}

std::string ColumnBlob(sqlite3_stmt* stmt, int col) {
    const auto* blob = static_cast<const char*>(sqlite3_column_blob(stmt, col));
    return blob ? std::string(blob, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)))
                : std::string{};
}

// Significant digits of a plain decimal text ("-0.0120" has 2).
std::size_t SignificantDigits(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') digits.push_back(c);
    }
    const auto first = digits.find_first_not_of('0');
    if (first == std::string::npos) return 0;
    return digits.find_last_not_of('0') - first + 1;
}

}  // namespace

std::string QuoteIdentifier(const std::string& name) {
    std::string out = "\"";
    for (char c : name) {
        out.push_back(c);
        if (c == '"') out.push_back('"');
    }
    return out + "\"";
}

std::string Upper(std::string s) {
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

FieldInfo MapColumn(const std::string& name, const std::string& declared) {
    const std::string t = Upper(declared);
    auto has = [&](const char* word) { return t.find(word) != std::string::npos; };
    FieldInfo f;
    f.Name = name;
    int size = 0;
    if (const auto open = t.find('('); open != std::string::npos)
        size = std::atoi(t.c_str() + open + 1);
    // Money and decimal names come first: "DECIMAL TEXT" keeps exact digits in a text column.
    if (has("MONEY") || has("CURRENCY")) {
        f.Type = FieldType::Currency, f.Size = 8;
    } else if (has("NUMERIC") || has("DECIMAL")) {
        f.Type = FieldType::Decimal, f.Size = 17;
    } else if (has("BIGINT") || has("INT8")) {
        f.Type = FieldType::BigInt, f.Size = 8;
    } else if (has("TINYINT") || t == "BYTE") {
        f.Type = FieldType::Byte, f.Size = 1;
    } else if (has("SMALLINT") || has("INT2")) {
        f.Type = FieldType::Integer, f.Size = 2;
    } else if (has("INT")) {
        f.Type = FieldType::Long, f.Size = 4;
    } else if (has("BOOL") || t == "BIT" || t == "YESNO") {
        f.Type = FieldType::Boolean, f.Size = 1;
    } else if (has("GUID") || has("UUID") || has("UNIQUEIDENTIFIER")) {
        f.Type = FieldType::Guid, f.Size = 16;
    } else if (has("CHAR") || has("CLOB") || has("TEXT") || t.empty()) {
        if (size > 0 && size <= 255 && !has("TEXT") && !has("CLOB")) {
            f.Type = FieldType::Text, f.Size = size;
        } else {
            f.Type = FieldType::Memo, f.Size = 0;
        }
    } else if (has("BLOB") || has("BINARY") || has("OLE")) {
        f.Type = FieldType::LongBinary, f.Size = 0;
    } else if (has("SINGLE")) {
        f.Type = FieldType::Single, f.Size = 4;
    } else if (has("REAL") || has("FLOA") || has("DOUB")) {
        f.Type = FieldType::Double, f.Size = 8;
    } else if (has("DATE") || has("TIME")) {
        f.Type = FieldType::Date, f.Size = 8;
    } else {
        f.Type = FieldType::Memo, f.Size = 0;
    }
    return f;
}

bool KeepsText(const std::string& declared) {
    const std::string t = Upper(declared);
    auto has = [&](const char* word) { return t.find(word) != std::string::npos; };
    if (has("INT")) return false;
    return has("CHAR") || has("CLOB") || has("TEXT") || has("BLOB") || t.empty();
}

std::string DeclaredType(const FieldInfo& f) {
    switch (f.Type) {
        case FieldType::Boolean:
            return "BOOLEAN";
        case FieldType::Byte:
            return "TINYINT";
        case FieldType::Integer:
            return "SMALLINT";
        case FieldType::Long:
            return "INTEGER";
        case FieldType::BigInt:
            return "BIGINT";
        case FieldType::Currency:
            return "CURRENCY TEXT";  // exact digits: SQLite's numbers hold only 15
        case FieldType::Single:
            return "SINGLE";
        case FieldType::Double:
            return "DOUBLE";
        case FieldType::Date:
            return "DATETIME";
        case FieldType::Text:
            return "VARCHAR(" + std::to_string(f.Size > 0 ? f.Size : 255) + ")";
        case FieldType::Guid:
            return "GUID";
        case FieldType::Decimal:
            return "DECIMAL TEXT";
        case FieldType::Binary:
        case FieldType::LongBinary:
            return "BLOB";
        default:
            return "TEXT";
    }
}

void SetSqliteError(ErrorState& error, sqlite3* db, const std::string& table, bool deleting) {
    const int ext = sqlite3_extended_errcode(db);
    switch (ext) {
        case SQLITE_CONSTRAINT_NOTNULL:
            SetJetError(error, JetError::RequiredIsNull, NamedObject(db));
            return;
        case SQLITE_CONSTRAINT_UNIQUE:
        case SQLITE_CONSTRAINT_PRIMARYKEY:
        case SQLITE_CONSTRAINT_ROWID:
            SetJetError(error, JetError::DuplicateKey, NamedObject(db));
            return;
        case SQLITE_CONSTRAINT_CHECK:
            SetJetError(error, JetError::ValidationRule, NamedObject(db));
            return;
        case SQLITE_CONSTRAINT_FOREIGNKEY:
            SetJetError(error,
                        deleting ? JetError::HasRelatedRecords : JetError::NeedsRelatedRecord,
                        table);
            return;
        default:
            break;
    }
    switch (ext & 0xFF) {
        case SQLITE_BUSY:
        case SQLITE_LOCKED:
        case SQLITE_CANTOPEN:
        case SQLITE_PERM:
            SetJetError(error, JetError::CannotOpenFile, table);
            return;
        case SQLITE_READONLY:
            SetJetError(error, JetError::ReadOnly, table);
            return;
        case SQLITE_FULL:
            SetJetError(error, JetError::DiskFull, table);
            return;
        case SQLITE_NOTADB:
            SetJetError(error, JetError::UnrecognizedFormat, table);
            return;
        case SQLITE_CORRUPT:
            SetJetError(error, JetError::CannotOpenDatabase, table);
            return;
        case SQLITE_TOOBIG:
            SetJetError(error, JetError::FieldTooSmall, table);
            return;
        default:
            error.Set(
                JetError::EngineFailure,
                JetErrorDescription(JetError::EngineFailure, std::string(sqlite3_errmsg(db))));
            return;
    }
}

std::string ColumnText(sqlite3_stmt* stmt, int col) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)))
                : std::string{};
}

Value ReadColumn(sqlite3_stmt* stmt, int col, const FieldInfo& f) {
    const int storage = sqlite3_column_type(stmt, col);
    if (storage == SQLITE_NULL) return Value::Null();
    Value converted;
    switch (f.Type) {
        case FieldType::Text:
        case FieldType::Memo:
            return storage == SQLITE_BLOB ? Value::Text(ColumnBlob(stmt, col))
                                          : Value::Text(ColumnText(stmt, col));
        case FieldType::Binary:
        case FieldType::LongBinary:
            return Value::Bytes(storage == SQLITE_BLOB ? ColumnBlob(stmt, col)
                                                       : ColumnText(stmt, col));
        case FieldType::Date:
            if (storage == SQLITE_INTEGER) {
                return Value::DateTime(static_cast<double>(sqlite3_column_int64(stmt, col)) /
                                           86400.0 +
                                       kOleDayOfUnixEpoch);
            }
            if (storage == SQLITE_FLOAT)
                return Value::DateTime(sqlite3_column_double(stmt, col) - kJulianDayOfOleEpoch);
            break;
        case FieldType::Currency:
        case FieldType::Decimal:
            // A number stands for the decimal SQLite shows for it; the conversion is exact and
            // refuses what does not fit.
            if (storage == SQLITE_INTEGER) {
                const std::string text = std::to_string(sqlite3_column_int64(stmt, col));
                if (ConvertTextToValue(f.Type, text, converted)) return converted;
                return Value::Integer(sqlite3_column_int64(stmt, col));
            }
            if (storage == SQLITE_FLOAT) {
                const std::string text = ShownReal(sqlite3_column_double(stmt, col));
                if (ConvertTextToValue(f.Type, text, converted)) return converted;
                return Value::Double(sqlite3_column_double(stmt, col));
            }
            break;
        case FieldType::Boolean:
            if (storage == SQLITE_INTEGER)
                return Value::Boolean(sqlite3_column_int64(stmt, col) != 0);
            break;
        case FieldType::Byte:
        case FieldType::Integer:
        case FieldType::Long:
        case FieldType::BigInt:
            if (storage == SQLITE_INTEGER) return Value::Integer(sqlite3_column_int64(stmt, col));
            break;
        case FieldType::Double:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return Value::Double(sqlite3_column_double(stmt, col));
            break;
        case FieldType::Single:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT) {
                const Value d = Value::Double(sqlite3_column_double(stmt, col));
                return ConvertValueToType(f.Type, d, converted) ? converted : d;
            }
            break;
        default:
            break;
    }
    if (storage == SQLITE_TEXT) {
        const std::string text = ColumnText(stmt, col);
        if (ConvertTextToValue(f.Type, text, converted)) return converted;
        return Value::Text(text);
    }
    if (storage == SQLITE_INTEGER) return Value::Integer(sqlite3_column_int64(stmt, col));
    if (storage == SQLITE_FLOAT) {
        const Value d = Value::Double(sqlite3_column_double(stmt, col));
        if (ConvertValueToType(f.Type, d, converted)) return converted;
        return d;
    }
    return Value::Bytes(ColumnBlob(stmt, col));
}

bool FitsSqliteNumber(const Value& v) {
    if (v.kind() == Value::Kind::Currency) {
        return v.Int() % 10000 == 0 || SignificantDigits(v.ToText()) <= 15;
    }
    if (v.kind() != Value::Kind::Decimal) return true;
    const std::string& text = v.Str();
    const auto point = text.find('.');
    const bool whole =
        point == std::string::npos || text.find_first_not_of('0', point + 1) == std::string::npos;
    if (whole) {
        Value integer;
        if (ConvertTextToValue(FieldType::BigInt, text, integer)) return true;
    }
    return SignificantDigits(text) <= 15;
}

void BindValue(sqlite3_stmt* stmt, int index, const Value& v, bool keepsText) {
    switch (v.kind()) {
        case Value::Kind::Null:
            sqlite3_bind_null(stmt, index);
            break;
        case Value::Kind::Integer:
        case Value::Kind::Boolean:
            sqlite3_bind_int64(stmt, index, v.Int());
            break;
        case Value::Kind::Double:
        case Value::Kind::Single:
            sqlite3_bind_double(stmt, index, v.Dbl());
            break;
        case Value::Kind::Currency:
            if (keepsText) {
                const std::string text = v.ToText();
                sqlite3_bind_text(stmt, index, text.c_str(), static_cast<int>(text.size()),
                                  SQLITE_TRANSIENT);
            } else if (v.Int() % 10000 == 0) {
                sqlite3_bind_int64(stmt, index, v.Int() / 10000);
            } else {
                sqlite3_bind_double(stmt, index, std::strtod(v.ToText().c_str(), nullptr));
            }
            break;
        case Value::Kind::DateTime: {
            const std::string iso = FormatIsoDate(v.Dbl());
            sqlite3_bind_text(stmt, index, iso.c_str(), static_cast<int>(iso.size()),
                              SQLITE_TRANSIENT);
            break;
        }
        // Texts and bytes stay in the recordset's buffer until the statement has run and been
        // reset, so SQLite need not copy them.
        case Value::Kind::Bytes:
            sqlite3_bind_blob64(stmt, index, v.Str().data(), v.Str().size(), SQLITE_STATIC);
            break;
        default:
            sqlite3_bind_text64(stmt, index, v.Str().data(), v.Str().size(), SQLITE_STATIC,
                                SQLITE_UTF8);
            break;
    }
}

}  // namespace vantrel::backends::sqlite
