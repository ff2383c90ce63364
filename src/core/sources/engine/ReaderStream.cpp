// Access databases and Excel workbooks as the engine sees them through a reader stream: the
// catalog and rows that vantrel-reader writes (or, for tests and fuzzing, any bytes) decoded into
// a read-only database. Any stream that ends early or holds nonsense gives an error, never more.
#include "sources/engine/ReaderStream.h"

#include <algorithm>

#include "sources/engine/JetErrors.h"

namespace vantrel::reader {

bool StreamSource::NextTag(Tag& tag) {
    if (!GetTag(tag)) return false;
    if (tag != Tag::Detail) return true;
    return GetString(detail_) && GetTag(tag);
}

bool MemorySource::Read(char* out, std::size_t n) {
    if (n > bytes_.size() - pos_) return false;
    std::copy_n(bytes_.data() + pos_, n, out);
    pos_ += n;
    return true;
}

}  // namespace vantrel::reader

namespace vantrel::backends {

namespace {

using reader::StreamOpener;
using reader::StreamSource;

void SetCannotStart(ErrorState& error) {
    error.Set(JetError::EngineFailure, "読み込み用のプログラム vantrel-reader を起動できません。");
}

// A stream that ended without its closing record: the reader crashed, hung or was killed.
void SetStreamBroken(ErrorState& error, const std::string& path, bool timedOut) {
    if (timedOut) {
        error.Set(JetError::CannotOpenDatabase, "データベース '" + path +
                                                    "' "
                                                    "の読み込みが応答しなくなったため中止しました。"
                                                    "ファイルが壊れている可能性があります。");
    } else {
        SetJetError(error, JetError::CannotOpenDatabase, path);
    }
}

void SetFromEnd(ErrorState& error, int32_t number, const std::string& name,
                const std::string& detail) {
    if (detail.empty()) {
        SetJetError(error, number, name);
    } else {
        error.Set(number, JetErrorDescription(number, name) + detail);
    }
}

class StreamRecordset final : public Recordset {
  public:
    StreamRecordset(ErrorState& error, std::vector<std::string> request, std::string path,
                    const StreamOpener& open)
        : Recordset(error), request_(std::move(request)), path_(std::move(path)), open_(open) {}

    // Starts the stream and reads the table's fields; false (with the error set) on failure.
    bool Start() {
        process_ = open_(request_);
        if (!process_) {
            SetCannotStart(Error());
            return false;
        }
        fields_.clear();
        reader::Tag tag{};
        while (process_->NextTag(tag)) {
            if (tag == reader::Tag::Field) {
                FieldInfo f;
                if (!process_->GetField(f)) break;
                fields_.push_back(std::move(f));
            } else if (tag == reader::Tag::RowCount) {
                if (!process_->GetInt64(count_)) break;
                return Advance();
            } else if (tag == reader::Tag::End) {
                // A stream that closes before its row count is broken, even when it says it
                // completed.
                if (ReadEnd()) SetStreamBroken(Error(), path_, false);
                return false;
            } else {
                break;
            }
        }
        SetStreamBroken(Error(), path_, process_->TimedOut());
        return false;
    }

    bool Eof() const override { return eof_; }
    int64_t RecordCount() const override { return count_; }

    void MoveFirst() override {
        if (closed_) return;
        Start();
    }
    void MoveNext() override {
        if (eof_) {
            SetJetError(Error(), JetError::NoCurrentRecord);
            return;
        }
        Advance();
    }
    void AddNew() override { ReadOnly(); }
    void Edit() override { ReadOnly(); }
    void Update() override { ReadOnly(); }
    void Delete() override { ReadOnly(); }
    void Close() override {
        if (process_) process_->Stop();
        closed_ = true;
        eof_ = true;
    }

    const Value& GetValue(int32_t index) const override {
        static const Value kNull;
        if (!ValidIndex(index)) return kNull;
        if (eof_) {
            SetJetError(Error(), JetError::NoCurrentRecord);
            return kNull;
        }
        return row_[static_cast<std::size_t>(index)];
    }
    void SetValue(int32_t, Value) override { ReadOnly(); }

