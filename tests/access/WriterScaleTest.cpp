// The Access writer with many rows: space used again by runs that replace a table, and indexes of
// several levels checked entry by entry.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>

#include "TestSupport.h"
#include "access/IndexCheck.h"
#include "access/IndexTree.h"
#include "access/JetFile.h"
#include "access/WriterSupport.h"

namespace vantrel {
namespace {

using test_writer::Copy;
using test_writer::Export;
using test_writer::OpenForChanges;
using test_writer::Problems;

// Replaces every row of 空の商品マスタ by `rows` products, as a new-mode run does.
void ReplaceProducts(Engine& engine, const std::string& path, int rows, int round) {
    auto db = OpenForChanges(engine, path);
    ASSERT_TRUE(db);
    auto rs = db->OpenRecordset("空の商品マスタ");
    ASSERT_TRUE(rs) << engine.Error().Description;
    for (; !rs->Eof(); rs->MoveNext())
        rs->Delete();
    for (int n = 0; n < rows; ++n) {
        rs->AddNew();
        rs->SetValue("商品コード", Value::Text("品-" + std::to_string(100000 + n * 7919 % 90000)));
        rs->SetValue("商品名", Value::Text("静岡の緑茶 " + std::to_string(n)));
        rs->SetValue("カテゴリ", Value::Text(n % 3 ? "飲料" : "菓子"));
        // Memos of every size class, a little longer each round.
        rs->SetValue("備考",
                     Value::Text(std::string(static_cast<std::size_t>(n % 7 * 900 + round), 'x')));
        rs->Update();
        ASSERT_FALSE(engine.Error().IsSet()) << n << ": " << engine.Error().Description;
    }
    db->Close();
    ASSERT_FALSE(engine.Error().IsSet()) << engine.Error().Description;
}

// New-mode runs of the same rows delete every row and add them again: deleted rows' pages, index
// pages and long value pages are used again, so the file keeps its size after the first run.
TEST(AccessWriterSpace, RepeatedNewModeRunsKeepTheFileSize) {
    for (const char* name : {"jet4_v2000.mdb", "ace16_v2016.accdb"}) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        const std::string path = Copy(dir, name);
        const int rows = VANTREL_SANITIZED ? 2000 : 10000;
        ErrorState error;
        Engine engine(error);
        std::vector<uintmax_t> sizes;
        for (int round = 0; round < 4; ++round) {
            ReplaceProducts(engine, path, rows, round);
            sizes.push_back(std::filesystem::file_size(path));
        }
        EXPECT_EQ(Problems(path), "");
        const auto lines = Export(path, "空の商品マスタ");
        ASSERT_EQ(lines.size(), static_cast<std::size_t>(rows) + 1);
        for (std::size_t k = 1; k < sizes.size(); ++k) {
            EXPECT_LE(sizes[k], sizes[0] + sizes[0] / 50)
                << "run " << k + 1 << ": " << sizes[0] << " -> " << sizes[k];
        }
        RecordProperty(std::string("sizes_") + name,
                       std::to_string(sizes[0]) + " " + std::to_string(sizes.back()));
    }
}

// 100,000 products through three text indexes of several levels: codes in no order, names in
// order, categories in long runs; then every seventh row deleted and every eleventh renamed. After
// each run every index is checked entry by entry against the keys of the rows (the verifier
// recomputes them), and every level is linked and ordered.
TEST(AccessWriterScale, AHundredThousandRowsThroughIndexesOfSeveralLevels) {
    test::TempDir dir;
    const std::string path = Copy(dir, "jet4_v2003.mdb");
    // Fewer rows would not make three levels; even sanitized this takes seconds.
    const int rows = 100000;
    ErrorState error;
    Engine engine(error);
    {
        auto db = OpenForChanges(engine, path);
        ASSERT_TRUE(db);
        auto rs = db->OpenRecordset("空の商品マスタ");
        ASSERT_TRUE(rs);
        for (int n = 0; n < rows; ++n) {
            rs->AddNew();
            rs->SetValue("商品コード",
                         Value::Text("品" + std::to_string(1000000 + n * 7919 % rows)));
            rs->SetValue("商品名", Value::Text("緑茶" + std::to_string(1000000 + n)));
            rs->SetValue("カテゴリ", Value::Text(std::string("分類") + "ABCDE"[n / 997 % 5]));
            rs->Update();
            ASSERT_FALSE(error.IsSet()) << n << ": " << error.Description;
        }
        db->Close();
        ASSERT_FALSE(error.IsSet()) << error.Description;
    }
    access::JetFile file;
    ASSERT_TRUE(file.Open(path, error));
    std::string problem;
    std::optional<access::JetTable> table;
    for (const auto& entry : access::ReadCatalog(file, problem)) {
        if (entry.Name == "空の商品マスタ")
            table = access::ReadTableDefinition(file, entry.DefinitionPage, problem);
    }
    ASSERT_TRUE(table);
    for (const auto& index : table->RealIndexes) {
        const auto walk = access::WalkIndexTree(file, index, table->DefinitionPage);
        EXPECT_GE(walk.Levels.size(), 3u);
        EXPECT_EQ(walk.Entries.size(), static_cast<std::size_t>(rows));
        std::vector<std::string> lookups;
        const auto expected = access::ExpectedIndexEntries(file, *table, index, lookups);
        EXPECT_TRUE(lookups.empty());
        EXPECT_TRUE(walk.Entries == expected) << "entries differ from the rows' keys";
        for (std::size_t k = 0; k < expected.size(); k += 997)
            EXPECT_TRUE(access::IndexContainsKey(file, index, expected[k].Key)) << k;
    }
    EXPECT_EQ(Problems(path), "");

    {
        auto db = OpenForChanges(engine, path);
        ASSERT_TRUE(db);
        auto rs = db->OpenRecordset("空の商品マスタ");
        ASSERT_TRUE(rs);
        for (int n = 0; !rs->Eof(); rs->MoveNext(), ++n) {
            if (n % 7 == 0) {
                rs->Delete();
            } else if (n % 11 == 0) {
                rs->Edit();
                rs->SetValue("商品名", Value::Text("改名した緑茶" + std::to_string(n)));
                rs->Update();
            }
            ASSERT_FALSE(error.IsSet()) << n << ": " << error.Description;
        }
        db->Close();
        ASSERT_FALSE(error.IsSet()) << error.Description;
    }
    EXPECT_EQ(Problems(path), "");
    EXPECT_EQ(Export(path, "空の商品マスタ").size(),
              static_cast<std::size_t>(rows - (rows + 6) / 7) + 1);
}

}  // namespace
}  // namespace vantrel
