#pragma once

#include <cstdint>
#include <string>

#include "common/ErrorState.h"

namespace vantrel {

// A new version of a file, built in a copy beside it and renamed over it: until Commit the file
// is exactly as it was, after it wholly the new version, whatever happens in between (a crash, a
// kill, a power cut). The copy shares the file's blocks where the file system can, and is
// otherwise copied inside the kernel; only what changes is then written.
class FileReplacement {
  public:
    FileReplacement() = default;
    FileReplacement(const FileReplacement&) = delete;
    FileReplacement& operator=(const FileReplacement&) = delete;
    ~FileReplacement() { Abandon(); }

    // The file a path names, symbolic links followed: where a replacement must be made so that a
    // link stays a link. Empty with `error` set when the path cannot be resolved.
    static std::string RealPath(const std::string& path, ErrorState& error);
    // Removes the copies a killed run left beside `realPath`. Only call this while holding the
    // file's lock, when no other run can be building one.
    static void RemoveStaleCopies(const std::string& realPath);

    // Copies the file `source` (open for reading, the contents of `realPath`) beside it, with
    // the file's permissions and, as far as allowed, its owner and group.
    bool Begin(const std::string& realPath, int source, ErrorState& error);
    bool Active() const { return fd_ >= 0; }
    // The copy, for reading and writing in place.
    int Descriptor() const { return fd_; }
    bool WriteAt(uint64_t offset, const char* data, std::size_t size, ErrorState& error);
    bool Resize(uint64_t size, ErrorState& error);
    // Flushes the copy to disk and renames it over the file; the folder is flushed too.
    bool Commit(ErrorState& error);
    // Deletes the copy; the file stays as it was.
    void Abandon();

  private:
    std::string target_;
    std::string copy_;
    int fd_ = -1;
};

}  // namespace vantrel
