#pragma once

// Helpers of the Access writer tests: fixture copies, their rows as mdb-export lists them, the
// verifier's findings, and product rows written through the engine.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ToolSupport.h"
#include "access/Verifier.h"
#include "sources/engine/Engine.h"

namespace vantrel::test_writer {

// A copy of the Access fixture `name` in `dir`.
inline std::string Copy(const test::TempDir& dir, const std::string& name) {
    const std::string to = dir.File(name);
    std::filesystem::copy_file(test::Fixture("access/" + name), to);
    return to;
}

inline std::vector<std::string> Export(const std::string& path, const std::string& table) {
    return test::ToolLines("mdb-export -d '|' -D '%Y-%m-%d %H:%M:%S' '" + path + "' '" + table +
                           "' 2>&1");
}

// Every problem vantrel-verify would list, one a line; empty for a sound file.
inline std::string Problems(const std::string& path) {
    std::string all;
    for (const auto& p : access::VerifyDatabase(path))
        all += p + "\n";
    return all;
}

inline std::unique_ptr<Database> OpenForChanges(Engine& engine, const std::string& path) {
    auto db = engine.OpenDatabase(path, 2, false);
    EXPECT_TRUE(db) << engine.Error().Description;
    return db;
}

// Products with these codes (names "名前" + code) added to 空の商品マスタ of a copy of `fixture`
// saved as `file` in `dir`; the rows the writer refused are counted, and the notices of the
// run kept.
struct ProductRun {
    int Refused = 0;
    std::vector<std::string> Notices;
};

inline ProductRun AddProducts(const test::TempDir& dir, const std::string& fixture,
                              const std::string& file, const std::vector<std::string>& codes,
                              bool allowUnverified) {
    ProductRun run;
    std::filesystem::copy_file(test::Fixture("access/" + fixture), dir.File(file));
    ErrorState error;
    Engine engine(error);
    engine.SetAllowUnverifiedKeys(allowUnverified);
    auto db = engine.OpenDatabase(dir.File(file), 2, false);
    EXPECT_TRUE(db) << error.Description;
    if (!db) return run;
    auto rs = db->OpenRecordset("空の商品マスタ");
    EXPECT_TRUE(rs) << error.Description;
    for (const auto& code : codes) {
        if (!rs) break;
        rs->AddNew();
        rs->SetValue("商品コード", Value::Text(code));
        rs->SetValue("商品名", Value::Text("名前" + code));
        rs->Update();
        if (error.IsSet()) ++run.Refused;
        error.Clear();
    }
    run.Notices = db->Notices();
    db->Close();
    EXPECT_FALSE(error.IsSet()) << error.Description;
    return run;
}

}  // namespace vantrel::test_writer
