#include "sources/SourceCatalog.h"

#include <gtest/gtest.h>

#include "SqliteSupport.h"
#include "TestSupport.h"

namespace vantrel {
namespace {

using test::MakeDatabase;

using test::Fixture;
using test::TempDir;

TEST(SourceCatalog, PathsAndFileKinds) {
    EXPECT_EQ(ExtensionOf("C:\\data\\sales.2024.csv"), "csv");
    EXPECT_EQ(FileKindOf("DATA.CSV"), FileKind::DelimitedText);
    EXPECT_EQ(FileKindOf("BOOK.XLS"), FileKind::ExcelWorkbook);
    EXPECT_EQ(FileKindOf("x.AccDB"), FileKind::AccessDatabase);
    EXPECT_EQ(FileKindOf("x.mde"), FileKind::AccessDatabase);
    EXPECT_EQ(FileKindOf("x.sqlite3"), FileKind::SqliteDatabase);
    EXPECT_EQ(FileKindOf("x.xlsx"), FileKind::ExcelWorkbook);
    EXPECT_EQ(FileKindOf("C:\\in\\MACRO.XLSM"), FileKind::ExcelWorkbook);
    EXPECT_EQ(FileKindOf("x.xlsb"), FileKind::None) << "binary workbooks are not read";
    EXPECT_EQ(FileKindOf("C:\\old.files\\data"), FileKind::None) << "a dot in the folder only";
    EXPECT_EQ(FileKindOf("noext"), FileKind::None);
    EXPECT_EQ(FolderOf("C:\\in\\a.csv"), "C:\\in\\");
    EXPECT_EQ(FileNameOf("C:\\in\\a.csv"), "a.csv");
    EXPECT_EQ(FolderOf("/home/u/a.csv"), "/home/u/");
    EXPECT_EQ(FileNameOf("a.csv"), "a.csv");
    EXPECT_EQ(FolderOf("a.csv"), "");
    EXPECT_EQ(TextTableName("sales.2024.csv"), "sales");
    EXPECT_EQ(GeneratedFieldName(3), "フィールド3");
}

TEST(SourceCatalog, DefaultHeaderRow) {
    TableSetting s;
    s.SkipRows = "1-3";
    DefaultHeaderRow(s, "/d/in.csv", false);
    EXPECT_EQ(s.HeaderRow, 4);
    DefaultHeaderRow(s, "/d/in.MDB", false);
    EXPECT_EQ(s.HeaderRow, 0);
    DefaultHeaderRow(s, "/d/in.XLS", false);
    EXPECT_EQ(s.HeaderRow, 4);
    DefaultHeaderRow(s, "/d/in.xlsx", false);
    EXPECT_EQ(s.HeaderRow, 4) << "every workbook skips to its header";
    DefaultHeaderRow(s, "/d/in.Xlsm", false);
    EXPECT_EQ(s.HeaderRow, 4);
    s.SkipRows = "1-500";
    DefaultHeaderRow(s, "/d/in.txt", false);
    EXPECT_EQ(s.HeaderRow, 1);
    s.SkipRows = "40000-80000,1-2";  // the head of a long list counts as much as its tail
    DefaultHeaderRow(s, "/d/in.csv", false);
    EXPECT_EQ(s.HeaderRow, 3);
    s.SkipRows = "";
    DefaultHeaderRow(s, "/d/in.mdb", false);
    EXPECT_EQ(s.HeaderRow, 1);
    DefaultHeaderRow(s, "/d/in.csv", true);
    EXPECT_EQ(s.HeaderRow, 0);
}

struct CatalogFixture {
    SessionState state;
    ErrorState& error = state.Errors.Pending;
    Engine engine{state.Errors.Pending};
    MappingPanel panel;
    SourceCatalog catalog{state, engine, panel};

