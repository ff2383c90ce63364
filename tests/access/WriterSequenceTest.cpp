// Sequences of writes that once broke the writer: rows added, changed, moved and deleted again in
// later runs, on every file format.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "TestSupport.h"
#include "ToolSupport.h"
#include "access/WriterSupport.h"

namespace vantrel {
namespace {

// Adds `count` rows of every type to EmptyAllTypes in one run.
void AddAllTypesRows(Engine& engine, const std::string& path, int count) {
    auto db = OpenForChanges(engine, path);
    ASSERT_TRUE(db);
    auto rs = db->OpenRecordset("EmptyAllTypes");
    ASSERT_TRUE(rs) << engine.Error().Description;
    for (int n = 0; n < count; ++n) {
        rs->AddNew();
        for (int32_t i = 0; i < rs->FieldCount(); ++i) {
            const FieldInfo& f = rs->Field(i);
            if (f.AutoIncrement) continue;
            Value v = ValueFor(f, n);
            if (f.Name == "Code") v = Value::Text("code-" + std::to_string(n));
            rs->SetValue(i, v);
        }
        rs->Update();
        ASSERT_FALSE(engine.Error().IsSet()) << n << ": " << engine.Error().Description;
    }
    db->Close();
    ASSERT_FALSE(engine.Error().IsSet()) << engine.Error().Description;
}

// Changes the first `count` rows so that they grow (and move) and change their keys.
void GrowRows(Engine& engine, const std::string& path, int count, const std::string& memo) {
    auto db = OpenForChanges(engine, path);
    ASSERT_TRUE(db);
    auto rs = db->OpenRecordset("EmptyAllTypes");
    ASSERT_TRUE(rs) << engine.Error().Description;
    for (int n = 0; n < count && !rs->Eof(); ++n, rs->MoveNext()) {
        rs->Edit();
        rs->SetValue("Code", Value::Text("変更後の長い符号-" + std::to_string(n)));
        rs->SetValue("TextCol", Value::Text(std::string(200, 'k') + std::to_string(n)));
        rs->SetValue("MemoCol", Value::Text(memo + std::to_string(n)));
        rs->Update();
        ASSERT_FALSE(engine.Error().IsSet()) << n << ": " << engine.Error().Description;
    }
    db->Close();
    ASSERT_FALSE(engine.Error().IsSet()) << engine.Error().Description;
}

// Rows appended, 15 of them changed so that they move, then either every row deleted (a new-mode
// run with no input rows) or memos of 3,200 characters written over moved rows: every step must
// leave a consistent file that mdbtools reads.
TEST(AccessWriterSequences, MovedRowsDeletedOrGivenLongMemosInALaterRun) {
    for (const char* name : kFormats) {
        SCOPED_TRACE(name);
        for (const bool deleteAll : {true, false}) {
            test::TempDir dir;
            const std::string path = Copy(dir, name);
            ErrorState error;
            Engine engine(error);
            AddAllTypesRows(engine, path, 40);
            GrowRows(engine, path, 15, "短いメモ");
            ASSERT_EQ(Problems(path), "");
            if (deleteAll) {
                auto db = OpenForChanges(engine, path);
                ASSERT_TRUE(db);
                auto rs = db->OpenRecordset("EmptyAllTypes");
                ASSERT_TRUE(rs);
                ASSERT_EQ(rs->RecordCount(), 40);
                for (; !rs->Eof(); rs->MoveNext()) {
                    rs->Delete();
                    ASSERT_FALSE(error.IsSet()) << error.Description;
                }
                db->Close();
                ASSERT_FALSE(error.IsSet()) << error.Description;
                EXPECT_EQ(Problems(path), "");
                EXPECT_EQ(Export(path, "EmptyAllTypes").size(), 1u);
            } else {
                GrowRows(engine, path, 40, std::string(3200, 'M'));
                EXPECT_EQ(Problems(path), "");
                const auto lines =
                    test::ToolLines("mdb-export -b strip '" + path + "' EmptyAllTypes");
                ASSERT_EQ(lines.size(), 41u);
                const auto memos = std::count_if(lines.begin(), lines.end(), [](const auto& l) {
                    return l.find(std::string(3200, 'M')) != std::string::npos;
                });
                EXPECT_EQ(memos, 40);
            }
        }
    }
}

}  // namespace
}  // namespace vantrel
