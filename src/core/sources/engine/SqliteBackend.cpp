// SQLite, the engine's native format: the work database, and SQLite files as inputs and outputs.
#include <sqlite3.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include "common/BackgroundJob.h"
#include "common/TextCase.h"
#include "sources/engine/Backends.h"
#include "sources/engine/JetErrors.h"
#include "sources/engine/TextConversion.h"

namespace vantrel::backends {

namespace {

// Marks databases made by CreateDatabase: scratch work databases that need no journal.
constexpr int kScratchApplicationId = 0x56544D50;
// Every connection is used by one thread at a time, so it needs no locking of its own.
constexpr int kPrivateConnection = SQLITE_OPEN_NOMUTEX;
constexpr int kBatchRows = 256;
constexpr double kJulianDayOfOleEpoch = 2415018.5;
constexpr double kOleDayOfUnixEpoch = 25569.0;

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

// The Access type a declared SQLite column type stands for.
FieldInfo MapColumn(const std::string& name, const std::string& declared) {
    const std::string t = Upper(declared);
    auto has = [&](const char* word) { return t.find(word) != std::string::npos; };
    FieldInfo f;
    f.Name = name;
    int size = 0;
    if (const auto open = t.find('('); open != std::string::npos)
        size = std::atoi(t.c_str() + open + 1);
    if (has("BIGINT") || has("INT8")) {
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
    } else if (has("MONEY") || has("CURRENCY")) {
        f.Type = FieldType::Currency, f.Size = 8;
    } else if (has("DATE") || has("TIME")) {
        f.Type = FieldType::Date, f.Size = 8;
    } else if (has("NUMERIC") || has("DECIMAL")) {
        f.Type = FieldType::Decimal, f.Size = 17;
    } else {
        f.Type = FieldType::Memo, f.Size = 0;
    }
    return f;
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
            return "CURRENCY";
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
            return "DECIMAL";
        case FieldType::Binary:
        case FieldType::LongBinary:
            return "BLOB";
        default:
            return "TEXT";
    }
}

// A connection shared by a database and its recordsets, so a recordset outliving its database
// meets a closed connection instead of freed memory.
struct Connection {
    sqlite3* db = nullptr;
    bool readOnly = true;
    bool inTransaction = false;
    bool mayReadAhead = false;  // read-only or the run's own work database
    int64_t schemaChanges = 0;
    std::string path;

    // Nothing was written through this connection: a second one sees the same rows.
    bool Untouched() const { return schemaChanges == 0 && sqlite3_total_changes64(db) == 0; }

    ~Connection() { Close(); }
    void Close() {
        if (!db) return;
        if (inTransaction) sqlite3_exec(db, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close_v2(db);
        db = nullptr;
    }
};

class Statement {
  public:
    Statement() = default;
    Statement(sqlite3* db, const std::string& sql) {
        rc_ = sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(Statement&& o) noexcept : stmt_(o.stmt_), rc_(o.rc_) { o.stmt_ = nullptr; }
    Statement& operator=(Statement&& o) noexcept {
        std::swap(stmt_, o.stmt_);
        rc_ = o.rc_;
        return *this;
    }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool Ok() const { return rc_ == SQLITE_OK && stmt_ != nullptr; }
    sqlite3_stmt* get() const { return stmt_; }
    int Step() const { return sqlite3_step(stmt_); }
    void Reset() const {
        sqlite3_reset(stmt_);
        sqlite3_clear_bindings(stmt_);
    }

  private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

// The object an SQLite error message names: "NOT NULL constraint failed: t.c" gives "t.c".
std::string NamedObject(sqlite3* db) {
    const std::string msg = sqlite3_errmsg(db);
    const auto colon = msg.find(": ");
    return colon == std::string::npos ? msg : msg.substr(colon + 2);
}

void SetSqliteError(ErrorState& error, sqlite3* db, const std::string& table,
                    bool deleting = false) {
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

std::string ColumnText(sqlite3_stmt* stmt, int col) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, col));
    return text ? std::string(text, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)))
                : std::string{};
}

