#include "model/DefinitionFile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "TestSupport.h"
#include "common/Encoding.h"

namespace vantrel {
namespace {

using test::ReadBytes;
using test::TempDir;
using test::WriteBytes;

// The example of the format description: version 2.0.5, room for 3 pairs and 12 positions, one
// pair with two field pairs, no backup.
ImportDefinition ExampleDefinition() {
    ImportDefinition def;
    def.OutputPath = "C:\\data\\out.mdb";
    def.InputPath = "C:\\data\\in.csv";
    def.Allocate(3, 12);
    def.TableCount = 1;
    TableSetting& s = def.Table(1);
    s.FieldSlot = 1;
    s.OutTable = "Customers";
    s.InTable = "in.csv";
    s.HeaderAsData = 0;
    s.SkipRows = "2-4";
    s.WriteMode = WriteMode::Append;
    s.HeaderRow = 1;
    s.Delimiter = ",";
    def.FieldPairs(1, 1) = FieldPair{"id", "ID"};
    def.FieldPairs(1, 2) = FieldPair{"name", "Name"};
    return def;
}

std::string Blanks(std::size_t n) {
    return std::string(n, ' ');
}

TEST(DefinitionFile, ExampleIsWrittenByteForByte) {
    TempDir dir;
    ImportDefinition def = ExampleDefinition();
    def.Modified = true;
    ErrorLog log;
    ASSERT_TRUE(SaveDefinitionFile(dir.File("a.imp"), def, 205, log));

    const std::string expected = "205,\"" + Blanks(47) +
                                 "# バージョン\"\r\n"
                                 "\"C:\\data\\out.mdb\",\"# 出力ファイルパス\"\r\n"
                                 "\"C:\\data\\in.csv\",\"# 入力ファイルパス\"\r\n"
                                 "3,\"" +
                                 Blanks(49) +
                                 "# テーブル最大数\"\r\n"
                                 "1,\"" +
                                 Blanks(49) +
                                 "# テーブル数\"\r\n"
                                 "12,\"" +
                                 Blanks(48) +
                                 "# フィールド最大数\"\r\n"
                                 "#FALSE#,\"" +
                                 Blanks(42) +
                                 "# バックアップを取る\"\r\n"
                                 "1,\"Customers\",\"in.csv\",2,0,\"2-4\",1,1,\",\"\r\n"
                                 "\"ID\",\"id\"\r\n"
                                 "\"Name\",\"name\"\r\n";
    const std::string bytes = ReadBytes(dir.File("a.imp"));
    EXPECT_EQ(Cp932ToUtf8(bytes), expected);
    // Written in CP932: the label "# バージョン" is Shift-JIS, not UTF-8.
    EXPECT_NE(bytes.find("\x83\x6f\x81\x5b\x83\x57\x83\x87\x83\x93"), std::string::npos);
    EXPECT_EQ(bytes.find(kUtf8Bom), std::string::npos);
    EXPECT_EQ(def.FileVersion, 205);
    EXPECT_EQ(def.Table(1).FieldCount, 2);
    EXPECT_FALSE(def.Modified);
    EXPECT_TRUE(log.Empty());

    def.BackupFlag = true;
    EXPECT_NE(
        FormatDefinitionText(def).find("#TRUE#,\"" + Blanks(44) + "# バックアップを取る\"\r\n"),
        std::string::npos);
}

TEST(DefinitionFile, RoundTripKeepsCommasEmptyTextsAndJapaneseNames) {
    TempDir dir;
    ImportDefinition def;
    def.OutputPath = "C:\\売上,2024\\出力.mdb";
    def.InputPath = "";
    def.BackupFlag = true;
    def.Allocate(4, 5);
    def.TableCount = 3;
    def.Table(1) = TableSetting{1, 0, "商品マスタ", "", "2-4,6", 1, WriteMode::Update, 0, "\t"};
    def.Table(2) = TableSetting{2, 0, "顧客,一覧", "Sheet1$", "", 0, WriteMode::New, 3, ","};
    def.Table(3) = TableSetting{3, 7, "空", "empty.csv", "", 0, WriteMode::Append, 1, ";"};
    def.FieldPairs(1, 1) = FieldPair{"", "商品コード"};  // declared but not fed
    def.FieldPairs(1, 2) = FieldPair{"品名,旧", "商品名"};
    def.FieldPairs(2, 1) = FieldPair{"F1", "ｺｰﾄﾞ"};        // half-width kana
    def.FieldPairs(2, 3) = FieldPair{"stray", "ignored"};  // after a gap
    ErrorLog log;
    ASSERT_TRUE(SaveDefinitionFile(dir.File("r.imp"), def, 205, log));
    EXPECT_EQ(def.Table(3).FieldCount, 0) << "a pair without field pairs has FieldCount 0";

    ImportDefinition back;
    ASSERT_TRUE(ReadDefinitionFile(dir.File("r.imp"), back, log)) << log.Text();
    EXPECT_EQ(back.FileVersion, 205);
    EXPECT_EQ(back.OutputPath, def.OutputPath);
    EXPECT_EQ(back.InputPath, "");
    EXPECT_TRUE(back.BackupFlag);
    EXPECT_EQ(back.TableMax, 4);
    EXPECT_EQ(back.FieldMax, 5);
    ASSERT_EQ(back.TableCount, 3);
    EXPECT_EQ(back.Table(1), def.Table(1));
    EXPECT_EQ(back.Table(2).OutTable, "顧客,一覧");
    EXPECT_EQ(back.Table(2).FieldCount, 2);
    EXPECT_EQ(back.Table(3), def.Table(3));
    EXPECT_EQ(back.FieldPairs(1, 1), (FieldPair{"", "商品コード"}));
    EXPECT_EQ(back.FieldPairs(1, 2), (FieldPair{"品名,旧", "商品名"}));
    EXPECT_EQ(back.FieldPairs(2, 1), (FieldPair{"F1", "ｺｰﾄﾞ"}));
    // Mappings have no gaps; given one, the count of filled positions decides how many of the
    // first positions are written.
    EXPECT_EQ(back.FieldPairs(2, 2), (FieldPair{}));
    EXPECT_EQ(back.FieldPairs(2, 3), (FieldPair{}));
    EXPECT_EQ(back.Table(0), TableSetting{});
    EXPECT_TRUE(log.Empty());
}

TEST(DefinitionFile, EmptyDefinitionIsSevenLines) {
    TempDir dir;
    ImportDefinition def;
    ErrorLog log;
    ASSERT_TRUE(SaveDefinitionFile(dir.File("e.imp"), def, 205, log));
    const std::string text = Cp932ToUtf8(ReadBytes(dir.File("e.imp")));
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 7);
    ImportDefinition back;
    back.Allocate(2, 2);
    back.TableCount = 2;
    ASSERT_TRUE(ReadDefinitionFile(dir.File("e.imp"), back, log));
    EXPECT_EQ(back.TableCount, 0);
    EXPECT_EQ(back.TableMax, 0);
    EXPECT_EQ(back.Tables.size(), 1u);
}

TEST(DefinitionFile, TextWithoutCp932FormIsWrittenAsUtf8WithBom) {
    TempDir dir;
    ImportDefinition def = ExampleDefinition();
    def.InputPath = "/home/user/😀データ/in.csv";
    def.FieldPairs(1, 2).InField = "𠮷野家";  // outside JIS X 0208
    ErrorLog log;
    ASSERT_TRUE(SaveDefinitionFile(dir.File("u.imp"), def, 205, log));
    const std::string bytes = ReadBytes(dir.File("u.imp"));
    ASSERT_EQ(bytes.substr(0, 3), std::string(kUtf8Bom));
    ImportDefinition back;
    ASSERT_TRUE(ReadDefinitionFile(dir.File("u.imp"), back, log));
    EXPECT_EQ(back.InputPath, def.InputPath);
    EXPECT_EQ(back.FieldPairs(1, 2).InField, "𠮷野家");
    EXPECT_EQ(back.FieldPairs(1, 1).OutField, "ID");
}

// Saves `def`, reads the file back and returns what was read.
ImportDefinition SaveAndReopen(ImportDefinition def, std::string* bytes = nullptr) {
    TempDir dir;
    ErrorLog log;
    EXPECT_TRUE(SaveDefinitionFile(dir.File("n.imp"), def, 205, log)) << log.Text();
    if (bytes) *bytes = ReadBytes(dir.File("n.imp"));
    ImportDefinition back;
    EXPECT_TRUE(ReadDefinitionFile(dir.File("n.imp"), back, log)) << log.Text();
    EXPECT_TRUE(log.Empty()) << log.Text();
    return back;
}

TEST(DefinitionFile, NamesTheConverterWouldChangeAreSavedAsUtf8) {
    for (const std::string name :
         {"期間（4月〜6月）", "金額(¥)", "A−B", "x—y", "‖", "¢", "£", "¬"}) {
        ImportDefinition def = ExampleDefinition();
        def.FieldPairs(1, 2) = FieldPair{name, name};
        std::string bytes;
        const ImportDefinition back = SaveAndReopen(def, &bytes);
        EXPECT_EQ(bytes.substr(0, 3), std::string(kUtf8Bom)) << name;
        EXPECT_EQ(back.FieldPairs(1, 2), (FieldPair{name, name}));
    }
    // Their CP932 partners and the symbols with NEC/IBM duplicates keep the file in CP932.
    ImportDefinition def = ExampleDefinition();
    def.FieldPairs(1, 2) = FieldPair{"～\\－―∥￠￡", "￢∵≒≡∫∮√⊥∠∟⊿∩∪"};
    std::string bytes;
    EXPECT_EQ(SaveAndReopen(def, &bytes).FieldPairs(1, 2), def.FieldPairs(1, 2));
    EXPECT_NE(bytes.substr(0, 3), std::string(kUtf8Bom));
}

TEST(DefinitionFile, FailedSaveKeepsTheOldFileAndReportsIt) {
    TempDir dir;
    ImportDefinition def = ExampleDefinition();
    ErrorLog log;
    const std::string target = dir.File("keep.imp");
    ASSERT_TRUE(SaveDefinitionFile(target, def, 205, log));
    ::chmod(target.c_str(), 0640);
    const std::string before = ReadBytes(target);

    // A save over an existing file replaces it whole and keeps its permissions.
    def.Table(1).OutTable = "Other";
    ASSERT_TRUE(SaveDefinitionFile(target, def, 205, log));
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_NE(ReadBytes(target), before);

    // A target that cannot be replaced (a folder stands there): nothing is damaged, the
    // definition stays modified and the failure is logged.
    const std::string blocked = dir.File("blocked.imp");
    std::filesystem::create_directory(blocked);
    def.Modified = true;
    EXPECT_FALSE(SaveDefinitionFile(blocked, def, 205, log));
    EXPECT_TRUE(def.Modified);
    ASSERT_EQ(log.ErrorCount(), 1);
    EXPECT_NE(log.Line(1).find("保存できませんでした"), std::string::npos);
    EXPECT_TRUE(std::filesystem::is_directory(blocked));
    // No temporary file is left behind.
    int files = 0;
    for (const auto& e : std::filesystem::directory_iterator(dir.Path())) {
        (void)e;
        ++files;
    }
    EXPECT_EQ(files, 2);
}

// Writes `text` as CP932 and reads it back.
struct ReadResult {
    bool ok;
    ImportDefinition def;
    ErrorLog log;
};

ReadResult ReadText(const std::string& text) {
    TempDir dir;
    std::string bytes;
    EXPECT_TRUE(Utf8ToCp932(text, bytes));
    WriteBytes(dir.File("t.imp"), bytes);
    ReadResult r;
    r.ok = ReadDefinitionFile(dir.File("t.imp"), r.def, r.log);
    return r;
}

std::string Header(int tableMax, int tableCount, int fieldMax,
                   const std::string& backup = "#FALSE#") {
    return "205,\"x\"\r\n\"out.mdb\",\"x\"\r\n\"in.csv\",\"x\"\r\n" + std::to_string(tableMax) +
           ",\"x\"\r\n" + std::to_string(tableCount) + ",\"x\"\r\n" + std::to_string(fieldMax) +
           ",\"x\"\r\n" + backup + ",\"x\"\r\n";
}

TEST(DefinitionFile, ReaderFailuresAreLoggedWithTheirNumbers) {
    {  // missing file
        ImportDefinition def;
        ErrorLog log;
        EXPECT_FALSE(ReadDefinitionFile("/nonexistent/folder/x.imp", def, log));
        ASSERT_EQ(log.ErrorCount(), 1);
        EXPECT_NE(log.Line(1).find("(53)"), std::string::npos) << log.Line(1);
        EXPECT_FALSE(log.Pending.IsSet());
    }
    {  // the file ends inside the header: what was read stays
        ReadResult r = ReadText("205,\"x\"\r\n\"out.mdb\",\"x\"\r\n\"in");
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.def.OutputPath, "out.mdb");
        EXPECT_EQ(r.def.InputPath, "in");
        ASSERT_EQ(r.log.ErrorCount(), 1);
        EXPECT_EQ(r.log.Line(1), "ファイルにこれ以上データがありません。 (62)");
    }
    {  // a number with the wrong form
        ReadResult r = ReadText("2x5,\"x\"\r\n");
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.log.Line(1), "型が一致しません。 (13)");
    }
    {  // a Boolean with the wrong form
        ReadResult r = ReadText(Header(1, 0, 1, "TRUE"));
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.log.Line(1), "型が一致しません。 (13)");
    }
    {  // four pairs announced, three slots: the third pair is read, then the index error
        std::string text = Header(3, 4, 2);
        for (int t = 1; t <= 4; ++t) {
            const std::string n = std::to_string(t);
            text += n + ",\"T" + n + "\",\"I" + n + "\",1,0,\"\",0,1,\",\"\r\n\"F" + n + "\",\"G" +
                    n + "\"\r\n";
        }
        ReadResult r = ReadText(text);
        EXPECT_FALSE(r.ok);
        ASSERT_EQ(r.log.ErrorCount(), 1);
        EXPECT_EQ(r.log.Line(1), "インデックスが有効範囲にありません。 (9)");
        EXPECT_EQ(r.def.Table(3).OutTable, "T3");
        EXPECT_EQ(r.def.FieldPairs(3, 1), (FieldPair{"G3", "F3"}));
        EXPECT_EQ(r.def.TableCount, 3) << "the count never points past the slots";
    }
    {  // a pair with more field lines than positions
        std::string text =
            Header(1, 1, 1) + "1,\"T\",\"I\",2,0,\"\",0,1,\",\"\r\n\"A\",\"a\"\r\n\"B\",\"b\"\r\n";
        ReadResult r = ReadText(text);
        EXPECT_FALSE(r.ok);
        EXPECT_EQ(r.log.Line(1), "インデックスが有効範囲にありません。 (9)");
        EXPECT_EQ(r.def.FieldPairs(1, 1).OutField, "A");
        EXPECT_EQ(r.def.Table(1).FieldCount, 1);
    }
}

