#include <gtest/gtest.h>

#include "EngineTestSupport.h"
#include "TestSupport.h"
#include "WorkbookSupport.h"

namespace vantrel {
namespace {

using test::Fixture;

struct Workbook {
    ErrorState error;
    Engine engine{error};
    std::unique_ptr<Database> db;
    explicit Workbook(const std::string& relative) {
        db = engine.OpenDatabase(Fixture(relative), 1, true, "Excel 8.0;HDR=NO;IMEX=1;");
        EXPECT_TRUE(db) << relative << ": " << error.Description;
    }
    // Cells as the driver shows them; Null as "<null>".
    std::vector<std::vector<std::string>> Cells(const std::string& sheet) {
        std::vector<std::vector<std::string>> rows;
        auto rs = db->OpenRecordset(sheet);
        EXPECT_TRUE(rs) << error.Description;
        if (!rs) return rows;
        for (; !rs->Eof(); rs->MoveNext()) {
            std::vector<std::string> row;
            for (int i = 0; i < rs->FieldCount(); ++i) {
                const Value v = rs->GetValue(i);
                row.push_back(v.IsNull() ? "<null>" : v.Str());
            }
            rows.push_back(row);
        }
        return rows;
    }
};

using Rows = std::vector<std::vector<std::string>>;

TEST(ExcelRead, SheetsAreTablesOfTextCellsFromTheFirstRow) {
    Workbook book("excel/mixed_types.xls");
    ASSERT_TRUE(book.db);
    EXPECT_EQ(test::UserTables(*book.db), (std::vector<std::string>{"Sheet1$", "売上$"}));
    auto rs = book.db->OpenRecordset("Sheet1$");
    ASSERT_TRUE(rs);
    ASSERT_EQ(rs->FieldCount(), 9);
    EXPECT_EQ(rs->Field(0).Name, "F1");
    EXPECT_EQ(rs->Field(8).Name, "F9");
    EXPECT_EQ(rs->Field(3).Type, FieldType::Text);
    EXPECT_EQ(rs->Field(3).Size, 255);
    EXPECT_EQ(rs->RecordCount(), 7);

    const Rows cells = book.Cells("Sheet1$");
    ASSERT_EQ(cells.size(), 7u);
    EXPECT_EQ(cells[0], (std::vector<std::string>{"ID", "氏名", "<null>", "金額", "日付", "日時",
                                                  "時刻", "有効", "メモ"}));
    EXPECT_EQ(cells[1][0], "1") << "3, not 3.0";
    EXPECT_EQ(cells[1][3], "1234.5");
    EXPECT_EQ(cells[1][4], "2024/03/15");
    EXPECT_EQ(cells[1][5], "2024/03/15 09:05:30");
    EXPECT_EQ(cells[1][6], "13:45:00");
    EXPECT_EQ(cells[1][7], "TRUE") << "booleans show as Excel shows them";
    EXPECT_EQ(cells[2][7], "FALSE");
    EXPECT_EQ(cells[2][3], "-0.25");
    EXPECT_EQ(cells[2][5], "2000/01/01") << "a whole day shows as a date";
    EXPECT_EQ(cells[2][8], "彼は\"はい\"と言った");
    EXPECT_EQ(cells[3][1], "改行\nあり");
    EXPECT_EQ(cells[3][3], "1000000") << "not 1E+06";
    EXPECT_EQ(cells[5][3], "3.14159");
    EXPECT_EQ(cells[6][1], "髙橋①～");
    EXPECT_EQ(cells[6][3], "12345678901");
    EXPECT_EQ(cells[6][4], "1900/03/01");
    EXPECT_EQ(cells[6][8], "  前後に空白  ");
    EXPECT_EQ(cells[4][1], "<null>") << "an empty cell is Null";

    const Rows sales = book.Cells("売上$");
    ASSERT_EQ(sales.size(), 6u);
    EXPECT_EQ(sales[3][4], "0.1");
    EXPECT_EQ(sales[2][2], "ベータ商事, 大阪支店");
    EXPECT_EQ(book.Cells("売上").size(), 6u) << "the sheet name without $ is accepted too";

    // An error cell shows as Excel shows it, not as the number the library reports.
    test::TempDir dir;
    ASSERT_TRUE(test::WriteXlsWithErrorCell(dir.File("error.xls")));
    ErrorState error;
    Engine engine(error);
    auto withError =
        engine.OpenDatabase(dir.File("error.xls"), 1, true, "Excel 8.0;HDR=NO;IMEX=1;");
    ASSERT_TRUE(withError);
    auto errorSheet = withError->OpenRecordset("Sheet1$");
    ASSERT_TRUE(errorSheet);
    errorSheet->MoveNext();
    EXPECT_EQ(errorSheet->GetValue(7).Str(), "#DIV/0!");
    errorSheet->MoveNext();
    EXPECT_EQ(errorSheet->GetValue(7).Str(), "FALSE");
}

TEST(ExcelRead, MixedColumnsEmptySheetsAndLargeSheets) {
    Workbook mixed("excel/mixed_first_column.xls");
    std::vector<std::string> keys;
    for (const auto& row : mixed.Cells("Sheet1$"))
        keys.push_back(row[0]);
    EXPECT_EQ(keys, (std::vector<std::string>{"キー", "101", "102", "103", "104", "105", "106",
                                              "107", "108", "A-109", "110", "0111", "112.5",
                                              "テキスト", "<null>", "116"}));

    Workbook large("excel/empty_and_large.xls");
    EXPECT_EQ(test::UserTables(*large.db), (std::vector<std::string>{"Empty$", "Rows10000$"}));
    auto empty = large.db->OpenRecordset("Empty$");
    ASSERT_TRUE(empty);
    EXPECT_TRUE(empty->Eof());
    EXPECT_EQ(empty->RecordCount(), 0);
    const Rows rows = large.Cells("Rows10000$");
    ASSERT_EQ(rows.size(), 10000u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"No", "コード", "数値", "日付", "文字"}));
    EXPECT_EQ(rows[9999],
              (std::vector<std::string>{"9999", "C09999", "4999.5", "2024/04/26", "行9999"}));
    EXPECT_EQ(rows[366][3], "2024/12/31");

