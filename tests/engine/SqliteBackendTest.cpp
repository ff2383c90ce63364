#include <gtest/gtest.h>
#include <sqlite3.h>

#include "TestSupport.h"
#include "sources/engine/Engine.h"
#include "sources/engine/JetErrors.h"

namespace vantrel {
namespace {

using test::TempDir;

void Exec(const std::string& path, const char* sql) {
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    char* message = nullptr;
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, &message), SQLITE_OK)
        << (message ? message : "");
    sqlite3_free(message);
    sqlite3_close(db);
}

// A user's SQLite database with the constraints Access databases have.
std::string MakeShopDatabase(const TempDir& dir) {
    const std::string path = dir.File("shop.sqlite");
    Exec(path,
         "PRAGMA foreign_keys = ON;"
         "CREATE TABLE 商品 (コード VARCHAR(5) PRIMARY KEY, 名前 TEXT NOT NULL, 単価 CURRENCY,"
         " 数量 SMALLINT CHECK (数量 >= 0), 登録日 DATETIME, 有効 BOOLEAN, 比率 DOUBLE);"
         "CREATE TABLE 明細 (ID INTEGER PRIMARY KEY, コード VARCHAR(5) REFERENCES 商品(コード), 数 "
         "INTEGER);"
         "INSERT INTO 商品 VALUES ('A1', 'りんご', 120, 3, '2024-01-05', 1, 0.5);"
         "INSERT INTO 商品 VALUES ('B2', 'みかん', 80.25, 0, '2024-02-29 09:05:30', 0, NULL);"
         "INSERT INTO 明細 (コード, 数) VALUES ('A1', 2);");
    return path;
}

TEST(SqliteBackend, ListsTablesFieldsAndTypedValues) {
    TempDir dir;
    const std::string path = MakeShopDatabase(dir);
    ErrorState error;
    Engine engine(error);
    auto db = engine.OpenDatabase(path, 0, true, ";DATABASE=" + path);
    ASSERT_TRUE(db) << error.Description;
    const auto tables = db->TableDefs();
    ASSERT_EQ(tables.size(), 2u);
    EXPECT_EQ(tables[0].Name, "商品");
    EXPECT_EQ(tables[0].Attributes, 0);

    auto rs = db->OpenRecordset("商品");
    ASSERT_TRUE(rs);
    ASSERT_EQ(rs->FieldCount(), 7);
    EXPECT_EQ(rs->Field(0).Type, FieldType::Text);
    EXPECT_EQ(rs->Field(0).Size, 5);
    EXPECT_EQ(rs->Field(1).Type, FieldType::Memo);
    EXPECT_TRUE(rs->Field(1).Required);
    EXPECT_EQ(rs->Field(2).Type, FieldType::Currency);
    EXPECT_EQ(rs->Field(3).Type, FieldType::Integer);
    EXPECT_EQ(rs->Field(4).Type, FieldType::Date);
    EXPECT_EQ(rs->Field(5).Type, FieldType::Boolean);
    EXPECT_EQ(rs->RecordCount(), 2);
    EXPECT_FALSE(rs->Eof());
    EXPECT_EQ(rs->GetValue(0), Value::Text("A1"));
    EXPECT_EQ(rs->GetValue("単価"), Value::Currency(1200000));
    EXPECT_EQ(rs->GetValue(4).ToText(), "2024/01/05");
    EXPECT_EQ(rs->GetValue(5), Value::Boolean(true));
    rs->MoveNext();
    EXPECT_EQ(rs->GetValue(2), Value::Currency(802500));
    EXPECT_EQ(rs->GetValue(4).ToText(), "2024/02/29 09:05:30");
    EXPECT_TRUE(rs->GetValue(6).IsNull());
    rs->MoveNext();
    EXPECT_TRUE(rs->Eof());
    rs->MoveNext();
    EXPECT_EQ(error.Number, JetError::NoCurrentRecord);
    error.Clear();

    EXPECT_EQ(rs->FieldIndex("NoSuchField"), -1);
    EXPECT_EQ(error.Number, JetError::ItemNotFound);
    error.Clear();
    EXPECT_EQ(rs->FieldIndex("名前"), 1);

    // Nothing can be written through a read-only database.
    rs->MoveFirst();
    rs->Edit();
    EXPECT_EQ(error.Number, JetError::ReadOnly);
    error.Clear();
    EXPECT_FALSE(db->OpenRecordset("無い表"));
    EXPECT_EQ(error.Number, JetError::TableNotFound);
    EXPECT_NE(error.Description.find("'無い表'"), std::string::npos);
    db->Close();
    rs->MoveFirst();
    EXPECT_EQ(error.Number, JetError::ObjectClosed) << "a recordset outliving its database is safe";
}

