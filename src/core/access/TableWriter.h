#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "access/IndexKey.h"
#include "access/JetFile.h"
#include "access/JetWriteFile.h"
#include "access/Properties.h"
#include "access/RowCodec.h"
#include "access/RowStorage.h"
#include "common/ErrorState.h"
#include "sources/engine/Value.h"

namespace vantrel::access {

// Changes in one table of a Jet4/ACE file open for changes: adds, changes and deletes rows with
// everything that goes with them (long value pages, usage maps, the row count and autonumber
// counter, index entries). Every check is made before anything of the row is written.
class TableWriter {
  public:
    // Values of a row being added or changed: no value = leave as it is (or the default).
    using Changes = std::vector<std::optional<Value>>;

    // Null with the error set when the table cannot be written safely (the reason named).
    static std::unique_ptr<TableWriter> Open(JetWriteFile& file, const JetCatalogEntry& entry,
                                             const std::vector<JetCatalogEntry>& catalog,
                                             ErrorState& error);

    const JetTable& Table() const { return table_; }
    const std::string& Name() const { return name_; }
    const ColumnProperties& Properties(std::size_t column) const { return properties_[column]; }

    // Row pointers (row | page << 8) of the live rows, in the order they are stored.
    std::vector<uint32_t> LiveRows();
    StoredRow Read(uint32_t pointer) const;
    Value ReadValue(const StoredRow& row, std::size_t column) const;

    bool Insert(const Changes& values, ErrorState& error);
    bool Update(uint32_t pointer, const Changes& values, ErrorState& error);
    bool Delete(uint32_t pointer, ErrorState& error);

    void SetAllowUnverifiedKeys(bool allow) { allowUnverifiedKeys_ = allow; }
    // Whether a text key with an unverified mark was written (Access should rebuild the index).
    bool WroteUnverifiedKeys() const { return wroteUnverifiedKeys_; }

    // A write failed part way: the file in memory must not be kept.
    bool Damaged() const { return damaged_; }
    // The first column whose default could not be applied, empty when none.
    const std::string& UnappliedDefault() const { return unappliedDefault_; }

  private:
    // An enforced relationship this table takes part in, on either side.
    struct Relationship {
        bool ChildSide = false;    // this table holds the foreign key
        std::size_t OwnIndex = 0;  // position in table_.RealIndexes
        std::string OtherName;
        JetTable Other;
        std::size_t OtherIndex = 0;
    };
    using Keys = std::vector<std::optional<std::string>>;  // per physical index
    // The keys of a stored row; an uncertain one could not be built by the verified rules, so
    // its entry is found by the row's place instead.
    struct RowKeys {
        Keys Values;
        std::vector<bool> Uncertain;
    };

    TableWriter(JetWriteFile& file, std::string name, JetTable table);

    bool SetUpRelationships(const std::vector<JetCatalogEntry>& catalog, ErrorState& error);
    // `memoIsData` marks the Memo columns holding their data rather than their stored field;
    // with `only`, the indexes it does not mark get no key and count as certain.
    RowKeys KeysOf(const StoredRow& row, const std::vector<bool>* memoIsData, bool allowUnverified,
                   KeyProblem* problem, const std::vector<bool>* only = nullptr) const;
    bool NewRowKeys(const StoredRow& row, const std::vector<bool>* memoIsData, Keys& keys,
                    bool& unverified, ErrorState& error,
                    const std::vector<bool>* only = nullptr) const;
    std::optional<std::string> KeyOfEntryAt(std::size_t index, uint32_t pointer) const;
    bool AllKeyColumnsNull(const JetRealIndex& index, const StoredRow& row) const;
    bool CheckKeys(const StoredRow& row, const Keys& keys, const RowKeys* old, uint32_t pointer,
                   ErrorState& error) const;
    std::optional<std::string> RelatedKey(const Relationship& r, const StoredRow& row,
                                          bool& unknown) const;
    bool CheckChildrenGone(const StoredRow& row, const RowKeys& keys, const Keys* newKeys,
                           ErrorState& error) const;
    bool UpdateIndexEntries(const RowKeys* old, const Keys* now, uint32_t pointer,
                            ErrorState& error);

    bool Encode(std::size_t column, const Value& value, std::optional<std::string>& stored,
                ErrorState& error);
    bool CheckRow(const StoredRow& row, ErrorState& error) const;
    std::optional<Value> DefaultFor(std::size_t column);
    std::optional<Value> EvaluateDefault(std::size_t column, bool& perRow);
    bool WriteLongValues(StoredRow& row, ErrorState& error);
    // A write failed part way: the table may be half changed, so nothing of it may be kept.
    bool Damage();
    // The most pages writing `row` (deleting a row: none) may add: a data page, its long values,
    // a split on every level of every index, new bitmap pages for the maps.
    uint32_t PagesAtMost(const StoredRow* row) const;
    // False, with Access's size-limit error naming the table, when the file could not take them.
    bool RoomFor(uint32_t pages, ErrorState& error);
    void Fail(ErrorState& error, int32_t number, const std::string& what);

    JetWriteFile& file_;
    std::string name_;
    JetTable table_;
    std::vector<ColumnProperties> properties_;
    // A column's default value as last worked out.
    struct Default {
        bool Known = false;
        bool PerRow = false;  // Date(), Now(), Time()
        std::optional<Value> Given;
    };
    std::vector<Default> defaults_;
    std::size_t emptyRowBytes_ = 0;  // a row of Nulls, the least any row takes
    RowStorage storage_;
    std::vector<Relationship> relationships_;
    bool damaged_ = false;
    bool allowUnverifiedKeys_ = false;
    bool wroteUnverifiedKeys_ = false;
    std::string unappliedDefault_;
};

}  // namespace vantrel::access
