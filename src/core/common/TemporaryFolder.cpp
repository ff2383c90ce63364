#include "common/TemporaryFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>

namespace vantrel {

namespace {

bool WritableFolder(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
           ::access(path.c_str(), W_OK | X_OK) == 0;
}

}  // namespace

std::string TemporaryFolder() {
    const char* env = std::getenv("TMPDIR");
    for (const std::string& candidate :
         {std::string(env ? env : ""), std::string("/tmp"), std::string("/var/tmp")}) {
        if (WritableFolder(candidate)) return candidate;
    }
    return {};
}

std::string ReserveTemporaryFile(const std::string& folder, const std::string& prefix) {
    if (folder.empty()) return {};
    std::string pattern = folder + (folder.back() == '/' ? "" : "/") + prefix + "XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) return {};
    ::close(fd);
    return pattern;
}

std::string NoTemporaryFolderMessage() {
    const char* env = std::getenv("TMPDIR");
    return "一時ファイルを置くフォルダーがありません (TMPDIR=" + std::string(env ? env : "") +
           "、/tmp、/var/tmp のどれにも書き込めません)。書き込めるフォルダーを TMPDIR "
           "に指定してください。";
}

}  // namespace vantrel
