#include "access/LockFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "sources/engine/JetErrors.h"

namespace vantrel::access {

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
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EEXIST) {
            error.Set(JetError::CannotOpenFile,
                      "データベース '" + database +
                          "' は他のプログラムで開かれています (ロック ファイル '" + path +
                          "' があります)。Access などを閉じてからやり直してください。"
                          "どのプログラムも開いていない場合は、このロック ファイルを削除してく"
                          "ださい。");
        } else {
            SetJetError(error, JetError::CannotOpenFile, path);
        }
        return false;
    }
    ::close(fd);
    path_ = path;
    return true;
}

void LockFile::Release() {
    if (path_.empty()) return;
    ::unlink(path_.c_str());
    path_.clear();
}

}  // namespace vantrel::access
