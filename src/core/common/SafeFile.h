#pragma once

#include <string>
#include <string_view>

#include "common/ErrorState.h"

namespace vantrel {

// Replaces the file at `path` with `bytes` so that a crash or a full disk never leaves a
// half-written file: the bytes go to a temporary file in the same folder, are flushed to disk,
// and the temporary file is then renamed over the target. An existing file keeps its
// permissions. On failure the old file is untouched, `error` holds the reason and the result is
// false.
bool WriteFileAtomically(const std::string& path, std::string_view bytes, ErrorState& error);

// Copies `from` over `to` the same way: the copy appears whole or not at all.
bool CopyFileAtomically(const std::string& from, const std::string& to, ErrorState& error);

// Reads the whole file (used only for small files such as definitions). Sets a runtime error
// (53 file not found, 70 permission denied, 75 other access errors, 7 larger than `maxBytes`)
// and returns false on failure.
bool ReadWholeFile(const std::string& path, std::string& bytes, ErrorState& error,
                   std::size_t maxBytes = static_cast<std::size_t>(-1));

// Runtime error number for an errno value from opening a file.
int32_t RuntimeErrorForErrno(int err);
// Sets `error` to that runtime error, naming the file.
void SetFileError(ErrorState& error, int err, const std::string& path);

}  // namespace vantrel