TEST(DefinitionFile, AbsurdSizesStopTheReadingWithoutExhaustingMemory) {
    // A few bytes claiming millions of table slots or field positions, or more than any output
    // database holds, are refused before anything is allocated.
    for (const auto& [tableMax, tableCount, fieldMax] :
         {std::tuple{9999999, 0, 0}, std::tuple{0, 0, 9999999},
          std::tuple{2000000000, 1, 2000000000}, std::tuple{100000, 1, 1000},
          std::tuple{32769, 0, 0}, std::tuple{0, 0, 2001}, std::tuple{32768, 0, 100},
          std::tuple{-3, 0, 5}, std::tuple{3, 1, -7}}) {
        ReadResult r = ReadText(Header(tableMax, tableCount, fieldMax));
        EXPECT_FALSE(r.ok);
        ASSERT_EQ(r.log.ErrorCount(), 1);
        EXPECT_EQ(r.log.Line(1), "定義ファイルのテーブル最大数 (" + std::to_string(tableMax) +
                                     ") またはフィールド最大数 (" + std::to_string(fieldMax) +
                                     ") が不正です。メモリが不足しています。 (7)");
        EXPECT_EQ(r.def.TableCount, 0);
        EXPECT_EQ(r.def.Tables.size(), 1u);
        EXPECT_EQ(r.def.FieldPairs.FieldBound(), 0);
    }
    // The largest sane claims still read.
    for (const auto& [tableMax, fieldMax] :
         {std::pair{1000, 900}, std::pair{32768, 0}, std::pair{400, 2000}}) {
        ReadResult ok = ReadText(Header(tableMax, 0, fieldMax));
        EXPECT_TRUE(ok.ok) << ok.log.Text();
        EXPECT_EQ(ok.def.TableMax, tableMax);
        EXPECT_EQ(ok.def.FieldPairs.FieldBound(), fieldMax);
    }
}