    Workbook header("excel/header_row3.xls");
    const Rows detail = header.Cells("明細$");
    ASSERT_EQ(detail.size(), 9u);
    EXPECT_EQ(detail[2], (std::vector<std::string>{"コード", "品名", "数量", "単価", "納品日"}));
    EXPECT_EQ(detail[6][1], "スプリング\n座金");

    EXPECT_FALSE(large.db->OpenRecordset("NoSuchSheet$"));
    EXPECT_EQ(large.error.Number, 3078);
}

TEST(ExcelRead, XlsxWorkbooksGiveTheCellsOfTheirXlsTwins) {
    for (const char* name :
         {"mixed_types", "header_row3", "mixed_first_column", "empty_and_large"}) {
        Workbook xls("excel/" + std::string(name) + ".xls");
        Workbook xlsx("excel/" + std::string(name) + ".xlsx");
        ASSERT_TRUE(xls.db && xlsx.db);
        const std::vector<std::string> tables = test::UserTables(*xls.db);
        EXPECT_EQ(test::UserTables(*xlsx.db), tables) << name;
        for (const std::string& table : tables) {
            auto a = xls.db->OpenRecordset(table);
            auto b = xlsx.db->OpenRecordset(table);
            ASSERT_TRUE(a && b) << table;
            EXPECT_EQ(b->FieldCount(), a->FieldCount()) << table;
            EXPECT_EQ(b->RecordCount(), a->RecordCount()) << table;
            for (int32_t f = 0; f < a->FieldCount() && f < b->FieldCount(); ++f) {
                EXPECT_EQ(b->Field(f).Name, a->Field(f).Name);
                EXPECT_EQ(b->Field(f).Type, a->Field(f).Type);
                EXPECT_EQ(b->Field(f).Size, a->Field(f).Size);
            }
            EXPECT_EQ(xlsx.Cells(table), xls.Cells(table)) << name << " " << table;
        }
        EXPECT_FALSE(xlsx.error.IsSet()) << xlsx.error.Description;
    }
}

}  // namespace
}  // namespace vantrel
