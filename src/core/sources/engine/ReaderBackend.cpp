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
#include "sources/engine/ReaderStream.h"

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
class ReaderProcess final : public reader::StreamSource {
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
    bool TimedOut() const override { return timedOut_; }

    void Stop() override {
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
    std::string buffer_;
    std::size_t pos_ = 0;
};

std::unique_ptr<Database> OpenExternal(const char* format, const std::string& path,
                                       ErrorState& error) {
    auto start =
        [path](const std::vector<std::string>& request) -> std::unique_ptr<reader::StreamSource> {
        auto process = std::make_unique<ReaderProcess>(request, path);
        if (!process->Started()) return nullptr;
        return process;
    };
    return OpenStreamDatabase(format, path, start, error);
}

}  // namespace

std::unique_ptr<Database> OpenAccess(const std::string& path, ErrorState& error) {
    return OpenExternal("access", path, error);
}

std::unique_ptr<Database> OpenExcel(const std::string& path, ErrorState& error) {
    return OpenExternal("excel", path, error);
}

}  // namespace vantrel::backends
