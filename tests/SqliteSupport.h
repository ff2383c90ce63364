#pragma once

#include <sqlite3.h>

#include <string>

#include "TestSupport.h"

namespace vantrel::test {

// A small SQLite database in `dir` made by running `sql`.
inline std::string MakeDatabase(const TempDir& dir, const char* name, const char* sql) {
    const std::string path = dir.File(name);
    sqlite3* db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return path;
}

}  // namespace vantrel::test
