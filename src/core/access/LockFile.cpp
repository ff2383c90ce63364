#include "access/LockFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <mutex>
#include <set>

#include "sources/engine/JetErrors.h"

namespace vantrel::access {

namespace {

// Access keeps one 64-byte record a user: the computer's name, then the user's name.
constexpr std::size_t kNameBytes = 32;
constexpr const char* kUser = "Vantrel";

std::string Record() {
    char host[kNameBytes + 1] = {};
    ::gethostname(host, kNameBytes);
    std::string record(2 * kNameBytes, '\0');
    std::memcpy(record.data(), host, std::strlen(host));
    std::memcpy(record.data() + kNameBytes, kUser, std::strlen(kUser));
    return record;
}

// Record locks do not keep this process from itself: the paths it holds are kept here.
std::mutex heldMutex;
std::set<std::string>& Held() {
    static std::set<std::string> held;
    return held;
}

bool LockWhole(int fd) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    return ::fcntl(fd, F_SETLK, &lock) == 0;
}

// A lock file this program left behind when it was killed: its record names this computer and
// the program, and no process holds it any more.
bool IsStaleOwnLock(int fd) {
    std::string record(2 * kNameBytes, '\0');
    if (::pread(fd, record.data(), record.size(), 0) != static_cast<ssize_t>(record.size()))
        return false;
    return record == Record() && LockWhole(fd);
}

}  // namespace

std::string LockFile::PathFor(const std::string& database, bool ace) {
    const std::size_t slash = database.find_last_of('/');
    const std::size_t dot = database.find_last_of('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash);
    return (hasExtension ? database.substr(0, dot) : database) + (ace ? ".laccdb" : ".ldb");
}

bool LockFile::Acquire(const std::string& database, bool ace, ErrorState& error) {
    Release();
    const std::string path = PathFor(database, ace);
    std::lock_guard<std::mutex> guard(heldMutex);
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) {
        fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
        if (fd >= 0 && (Held().count(path) || !IsStaleOwnLock(fd))) {
            ::close(fd);
            // A clause: the import log frames it with "ため、インポートできませんでした".
            error.Set(JetError::CannotOpenFile,
                      "データベース '" + database +
                          "' を Access などのほかのプログラムが開いている (ロック ファイル '" +
                          path +
                          "' がある。どのプログラムも開いていなければ、このファイルを削除すると"
                          "書き込める)");
            return false;
        }
    }
    if (fd < 0) {
        SetJetError(error, JetError::CannotOpenFile, path);
        return false;
    }
    const std::string record = Record();
    if (!LockWhole(fd) ||
        ::pwrite(fd, record.data(), record.size(), 0) != static_cast<ssize_t>(record.size())) {
        ::close(fd);
        SetJetError(error, JetError::CannotOpenFile, path);
        return false;
    }
    fd_ = fd;
    path_ = path;
    Held().insert(path);
    return true;
}

void LockFile::Release() {
    if (path_.empty()) return;
    std::lock_guard<std::mutex> guard(heldMutex);
    Held().erase(path_);
    ::unlink(path_.c_str());
    ::close(fd_);
    fd_ = -1;
    path_.clear();
}

}  // namespace vantrel::access