std::string ColumnBlob(sqlite3_stmt* stmt, int col) {
    const auto* blob = static_cast<const char*>(sqlite3_column_blob(stmt, col));
    return blob ? std::string(blob, static_cast<std::size_t>(sqlite3_column_bytes(stmt, col)))
                : std::string{};
}

// A stored value read back as its field's type; values SQLite's loose typing let in that do not
// fit the type come back as they are stored.
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
            if (storage == SQLITE_INTEGER)
                return Value::Currency(sqlite3_column_int64(stmt, col) * 10000);
            if (storage == SQLITE_FLOAT)
                return Value::Currency(std::llround(sqlite3_column_double(stmt, col) * 10000.0));
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
        case FieldType::Single:
        case FieldType::Double:
            if (storage == SQLITE_INTEGER || storage == SQLITE_FLOAT)
                return Value::Double(sqlite3_column_double(stmt, col));
            break;
        case FieldType::Decimal:
            if (storage == SQLITE_INTEGER)
                return Value::Decimal(std::to_string(sqlite3_column_int64(stmt, col)));
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

void BindValue(sqlite3_stmt* stmt, int index, const Value& v) {
    switch (v.kind()) {
        case Value::Kind::Null:
            sqlite3_bind_null(stmt, index);
            break;
        case Value::Kind::Integer:
        case Value::Kind::Boolean:
            sqlite3_bind_int64(stmt, index, v.Int());
            break;
        case Value::Kind::Double:
            sqlite3_bind_double(stmt, index, v.Dbl());
            break;
        case Value::Kind::Currency:
            if (v.Int() % 10000 == 0) {
                sqlite3_bind_int64(stmt, index, v.Int() / 10000);
            } else {
                sqlite3_bind_double(stmt, index, static_cast<double>(v.Int()) / 10000.0);
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

struct WalkRow {
    int64_t rowid = 0;
    std::vector<Value> values;
    bool deleted = false;
};

// Steps `select` (row id first, then the fields) into `batch`, reusing the storage of the rows
// already there; returns the last step's result.
int FillBatch(sqlite3_stmt* select, const std::vector<FieldInfo>& fields,
              std::vector<WalkRow>& batch) {
    std::size_t used = 0;
    int rc = SQLITE_ROW;
    while ((rc = sqlite3_step(select)) == SQLITE_ROW) {
        if (used == batch.size()) batch.emplace_back();
        WalkRow& row = batch[used++];
        row.rowid = sqlite3_column_int64(select, 0);
        row.deleted = false;
        row.values.resize(fields.size());
        for (std::size_t c = 0; c < fields.size(); ++c) {
            const int col = static_cast<int>(c) + 1;
            const FieldType type = fields[c].Type;
            if ((type == FieldType::Text || type == FieldType::Memo) &&
                sqlite3_column_type(select, col) == SQLITE_TEXT) {
                const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(select, col));
                row.values[c].AssignText(
                    text, static_cast<std::size_t>(sqlite3_column_bytes(select, col)));
            } else {
                row.values[c] = ReadColumn(select, col, fields[c]);
            }
        }
    }
    batch.resize(used);
    return rc;
}

// Loads the next batch of a long walk on a second connection and thread while the caller works
// through the current one, so reading overlaps with whatever is done with the rows.
class ReadAhead {
  public:
    static std::unique_ptr<ReadAhead> Open(const std::string& path, const std::string& sql,
                                           const std::vector<FieldInfo>& fields) {
        std::unique_ptr<ReadAhead> ahead;
        try {
            ahead.reset(new ReadAhead(fields));
        } catch (const std::system_error&) {
            return nullptr;  // no thread to be had: the walk reads its batches itself
        }
        if (sqlite3_open_v2(path.c_str(), &ahead->db_, SQLITE_OPEN_READONLY | kPrivateConnection,
                            nullptr) != SQLITE_OK)
            return nullptr;
        sqlite3_busy_timeout(ahead->db_, 1000);
        ahead->select_ = Statement(ahead->db_, sql);
        if (!ahead->select_.Ok()) return nullptr;
        return ahead;
    }

    ~ReadAhead() {
        job_.reset();  // the thread is done with the statement before it goes
        select_ = Statement();
        sqlite3_close_v2(db_);
    }
    ReadAhead(const ReadAhead&) = delete;
    ReadAhead& operator=(const ReadAhead&) = delete;

    // Starts loading the rows after row id `after`.
    void Request(int64_t after) {
        requested_ = true;
        job_->Start([this, after] {
            sqlite3_bind_int64(select_.get(), 1, after);
            rc_ = FillBatch(select_.get(), fields_, rows_);
            select_.Reset();  // ends the read, so writers are not kept waiting
        });
    }

    // Swaps the requested rows into `batch`; false when none were requested or they could not
    // all be read (the caller then reads them itself and reports what went wrong).
    bool Collect(std::vector<WalkRow>& batch) {
        if (!requested_) return false;
        job_->Wait();
        requested_ = false;
        if (rc_ != SQLITE_DONE) return false;
        batch.swap(rows_);
        return true;
    }

  private:
    explicit ReadAhead(std::vector<FieldInfo> fields)
        : fields_(std::move(fields)), job_(std::make_unique<BackgroundJob>()) {}

    std::vector<FieldInfo> fields_;
    sqlite3* db_ = nullptr;
    Statement select_;
    std::vector<WalkRow> rows_;
    int rc_ = SQLITE_OK;
    bool requested_ = false;
    std::unique_ptr<BackgroundJob> job_;
};

class SqliteRecordset final : public Recordset {
  public:
    SqliteRecordset(ErrorState& error, std::shared_ptr<Connection> connection, std::string table,
                    std::vector<FieldInfo> fields, std::string rowidName)
        : Recordset(error),
          conn_(std::move(connection)),
          table_(std::move(table)),
          rowid_(std::move(rowidName)) {
        fields_ = std::move(fields);
        std::string columns;
        for (const auto& f : fields_)
            columns += ", " + QuoteIdentifier(f.Name);
        selectSql_ = "SELECT " + rowid_ + columns + " FROM " + QuoteIdentifier(table_) + " WHERE " +
                     rowid_ + " > ?1 ORDER BY " + rowid_ + " LIMIT " + std::to_string(kBatchRows);
        select_ = Statement(conn_->db, selectSql_);
        Statement count(conn_->db, "SELECT count(*) FROM " + QuoteIdentifier(table_));
        if (count.Ok() && count.Step() == SQLITE_ROW) count_ = sqlite3_column_int64(count.get(), 0);
        MoveFirst();
    }

    bool Eof() const override { return eof_; }
    int64_t RecordCount() const override { return count_; }

    void MoveFirst() override {
        mode_ = Mode::None;  // moving abandons an unfinished AddNew or Edit
        lastRowid_ = INT64_MIN;
        ahead_.reset();
        fullBatches_ = 0;
        LoadBatch();
    }

    void MoveNext() override {
        if (!Alive()) return;
        if (eof_) {
            SetJetError(Error(), JetError::NoCurrentRecord);
            return;
        }
        mode_ = Mode::None;
        if (++index_ >= batch_.size()) LoadBatch();
    }

    void AddNew() override {
        if (!Writable()) return;
        mode_ = Mode::Adding;
        buffer_.assign(fields_.size(), Value::Null());
        dirty_.assign(fields_.size(), false);
    }

    void Edit() override {
        if (!Writable() || !Current()) return;
        mode_ = Mode::Editing;
        buffer_ = batch_[index_].values;
        dirty_.assign(fields_.size(), false);
    }

    void Update() override {
        if (!Alive()) return;
        if (mode_ == Mode::None) {
            SetJetError(Error(), JetError::UpdateWithoutAddNew);
            return;
        }
        if (mode_ == Mode::Adding) {
            Insert();
        } else {
            Modify();
        }
    }

    void Delete() override {
        if (!Writable() || !Current()) return;
        Statement& del = Cached(deletes_, {}, [&] {
            return "DELETE FROM " + QuoteIdentifier(table_) + " WHERE " + rowid_ + " = ?1";
        });
        sqlite3_bind_int64(del.get(), 1, batch_[index_].rowid);
        const int rc = del.Step();
        del.Reset();
        if (rc != SQLITE_DONE) {
            SetSqliteError(Error(), conn_->db, table_, true);
            return;
        }
        batch_[index_].deleted = true;
        --count_;
        mode_ = Mode::None;
    }

    void Close() override {
        ahead_.reset();
        select_ = Statement();
        lastCache_ = nullptr;
        lastStatement_ = nullptr;
        inserts_.clear();
        updates_.clear();
        deletes_.clear();
        closed_ = true;
    }

    const Value& GetValue(int32_t index) const override {
        static const Value kNull;
        if (!ValidIndex(index)) return kNull;
        const auto i = static_cast<std::size_t>(index);
        if (mode_ != Mode::None) return buffer_[i];
        if (!Current()) return kNull;
        return batch_[index_].values[i];
    }

    void SetValue(int32_t index, Value value) override {
        if (!Alive()) return;
        if (!ValidIndex(index)) return;
        if (mode_ == Mode::None) {
            SetJetError(Error(), JetError::UpdateWithoutAddNew);
            return;
        }
        Value converted;
        if (!ConvertForField(index, std::move(value), table_, converted)) return;
        buffer_[static_cast<std::size_t>(index)] = std::move(converted);
        dirty_[static_cast<std::size_t>(index)] = true;
    }

  private:
    enum class Mode { None, Adding, Editing };

    bool Alive() const {
        if (closed_ || !conn_->db) {
            SetJetError(Error(), JetError::ObjectClosed);
            return false;
        }
        return true;
    }
    bool Writable() const {
        if (!Alive()) return false;
        if (conn_->readOnly) {
            SetJetError(Error(), JetError::ReadOnly, table_);
            return false;
        }
        return true;
    }
    bool Current() const {
        if (eof_) {
            SetJetError(Error(), JetError::NoCurrentRecord);
            return false;
        }
        if (batch_[index_].deleted) {
            SetJetError(Error(), JetError::RecordDeleted);
            return false;
        }
        return true;
    }

    void LoadBatch() {
        index_ = 0;
        eof_ = true;
        if (!Alive()) return;
        if (!TakeReadAhead()) {
            if (!select_.Ok()) {
                SetSqliteError(Error(), conn_->db, table_);
                return;
            }
            sqlite3_bind_int64(select_.get(), 1, lastRowid_);
            const int rc = FillBatch(select_.get(), fields_, batch_);
            if (rc != SQLITE_DONE) SetSqliteError(Error(), conn_->db, table_);
            select_.Reset();
        }
        if (batch_.empty()) return;
        lastRowid_ = batch_.back().rowid;
        eof_ = false;
        RequestReadAhead();
    }

    // The read-ahead is trusted only while nothing was written through this connection: the
    // second connection would not see those changes.
    bool TakeReadAhead() {
        if (!ahead_) return false;
        if (conn_->Untouched() && ahead_->Collect(batch_)) return true;
        ahead_.reset();
        aheadRefused_ = true;
        return false;
    }

    void RequestReadAhead() {
        // Only long walks of databases nothing writes to are worth a second connection.
        if (aheadRefused_ || !conn_->mayReadAhead || batch_.size() < kBatchRows ||
            ++fullBatches_ < 2 || !conn_->Untouched())
            return;
        if (!ahead_) ahead_ = ReadAhead::Open(conn_->path, selectSql_, fields_);
        if (!ahead_) {
            aheadRefused_ = true;
            return;
        }
        ahead_->Request(lastRowid_);
    }

    template <typename MakeSql>
    Statement& Cached(std::map<std::vector<bool>, Statement>& cache, const std::vector<bool>& key,
                      MakeSql make) {
        // Rows of one import set the same fields over and over: try the last statement first.
        if (lastCache_ == &cache && lastStatement_ != nullptr && lastKey_ == key)
            return *lastStatement_;
        auto it = cache.find(key);
        if (it == cache.end()) it = cache.emplace(key, Statement(conn_->db, make())).first;
        lastCache_ = &cache;
        lastKey_ = key;
        lastStatement_ = &it->second;
        return it->second;
    }

    void Insert() {
        Statement& insert = Cached(inserts_, dirty_, [&] {
            std::string names, marks;
            for (std::size_t c = 0; c < fields_.size(); ++c) {
                if (!dirty_[c]) continue;
                names += (names.empty() ? "" : ", ") + QuoteIdentifier(fields_[c].Name);
                marks += marks.empty() ? "?" : ", ?";
            }
            if (names.empty()) return "INSERT INTO " + QuoteIdentifier(table_) + " DEFAULT VALUES";
            return "INSERT INTO " + QuoteIdentifier(table_) + " (" + names + ") VALUES (" + marks +
                   ")";
        });
        if (!Run(insert, false)) return;
        ++count_;
        mode_ = Mode::None;
    }

    void Modify() {
        if (std::none_of(dirty_.begin(), dirty_.end(), [](bool d) { return d; })) {
            mode_ = Mode::None;
            return;
        }
        Statement& update = Cached(updates_, dirty_, [&] {
            std::string sets;
            for (std::size_t c = 0; c < fields_.size(); ++c) {
                if (dirty_[c])
                    sets += (sets.empty() ? "" : ", ") + QuoteIdentifier(fields_[c].Name) + " = ?";
            }
            return "UPDATE " + QuoteIdentifier(table_) + " SET " + sets + " WHERE " + rowid_ +
                   " = ?";
        });
        int next = 1;
        for (std::size_t c = 0; c < fields_.size(); ++c) {
            if (dirty_[c]) ++next;
        }
        sqlite3_bind_int64(update.get(), next, batch_[index_].rowid);
        if (!Run(update, true)) return;
        batch_[index_].values = buffer_;
        mode_ = Mode::None;
    }

    // Binds the changed fields in order (leaving later parameters bound) and runs the statement.
    bool Run(Statement& stmt, bool keepLastBinding) {
        if (!stmt.Ok()) {
            SetSqliteError(Error(), conn_->db, table_);
            return false;
        }
        int param = 1;
        for (std::size_t c = 0; c < fields_.size(); ++c) {
            if (dirty_[c]) BindValue(stmt.get(), param++, buffer_[c]);
        }
        const int rc = stmt.Step();
        sqlite3_reset(stmt.get());
        if (!keepLastBinding) sqlite3_clear_bindings(stmt.get());
        if (rc != SQLITE_DONE) {
            SetSqliteError(Error(), conn_->db, table_);
            return false;
        }
        return true;
    }

    std::shared_ptr<Connection> conn_;
    std::string table_;
    std::string rowid_;
    Statement select_;
    std::map<std::vector<bool>, Statement> inserts_, updates_, deletes_;
    const std::map<std::vector<bool>, Statement>* lastCache_ = nullptr;
    std::vector<bool> lastKey_;
    Statement* lastStatement_ = nullptr;
    std::string selectSql_;
    std::unique_ptr<ReadAhead> ahead_;
    int64_t fullBatches_ = 0;
    bool aheadRefused_ = false;
    std::vector<WalkRow> batch_;
    std::size_t index_ = 0;
    int64_t lastRowid_ = INT64_MIN;
    int64_t count_ = 0;
    bool eof_ = true;
    bool closed_ = false;
    Mode mode_ = Mode::None;
    std::vector<Value> buffer_;
    std::vector<bool> dirty_;
};

class SqliteDatabase final : public Database {
  public:
    SqliteDatabase(ErrorState& error, std::shared_ptr<Connection> connection)
        : Database(error, connection->path), conn_(std::move(connection)) {}

    ~SqliteDatabase() override { Close(); }

    std::vector<TableDefInfo> TableDefs() override {
        std::vector<TableDefInfo> tables;
        if (!Alive()) return tables;
        Statement list(
            conn_->db,
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite\\_%' "
            "ESCAPE '\\' ORDER BY rowid");
        if (!list.Ok()) {
            SetSqliteError(Error(), conn_->db, Path());
            return tables;
        }
        int rc = SQLITE_ROW;
        while ((rc = list.Step()) == SQLITE_ROW)
            tables.push_back(TableDefInfo{ColumnText(list.get(), 0), 0});
        if (rc != SQLITE_DONE) SetSqliteError(Error(), conn_->db, Path());
        return tables;
    }

    std::unique_ptr<Recordset> OpenRecordset(const std::string& table) override {
        if (!Alive()) return nullptr;
        const std::string actual = FindTable(table);
        if (actual.empty()) {
            SetJetError(Error(), JetError::TableNotFound, table);
            return nullptr;
        }
        std::vector<FieldInfo> fields;
        Statement info(conn_->db, "PRAGMA table_info(" + QuoteIdentifier(actual) + ")");
        if (!info.Ok()) {
            SetSqliteError(Error(), conn_->db, table);
            return nullptr;
        }
        int primaryKeys = 0;
        int integerKey = -1;
        while (info.Step() == SQLITE_ROW) {
            FieldInfo f = MapColumn(ColumnText(info.get(), 1), ColumnText(info.get(), 2));
            f.Required = sqlite3_column_int(info.get(), 3) != 0;
            if (sqlite3_column_int(info.get(), 5) > 0) {
                ++primaryKeys;
                if (Upper(ColumnText(info.get(), 2)) == "INTEGER")
                    integerKey = static_cast<int>(fields.size());
            }
            fields.push_back(std::move(f));
        }
        if (primaryKeys == 1 && integerKey >= 0)
            fields[static_cast<std::size_t>(integerKey)].AutoIncrement = true;
        // The real row id, under a name no column of the table uses.
        std::string rowid;
        for (const char* alias : {"rowid", "_rowid_", "oid"}) {
            if (std::none_of(fields.begin(), fields.end(),
                             [&](const FieldInfo& f) { return LowerCase(f.Name) == alias; })) {
                rowid = alias;
                break;
            }
        }
        if (rowid.empty()) {
            SetJetError(Error(), JetError::OperationNotSupported, table);
            return nullptr;
        }
        return std::make_unique<SqliteRecordset>(Error(), conn_, actual, std::move(fields), rowid);
    }

    bool Append(const TableDefDraft& table) override {
        if (!Alive()) return false;
        if (conn_->readOnly) {
            SetJetError(Error(), JetError::ReadOnly, table.Name);
            return false;
        }
        if (table.Name.empty()) {
            SetJetError(Error(), JetError::IllegalName, table.Name);
            return false;
        }
        if (!FindTable(table.Name).empty()) {
            SetJetError(Error(), JetError::TableExists, table.Name);
            return false;
        }
        std::vector<std::string> seen;
        std::string columns;
        for (const auto& f : table.Fields) {
            const std::string lower = LowerCase(f.Name);
            if (f.Name.empty()) {
                SetJetError(Error(), JetError::IllegalName, f.Name);
                return false;
            }
            if (std::find(seen.begin(), seen.end(), lower) != seen.end()) {
                SetJetError(Error(), JetError::FieldDefinedTwice, f.Name);
                return false;
            }
            seen.push_back(lower);
            columns +=
                (columns.empty() ? "" : ", ") + QuoteIdentifier(f.Name) + " " + DeclaredType(f);
            if (f.Required) columns += " NOT NULL";
        }
        if (columns.empty()) {
            SetJetError(Error(), JetError::IllegalName, table.Name);
            return false;
        }
        const std::string sql =
            "CREATE TABLE " + QuoteIdentifier(table.Name) + " (" + columns + ")";
        ++conn_->schemaChanges;
        if (sqlite3_exec(conn_->db, sql.c_str(), nullptr, nullptr, nullptr) != SQLITE_OK) {
            SetSqliteError(Error(), conn_->db, table.Name);
            return false;
        }
        return true;
    }

    void Close() override {
        if (!conn_->db) return;
        if (conn_->inTransaction &&
            sqlite3_exec(conn_->db, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
            SetSqliteError(Error(), conn_->db, Path());
            sqlite3_exec(conn_->db, "ROLLBACK", nullptr, nullptr, nullptr);
        }
        conn_->inTransaction = false;
        conn_->Close();
    }

    bool IsReadOnly() const override { return conn_->readOnly; }

  private:
    bool Alive() const {
        if (!conn_->db) {
            SetJetError(Error(), JetError::ObjectClosed);
            return false;
        }
        return true;
    }

    // The stored name of a table, found without regard to case; empty when there is none.
    std::string FindTable(const std::string& name) const {
        Statement find(
            conn_->db,
            "SELECT name FROM sqlite_master WHERE type = 'table' AND name = ?1 COLLATE NOCASE");
        if (!find.Ok()) return {};
        sqlite3_bind_text(find.get(), 1, name.c_str(), static_cast<int>(name.size()),
                          SQLITE_TRANSIENT);
        if (find.Step() == SQLITE_ROW) return ColumnText(find.get(), 0);
        return {};
    }

    std::shared_ptr<Connection> conn_;
};

bool Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

std::unique_ptr<Database> Finish(std::shared_ptr<Connection> conn, ErrorState& error,
                                 bool scratch) {
    sqlite3* db = conn->db;
    if (scratch) {
        Exec(db, "PRAGMA journal_mode = OFF");
        Exec(db, "PRAGMA synchronous = OFF");
        Exec(db, "PRAGMA cache_size = -16384");
    }
    conn->mayReadAhead = conn->readOnly || scratch;
    if (!conn->readOnly) {
        Exec(db, "PRAGMA foreign_keys = ON");
        // One transaction for everything written while the database is open, taken now so a
        // database another program is writing is refused at once.
        if (!Exec(db, "BEGIN IMMEDIATE")) {
            SetSqliteError(error, db, conn->path);
            return nullptr;
        }
        conn->inTransaction = true;
    }
    return std::make_unique<SqliteDatabase>(error, std::move(conn));
}

// Each connection is used by one thread at a time, so SQLite's per-call locking and its
// allocation statistics (a global lock on every malloc) are pure overhead on large imports.
void ConfigureLibrary() {
    static std::once_flag once;
    std::call_once(once, [] {
        // Both fail harmlessly when something in the process already initialised SQLite.
        sqlite3_config(SQLITE_CONFIG_MULTITHREAD);
        sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0);
        sqlite3_initialize();
    });
}

}  // namespace

std::unique_ptr<Database> OpenSqlite(const std::string& path, bool readOnly, ErrorState& error) {
    auto conn = std::make_shared<Connection>();
    conn->path = path;
    conn->readOnly = readOnly;
    ConfigureLibrary();
    const int flags =
        (readOnly ? SQLITE_OPEN_READONLY : SQLITE_OPEN_READWRITE) | kPrivateConnection;
    if (sqlite3_open_v2(path.c_str(), &conn->db, flags, nullptr) != SQLITE_OK) {
        SetSqliteError(error, conn->db, path);
        return nullptr;
    }
    sqlite3_extended_result_codes(conn->db, 1);
    sqlite3_busy_timeout(conn->db, 1000);
    // Reading the schema tells a damaged or foreign file from a database.
    Statement check(conn->db, "SELECT count(*) FROM sqlite_master");
    if (!check.Ok() || check.Step() != SQLITE_ROW) {
        SetSqliteError(error, conn->db, path);
        return nullptr;
    }
    Statement id(conn->db, "PRAGMA application_id");
    const bool scratch = id.Ok() && id.Step() == SQLITE_ROW &&
                         sqlite3_column_int(id.get(), 0) == kScratchApplicationId;
    return Finish(std::move(conn), error, scratch);
}

std::unique_ptr<Database> CreateSqlite(const std::string& path, ErrorState& error) {
    auto conn = std::make_shared<Connection>();
    conn->path = path;
    conn->readOnly = false;
    ConfigureLibrary();
    if (sqlite3_open_v2(path.c_str(), &conn->db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | kPrivateConnection,
                        nullptr) != SQLITE_OK) {
        SetSqliteError(error, conn->db, path);
        return nullptr;
    }
    sqlite3_extended_result_codes(conn->db, 1);
    Exec(conn->db, "PRAGMA page_size = 65536");
    if (!Exec(conn->db,
              ("PRAGMA application_id = " + std::to_string(kScratchApplicationId)).c_str())) {
        SetSqliteError(error, conn->db, path);
        return nullptr;
    }
    return Finish(std::move(conn), error, true);
}

}  // namespace vantrel::backends
