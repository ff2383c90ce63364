// Access databases opened for changes: the program's own Jet4/ACE writer. Changes go to a copy
// beside the file (made when the first changed page must leave memory, or at Close), and Close
// renames the copy over the file, so a crash, a kill or a cancel leaves the file as it was.
#include <map>

#include "access/JetWriteFile.h"
#include "access/LockFile.h"
#include "access/TableWriter.h"
#include "common/FileReplacement.h"
#include "common/TextCase.h"
#include "sources/engine/Backends.h"
#include "sources/engine/JetErrors.h"

namespace vantrel::backends {

namespace {

using access::TableWriter;

class AccessWriteRecordset final : public Recordset {
  public:
    AccessWriteRecordset(ErrorState& error, TableWriter& writer)
        : Recordset(error), writer_(writer) {
        const auto& columns = writer.Table().Columns;
        for (std::size_t c = 0; c < columns.size(); ++c) {
            const auto& col = columns[c];
            FieldInfo f;
            f.Name = col.Name;
            f.Type = access::FieldTypeOf(col);
            f.Size = col.Type == access::JetType::Text ? col.Length / 2 : col.Length;
            f.Required = writer.Properties(c).Required;
            f.AllowZeroLength = writer.Properties(c).AllowZeroLength;
            f.AutoIncrement = col.IsAutoNumber();
            fields_.push_back(std::move(f));
        }
        buffer_.resize(fields_.size());
    }

    bool Eof() const override { return position_ >= Rows().size(); }
    int64_t RecordCount() const override { return writer_.Table().RowCount; }
    void MoveFirst() override {
        position_ = 0;
        Forget();
    }
    void MoveNext() override {
        if (position_ < Rows().size()) ++position_;
        Forget();
    }

    void AddNew() override {
        if (!Alive()) return;
        std::fill(buffer_.begin(), buffer_.end(), std::nullopt);
        mode_ = Mode::Adding;
    }
    void Edit() override {
        if (!Alive() || !Current()) return;
        std::fill(buffer_.begin(), buffer_.end(), std::nullopt);
        mode_ = Mode::Editing;
    }
    void Update() override {
        if (!Alive()) return;
        const Mode mode = mode_;
        mode_ = Mode::None;
        if (mode == Mode::Adding) {
            writer_.Insert(buffer_, Error());
        } else if (mode == Mode::Editing) {
            writer_.Update(Rows()[position_], buffer_, Error());
            Forget();
        } else {
            SetJetError(Error(), JetError::UpdateWithoutAddNew);
        }
    }
    void Delete() override {
        if (!Alive() || !Current()) return;
        mode_ = Mode::None;
        if (writer_.Delete(Rows()[position_], Error())) deleted_[position_] = true;
        Forget();
    }
    void Close() override { closed_ = true; }

    const Value& GetValue(int32_t index) const override {
        static const Value kNull;
        if (!ValidIndex(index)) return kNull;
        const auto i = static_cast<std::size_t>(index);
        if (mode_ != Mode::None && buffer_[i]) return *buffer_[i];
        if (mode_ == Mode::Adding || !Current()) return kNull;
        if (!loaded_) {
            current_ = writer_.Read(Rows()[position_]);
            values_.assign(fields_.size(), Value());
            decoded_.assign(fields_.size(), false);
            loaded_ = true;
        }
        if (!decoded_[i]) {
            values_[i] = writer_.ReadValue(current_, i);
            decoded_[i] = true;
        }
        return values_[i];
    }

    void SetValue(int32_t index, Value value) override {
        if (!Alive() || !ValidIndex(index)) return;
        if (mode_ == Mode::None) {
            SetJetError(Error(), JetError::UpdateWithoutAddNew);
            return;
        }
        // Access cannot change the AutoNumber of a stored record.
        if (mode_ == Mode::Editing && fields_[static_cast<std::size_t>(index)].AutoIncrement) {
            SetJetError(Error(), JetError::CannotUpdateField);
            return;
        }
        Value converted;
        if (!ConvertForField(index, std::move(value), writer_.Name(), converted)) return;
        buffer_[static_cast<std::size_t>(index)] = std::move(converted);
    }

  private:
    enum class Mode { None, Adding, Editing };

    bool Alive() const {
        if (closed_) SetJetError(Error(), JetError::ObjectClosed);
        return !closed_;
    }
    bool Current() const {
        if (Eof()) {
            SetJetError(Error(), JetError::NoCurrentRecord);
            return false;
        }
        if (deleted_[position_]) {
            SetJetError(Error(), JetError::RecordDeleted);
            return false;
        }
        return true;
    }
    void Forget() { loaded_ = false; }
    // The live rows as they were when the walk began. Read at the first move, so that adding rows
    // never reads the table's pages.
    const std::vector<uint32_t>& Rows() const {
        if (!rows_) {
            rows_ = writer_.LiveRows();
            deleted_.assign(rows_->size(), false);
        }
        return *rows_;
    }