TEST(DefinitionFile, UnusableValuesAreNamedWithTheirPair) {
    // A negative table count is its own problem, not one of the sizes.
    ReadResult negative = ReadText(Header(2, -1, 0));
    EXPECT_FALSE(negative.ok);
    ASSERT_EQ(negative.log.ErrorCount(), 1);
    EXPECT_EQ(negative.log.Line(1),
              "定義ファイルのテーブル数 (-1) が不正です。インデックスが有効範囲にありません。 (9)");

    // A write mode outside 0-2 and a negative header row are named with their pair; the rest of
    // the definition is still read, and the result says it cannot be used as it is.
    ReadResult r = ReadText(Header(3, 3, 1) + "1,\"顧客\",\"customers\",1,0,\"\",3,1,\",\"\r\n" +
                            "\"ID\",\"id\"\r\n" + "2,\"商品\",\"items\",0,0,\"\",1,-1,\",\"\r\n" +
                            "3,\"在庫\",\"stock\",0,0,\"\",2,0,\",\"\r\n");
    EXPECT_FALSE(r.ok);
    ASSERT_EQ(r.log.ErrorCount(), 2) << r.log.Text();
    EXPECT_EQ(r.log.Line(1),
              "定義ファイルの 1 番目のテーブル「顧客」(入力「customers」) の書き込み方法 (3) "
              "が不正です。0 (新規)、1 (追加)、2 (更新) のどれかにして下さい。");
    EXPECT_EQ(r.log.Line(2),
              "定義ファイルの 2 番目のテーブル「商品」(入力「items」) の見出し行 (-1) "
              "が不正です。0 (見出しなし) か 1 以上の行番号にして下さい。");
    EXPECT_EQ(r.def.TableCount, 3);
    EXPECT_EQ(r.def.FieldPairs(1, 1), (FieldPair{"id", "ID"}));
    EXPECT_EQ(r.def.Table(3).WriteMode, WriteMode::Update);
}

