#pragma once

#include <string>

namespace vantrel {

// The folder for the program's temporary files (work database, undo snapshots): $TMPDIR when it
// names a folder the program can write in, otherwise /tmp, then /var/tmp. Empty when none of
// them can be written.
std::string TemporaryFolder();

// A new empty file in `folder` named `prefix` followed by six random characters, created only
// for this program; empty when it cannot be made.
std::string ReserveTemporaryFile(const std::string& folder, const std::string& prefix);

// What the programs say when no temporary folder can be written.
std::string NoTemporaryFolderMessage();

}  // namespace vantrel
