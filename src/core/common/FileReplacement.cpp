#include "common/FileReplacement.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <vector>

#include "common/SafeFile.h"

namespace vantrel {

namespace {

constexpr const char* kCopyMark = ".vantrel-";

std::string FolderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string NameOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The whole of `from` into `to`: shared blocks where the file system allows, otherwise copied in
// the kernel, otherwise through a buffer.
bool CopyContents(int from, int to, uint64_t size) {
    if (::ioctl(to, FICLONE, from) == 0) return true;
    loff_t in = 0, out = 0;
    while (static_cast<uint64_t>(in) < size) {
        const ssize_t n = ::copy_file_range(
            from, &in, to, &out, static_cast<std::size_t>(size - static_cast<uint64_t>(in)), 0);
        if (n > 0) continue;
        if (n < 0 && errno == EINTR) continue;
        if (n == 0) return false;  // the file shrank under us
        if (errno != EXDEV && errno != ENOSYS && errno != EINVAL && errno != EOPNOTSUPP)
            return false;
        break;  // not supported here: copy the rest by hand
    }
    std::vector<char> buffer(1 << 20);
    while (static_cast<uint64_t>(in) < size) {
        const ssize_t n = ::pread(from, buffer.data(), buffer.size(), in);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        for (ssize_t done = 0; done < n;) {
            const ssize_t w =
                ::pwrite(to, buffer.data() + done, static_cast<std::size_t>(n - done), in + done);
            if (w < 0 && errno == EINTR) continue;
            if (w <= 0) return false;
            done += w;
        }
        in += n;
    }
    return true;
}

}  // namespace

std::string FileReplacement::RealPath(const std::string& path, ErrorState& error) {
    char* real = ::realpath(path.c_str(), nullptr);
    if (!real) {
        SetFileError(error, errno, path);
        return {};
    }
    std::string resolved(real);
    std::free(real);
    return resolved;
}

void FileReplacement::RemoveStaleCopies(const std::string& realPath) {
    const std::string prefix = NameOf(realPath) + kCopyMark;
    const std::string folder = FolderOf(realPath);
    DIR* dir = ::opendir(folder.c_str());
    if (!dir) return;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        // mkstemp's six characters follow the mark.
        if (name.size() == prefix.size() + 6 && name.compare(0, prefix.size(), prefix) == 0)
            ::unlinkat(::dirfd(dir), name.c_str(), 0);
    }
    ::closedir(dir);
}

bool FileReplacement::Begin(const std::string& realPath, int source, ErrorState& error) {
    Abandon();
    struct stat st {};
    if (::fstat(source, &st) != 0) {
        SetFileError(error, errno, realPath);
        return false;
    }
    std::string pattern = realPath + kCopyMark + "XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        SetFileError(error, errno, realPath);
        return false;
    }
    copy_.assign(name.data());
    fd_ = fd;
    target_ = realPath;
    // Owner and group may only be kept where the system allows it; the mode always is.
    if (::fchown(fd_, st.st_uid, st.st_gid) != 0) {
        [[maybe_unused]] const int ignored = ::fchown(fd_, static_cast<uid_t>(-1), st.st_gid);
    }
    if (::fchmod(fd_, st.st_mode & 07777) != 0 ||
        !CopyContents(source, fd_, static_cast<uint64_t>(st.st_size))) {
        SetFileError(error, errno, realPath);
        Abandon();
        return false;
    }
    return true;
}

bool FileReplacement::WriteAt(uint64_t offset, const char* data, std::size_t size,
                              ErrorState& error) {
    for (std::size_t done = 0; done < size;) {
        const ssize_t n =
            ::pwrite(fd_, data + done, size - done, static_cast<off_t>(offset + done));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            SetFileError(error, n < 0 ? errno : ENOSPC, target_);
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

bool FileReplacement::Resize(uint64_t size, ErrorState& error) {
    if (::ftruncate(fd_, static_cast<off_t>(size)) == 0) return true;
    SetFileError(error, errno, target_);
    return false;
}

bool FileReplacement::Commit(ErrorState& error) {
    if (::fsync(fd_) != 0) {
        SetFileError(error, errno, target_);
        return false;
    }
    if (::close(fd_) != 0) {
        fd_ = -1;
        SetFileError(error, errno, target_);
        ::unlink(copy_.c_str());
        return false;
    }
    fd_ = -1;
    if (::rename(copy_.c_str(), target_.c_str()) != 0) {
        SetFileError(error, errno, target_);
        ::unlink(copy_.c_str());
        return false;
    }
    // Make the rename itself durable.
    const int folder = ::open(FolderOf(target_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folder >= 0) {
        ::fsync(folder);
        ::close(folder);
    }
    return true;
}

void FileReplacement::Abandon() {
    if (fd_ < 0) return;
    ::close(fd_);
    ::unlink(copy_.c_str());
    fd_ = -1;
}

}  // namespace vantrel