TEST(DefinitionFile, SavedCountsAlwaysMatchTheLinesThatFollow) {
    // The output database lost tables: fewer slots than the grid has pairs. Only the pairs that
    // exist are written, and the file reopens.
    ImportDefinition def = ExampleDefinition();
    def.TableMax = 1;
    def.Tables.resize(2);
    def.FieldPairs.Reshape(1, 12, 1, 12);
    def.TableCount = 3;
    ImportDefinition back = SaveAndReopen(def);
    EXPECT_EQ(back.TableCount, 1);
    EXPECT_EQ(back.TableMax, 1);
    EXPECT_EQ(back.Table(1).OutTable, "Customers");
    EXPECT_EQ(back.FieldPairs(1, 2), (FieldPair{"name", "Name"}));

    // Room the reader would refuse is given up; what the lines hold is kept.
    ImportDefinition wide = ExampleDefinition();
    wide.Allocate(kMaxDefinitionTables, 40);
    wide.TableCount = 1;
    wide.Table(1) = ExampleDefinition().Table(1);
    wide.FieldPairs(1, 1) = FieldPair{"id", "ID"};
    back = SaveAndReopen(wide);
    EXPECT_EQ(back.TableMax, 1);
    EXPECT_EQ(back.FieldMax, 1);
    EXPECT_EQ(back.FieldPairs(1, 1), (FieldPair{"id", "ID"}));
}

