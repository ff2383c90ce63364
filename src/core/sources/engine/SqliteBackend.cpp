// SQLite, the engine's native format: the work database, and SQLite files as inputs and outputs.
#include <sqlite3.h>

#include <algorithm>
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
#include "sources/engine/SqliteValues.h"

namespace vantrel::backends {

namespace {

using namespace sqlite;

// Marks databases made by CreateDatabase: scratch work databases that need no journal.
constexpr int kScratchApplicationId = 0x56544D50;
// Every connection is used by one thread at a time, so it needs no locking of its own.
constexpr int kPrivateConnection = SQLITE_OPEN_NOMUTEX;
constexpr int kBatchRows = 256;

// A connection shared by a database and its recordsets, so a recordset outliving its database
// meets a closed connection instead of freed memory.
struct Connection {
    sqlite3* db = nullptr;
    bool readOnly = true;
    bool inTransaction = false;
    bool mayReadAhead = false;  // read-only or the run's own work database
    bool scratch = false;       // a work database without a journal
    int64_t schemaChanges = 0;
    std::string path;

    // Nothing was written through this connection: a second one sees the same rows.
    bool Untouched() const { return schemaChanges == 0 && sqlite3_total_changes64(db) == 0; }

    ~Connection() { Close(); }
    // Without an explicit commit a user's database keeps nothing of what was written (a run
    // ended by an exception must not leave half its rows); a work database has no journal to
    // roll back and keeps what it has.
    void Close() {
        if (!db) return;
        if (inTransaction)
            sqlite3_exec(db, scratch ? "COMMIT" : "ROLLBACK", nullptr, nullptr, nullptr);
        inTransaction = false;
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
                    std::vector<FieldInfo> fields, std::vector<bool> keepsText,
                    std::string rowidName)
        : Recordset(error),
          conn_(std::move(connection)),
          table_(std::move(table)),
          rowid_(std::move(rowidName)),
          keepsText_(std::move(keepsText)) {
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
        const auto i = static_cast<std::size_t>(index);
        if (!keepsText_[i] && !FitsSqliteNumber(converted)) {
            // Rounding it to SQLite's 15 digits would change the value without a word.
            Error().Set(JetError::ConversionError,
                        "値 '" + converted.ToText() +
                            "' は 15 桁を超えるため、SQLite の数値の列 '" + table_ + "." +
                            fields_[i].Name +
                            "' には正確に格納できません。列の型に TEXT を含めると (例: DECIMAL "
                            "TEXT) 桁がそのまま保たれます。");
            return;
        }
        buffer_[i] = std::move(converted);
        dirty_[i] = true;
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
            if (dirty_[c]) BindValue(stmt.get(), param++, buffer_[c], keepsText_[c]);
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
    std::vector<bool> keepsText_;  // per field: its column keeps text as text
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

    // A database dropped without Close keeps nothing (see Connection::Close).
    ~SqliteDatabase() override { conn_->Close(); }

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
        std::vector<bool> keepsText;
        while (info.Step() == SQLITE_ROW) {
            FieldInfo f = MapColumn(ColumnText(info.get(), 1), ColumnText(info.get(), 2));
            keepsText.push_back(KeepsText(ColumnText(info.get(), 2)));
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
        return std::make_unique<SqliteRecordset>(Error(), conn_, actual, std::move(fields),
                                                 std::move(keepsText), rowid);
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

    // Rolls back everything written since the database was opened.
    void DiscardChanges() override { conn_->Close(); }

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
    conn->scratch = scratch;
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
