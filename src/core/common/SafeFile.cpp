#include "common/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <vector>

namespace vantrel {

namespace {

std::string FolderPart(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

bool WriteAll(int fd, std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// A new private file beside `target` (so a rename can replace the target); -1 on failure.
int CreateTempBeside(const std::string& target, std::string& tempPath, ErrorState& error) {
    std::string pattern = target + ".tmp-XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        SetFileError(error, errno, target);
        return -1;
    }
    tempPath.assign(name.data());
    return fd;
}

}  // namespace

int32_t RuntimeErrorForErrno(int err) {
    switch (err) {
        case ENOENT:
            return RuntimeError::FileNotFound;
        case EACCES:
        case EPERM:
        case EROFS:
            return RuntimeError::PermissionDenied;
        case ENOTDIR:
            return RuntimeError::PathNotFound;
        case ENOSPC:
        case EDQUOT:
            return RuntimeError::DiskFull;
        default:
            return RuntimeError::PathFileAccessError;
    }
}

void SetFileError(ErrorState& error, int err, const std::string& path) {
    const int32_t number = RuntimeErrorForErrno(err);
    error.Set(number, path + " : " + RuntimeError::Description(number));
}

bool WriteFileAtomically(const std::string& path, std::string_view bytes, ErrorState& error) {
    std::string temp;
    const int fd = CreateTempBeside(path, temp, error);
    if (fd < 0) return false;

    // mkstemp creates the file private; give it the target's mode, or the usual mode for a new
    // file under the current umask.
    struct stat st {};
    mode_t mode = 0;
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        mode = 0666 & ~mask;
    }
    ::fchmod(fd, mode);

    bool ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        SetFileError(error, err, path);
        return false;
    }
    // Make the rename itself durable.
    const int dirFd = ::open(FolderPart(path).c_str(), O_RDONLY | O_DIRECTORY);
    if (dirFd >= 0) {
        ::fsync(dirFd);
        ::close(dirFd);
    }
    return true;
}

bool CopyFileAtomically(const std::string& from, const std::string& to, ErrorState& error) {
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0) {
        SetFileError(error, errno, from);
        return false;
    }
    std::string temp;
    const int out = CreateTempBeside(to, temp, error);
    if (out < 0) {
        ::close(in);
        return false;
    }
    struct stat st {};
    if (::fstat(in, &st) == 0) ::fchmod(out, st.st_mode & 07777);
    bool ok = true;
    int err = 0;
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t n = ::read(in, buffer.data(), buffer.size());
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 || (n > 0 && !WriteAll(out, std::string_view(buffer.data(),
                                                               static_cast<std::size_t>(n))))) {
            ok = false;
            err = errno;
            break;
        }
        if (n == 0) break;
    }
    ::close(in);
    if (ok && ::fsync(out) != 0) ok = false, err = errno;
    if (::close(out) != 0 && ok) ok = false, err = errno;
    if (ok && ::rename(temp.c_str(), to.c_str()) != 0) ok = false, err = errno;
    if (!ok) {
        ::unlink(temp.c_str());
        SetFileError(error, err, to);
    }
    return ok;
}

bool ReadWholeFile(const std::string& path, std::string& bytes, ErrorState& error,
                   std::size_t maxBytes) {
    bytes.clear();
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) {
        error.Set(RuntimeError::PathFileAccessError,
                  path + " : " + RuntimeError::Description(RuntimeError::PathFileAccessError));
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        SetFileError(error, errno, path);
        return false;
    }
    struct stat opened {};
    if (::fstat(fd, &opened) == 0 && static_cast<std::size_t>(opened.st_size) > maxBytes) {
        ::close(fd);
        error.Set(RuntimeError::OutOfMemory,
                  path + " : ファイルが大きすぎます。" +
                      RuntimeError::Description(RuntimeError::OutOfMemory));
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int err = errno;
            ::close(fd);
            SetFileError(error, err, path);
            return false;
        }
        if (n == 0) break;
        bytes.append(buffer, static_cast<std::size_t>(n));
        if (bytes.size() > maxBytes) {
            ::close(fd);
            bytes.clear();
            error.Set(RuntimeError::OutOfMemory,
                      path + " : ファイルが大きすぎます。" +
                          RuntimeError::Description(RuntimeError::OutOfMemory));
            return false;
        }
    }
    ::close(fd);
    return true;
}

}  // namespace vantrel
