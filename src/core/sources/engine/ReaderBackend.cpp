// Access databases and Excel workbooks, read through the vantrel-reader child process.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "common/TextCase.h"
#include "sources/engine/Backends.h"
#include "sources/engine/JetErrors.h"
#include "sources/engine/ReaderProtocol.h"

extern char** environ;

namespace vantrel::backends {

namespace {

// The reader is installed beside the program; VANTREL_READER names another one.
std::string ReaderExecutable() {
    if (const char* env = std::getenv("VANTREL_READER"); env && *env) return env;
    std::error_code ec;
    const auto self = std::filesystem::read_symlink("/proc/self/exe", ec);
    if (!ec) return (self.parent_path() / "vantrel-reader").string();
    return "vantrel-reader";
}

// Time the reader may go without sending anything: generous for large files, which the
// workbook library parses whole before the first row.
int StallTimeoutMs(const std::string& path) {
    if (const char* env = std::getenv("VANTREL_READER_TIMEOUT_MS"); env && std::atoi(env) > 0)
        return std::atoi(env);
    struct stat st {};
    const long long megabytes = ::stat(path.c_str(), &st) == 0 ? st.st_size / (1 << 20) : 0;
    return static_cast<int>(std::min<long long>(30'000 + megabytes * 10'000, 600'000));
}

// One run of the reader: started for one request, stopped when its stream has been read or is
// no longer wanted.
class ReaderProcess final : public reader::Parser {
  public:
    ReaderProcess(std::vector<std::string> args, const std::string& path)
        : timeoutMs_(StallTimeoutMs(path)) {
        int fds[2];
        if (::pipe2(fds, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
        posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
        std::vector<char*> argv;
        const std::string program = ReaderExecutable();
        argv.push_back(const_cast<char*>(program.c_str()));
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        const int rc = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
        posix_spawn_file_actions_destroy(&actions);
        ::close(fds[1]);
        if (rc != 0) {
            pid_ = -1;
            ::close(fds[0]);
            return;
        }
        fd_ = fds[0];
    }

    ~ReaderProcess() override { Stop(); }
    ReaderProcess(const ReaderProcess&) = delete;
    ReaderProcess& operator=(const ReaderProcess&) = delete;

    bool Started() const { return fd_ >= 0; }
    bool TimedOut() const { return timedOut_; }

    // The next record's tag; a detail record before the closing one is kept for its message.
    bool NextTag(reader::Tag& tag) {
        if (!GetTag(tag)) return false;
        if (tag != reader::Tag::Detail) return true;
        return GetString(detail_) && GetTag(tag);
    }
    const std::string& Detail() const { return detail_; }

    void Stop() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            int status = 0;
            while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
            }
        }
        pid_ = -1;
    }

  protected:
    bool Read(char* out, std::size_t n) override {
        while (n > 0) {
            if (pos_ == buffer_.size() && !Fill()) return false;
            const std::size_t take = std::min(n, buffer_.size() - pos_);
            std::copy_n(buffer_.data() + pos_, take, out);
            pos_ += take;
            out += take;
            n -= take;
        }
        return true;
    }

  private:
    bool Fill() {
        if (fd_ < 0) return false;
        buffer_.resize(1 << 16);
        pos_ = 0;
        for (;;) {
            pollfd p{fd_, POLLIN, 0};
            const int ready = ::poll(&p, 1, timeoutMs_);
            if (ready < 0 && errno == EINTR) continue;
            if (ready <= 0) {
                timedOut_ = ready == 0;
                buffer_.clear();
                return false;
            }
            const ssize_t got = ::read(fd_, buffer_.data(), buffer_.size());
            if (got < 0 && errno == EINTR) continue;
            if (got <= 0) {
                buffer_.clear();
                return false;
            }
            buffer_.resize(static_cast<std::size_t>(got));
            return true;
        }
    }

    pid_t pid_ = -1;
    int fd_ = -1;
    int timeoutMs_;
    bool timedOut_ = false;
    std::string detail_;
    std::string buffer_;
    std::size_t pos_ = 0;
};

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

class ExternalRecordset final : public Recordset {
  public:
    ExternalRecordset(ErrorState& error, std::vector<std::string> request, std::string path)
        : Recordset(error), request_(std::move(request)), path_(std::move(path)) {}

    // Starts the stream and reads the table's fields; false (with the error set) on failure.
    bool Start() {
        process_ = std::make_unique<ReaderProcess>(request_, path_);
        if (!process_->Started()) {
            Error().Set(JetError::EngineFailure,
                        "読み込み用のプログラム vantrel-reader を起動できません。");
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
                ReadEnd();
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
    std::unique_ptr<ReaderProcess> process_;
    std::vector<Value> row_;
    int64_t count_ = 0;
    bool eof_ = true;
    bool closed_ = false;
};

class ExternalDatabase final : public Database {
  public:
    ExternalDatabase(ErrorState& error, std::string format, const std::string& path)
        : Database(error, path), format_(std::move(format)) {}

    // Lists the file's tables; false (with the error set) when it cannot be read.
    bool Load() {
        ReaderProcess process({format_, "catalog", Path()}, Path());
        if (!process.Started()) {
            Error().Set(JetError::EngineFailure,
                        "読み込み用のプログラム vantrel-reader を起動できません。");
            return false;
        }
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
        auto rs = std::make_unique<ExternalRecordset>(
            Error(), std::vector<std::string>{format_, "rows", Path(), table}, Path());
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
    std::vector<TableDefInfo> tables_;
    bool closed_ = false;
};

std::unique_ptr<Database> OpenExternal(const char* format, const std::string& path,
                                       ErrorState& error) {
    auto db = std::make_unique<ExternalDatabase>(error, format, path);
    if (!db->Load()) return nullptr;
    return db;
}

}  // namespace

std::unique_ptr<Database> OpenAccess(const std::string& path, ErrorState& error) {
    return OpenExternal("access", path, error);
}

std::unique_ptr<Database> OpenExcel(const std::string& path, ErrorState& error) {
    return OpenExternal("excel", path, error);
}

}  // namespace vantrel::backends
