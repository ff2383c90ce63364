#pragma once

#include <memory>
#include <string>

#include "common/ErrorState.h"
#include "sources/engine/Engine.h"

// Entry points of the engine's backends; only Engine uses them. Each opens an existing file
// whose format has already been recognised, sets the pending error and returns null on failure.
namespace vantrel::backends {

std::unique_ptr<Database> OpenSqlite(const std::string& path, bool readOnly, ErrorState& error);
std::unique_ptr<Database> CreateSqlite(const std::string& path, ErrorState& error);

// Access databases, read through libmdb.
std::unique_ptr<Database> OpenAccess(const std::string& path, ErrorState& error);
// Jet4 and ACE databases opened for changes, written by the program itself.
std::unique_ptr<Database> OpenAccessForChanges(const std::string& path, bool ace,
                                               const AccessWriteOptions& options,
                                               ErrorState& error);

// Excel workbooks (.xls through FreeXL, .xlsx and .xlsm packages): every worksheet a table named
// sheet + "$".
std::unique_ptr<Database> OpenExcel(const std::string& path, ErrorState& error);

}  // namespace vantrel::backends