TEST(SqliteBackend, WritesConvertTextAndReportConstraintsAsAccessErrors) {
    TempDir dir;
    const std::string path = MakeShopDatabase(dir);
    ErrorState error;
    Engine engine(error);
    auto db = engine.OpenDatabase(path, 2, false, ";DATABASE=" + path);
    ASSERT_TRUE(db) << error.Description;
    auto rs = db->OpenRecordset("商品");
    ASSERT_TRUE(rs);

    rs->AddNew();
    rs->SetValue("コード", Value::Text("C3"));
    rs->SetValue("名前", Value::Text("ぶどう"));
    rs->SetValue("単価", Value::Text("¥1,500"));
    rs->SetValue("数量", Value::Text("１２"));
    rs->SetValue("登録日", Value::Text("R6.1.5"));
    rs->SetValue("有効", Value::Text("はい"));
    rs->Update();
    EXPECT_FALSE(error.IsSet()) << error.Description;
    EXPECT_EQ(rs->RecordCount(), 3);

    auto expectError = [&](int32_t number, auto&& action) {
        error.Clear();
        action();
        EXPECT_EQ(error.Number, number) << error.Description;
        error.Clear();
    };
    expectError(JetError::ConversionError, [&] {
        rs->AddNew();
        rs->SetValue("数量", Value::Text("たくさん"));
    });
    expectError(JetError::FieldTooSmall, [&] { rs->SetValue("コード", Value::Text("TOOLONG")); });
    expectError(JetError::RequiredIsNull, [&] {
        rs->AddNew();
        rs->SetValue("コード", Value::Text("D4"));
        rs->Update();
    });
    expectError(JetError::DuplicateKey, [&] {
        rs->AddNew();
        rs->SetValue("コード", Value::Text("A1"));
        rs->SetValue("名前", Value::Text("重複"));
        rs->Update();
    });
    expectError(JetError::ValidationRule, [&] {
        rs->AddNew();
        rs->SetValue("コード", Value::Text("E5"));
        rs->SetValue("名前", Value::Text("負"));
        rs->SetValue("数量", Value::Integer(-1));
        rs->Update();
    });
    expectError(JetError::UpdateWithoutAddNew, [&] {
        rs->MoveFirst();
        rs->Update();
    });

    // Update in place, then delete: a parent row with children is refused.
    rs->MoveFirst();
    rs->Edit();
    rs->SetValue("名前", Value::Text("紅玉"));
    rs->Update();
    EXPECT_FALSE(error.IsSet()) << error.Description;
    EXPECT_EQ(rs->GetValue("名前"), Value::Text("紅玉"));
    expectError(JetError::HasRelatedRecords, [&] { rs->Delete(); });
    rs->MoveNext();
    rs->Delete();
    EXPECT_FALSE(error.IsSet()) << error.Description;
    EXPECT_EQ(rs->RecordCount(), 2);
    expectError(JetError::RecordDeleted, [&] { rs->Edit(); });

    auto child = db->OpenRecordset("明細");
    ASSERT_TRUE(child);
    EXPECT_TRUE(child->Field(0).AutoIncrement);
    expectError(JetError::NeedsRelatedRecord, [&] {
        child->AddNew();
        child->SetValue("コード", Value::Text("ZZ"));
        child->Update();
    });
    child->Close();
    rs->Close();
    db->Close();

    // Everything committed at Close is there for the next reader.
    auto again = engine.OpenDatabase(path, 0, true);
    ASSERT_TRUE(again);
    auto check = again->OpenRecordset("商品");
    ASSERT_TRUE(check);
    EXPECT_EQ(check->RecordCount(), 2);
    EXPECT_EQ(check->GetValue("名前"), Value::Text("紅玉"));
    check->MoveNext();
    EXPECT_EQ(check->GetValue("単価"), Value::Currency(15000000));
    EXPECT_EQ(check->GetValue("数量"), Value::Integer(12));
    EXPECT_EQ(check->GetValue("登録日").ToText(), "2024/01/05");
}

TEST(SqliteBackend, OnlyCloseKeepsWhatWasWritten) {
    TempDir dir;
    const std::string path = MakeShopDatabase(dir);
    ErrorState error;
    Engine engine(error);
    auto addRow = [&](const char* code) {
        auto db = engine.OpenDatabase(path, 2, false);
        EXPECT_TRUE(db) << error.Description;
        auto rs = db->OpenRecordset("商品");
        rs->AddNew();
        rs->SetValue("コード", Value::Text(code));
        rs->SetValue("名前", Value::Text("なし"));
        rs->Update();
        EXPECT_FALSE(error.IsSet()) << error.Description;
        return db;
    };
    auto count = [&] {
        auto db = engine.OpenDatabase(path, 0, true);
        return db ? db->OpenRecordset("商品")->RecordCount() : -1;
    };
    addRow("D1")->DiscardChanges();
    EXPECT_EQ(count(), 2) << "discarded";
    addRow("D2").reset();
    EXPECT_EQ(count(), 2) << "dropped without Close, as when a run ends by an exception";
    addRow("D3")->Close();
    EXPECT_EQ(count(), 3);
}

