#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>

#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "ToolSupport.h"
#include "sources/engine/TextConversion.h"

namespace vantrel {
namespace {

using test::Fixture;

const char* const kFormats[] = {"access/jet4_v2000.mdb", "access/jet4_v2003.mdb",
                                "access/ace12_v2007.accdb", "access/ace14_v2010.accdb",
                                "access/ace16_v2016.accdb"};

struct Opened {
    ErrorState error;
    Engine engine{error};
    std::unique_ptr<Database> db;
    explicit Opened(const std::string& relative) {
        const std::string path = Fixture(relative);
        db = engine.OpenDatabase(path, 0, true, ";DATABASE=" + path);
        EXPECT_TRUE(db) << relative << ": " << error.Description;
    }
};

TEST(AccessRead, EveryFormatListsItsUserTablesAndHidesSystemOnes) {
    const std::vector<std::string> expected = {"AllTypes",       "EmptyAllTypes", "商品マスタ",
                                               "空の商品マスタ", "受注明細",      "BigTable",
                                               "LongValues",     "NoIndex",       "EmptyNoIndex"};
    for (const char* file : kFormats) {
        Opened o(file);
        ASSERT_TRUE(o.db);
        EXPECT_EQ(test::UserTables(*o.db), expected) << file;
        bool sawSystem = false;
        for (const auto& t : o.db->TableDefs()) {
            if (t.Name == "MSysObjects") sawSystem = t.Attributes == TableAttribute::SystemObject;
        }
        EXPECT_TRUE(sawSystem) << file;
        EXPECT_TRUE(o.db->IsReadOnly());
    }
}

TEST(AccessRead, FieldsCarryAccessTypesAndSizes) {
    Opened o("access/ace14_v2010.accdb");
    auto rs = o.db->OpenRecordset("AllTypes");
    ASSERT_TRUE(rs);
    struct Expected {
        const char* name;
        FieldType type;
        int32_t size;
    };
    const Expected fields[] = {{"ID", FieldType::Long, 4},
                               {"Code", FieldType::Text, 20},
                               {"TextCol", FieldType::Text, 255},
                               {"MemoCol", FieldType::Memo, 0},
                               {"LongCol", FieldType::Long, 4},
                               {"IntCol", FieldType::Integer, 2},
                               {"ByteCol", FieldType::Byte, 1},
                               {"BoolCol", FieldType::Boolean, 1},
                               {"DoubleCol", FieldType::Double, 8},
                               {"SingleCol", FieldType::Single, 4},
                               {"CurrencyCol", FieldType::Currency, 8},
                               {"DateCol", FieldType::Date, 8},
                               {"GuidCol", FieldType::Guid, 16},
                               {"DecimalCol", FieldType::Decimal, 17},
                               {"OleCol", FieldType::LongBinary, 0},
                               {"PlainText", FieldType::Text, 50}};
    ASSERT_GE(rs->FieldCount(), 16);
    for (int i = 0; i < 16; ++i) {
        EXPECT_EQ(rs->Field(i).Name, fields[i].name);
        EXPECT_EQ(rs->Field(i).Type, fields[i].type) << fields[i].name;
        EXPECT_EQ(rs->Field(i).Size, fields[i].size) << fields[i].name;
    }
    EXPECT_TRUE(rs->Field(0).AutoIncrement);
    EXPECT_TRUE(rs->Field(1).Required);
    EXPECT_FALSE(rs->Field(2).Required);
    EXPECT_EQ(rs->RecordCount(), 20);
}

TEST(AccessRead, TypedValuesAreExactInEveryFormat) {
    for (const char* file : kFormats) {
        SCOPED_TRACE(file);
        Opened o(file);
        auto rs = o.db->OpenRecordset("AllTypes");
        ASSERT_TRUE(rs);
        std::vector<std::vector<Value>> rows;
        while (!rs->Eof()) {
            std::vector<Value> row;
            for (int i = 0; i < rs->FieldCount(); ++i)
                row.push_back(rs->GetValue(i));
            rows.push_back(row);
            rs->MoveNext();
        }
        ASSERT_EQ(rows.size(), 20u);
        const auto& max = rows[2];
        EXPECT_EQ(max[4], Value::Integer(INT32_MAX));
        EXPECT_EQ(max[5], Value::Integer(INT16_MAX));
        EXPECT_EQ(max[6], Value::Integer(255));
        EXPECT_EQ(max[8], Value::Double(1.7976931348623157e308));
        EXPECT_EQ(max[10], Value::Currency(INT64_MAX));
        EXPECT_EQ(max[10].ToText(), "922337203685477.5807");
        EXPECT_EQ(max[11].ToText(), "9999/12/31 23:59:59");
        EXPECT_EQ(max[13], Value::Decimal("99999999999999.9999"));
        const auto& min = rows[3];
        EXPECT_EQ(min[4], Value::Integer(INT32_MIN));
        EXPECT_EQ(min[10], Value::Currency(INT64_MIN));
        EXPECT_EQ(min[11].ToText(), "0100/01/01");
        EXPECT_EQ(min[13], Value::Decimal("-99999999999999.9999"));
        EXPECT_EQ(min[2], Value::Text("ＦＵＬＬＷＩＤＴＨ"));
        EXPECT_EQ(rows[0][12], Value::Guid("{6F9619FF-8B86-D011-B42D-00C04FC964FF}"));
        EXPECT_EQ(rows[0][7], Value::Boolean(true));
        EXPECT_EQ(rows[1][7], Value::Boolean(false));
        EXPECT_EQ(rows[4][11].ToText(), "1899/12/29 06:00:00");
        EXPECT_DOUBLE_EQ(rows[4][11].Dbl(), -1.25);
        EXPECT_EQ(rows[8][11].ToText(), "1800/06/15 18:30:00");
        EXPECT_EQ(rows[1][11].ToText(), "1899/12/30");
        EXPECT_EQ(rows[4][2], Value::Text("")) << "an empty string is not Null";
        EXPECT_TRUE(rows[14][2].IsNull());
        EXPECT_EQ(rows[5][2], Value::Text("trailing spaces   "));
        EXPECT_EQ(rows[7][2], Value::Text("絵文字😀サロゲート")) << "surrogate pairs survive";
        EXPECT_EQ(rows[16][2].Str(), std::string(255, 'x'));
        EXPECT_EQ(rows[2][2], Value::Text("ｶﾀｶﾅﾊﾝｶｸ"));
        EXPECT_EQ(rows[5][8], Value::Double(1e-300));
        EXPECT_EQ(rows[5][9].ToText(), "1E-30");
        EXPECT_EQ(rows[0][14].kind(), Value::Kind::Bytes);
        EXPECT_EQ(rows[0][14].Str().size(), 10u);
        EXPECT_EQ(rows[15][14].Str().size(), 10510u);
        EXPECT_EQ(rows[1][18], Value::Text("未設定"));
    }
}

TEST(AccessRead, LongValuesComeOutWholeAcrossPageChains) {
    for (const char* file : kFormats) {
        SCOPED_TRACE(file);
        Opened o(file);
        auto rs = o.db->OpenRecordset("LongValues");
        ASSERT_TRUE(rs);
        int rows = 0;
        while (!rs->Eof()) {
            ++rows;
            const Value kind = rs->GetValue("Kind");
            const Value len = rs->GetValue("Len");
            const Value memo = rs->GetValue("MemoVal");
            const Value ole = rs->GetValue("OleVal");
            if (kind.Str() == "null") {
                EXPECT_TRUE(memo.IsNull());
            } else {
                EXPECT_EQ(static_cast<int64_t>(Utf16Length(memo.Str())), len.Int()) << kind.Str();
                if (!ole.IsNull()) {
                    EXPECT_EQ(static_cast<int64_t>(ole.Str().size()), len.Int());
                }
            }
            rs->MoveNext();
        }
        EXPECT_EQ(rows, 41);
        EXPECT_FALSE(o.error.IsSet()) << o.error.Description;
    }
}

TEST(AccessRead, AllFormatsReadTheSameData) {
    Opened reference(kFormats[0]);
    for (const char* table :
         {"AllTypes", "商品マスタ", "受注明細", "BigTable", "NoIndex", "EmptyNoIndex"}) {
        const auto expected = test::AllRows(*reference.db, table, reference.error);
        for (const char* file : kFormats) {
            Opened o(file);
            EXPECT_EQ(test::AllRows(*o.db, table, o.error), expected) << file << " " << table;
        }
    }
    EXPECT_EQ(test::AllRows(*reference.db, "BigTable", reference.error).size(), 5400u)
        << "deleted slots skipped, overflow rows followed";
}

TEST(AccessRead, FilesMadeByAccessOpenAndRead) {
    struct Case {
        const char* file;
        const char* table;
        int64_t rows;
    };
    for (const auto& c : {Case{"access-made/V1997/testV1997.mdb", "Table1", -1},
                          Case{"access-made/V2003/testV2003.mdb", "Table1", -1},
                          Case{"access-made/V2019/extDateTestV2019.accdb", "Table1", 9},
                          Case{"access-made/V2010/calcFieldTestV2010.accdb", "Table1", 4}}) {
        SCOPED_TRACE(c.file);
        Opened o(c.file);
        ASSERT_TRUE(o.db);
        const auto rows = test::AllRows(*o.db, c.table, o.error);
        if (c.rows >= 0) {
            EXPECT_EQ(static_cast<int64_t>(rows.size()), c.rows);
        }
        EXPECT_FALSE(rows.empty());
    }
    // Extended dates (Access 2019) read as the same dates as ordinary ones.
    Opened ext("access-made/V2019/extDateTestV2019.accdb");
    auto rs = ext.db->OpenRecordset("Table1");
    ASSERT_TRUE(rs);
    EXPECT_EQ(rs->Field(2).Type, FieldType::Date);
    int compared = 0;
    for (; !rs->Eof(); rs->MoveNext()) {
        if (rs->GetValue("DateNormal").IsNull()) continue;
        EXPECT_EQ(rs->GetValue("DateExt").ToText(), rs->GetValue("DateNormal").ToText());
        ++compared;
    }
    EXPECT_GT(compared, 3);

    // Linked tables are listed with their attribute, so the catalog leaves them out.
    Opened linker("access-made/V2007/linkerTestV2007.accdb");
    bool sawLinked = false;
    for (const auto& t : linker.db->TableDefs()) {
        if (t.Attributes == TableAttribute::AttachedTable ||
            t.Attributes == TableAttribute::AttachedOdbc)
            sawLinked = true;
    }
    EXPECT_TRUE(sawLinked);
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

using test::ToolLines;

TEST(AccessRead, TablesAndFieldsMatchWhatMdbtoolsLists) {
    int files = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(test::Fixture("access-made"))) {
        const std::string path = entry.path().string();
        if (!path.ends_with(".mdb") && !path.ends_with(".accdb")) continue;
        SCOPED_TRACE(path);
        ++files;
        std::vector<std::string> expected;
        for (const auto& name : ToolLines("mdb-tables -1 '" + path + "' 2>/dev/null")) {
            if (!name.starts_with("MSys")) expected.push_back(name);
        }
        ErrorState error;
        Engine engine(error);
        auto db = engine.OpenDatabase(path, 0, true);
        ASSERT_TRUE(db) << error.Description;
        std::vector<std::string> listed = test::UserTables(*db);
        std::sort(listed.begin(), listed.end());
        std::sort(expected.begin(), expected.end());
        EXPECT_EQ(listed, expected);
        for (const auto& table : listed) {
            const auto header = ToolLines("mdb-export -d '\t' -Q '" + path + "' '" + table +
                                          "' 2>/dev/null | head -1");
            auto rs = db->OpenRecordset(table);
            ASSERT_TRUE(rs) << table << ": " << error.Description;
            std::string names;
            for (int i = 0; i < rs->FieldCount(); ++i)
                names += (i ? "\t" : "") + rs->Field(i).Name;
            ASSERT_FALSE(header.empty()) << table;
            EXPECT_EQ(names, header[0]) << table;
        }
    }
    EXPECT_GT(files, 70);
}

TEST(AccessRead, APasswordProtectedDatabaseIsRefusedClearly) {
    test::TempDir dir;
    std::string bytes = test::ReadBytes(test::Fixture("access/jet4_v2003.mdb"));
    bytes[0x42] = static_cast<char>(bytes[0x42] ^ 0x5A);  // a password changes the stored mask
    test::WriteBytes(dir.File("locked.mdb"), bytes);
    ErrorState error;
    Engine engine(error);
    EXPECT_FALSE(engine.OpenDatabase(dir.File("locked.mdb"), 0, true));
    EXPECT_EQ(error.Number, 3031);
    EXPECT_NE(error.Description.find("パスワード"), std::string::npos);
}

}  // namespace
}  // namespace vantrel
