// Sequences of writes that once broke the writer: rows added, changed, moved and deleted again in
// later runs, on every file format.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "TestSupport.h"
#include "ToolSupport.h"
#include "access/Bytes.h"
#include "access/JetFile.h"
#include "access/WriterSupport.h"

namespace vantrel {
namespace {

using test_writer::Copy;
using test_writer::Export;
using test_writer::kFormats;
using test_writer::OpenForChanges;
using test_writer::Problems;
using test_writer::ValueFor;

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

// The slots a moved row occupied, counted per flag combination.
struct SlotFlags {
    int Pointers = 0;       // 0x4000 alone: the row's own slot, pointing at its copy
    int LiveCopies = 0;     // 0x8000 alone: where a moved row lies now
    int DeletedCopies = 0;  // 0x8000 | 0x4000
};

SlotFlags CountSlotFlags(const std::string& path, const std::string& tableName) {
    SlotFlags counts;
    access::JetFile file;
    ErrorState error;
    EXPECT_TRUE(file.Open(path, error)) << error.Description;
    std::string problem;
    for (const auto& entry : access::ReadCatalog(file, problem)) {
        if (entry.Name != tableName) continue;
        for (uint32_t page = 0; page < file.PageCount(); ++page) {
            const std::string_view data = file.Page(page);
            if (data[0] != 1 || access::U32(data, 4) != entry.DefinitionPage) continue;
            for (uint16_t slot = 0; slot < access::RowsOnPage(data); ++slot) {
                const uint16_t flags = access::U16(data, 14 + 2u * slot) & 0xC000;
                counts.Pointers += flags == 0x4000;
                counts.LiveCopies += flags == 0x8000;
                counts.DeletedCopies += flags == 0xC000;
            }
        }
    }
    return counts;
}

// A row that already lives in an overflow slot and grows again moves once more: the copy it
// leaves is deleted for every reader, so mdb-export lists each row once. Access-made files with
// moved rows, and BigTable with its 415.
TEST(AccessWriterSequences, RowsMovedTwiceLeaveNoSecondCopyBehind) {
    const struct {
        std::string Path, Table, Column;
    } cases[] = {
        {test::Fixture("access-made/V2000/overflowTestV2000.mdb"), "Table1", "data10"},
        {test::Fixture("access-made/V2003/overflowTestV2003.mdb"), "Table1", "data10"},
        {test::Fixture("access/jet4_v2003.mdb"), "BigTable", "Name"},
        {test::Fixture("access/ace16_v2016.accdb"), "BigTable", "Name"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Path);
        test::TempDir dir;
        const std::string path = dir.File(std::filesystem::path(c.Path).filename().string());
        std::filesystem::copy_file(c.Path, path);
        const std::size_t lines = Export(path, c.Table).size();
        const SlotFlags before = CountSlotFlags(path, c.Table);
        ASSERT_GT(before.LiveCopies, 0) << "the table has moved rows to begin with";
        ErrorState error;
        Engine engine(error);
        // Two rounds: each value is longer than the last, so moved rows move again.
        for (const std::size_t length : {20u, 40u}) {
            auto db = OpenForChanges(engine, path);
            ASSERT_TRUE(db);
            auto rs = db->OpenRecordset(c.Table);
            ASSERT_TRUE(rs) << error.Description;
            for (int n = 0; !rs->Eof(); rs->MoveNext(), ++n) {
                rs->Edit();
                rs->SetValue(c.Column, Value::Text(std::string(length, 'g') + std::to_string(n)));
                rs->Update();
                ASSERT_FALSE(error.IsSet()) << n << ": " << error.Description;
            }
            db->Close();
            ASSERT_FALSE(error.IsSet()) << error.Description;
            EXPECT_EQ(Problems(path), "");
            EXPECT_EQ(Export(path, c.Table).size(), lines) << "every row listed once";
        }
        const SlotFlags after = CountSlotFlags(path, c.Table);
        EXPECT_EQ(after.LiveCopies, after.Pointers) << "one live copy for each pointer";
        EXPECT_GE(after.DeletedCopies, before.LiveCopies) << "the first copies were given up";
    }
}

}  // namespace
}  // namespace vantrel