TEST(DefinitionFile, QuotesInNamesAreDoubledAndReadBack) {
    ImportDefinition def = ExampleDefinition();
    def.Table(1).OutTable = "\"引用\"表";
    def.FieldPairs(1, 1) = FieldPair{"彼は\"はい\"と言った", "\""};
    def.FieldPairs(1, 2) = FieldPair{"a\",\"b", "末尾\"\""};
    std::string bytes;
    const ImportDefinition back = SaveAndReopen(def, &bytes);
    EXPECT_NE(Cp932ToUtf8(bytes).find("\"\"\"引用\"\"表\""), std::string::npos);
    EXPECT_EQ(back.Table(1).OutTable, "\"引用\"表");
    EXPECT_EQ(back.FieldPairs(1, 1), def.FieldPairs(1, 1));
    EXPECT_EQ(back.FieldPairs(1, 2), def.FieldPairs(1, 2));
    EXPECT_EQ(back.Table(1).Delimiter, ",") << "the pair after the quotes is not shifted";

    // A file written without doubled quotes reads as it always did.
    ReadResult plain =
        ReadText(Header(1, 1, 1) + "1,\"T\",\"\",1,0,\"\",0,1,\",\"\r\n\"A\",\"\"\r\n");
    ASSERT_TRUE(plain.ok) << plain.log.Text();
    EXPECT_EQ(plain.def.Table(1).InTable, "");
    EXPECT_EQ(plain.def.FieldPairs(1, 1), (FieldPair{"", "A"}));
}