TEST(SqliteBackend, WorkDatabasesAreCreatedAndTablesAppended) {
    TempDir dir;
    ErrorState error;
    Engine engine(error);
    const std::string path = dir.File("work.mdb");
    auto db = engine.CreateDatabase(path, ";LANGID=0x0409;CP=1252;COUNTRY=0");
    ASSERT_TRUE(db) << error.Description;
    TableDefDraft draft = db->CreateTableDef("Sheet1$");
    draft.CreateField("フィールド1", FieldType::Memo);
    draft.CreateField("値", FieldType::Text, 255);
    ASSERT_TRUE(db->Append(draft));
    EXPECT_FALSE(db->Append(draft));
    EXPECT_EQ(error.Number, JetError::TableExists);
    error.Clear();
    TableDefDraft twice = db->CreateTableDef("t2");
    twice.CreateField("A", FieldType::Memo);
    twice.CreateField("a", FieldType::Memo);
    EXPECT_FALSE(db->Append(twice));
    EXPECT_EQ(error.Number, JetError::FieldDefinedTwice);
    error.Clear();

    auto rs = db->OpenRecordset("sheet1$");
    ASSERT_TRUE(rs) << "table names are found without regard to case";
    EXPECT_TRUE(rs->Eof());
    EXPECT_EQ(rs->RecordCount(), 0);
    for (int i = 0; i < 1000; ++i) {
        rs->AddNew();
        rs->SetValue(0, Value::Text("行" + std::to_string(i)));
        rs->Update();
    }
    rs->MoveFirst();
    int rows = 0;
    while (!rs->Eof()) {
        ++rows;
        rs->MoveNext();
    }
    EXPECT_EQ(rows, 1000) << "walks past the batch boundaries";
    rs->Close();
    db->Close();
    EXPECT_FALSE(engine.CreateDatabase(path));
    EXPECT_EQ(error.Number, JetError::DatabaseExists);
}

TEST(SqliteBackend, LongWalksGiveEveryRowAndSeeChangesMadeOnTheWay) {
    TempDir dir;
    ErrorState error;
    Engine engine(error);
    const std::string path = dir.File("work.mdb");
    {
        auto db = engine.CreateDatabase(path);
        ASSERT_TRUE(db) << error.Description;
        TableDefDraft draft = db->CreateTableDef("t");
        draft.CreateField("n", FieldType::Long);
        draft.CreateField("s", FieldType::Memo);
        ASSERT_TRUE(db->Append(draft));
        auto rs = db->OpenRecordset("t");
        for (int i = 1; i <= 3000; ++i) {
            rs->AddNew();
            rs->SetValue(0, Value::Integer(i));
            rs->SetValue(1, Value::Text("行" + std::to_string(i)));
            rs->Update();
        }
        rs->Close();
        db->Close();
    }
    auto walk = [&](Recordset& rs, int from, int to) {
        for (int i = from; i <= to; ++i, rs.MoveNext()) {
            if (rs.Eof() || rs.GetValue(0) != Value::Integer(i)) return i;
        }
        return 0;
    };
    {
        auto db = engine.OpenDatabase(path, 0, true);
        ASSERT_TRUE(db) << error.Description;
        auto rs = db->OpenRecordset("t");
        EXPECT_EQ(walk(*rs, 1, 3000), 0) << "first row missing or out of order";
        EXPECT_TRUE(rs->Eof());
        rs->MoveFirst();
        EXPECT_EQ(walk(*rs, 1, 3000), 0) << "after MoveFirst";
    }
    // Rows changed through the same database while a walk is under way are seen by the walk.
    auto db = engine.OpenDatabase(path, 0, false);
    ASSERT_TRUE(db) << error.Description;
    auto reading = db->OpenRecordset("t");
    auto writing = db->OpenRecordset("t");
    ASSERT_EQ(walk(*reading, 1, 600), 0);
    ASSERT_EQ(walk(*writing, 1, 799), 0);
    writing->Edit();
    writing->SetValue(1, Value::Text("変更"));
    writing->Update();
    ASSERT_EQ(walk(*writing, 800, 1099), 0);
    writing->Delete();
    EXPECT_FALSE(error.IsSet()) << error.Description;
    EXPECT_EQ(walk(*reading, 601, 799), 0);
    EXPECT_EQ(reading->GetValue(1), Value::Text("変更"));
    EXPECT_EQ(walk(*reading, 800, 1099), 0);
    EXPECT_EQ(reading->GetValue(0), Value::Integer(1101)) << "the deleted row is not walked";
    EXPECT_EQ(walk(*reading, 1101, 3000), 0);
    EXPECT_TRUE(reading->Eof());
}

TEST(SqliteBackend, ALockedDatabaseIsRefusedForChanges) {
    TempDir dir;
    const std::string path = MakeShopDatabase(dir);
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK);
    ErrorState error;
    Engine engine(error);
    EXPECT_FALSE(engine.OpenDatabase(path, 2, false));
    EXPECT_EQ(error.Number, JetError::CannotOpenFile) << error.Description;
    sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(other);
}

}  // namespace
}  // namespace vantrel