    TableWriter& writer_;
    mutable std::optional<std::vector<uint32_t>> rows_;
    mutable std::vector<bool> deleted_;
    std::size_t position_ = 0;
    Mode mode_ = Mode::None;
    TableWriter::Changes buffer_;
    bool closed_ = false;
    mutable bool loaded_ = false;
    mutable access::StoredRow current_;
    mutable std::vector<Value> values_;
    mutable std::vector<bool> decoded_;
};

class AccessWriteDatabase final : public Database {
  public:
    AccessWriteDatabase(ErrorState& error, std::string path, bool ace,
                        const AccessWriteOptions& options)
        : Database(error, std::move(path)), ace_(ace), options_(options) {}

    bool Open() {
        // A path through a symbolic link is written where the link points; the link stays.
        const std::string real = FileReplacement::RealPath(Path(), Error());
        if (real.empty() || !lock_.Acquire(real, ace_, Error())) return false;
        FileReplacement::RemoveStaleCopies(real);
        if (!file_.Open(real, Error())) {
            lock_.Release();
            return false;
        }
        if (options_.PageLimit != 0) file_.SetPageLimit(options_.PageLimit);
        std::string problem;
        catalog_ = access::ReadCatalog(file_, problem);
        if (!problem.empty()) {
            SetJetError(Error(), JetError::CannotOpenDatabase, Path() + ": " + problem);
            lock_.Release();
            return false;
        }
        return true;
    }

    std::vector<TableDefInfo> TableDefs() override {
        std::vector<TableDefInfo> defs;
        for (const auto& e : catalog_) {
            int32_t attributes = 0;
            if ((static_cast<uint32_t>(e.Flags) & 0x80000002u) || e.Name.rfind("MSys", 0) == 0)
                attributes = TableAttribute::SystemObject;
            defs.push_back({e.Name, attributes});
        }
        return defs;
    }

    std::unique_ptr<Recordset> OpenRecordset(const std::string& table) override {
        if (closed_) {
            SetJetError(Error(), JetError::ObjectClosed);
            return nullptr;
        }
        const std::string wanted = LowerCase(table);
        for (const auto& e : catalog_) {
            if (LowerCase(e.Name) != wanted) continue;
            auto& writer = writers_[e.DefinitionPage];
            if (!writer) {
                writer = TableWriter::Open(file_, e, catalog_, Error());
                if (!writer) return nullptr;
                writer->SetAllowUnverifiedKeys(options_.AllowUnverifiedKeys);
            }
            return std::make_unique<AccessWriteRecordset>(Error(), *writer);
        }
        SetJetError(Error(), JetError::TableNotFound, table);
        return nullptr;
    }

    bool Append(const TableDefDraft& table) override {
        SetJetError(Error(), JetError::OperationNotSupported, table.Name);
        return false;
    }

    void Close() override {
        if (closed_) return;
        closed_ = true;
        for (const auto& [page, writer] : writers_) {
            if (writer && writer->Damaged()) {
                error_ = true;
                Error().Set(
                    JetError::EngineFailure,
                    "テーブル '" + writer->Name() +
                        "' への書き込みが途中で失敗したため、データベース '" + Path() +
                        "' への変更はすべて取り消されました。データベースは実行前のままです。");
                break;
            }
        }
        if (!error_) file_.Commit(Error());
        file_.Discard();
        lock_.Release();
    }

    void DiscardChanges() override {
        closed_ = true;
        file_.Discard();
        lock_.Release();
    }

    std::vector<std::string> Notices() const override {
        std::vector<std::string> lines;
        std::string unverified;
        for (const auto& [page, writer] : writers_) {
            if (writer && writer->WroteUnverifiedKeys())
                unverified += (unverified.empty() ? "" : "、") + ("'" + writer->Name() + "'");
        }
        if (!unverified.empty())
            lines.push_back(
                "テーブル " + unverified +
                " の索引に、キーが未確認の文字 (ー、々 など) を含む値を書き込みました。"
                "このファイルを Access で使う前に、Access の「データベースの最適化/修復」"
                "を実行して索引を作り直してください。");
        for (const auto& [page, writer] : writers_) {
            if (writer && !writer->UnappliedDefault().empty())
                lines.push_back("テーブル '" + writer->Name() + "' のフィールド " +
                                writer->UnappliedDefault() +
                                " の既定値は式のため適用されませんでした。");
        }
        return lines;
    }

    bool IsReadOnly() const override { return false; }

  private:
    bool ace_;
    AccessWriteOptions options_;
    bool closed_ = false;
    bool error_ = false;
    access::LockFile lock_;
    access::JetWriteFile file_;
    std::vector<access::JetCatalogEntry> catalog_;
    std::map<uint32_t, std::unique_ptr<TableWriter>> writers_;
};

}  // namespace

std::unique_ptr<Database> OpenAccessForChanges(const std::string& path, bool ace,
                                               const AccessWriteOptions& options,
                                               ErrorState& error) {
    auto db = std::make_unique<AccessWriteDatabase>(error, path, ace, options);
    if (!db->Open()) return nullptr;
    return db;
}

}  // namespace vantrel::backends