TEST(DefinitionFile, ATextInputsTableReadsAsTheCatalogNamesIt) {
    // Saved as the whole file name or as the name the catalog gives it: read as the latter.
    for (const auto& [input, saved, read] :
         {std::tuple{"C:\\in\\customers.csv", "customers.csv", "customers"},
          std::tuple{"/in/sales.2024.CSV", "sales.2024.CSV", "sales"},
          std::tuple{"/in/sales.2024.csv", "sales", "sales"},
          std::tuple{"/in/list.txt", "list.txt", "list"},
          std::tuple{"/in/book.xls", "Sheet1.a$", "Sheet1.a$"},
          std::tuple{"/in/db.v2.mdb", "t.x", "t.x"}, std::tuple{"", "a.csv", "a.csv"}}) {
        ImportDefinition def = ExampleDefinition();
        def.InputPath = input;
        def.Table(1).InTable = saved;
        EXPECT_EQ(SaveAndReopen(def).Table(1).InTable, read) << input << " " << saved;
    }
}

TEST(DefinitionFile, SaveIsRefusedWhenTheFileWouldNotReadBack) {
    TempDir dir;
    ImportDefinition def = ExampleDefinition();
    def.FieldPairs(1, 2).InField = "broken\xFF";  // not UTF-8: it would come back changed
    def.Modified = true;
    ErrorLog log;
    EXPECT_FALSE(SaveDefinitionFile(dir.File("x.imp"), def, 205, log));
    EXPECT_TRUE(def.Modified);
    EXPECT_FALSE(std::filesystem::exists(dir.File("x.imp")));
    ASSERT_EQ(log.ErrorCount(), 1);
    EXPECT_EQ(log.Line(1),
              "ｲﾝﾎﾟｰﾄ方法を保存できませんでした。次の行を保存したとおりに読み戻せません: "
              "\"Name\",\"broken\xFF\"");
}

TEST(DefinitionFile, ValueTokenizerFollowsTheFileNotTheLines) {
    // Blanks before values are skipped, values may wrap over lines, quoted values keep commas,
    // and whatever follows a closing quote up to the separator is dropped.
    ReadResult r = ReadText(
        "  205 "
        ",\"v\"\r\n\"a,b\"junk,\"l\"\r\n\"\",\"l\"\r\n2\r\n\"l\"\r\n1,\"l\",3,\"l\",#TRUE#,"
        "\"l\"\r\n"
        "1,\"O\",\"\",1,1,\"2-3\",2,0,\"\t\"\r\n\"X\",\"\"\r\n");
    ASSERT_TRUE(r.ok) << r.log.Text();
    EXPECT_EQ(r.def.FileVersion, 205);
    EXPECT_EQ(r.def.OutputPath, "a,b");
    EXPECT_EQ(r.def.InputPath, "");
    EXPECT_TRUE(r.def.BackupFlag);
    EXPECT_EQ(r.def.Table(1), (TableSetting{1, 1, "O", "", "2-3", 1, WriteMode::Update, 0, "\t"}));
    EXPECT_EQ(r.def.FieldPairs(1, 1), (FieldPair{"", "X"}));
}

TEST(DefinitionFile, InvalidCp932BytesBecomeReplacementCharacters) {
    TempDir dir;
    WriteBytes(dir.File("b.imp"),
               "205,\"x\"\r\n\"\x82\xa0\x85\x40\",\"x\"\r\n\"in\",\"x\"\r\n0,\"x\"\r\n0,\"x\"\r\n0,"
               "\"x\"\r\n#FALSE#,\"x\"\r\n");
    ImportDefinition def;
    ErrorLog log;
    ASSERT_TRUE(ReadDefinitionFile(dir.File("b.imp"), def, log));
    EXPECT_EQ(def.OutputPath, "あ\xEF\xBF\xBD");
}

}  // namespace
}  // namespace vantrel