    // Pair 1 reading `path` with the given header row and delimiter.
    NameList InputFields(const std::string& path, int32_t headerRow,
                         const std::string& delimiter = ",") {
        state.Definition.InputPath = path;
        if (state.Definition.TableMax < 1) state.Definition.Allocate(1, 1);
        state.Definition.Table(1).HeaderRow = headerRow;
        state.Definition.Table(1).Delimiter = delimiter;
        state.Definition.Table(1).InTable = FileNameOf(path);
        NameList names;
        catalog.ListFields(1, kInputSide, names);
        return names;
    }
};

TEST(SourceCatalog, TextFieldsFromHeaderOrGenerated) {
    TempDir dir;
    CatalogFixture f;
    test::WriteBytes(dir.File("h.csv"), "\"A,1\",B,,C\r\n1,2,3,4\r\n");
    EXPECT_EQ(f.InputFields(dir.File("h.csv"), 1).ToVector(),
              (std::vector<std::string>{"A,1", "B", "C"}));
    EXPECT_EQ(f.InputFields(Fixture("text/no_header_3_then_5.csv"), 0).ToVector(),
              (std::vector<std::string>{"フィールド1", "フィールド2", "フィールド3"}));
    EXPECT_EQ(f.InputFields(Fixture("text/trailing_delimiter.csv"), 1).ToVector(),
              (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_EQ(f.InputFields(Fixture("text/excel_sjis.csv"), 1).Count(), 6);
    EXPECT_EQ(f.InputFields(Fixture("text/tab_delimited.txt"), 1, "\t").ToVector(),
              (std::vector<std::string>{"コード", "品名", "数量", "備考"}));
    EXPECT_EQ(f.InputFields(Fixture("text/DATA.CSV"), 2).ToVector(),
              (std::vector<std::string>{"A1", "Alpha"}));
    EXPECT_TRUE(f.state.Errors.Empty()) << f.state.Errors.Text();

    // An empty file, and a header row past the end: the header may be wrong.
    EXPECT_TRUE(f.InputFields(Fixture("text/empty.csv"), 1).Empty());
    EXPECT_TRUE(f.InputFields(Fixture("text/DATA.CSV"), 9).Empty());
    ASSERT_EQ(f.state.Errors.ErrorCount(), 2);
    EXPECT_EQ(f.state.Errors.Line(1),
              "見出しフィールがおかしかもしれません empty.csvのインポート方法を確認して下さい");
}

TEST(SourceCatalog, TextInputListsItsSingleTable) {
    CatalogFixture f;
    const std::string path = Fixture("text/sales.2024.csv");
    EXPECT_FALSE(f.catalog.ChooseFile(kInputSide, path));
    EXPECT_EQ(f.panel.Lists[kInputSide].Items(), (std::vector<std::string>{"sales"}));
    EXPECT_TRUE(f.state.Definition.Modified);
    EXPECT_EQ(f.state.SideFileName[kInputSide], "sales.2024.csv");

    // With grid rows, the name goes straight into the first row's empty input cell.
    f.state.Definition.Allocate(1, 1);
    f.state.Definition.TableCount = 1;
    f.panel.Grid.AddRow();
    f.panel.Grid.Cell(0, kOutputSide).Text = "売上";
    f.state.Definition.Table(1).OutTable = "売上";
    EXPECT_TRUE(f.catalog.ListTables(kInputSide, true));
    EXPECT_EQ(f.panel.Grid.Text(0, kInputSide), "sales");
    EXPECT_EQ(f.state.Definition.Table(1).InTable, "sales");
    EXPECT_TRUE(f.panel.Lists[kInputSide].Empty());
}

TEST(SourceCatalog, MissingFileIsReportedAndTheListKept) {
    CatalogFixture f;
    f.panel.Lists[kOutputSide].Add("前の表");
    f.state.Definition.OutputPath = "/nonexistent/out.mdb";
    EXPECT_FALSE(f.catalog.ListTables(kOutputSide, true));
    ASSERT_EQ(f.state.Errors.ErrorCount(), 1);
    EXPECT_EQ(f.state.Errors.Line(1),
              "/nonexistent/out.mdbは存在しません。「出力ﾌｧｲﾙ選択」より選択して下さい");
    EXPECT_EQ(f.panel.Lists[kOutputSide].Count(), 1);

    EXPECT_TRUE(f.catalog.ChooseFile(kInputSide, "/nonexistent/in.csv"));
    EXPECT_NE(f.state.Errors.Line(1).find("「入力ﾌｧｲﾙ選択」"), std::string::npos);
    EXPECT_FALSE(f.catalog.ChooseFile(kInputSide, "")) << "a cancelled dialog changes nothing";
}

TEST(SourceCatalog, OutputDatabaseSizesTheModelAndChecksTheGrid) {
    TempDir dir;
    const std::string out =
        MakeDatabase(dir, "out.sqlite",
                     "CREATE TABLE A (x INTEGER, y TEXT); CREATE TABLE B (z TEXT);"
                     "CREATE TABLE C (w TEXT);");
    CatalogFixture f;
    EXPECT_FALSE(f.catalog.ChooseFile(kOutputSide, out));
    EXPECT_EQ(f.panel.Lists[kOutputSide].Items(), (std::vector<std::string>{"A", "B", "C"}));
    EXPECT_EQ(f.state.Definition.TableMax, 3);

    // Grid rows: B is placed (stays), "Gone" no longer exists (row removed, pair released).
    f.panel.Lists[kOutputSide].Clear();
    for (const char* name : {"Gone", "B"}) {
        f.panel.Grid.AddRow();
        f.panel.Grid.Cell(f.panel.Grid.Rows() - 1, kOutputSide).Text = name;
    }
    f.state.Definition.TableCount = 2;
    f.state.Definition.Table(1).OutTable = "Gone";
    f.state.Definition.Table(2).OutTable = "B";
    f.state.Definition.Table(2).WriteMode = WriteMode::Update;
    EXPECT_TRUE(f.catalog.ListTables(kOutputSide, true));
    EXPECT_EQ(f.panel.Lists[kOutputSide].Items(), (std::vector<std::string>{"A", "C"}));
    ASSERT_EQ(f.panel.Grid.Rows(), 1);
    EXPECT_EQ(f.panel.Grid.Text(0, kOutputSide), "B");
    EXPECT_EQ(f.state.Definition.TableCount, 1);
    EXPECT_EQ(f.state.Definition.Table(1).OutTable, "B");
    EXPECT_EQ(f.state.Definition.Table(1).WriteMode, WriteMode::Update);

    NameList fields;
    f.catalog.ListFields(1, kOutputSide, fields);
    EXPECT_EQ(fields.ToVector(), (std::vector<std::string>{"z"}));

    // Choosing the same file again keeps the grid; another file clears the output column,
    // so the check removes every row.
    EXPECT_FALSE(f.catalog.ChooseFile(kOutputSide, out));
    EXPECT_EQ(f.panel.Grid.Rows(), 1);
    const std::string other = MakeDatabase(dir, "other.sqlite", "CREATE TABLE B (z TEXT);");
    EXPECT_FALSE(f.catalog.ChooseFile(kOutputSide, other));
    EXPECT_EQ(f.panel.Grid.Rows(), 0);
    EXPECT_EQ(f.panel.Lists[kOutputSide].Items(), (std::vector<std::string>{"B"}));
    EXPECT_EQ(f.state.Definition.TableCount, 0);

    // A database with no tables: empty list, no slots, no grid check.
    const std::string empty =
        MakeDatabase(dir, "empty.sqlite", "CREATE TABLE t (a); DROP TABLE t;");
    EXPECT_FALSE(f.catalog.ChooseFile(kOutputSide, empty));
    EXPECT_TRUE(f.panel.Lists[kOutputSide].Empty());
    EXPECT_EQ(f.state.Definition.TableMax, 0);
}

TEST(SourceCatalog, InputGridCheckEmptiesCellsOfTablesTheFileLacks) {
    TempDir dir;
    const std::string in =
        MakeDatabase(dir, "in.db", "CREATE TABLE X (a TEXT); CREATE TABLE Y (b TEXT);");
    CatalogFixture f;
    f.state.Definition.Allocate(2, 1);
    f.state.Definition.TableCount = 2;
    f.state.Definition.InputPath = in;
    for (const auto& [out, input] : {std::pair{"O1", "X"}, std::pair{"O2", "Missing"}}) {
        f.panel.Grid.AddRow();
        const int32_t r = f.panel.Grid.Rows() - 1;
        f.panel.Grid.Cell(r, 0).Text = out;
        f.panel.Grid.Cell(r, 1).Text = input;
        f.state.Definition.Table(r + 1).OutTable = out;
        f.state.Definition.Table(r + 1).InTable = input;
        f.state.Definition.FieldPairs(r + 1, 1) = FieldPair{"in", "out"};
    }
    EXPECT_TRUE(f.catalog.ListTables(kInputSide, true));
    EXPECT_EQ(f.panel.Lists[kInputSide].Items(), (std::vector<std::string>{"Y"}));
    EXPECT_EQ(f.panel.Grid.Text(0, 1), "X");
    EXPECT_EQ(f.panel.Grid.Text(1, 1), "");
    EXPECT_EQ(f.state.Definition.Table(2).InTable, "");
    EXPECT_EQ(f.state.Definition.FieldPairs(2, 1), (FieldPair{"", "out"}));
    EXPECT_EQ(f.state.Definition.FieldPairs(1, 1), (FieldPair{"in", "out"}));
}

TEST(SourceCatalog, DamagedDatabasesAreReportedNotListed) {
    TempDir dir;
    test::WriteBytes(dir.File("fake.mdb"), "this is only text, renamed\r\n");
    test::WriteBytes(dir.File("zero.sqlite"), "");
    CatalogFixture f;
    for (const char* name : {"fake.mdb", "zero.sqlite"}) {
        f.state.Errors.Clear();
        f.state.Definition.OutputPath = dir.File(name);
        EXPECT_FALSE(f.catalog.ListTables(kOutputSide, true)) << name;
        ASSERT_EQ(f.state.Errors.ErrorCount(), 1) << name;
        EXPECT_NE(f.state.Errors.Line(1).find("認識できません"), std::string::npos)
            << f.state.Errors.Line(1);
        EXPECT_TRUE(f.panel.Lists[kOutputSide].Empty());
    }
}

}  // namespace
}  // namespace vantrel

namespace vantrel {
namespace {

TEST(SourceCatalog, AccessAndExcelFilesListTablesAndFields) {
    CatalogFixture f;
    EXPECT_FALSE(f.catalog.ChooseFile(kOutputSide, test::Fixture("access/ace16_v2016.accdb")));
    EXPECT_EQ(f.panel.Lists[kOutputSide].Count(), 9);
    EXPECT_EQ(f.panel.Lists[kOutputSide].Item(2), "商品マスタ");
    EXPECT_EQ(f.state.Definition.TableMax, 9);
    f.state.Definition.Table(1).OutTable = "商品マスタ";
    NameList out;
    f.catalog.ListFields(1, kOutputSide, out);
    EXPECT_EQ(out.ToVector(), (std::vector<std::string>{"商品コード", "商品名", "カテゴリ", "単価",
                                                        "在庫数", "登録日時", "有効", "備考"}));

    EXPECT_FALSE(f.catalog.ChooseFile(kInputSide, test::Fixture("excel/mixed_types.xls")));
    EXPECT_EQ(f.panel.Lists[kInputSide].Items(), (std::vector<std::string>{"Sheet1$", "売上$"}));
    f.state.Definition.Table(1).InTable = "Sheet1$";
    f.state.Definition.Table(1).HeaderRow = 1;
    NameList in;
    f.catalog.ListFields(1, kInputSide, in);
    EXPECT_EQ(in.ToVector(), (std::vector<std::string>{"ID", "氏名", "金額", "日付", "日時", "時刻",
                                                       "有効", "メモ"}))
        << "the empty header cell gives no name";
    f.state.Definition.Table(1).HeaderRow = 0;
    f.catalog.ListFields(1, kInputSide, in);
    EXPECT_EQ(in.Count(), 9);
    EXPECT_EQ(in[9], "フィールド9");
    f.state.Definition.Table(1).HeaderRow = 50;
    f.catalog.ListFields(1, kInputSide, in);
    EXPECT_TRUE(in.Empty()) << "a sheet with too few rows gives no names";
    EXPECT_TRUE(f.state.Errors.Empty()) << f.state.Errors.Text() << "and no message";

    f.state.Definition.InputPath = test::Fixture("excel/header_row3.xls");
    f.state.Definition.Table(1).InTable = "明細$";
    f.state.Definition.Table(1).HeaderRow = 3;
    f.catalog.ListFields(1, kInputSide, in);
    EXPECT_EQ(in.ToVector(),
              (std::vector<std::string>{"コード", "品名", "数量", "単価", "納品日"}));
}

TEST(SourceCatalog, XlsxWorkbooksListTheTablesAndFieldsOfTheirXlsTwins) {
    for (const char* name :
         {"mixed_types", "header_row3", "mixed_first_column", "empty_and_large"}) {
        std::vector<std::vector<std::string>> listed;
        for (const char* ext : {".xls", ".xlsx"}) {
            CatalogFixture f;
            f.state.Definition.Allocate(1, 1);
            EXPECT_FALSE(
                f.catalog.ChooseFile(kInputSide, test::Fixture("excel/" + std::string(name) + ext)))
                << f.state.Errors.Text();
            std::vector<std::string> all = f.panel.Lists[kInputSide].Items();
            for (const std::string& table : f.panel.Lists[kInputSide].Items()) {
                for (int32_t header : {0, 3}) {
                    f.state.Definition.Table(1).InTable = table;
                    f.state.Definition.Table(1).HeaderRow = header;
                    NameList fields;
                    f.catalog.ListFields(1, kInputSide, fields);
                    all.push_back(table + "/" + std::to_string(header) + ":");
                    for (const auto& field : fields.ToVector())
                        all.push_back(field);
                }
            }
            EXPECT_TRUE(f.state.Errors.Empty()) << name << ext << ": " << f.state.Errors.Text();
            listed.push_back(all);
        }
        EXPECT_EQ(listed[0], listed[1]) << name;
        EXPECT_GT(listed[1].size(), 4u) << name;
    }
}

TEST(SourceCatalog, ADamagedAccessFileIsLoggedAndNotListed) {
    TempDir dir;
    const std::string data = test::ReadBytes(test::Fixture("access/jet4_v2000.mdb"));
    test::WriteBytes(dir.File("cut.mdb"), data.substr(0, 5000));
    CatalogFixture f;
    EXPECT_TRUE(f.catalog.ChooseFile(kOutputSide, dir.File("cut.mdb")));
    ASSERT_EQ(f.state.Errors.ErrorCount(), 1);
    EXPECT_NE(f.state.Errors.Line(1).find("開けません"), std::string::npos)
        << f.state.Errors.Line(1);
    EXPECT_TRUE(f.panel.Lists[kOutputSide].Empty());
    EXPECT_EQ(f.state.Definition.TableMax, 0) << "the model is not resized";
}

}  // namespace
}  // namespace vantrel
