#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "common/ErrorState.h"
#include "sources/engine/Value.h"

namespace vantrel {

// Table attributes as Access reports them: 0 is an ordinary user table (or a workbook sheet);
// the program lists only those.
namespace TableAttribute {
inline constexpr int32_t Hidden = 0x00000001;
inline constexpr int32_t SystemObject = static_cast<int32_t>(0x80000002u);
inline constexpr int32_t AttachedTable = 0x40000000;
inline constexpr int32_t AttachedOdbc = 0x20000000;
}  // namespace TableAttribute

// One field of a table: its definition as a table lists it.
struct FieldInfo {
    std::string Name;
    FieldType Type = FieldType::Text;
    int32_t Size = 0;  // characters for Text, bytes for the fixed types, 0 for Memo and OLE
    bool Required = false;
    bool AllowZeroLength = true;
    bool AutoIncrement = false;
};

struct TableDefInfo {
    std::string Name;
    int32_t Attributes = 0;
};

// A new table being defined: CreateTableDef, then CreateField for each field, then Append.
struct TableDefDraft {
    std::string Name;
    std::vector<FieldInfo> Fields;

    void CreateField(std::string name, FieldType type, int32_t size = 0) {
        Fields.push_back(FieldInfo{std::move(name), type, size});
    }
};

// A walk over all records of one table in the engine's default order. Every failing operation
// sets the engine's pending error and returns normally.
class Recordset {
  public:
    virtual ~Recordset() = default;

    virtual bool Eof() const = 0;  // EOF: true past the last record, at once for an empty table
    virtual int64_t RecordCount() const = 0;
    virtual void MoveFirst() = 0;
    virtual void MoveNext() = 0;

    // AddNew or Edit starts changing a record, SetValue fills fields, Update stores it.
    virtual void AddNew() = 0;
    virtual void Edit() = 0;
    virtual void Update() = 0;
    virtual void Delete() = 0;  // the current record; the position stays until MoveNext
    virtual void Close() = 0;

    int32_t FieldCount() const { return static_cast<int32_t>(fields_.size()); }
    const FieldInfo& Field(int32_t index) const;  // 0-based, table order
    // The current record's value, valid until the recordset moves or changes.
    virtual const Value& GetValue(int32_t index) const = 0;
    virtual void SetValue(int32_t index, Value value) = 0;

    // Position of a field by name (exact, as Access compares: letter case ignored); -1 with
    // error 3265 when the table has no such field.
    int32_t FieldIndex(std::string_view name) const;
    const Value& GetValue(std::string_view name) const;
    void SetValue(std::string_view name, Value value);

  protected:
    explicit Recordset(ErrorState& error) : error_(error) {}
    ErrorState& Error() const { return error_; }
    // False, with error 3265, for a position the table does not have.
    bool ValidIndex(int32_t index) const;
    // `value` as field `index` of `table` takes it; false with 3421 (not convertible) or 3163
    // (text longer than the field).
    bool ConvertForField(int32_t index, Value value, const std::string& table, Value& out) const;

    std::vector<FieldInfo> fields_;

  private:
    ErrorState& error_;
};

class Database {
  public:
    virtual ~Database() = default;

    virtual std::vector<TableDefInfo> TableDefs() = 0;
    // Null (with error 3078) when the table does not exist.
    virtual std::unique_ptr<Recordset> OpenRecordset(const std::string& table) = 0;
    TableDefDraft CreateTableDef(std::string name) const {
        return TableDefDraft{std::move(name), {}};
    }
    // Adds the table; 3010 when the name exists, 3191 for a field defined twice.
    virtual bool Append(const TableDefDraft& table) = 0;
    // Commits what was written and releases the file.
    virtual void Close() = 0;
    // Closes without keeping anything written since the database was opened.
    virtual void DiscardChanges() { Close(); }

    virtual bool IsReadOnly() const = 0;
    // Remarks about what was written that are not errors, for the log after the run.
    virtual std::vector<std::string> Notices() const { return {}; }
    const std::string& Path() const { return path_; }

  protected:
    Database(ErrorState& error, std::string path) : error_(error), path_(std::move(path)) {}
    ErrorState& Error() const { return error_; }

  private:
    ErrorState& error_;
    std::string path_;
};

// What a file holds, told by its first bytes (never by its extension).
// ExcelWorkbook is a compound file (.xls, or a password-protected .xlsx); ExcelPackage a zip
// container (.xlsx, .xlsm). The reader tells them apart again by their content.
enum class DatabaseFormat { Unknown, Sqlite, Jet3, Jet4, Ace, ExcelWorkbook, ExcelPackage };

DatabaseFormat DetectDatabaseFormat(const std::string& path);

// How Access databases opened for changes are written.
struct AccessWriteOptions {
    // Text index keys holding marks whose keys Access has not been seen to write (ー, 々 ...)
    // are refused unless allowed.
    bool AllowUnverifiedKeys = false;
    // The most 4 KB pages a file may grow to; 0 is Access's own limit (2 GB). Lowered only to
    // see what happens at the limit without writing 2 GB.
    uint32_t PageLimit = 0;
};

// The database engine: one for the program's life. Opens Access databases (read through
// libmdb), Excel workbooks (.xls through FreeXL, .xlsx and .xlsm through libzip and expat) and
// SQLite databases, its native format.
class Engine {
  public:
    explicit Engine(ErrorState& error) : error_(error) {}

    // `connect` is ";DATABASE=" + path for databases or "Excel 8.0;HDR=NO;IMEX=1;..." for
    // workbooks, as definitions written on Windows use them. Null with the pending error set
    // when the file cannot be opened.
    std::unique_ptr<Database> OpenDatabase(const std::string& path, int32_t options, bool readOnly,
                                           const std::string& connect = {});
    // A new, empty SQLite database at `path` (the locale string is accepted and ignored).
    std::unique_ptr<Database> CreateDatabase(const std::string& path,
                                             const std::string& locale = {});

    ErrorState& Error() const { return error_; }

    // Text index keys holding marks whose keys Access has not been seen to write (ー, 々 ...) are
    // refused unless allowed; Access databases opened for changes afterwards follow this.
    void SetAllowUnverifiedKeys(bool allow) { accessOptions_.AllowUnverifiedKeys = allow; }
    bool AllowUnverifiedKeys() const { return accessOptions_.AllowUnverifiedKeys; }
    // The size Access databases opened for changes may grow to, in 4 KB pages (0: 2 GB).
    void SetAccessPageLimit(uint32_t pages) { accessOptions_.PageLimit = pages; }

  private:
    ErrorState& error_;
    AccessWriteOptions accessOptions_;
};

}  // namespace vantrel
