// The Access writer with many rows: space used again by runs that replace a table, and indexes of
// several levels checked entry by entry.
#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "access/WriterSupport.h"

namespace vantrel {
namespace {

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

}  // namespace
}  // namespace vantrel