  private:
    void ReadOnly() const { SetJetError(Error(), JetError::ReadOnly, path_); }

    bool ReadEnd() {
        int32_t number = 0;
        std::string name;
        eof_ = true;
        bool ok = true;
        if (!process_->GetInt32(number) || !process_->GetString(name)) {
            SetStreamBroken(Error(), path_, process_->TimedOut());
            ok = false;
        } else if (number != 0) {
            SetFromEnd(Error(), number, name, process_->Detail());
            ok = false;
        }
        process_->Stop();
        return ok;
    }

    // Reads the next row; false when the stream broke or ended with an error.
    bool Advance() {
        reader::Tag tag{};
        if (!process_->NextTag(tag)) {
            eof_ = true;
            SetStreamBroken(Error(), path_, process_->TimedOut());
            process_->Stop();
            return false;
        }
        if (tag == reader::Tag::End) return ReadEnd();
        row_.resize(fields_.size());
        bool ok = tag == reader::Tag::Row;
        for (std::size_t c = 0; ok && c < fields_.size(); ++c)
            ok = process_->GetValue(row_[c]);
        if (!ok) {
            eof_ = true;
            SetStreamBroken(Error(), path_, process_->TimedOut());
            process_->Stop();
            return false;
        }
        eof_ = false;
        return true;
    }

    std::vector<std::string> request_;
    std::string path_;
    const StreamOpener& open_;
    std::unique_ptr<StreamSource> process_;
    std::vector<Value> row_;
    int64_t count_ = 0;
    bool eof_ = true;
    bool closed_ = false;
};

class StreamDatabase final : public Database {
  public:
    StreamDatabase(ErrorState& error, std::string format, const std::string& path,
                   StreamOpener open)
        : Database(error, path), format_(std::move(format)), open_(std::move(open)) {}

    // Lists the file's tables; false (with the error set) when it cannot be read.
    bool Load() {
        const auto source = open_({format_, "catalog", Path()});
        if (!source) {
            SetCannotStart(Error());
            return false;
        }
        StreamSource& process = *source;
        reader::Tag tag{};
        while (process.NextTag(tag)) {
            if (tag == reader::Tag::Table) {
                TableDefInfo t;
                if (!process.GetString(t.Name) || !process.GetInt32(t.Attributes)) break;
                tables_.push_back(std::move(t));
            } else if (tag == reader::Tag::End) {
                int32_t number = 0;
                std::string name;
                if (!process.GetInt32(number) || !process.GetString(name)) break;
                if (number != 0) {
                    SetFromEnd(Error(), number, name, process.Detail());
                    return false;
                }
                return true;
            } else {
                break;
            }
        }
        SetStreamBroken(Error(), Path(), process.TimedOut());
        return false;
    }

    std::vector<TableDefInfo> TableDefs() override { return tables_; }

    std::unique_ptr<Recordset> OpenRecordset(const std::string& table) override {
        if (closed_) {
            SetJetError(Error(), JetError::ObjectClosed);
            return nullptr;
        }
        auto rs = std::make_unique<StreamRecordset>(
            Error(), std::vector<std::string>{format_, "rows", Path(), table}, Path(), open_);
        if (!rs->Start()) return nullptr;
        return rs;
    }

    bool Append(const TableDefDraft& table) override {
        SetJetError(Error(), JetError::ReadOnly, table.Name);
        return false;
    }
    void Close() override { closed_ = true; }
    bool IsReadOnly() const override { return true; }

  private:
    std::string format_;
    StreamOpener open_;
    std::vector<TableDefInfo> tables_;
    bool closed_ = false;
};

}  // namespace

std::unique_ptr<Database> OpenStreamDatabase(const std::string& format, const std::string& path,
                                             reader::StreamOpener open, ErrorState& error) {
    auto db = std::make_unique<StreamDatabase>(error, format, path, std::move(open));
    if (!db->Load()) return nullptr;
    return db;
}

}  // namespace vantrel::backends
