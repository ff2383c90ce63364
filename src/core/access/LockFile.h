#pragma once

#include <string>

#include "common/ErrorState.h"

namespace vantrel::access {

// The lock file Access keeps beside a database it has open (.ldb for .mdb, .laccdb for
// .accdb). Holding one tells Access, and other copies of this program, that the file is in use.
class LockFile {
  public:
    LockFile() = default;
    LockFile(const LockFile&) = delete;
    LockFile& operator=(const LockFile&) = delete;
    ~LockFile() { Release(); }

    static std::string PathFor(const std::string& database, bool ace);
    // False, with the error set, when another program holds the database. A lock file this
    // program left behind when it was killed is taken over.
    bool Acquire(const std::string& database, bool ace, ErrorState& error);
    void Release();

  private:
    std::string path_;
    int fd_ = -1;  // held with a record lock, so a file left by a killed run can be told apart
};

}  // namespace vantrel::access
