#include "import/ImportRun.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <deque>
#include <filesystem>

#include "RunSupport.h"
#include "TestSupport.h"
#include "ToolSupport.h"
#include "access/IndexTree.h"
#include "access/JetFile.h"
#include "access/Verifier.h"
#include "common/Encoding.h"
#include "import/InputStaging.h"

namespace vantrel {
namespace {

using test::Exec;
using test::Fixture;
using test::Rows;
using test::RunFixture;
using test::TempDir;

const char* kCustomers =
    "CREATE TABLE 顧客 (番号 INTEGER PRIMARY KEY, 氏名 VARCHAR(20), 金額 CURRENCY, 日付 DATETIME, "
    "備考 TEXT);";

TEST(ImportRun, TextInputIntoANewTableWithTypesConverted) {
    RunFixture r(Fixture("text/excel_sjis.csv"),
                 std::string(kCustomers) + "INSERT INTO 顧客 VALUES (99, '古い', 1, NULL, NULL);");
    r.Pair(
        1, "顧客", "excel_sjis.csv",
        {{"番号", "番号"}, {"氏名", "氏名"}, {"金額", "金額"}, {"日付", "日付"}, {"備考", "備考"}});
    const RunOutcome outcome = r.Start();
    EXPECT_TRUE(outcome.Staged);
    EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
    ASSERT_EQ(r.prompt.Questions.size(), 1u);
    EXPECT_EQ(r.prompt.Questions[0],
              Fixture("text/excel_sjis.csv") + "から\n" + r.output + "へインポートを開始します");
    EXPECT_EQ(outcome.Summary, "顧客を 5件 \n　　更新しました");
    EXPECT_EQ(r.prompt.Messages, std::vector<std::string>{outcome.Summary});
    EXPECT_EQ(
        Rows(r.output, "SELECT * FROM 顧客 ORDER BY 番号"),
        (std::vector<std::string>{
            "1|山田太郎|1234.5|2024-03-15|普通", "2|Smith, John|-0.25|1999-12-31|彼ははいと言った",
            "3|髙橋①|1000000|2024-02-29|<null>", "4|<null>|0|<null>|全体が引用",
            "5|ｶﾀｶﾅ|3.1416|2000-01-01|最終行"}))
        << "old rows deleted, quotes removed, empty cells left at their default, currency to 4 "
           "places";
}

TEST(ImportRun, AppendAndUpdateWithTheHeaderAsData) {
    RunFixture r(Fixture("text/DATA.CSV"),
                 "CREATE TABLE t (code TEXT, name TEXT);"
                 "INSERT INTO t VALUES ('o1','old1'), ('o2','old2');");
    TableSetting& s = r.Pair(1, "t", "DATA.CSV", {{"code", "CODE"}, {"name", "NAME"}});
    s.WriteMode = WriteMode::Append;
    s.HeaderAsData = 1;
    r.Start();
    EXPECT_EQ(Rows(r.output, "SELECT * FROM t"),
              (std::vector<std::string>{"o1|old1", "o2|old2", "CODE|NAME", "A1|Alpha", "B2|Bravo",
                                        "C3|Charlie"}));

    // Update: the header record overwrites the first old row, data the following ones; input
    // rows beyond the old rows are not written.
    Exec(r.output,
         "DELETE FROM t; INSERT INTO t VALUES ('o1','old1'), ('o2','old2'), ('o3','old3');");
    s.WriteMode = WriteMode::Update;
    const RunOutcome outcome = r.Start();
    EXPECT_EQ(Rows(r.output, "SELECT * FROM t"),
              (std::vector<std::string>{"CODE|NAME", "A1|Alpha", "B2|Bravo"}));
    EXPECT_EQ(outcome.Counts.PairRecordCounts[1], 3);

    // Fewer input rows than old rows: the rest stay.
    Exec(r.output, "INSERT INTO t VALUES ('o4','old4'), ('o5','old5');");
    s.HeaderAsData = 0;
    r.Start();
    EXPECT_EQ(
        Rows(r.output, "SELECT * FROM t"),
        (std::vector<std::string>{"A1|Alpha", "B2|Bravo", "C3|Charlie", "o4|old4", "o5|old5"}));

    s.WriteMode = 3;  // not a write mode: the pair writes nothing
    const RunOutcome none = r.Start();
    EXPECT_TRUE(r.prompt.Messages.size() >= 1);
    EXPECT_EQ(none.Counts.PairRecordCounts[1], 0);
    EXPECT_TRUE(none.Summary.empty());
}

TEST(ImportRun, SkipListsHeaderRowsAndTwoPairsOnOneTextTable) {
    RunFixture r(Fixture("text/no_header_3_then_5.csv"),
                 "CREATE TABLE a (k TEXT, v TEXT); CREATE TABLE b (k TEXT);");
    TableSetting& first =
        r.Pair(1, "a", "no_header_3_then_5.csv", {{"k", "フィールド1"}, {"v", "フィールド3"}});
    first.HeaderRow = 0;
    first.SkipRows = "6,2-4";  // the last number is 4: row 6 is not skipped in a text file
    r.Pair(2, "b", "no_header_3_then_5.csv", {{"k", "フィールド1"}});
    const RunOutcome outcome = r.Start();
    EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
    EXPECT_EQ(Rows(r.output, "SELECT k FROM a"),
              (std::vector<std::string>{"r1", "r5", "r6", "r7", "r8", "r9", "r10", "r11", "r12"}));
    EXPECT_EQ(Rows(r.output, "SELECT v FROM a WHERE k = 'r11'"), std::vector<std::string>{"v11"});
    EXPECT_EQ(Rows(r.output, "SELECT count(*) FROM b"), std::vector<std::string>{"9"})
        << "the second pair reads the table the first pair staged";
    EXPECT_EQ(outcome.Counts.PairRecordCounts[2], 9);
    EXPECT_FALSE(IsSkippedRow(ParseSkipRows("6,2-4"), 6));
    EXPECT_TRUE(IsSkippedRow(ParseSkipRows("2-4,6"), 6));
}

TEST(ImportRun, WorkbookWithItsHeaderAtRowThree) {
    for (const char* book : {"excel/header_row3.xls", "excel/header_row3.xlsx"}) {
        SCOPED_TRACE(book);
        RunFixture r(Fixture(book),
                     "CREATE TABLE 品目 (コード TEXT, 品名 TEXT, 数量 INTEGER, 納品日 DATE);");
        TableSetting& s = r.Pair(
            1, "品目", "明細$",
            {{"コード", "コード"}, {"品名", "品名"}, {"数量", "数量"}, {"納品日", "納品日"}});
        s.HeaderRow = 3;
        r.Start();
        EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
        EXPECT_EQ(Rows(r.output, "SELECT * FROM 品目"),
                  (std::vector<std::string>{
                      "P-001|ボルト|100|2024-04-10", "P-002|ナット|250|2024-04-11",
                      "P-003|ワッシャー, 大|0|<null>", "P-004|スプリング\n座金|40|2024-04-15",
                      "P-005|<null>|5|2024-04-30", "合計|<null>|395|<null>"}));
    }
}

// Every sheet of a workbook staged as one pair, with header row `header`: the lines logged, then
// the staged rows of each sheet.
std::vector<std::string> StagedSheets(const std::string& book, int32_t header) {
    TempDir dir;
    SessionState state;
    Engine engine(state.Errors.Pending);
    state.WorkDbPath = dir.File("work.mdb");
    ImportDefinition& def = state.Definition;
    def.InputPath = book;
    auto catalog = engine.OpenDatabase(book, 0, true, "Excel 8.0;HDR=NO;IMEX=1;");
    EXPECT_TRUE(catalog) << state.Errors.Pending.Description;
    std::vector<std::string> sheets;
    for (const auto& t : catalog ? catalog->TableDefs() : std::vector<TableDefInfo>{})
        sheets.push_back(t.Name);
    def.Allocate(static_cast<int32_t>(sheets.size()), 1);
    def.TableCount = static_cast<int32_t>(sheets.size());
    for (int32_t t = 1; t <= def.TableCount; ++t) {
        def.Table(t) = def.DefaultTableSetting;
        def.Table(t).InTable = sheets[static_cast<std::size_t>(t - 1)];
        def.Table(t).HeaderRow = header;
    }
    EXPECT_TRUE(StageInput(state, engine));
    // Both kinds must also log alike (an empty sheet has no header row 3).
    std::vector<std::string> staged = state.Errors.Lines();
    for (const auto& sheet : sheets) {
        staged.push_back("[" + sheet + "]");
        for (auto& row : Rows(state.WorkDbPath, "SELECT * FROM \"" + sheet + "\""))
            staged.push_back(std::move(row));
    }
    return staged;
}

TEST(ImportRun, XlsxWorkbooksStageAndImportTheRowsOfTheirXlsTwins) {
    for (const char* name :
         {"mixed_types", "header_row3", "mixed_first_column", "empty_and_large"}) {
        for (const int32_t header : {0, 3}) {
            // One pass over the 10,000 rows of the large sheet is enough.
            if (header == 0 && std::string(name) == "empty_and_large") continue;
            const std::string book = Fixture("excel/" + std::string(name));
            const auto xls = StagedSheets(book + ".xls", header);
            EXPECT_EQ(StagedSheets(book + ".xlsx", header), xls) << name << " header " << header;
            EXPECT_GT(xls.size(), 2u) << name;
        }
    }

    // Into an Access database: dates, currency, integers and memos with line breaks and quotes.
    std::vector<std::vector<std::string>> exported;
    for (const char* book : {"excel/mixed_types.xls", "excel/mixed_types.xlsx"}) {
        SCOPED_TRACE(book);
        RunFixture r(Fixture(book), "access:ace16_v2016.accdb");
        r.state.Definition.Allocate(3, 7);
        r.Pair(1, "空の商品マスタ", "売上$",
               {{"商品コード", "伝票番号"},
                {"商品名", "日付"},
                {"単価", "単価"},
                {"在庫数", "数量"},
                {"登録日時", "日付"},
                {"備考", "備考"}})
            .WriteMode = WriteMode::Append;
        const RunOutcome outcome = r.Start();
        EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
        EXPECT_EQ(outcome.Summary, "空の商品マスタを 5件 \n　　更新しました");
        EXPECT_TRUE(access::VerifyDatabase(r.output).empty());
        exported.push_back(
            test::ToolLines("mdb-export -T '%Y-%m-%d' -d '|' '" + r.output + "' 空の商品マスタ"));
    }
    ASSERT_EQ(exported[0].size(), 7u) << "five rows, one memo with a line break";
    EXPECT_EQ(exported[1], exported[0]);
    EXPECT_EQ(exported[1][3], "\"1003\"|\"2024/04/03\"||0.1000|1|\"2024-04-03\"|1|\"見本\"")
        << "quotes removed while staging, as for .xls";
}

TEST(ImportRun, AccessInputWithItsSkippedRecords) {
    RunFixture r(Fixture("access/jet4_v2000.mdb"),
                 "CREATE TABLE n (a TEXT, b INTEGER, c BOOLEAN, d DOUBLE);");
    TableSetting& s = r.Pair(1, "n", "NoIndex", {{"a", "A"}, {"b", "B"}, {"c", "C"}, {"d", "D"}});
    s.SkipRows = "2";
    r.Start();
    EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
    EXPECT_EQ(Rows(r.output, "SELECT count(*) FROM n"), std::vector<std::string>{"2"});
}

TEST(ImportRun, RecordErrorsAreLoggedOnceAndCountsStopAtTheFirst) {
    RunFixture r(Fixture("text/DATA.CSV"),
                 "CREATE TABLE k (code TEXT PRIMARY KEY, n INTEGER, extra TEXT);"
                 "INSERT INTO k VALUES ('B2', 0, NULL);");
    TableSetting& s = r.Pair(1, "k", "DATA.CSV", {{"code", "CODE"}, {"n", "NAME"}, {"extra", ""}});
    s.WriteMode = WriteMode::Append;
    r.Pair(2, "k", "", {});
    const RunOutcome outcome = r.Start();
    const std::vector<std::string>& lines = r.state.Errors.Lines();
    EXPECT_EQ(r.prompt.ErrorWindows, 1);
    EXPECT_TRUE(outcome.Summary.empty());
    EXPECT_EQ(std::count(lines.begin(), lines.end(), "NAME->n ：データ型変換エラーです。(k.n)"), 1)
        << r.state.Errors.Text();
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "extraは入力フィールドの指定がないため移行されませんでした"),
              1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(),
                         "kは入力テーブルの指定がないため、インポートできませんでした"),
              1);
    EXPECT_EQ(outcome.Counts.PairRecordCounts[1], 0) << "the first record already failed";
    const auto conversion =
        std::find(lines.begin(), lines.end(), "NAME->n ：データ型変換エラーです。(k.n)");
    EXPECT_EQ(r.state.Errors.DescribedLine(static_cast<int32_t>(conversion - lines.begin()) + 1),
              "NAME->n ：データ型変換エラーです。(k.n) (2 行目ほか 2 件)")
        << "line 2 of the file is its first data line";
    EXPECT_GE(outcome.Counts.PairErrorCounts[1], 3);
}

TEST(ImportRun, DuplicateKeysAndTwoPairsOnOneSheet) {
    // Two pairs reading the same sheet alike share its staged table (it holds the sheet's rows
    // once); the second pair's keys then repeat the first's and are refused.
    RunFixture r(Fixture("excel/mixed_types.xls"),
                 "CREATE TABLE u (id INTEGER PRIMARY KEY, name TEXT);");
    r.Pair(1, "u", "売上$", {{"id", "伝票番号"}, {"name", "得意先"}});
    r.Pair(2, "u", "売上$", {{"id", "伝票番号"}});
    r.state.Definition.Table(2).WriteMode = WriteMode::Append;
    const RunOutcome outcome = r.Start();
    const std::string log = r.state.Errors.Text();
    EXPECT_EQ(log.find("既に存在します"), std::string::npos) << log;
    EXPECT_NE(log.find("値が重複している"), std::string::npos) << log;
    EXPECT_EQ(Rows(r.output, "SELECT count(*) FROM u"), std::vector<std::string>{"5"})
        << "the first pair wrote the five rows, every duplicate was refused";
    EXPECT_EQ(outcome.Counts.PairRecordCounts[1], 5);
}

TEST(ImportRun, ChecksBackupAndCancel) {
    RunFixture r(Fixture("text/DATA.CSV"),
                 "CREATE TABLE t (code TEXT, name TEXT); INSERT INTO t VALUES ('x','y');");
    r.Pair(1, "t", "DATA.CSV", {{"code", "CODE"}});
    // Path checks, in order, each with its own message and focus.
    const std::string output = r.output;
    r.state.Definition.OutputPath.clear();
    r.Start();
    r.state.Definition.OutputPath = r.dir.File("none.sqlite");
    r.Start();
    r.state.Definition.OutputPath = output;
    const std::string input = r.state.Definition.InputPath;
    r.state.Definition.InputPath.clear();
    r.Start();
    r.state.Definition.InputPath = output;
    r.Start();
    EXPECT_EQ(r.prompt.Messages,
              (std::vector<std::string>{
                  "出力ファイルを選択して下さい",
                  r.dir.File("none.sqlite") + "は存在しません 出力ファイルを選択して下さい",
                  "入力ファイルを選択して下さい", "自分自身へインポートはできません"}));
    EXPECT_EQ(r.prompt.Focus, (std::vector<std::string>{"CmdOut", "CmdOut", "CmdIn", ""}));
    EXPECT_TRUE(r.prompt.Questions.empty());

    // The backup question comes once per program run; Yes copies the output to its "bak" name.
    r.state.Definition.InputPath = input;
    r.state.StartCount = 0;
    r.prompt.Answers = {true, false};
    const std::string before = test::ReadBytes(output);
    r.Start();
    EXPECT_EQ(r.prompt.Questions[0], "出力先ファイルのバックアップをとりますか？");
    EXPECT_TRUE(r.state.Definition.BackupFlag);
    EXPECT_FALSE(std::filesystem::exists(BackupPathFor(output)))
        << "answering No to the start copies nothing";
    r.prompt.Questions.clear();
    r.Start();
    EXPECT_EQ(r.prompt.Questions.size(), 1u);
    EXPECT_EQ(BackupPathFor(output), r.dir.File("out.bak"));
    EXPECT_EQ(test::ReadBytes(r.dir.File("out.bak")), before);

    // A cancelled run leaves the output exactly as it was.
    ImportRun run(r.state, r.engine, r.prompt);
    Exec(output, "CREATE TABLE IF NOT EXISTS marker (x);");  // a change the cancel must not undo
    const std::string committed = test::ReadBytes(output);
    run.SetProgress([](const TransferProgress&) { return false; });
    const RunOutcome cancelled = run.Start();
    EXPECT_TRUE(cancelled.Cancelled);
    EXPECT_TRUE(test::ReadBytes(output) == committed) << "the output database changed";
    EXPECT_NE(r.state.Errors.Text().find("中止"), std::string::npos);
}

TEST(ImportRun, CancelWhileStagingStopsBeforeTheOutputIsOpened) {
    // A text input and a database input of 3,500 rows each, cancelled after 2,000 rows read.
    TempDir inputs;
    std::string csv = "a,b\r\n";
    for (int i = 0; i < 3500; ++i)
        csv += std::to_string(i) + ",名前" + std::to_string(i) + "\r\n";
    test::WriteBytes(inputs.File("input.csv"), csv);
    const std::string database = inputs.File("input.sqlite");
    Exec(database, "CREATE TABLE input (a TEXT, b TEXT);");
    Exec(database,
         "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 3500) "
         "INSERT INTO input SELECT i, 'x' || i FROM n;");
    for (const std::string& input : {inputs.File("input.csv"), database}) {
        SCOPED_TRACE(input);
        RunFixture r(input, "CREATE TABLE t (a TEXT, b TEXT); INSERT INTO t VALUES ('1', '2');");
        r.Pair(1, "t", input == database ? "input" : "input.csv", {{"a", "a"}, {"b", "b"}});
        const std::string before = test::ReadBytes(r.output);
        ImportRun run(r.state, r.engine, r.prompt);
        std::vector<int64_t> reported;
        bool transferReported = false;
        run.SetStagingProgress([&](int64_t rows) {
            reported.push_back(rows);
            return rows < 2000;
        });
        run.SetProgress([&](const TransferProgress&) { return transferReported = true; });
        const RunOutcome outcome = run.Start();
        EXPECT_TRUE(outcome.Cancelled);
        EXPECT_FALSE(outcome.Staged);
        EXPECT_FALSE(transferReported) << "the transfer began after the cancel";
        EXPECT_EQ(reported, (std::vector<int64_t>{0, 1000, 2000}));
        const auto staged = Rows(r.state.WorkDbPath, "SELECT count(*) FROM input");
        ASSERT_EQ(staged.size(), 1u);
        EXPECT_LT(std::stoi(staged[0]), 2000) << "staging went on after the cancel";
        EXPECT_TRUE(test::ReadBytes(r.output) == before) << "the output database changed";
        EXPECT_NE(r.state.Errors.Text().find("中止"), std::string::npos);
        EXPECT_EQ(r.prompt.ErrorWindows, 1);
    }
}

TEST(ImportRun, IntoAccessDatabasesWithRecordErrors) {
    TempDir dir;
    std::string csv = "a,b,c,d\r\n";
    for (int i = 0; i < 500; ++i)
        csv += "名前" + std::to_string(i) + "," + std::to_string(i) + "," +
               (i % 2 ? "はい" : "False") + "," + std::to_string(i) + ".5\r\n";
    csv += "長すぎる名前の値ですよね,x,True,1\r\n";
    test::WriteBytes(dir.File("rows.csv"), csv);
    for (const char* format : {"jet4_v2000.mdb", "ace16_v2016.accdb"}) {
        SCOPED_TRACE(format);
        RunFixture r(dir.File("rows.csv"), std::string("access:") + format);
        r.Pair(1, "EmptyNoIndex", "rows.csv", {{"A", "a"}, {"B", "b"}, {"C", "c"}, {"D", "d"}});
        r.Pair(2, "AllTypes", "rows.csv", {{"Code", "a"}}).WriteMode = WriteMode::Append;
        r.Pair(3, "NoIndex", "rows.csv", {{"A", "a"}, {"B", "b"}}).WriteMode = WriteMode::New;
        const RunOutcome outcome = r.Start();
        EXPECT_TRUE(outcome.Staged);
        const std::string log = r.state.Errors.Text();
        EXPECT_NE(log.find("a->A ：フィールドが小さすぎて"), std::string::npos) << log;
        EXPECT_NE(log.find("b->B ：データ型変換エラーです。"), std::string::npos) << log;
        // Code alone leaves the required RequiredText empty: every record is refused (3314), logged
        // at the next check point and once more when the pair ends.
        EXPECT_NE(log.find("a->Code ：フィールド 'AllTypes.RequiredText' には値が必要です。"),
                  std::string::npos)
            << log;
        EXPECT_EQ(r.state.Errors.ErrorCount(), 6) << log;
        EXPECT_TRUE(access::VerifyDatabase(r.output).empty());
        const auto rows = test::ToolLines("mdb-export -d '|' '" + r.output + "' EmptyNoIndex");
        ASSERT_EQ(rows.size(), 502u);
        EXPECT_EQ(rows[1], "\"名前0\"|0|0|0.5");
        EXPECT_EQ(rows[2], "\"名前1\"|1|1|1.5");
        EXPECT_EQ(rows[501], "||1|1") << "the failing fields are left empty";
        const auto replaced = test::ToolLines("mdb-export -d '|' '" + r.output + "' NoIndex");
        EXPECT_EQ(replaced.size(), 502u) << "new mode deletes the fixture's three rows";
    }
}

// A table or database the writer refuses is named in one sentence of the log, its reason
// inside the frame "…は、<reason>ため、インポートできませんでした".
TEST(ImportRun, RefusedOutputsAreLoggedInOneSentence) {
    TempDir dir;
    test::WriteBytes(dir.File("rows.csv"), "a\r\nx\r\n");
    const struct {
        const char* File;
        const char* Line;
    } refused[] = {
        {"V2010/calcFieldTestV2010.accdb",
         "Table1は、テーブル 'Table1' に集計フィールド 'LastFirst' があるため、インポートできませ"
         "んでした"},
        {"V1997/testV1997.mdb",
         "' が Access 97 形式である (Access 2000 以降の形式に変換すれば書き込める)ため、インポート"
         "できませんでした"},
    };
    for (const auto& output : refused) {
        SCOPED_TRACE(output.File);
        RunFixture r(dir.File("rows.csv"), "CREATE TABLE t (a TEXT);");
        r.state.Definition.OutputPath =
            r.dir.File(std::filesystem::path(output.File).filename().string());
        std::filesystem::copy_file(Fixture(std::string("access-made/") + output.File),
                                   r.state.Definition.OutputPath);
        r.Pair(1, "Table1", "rows.csv", {{"FirstName", "a"}});
        r.Start();
        const std::string log = r.state.Errors.Text();
        EXPECT_NE(log.find(output.Line), std::string::npos) << log;
        EXPECT_EQ(log.find("。ため"), std::string::npos) << log;
    }
}

// A Shift-JIS csv of 20,000 Japanese products into a table whose primary key is a Japanese text,
// in every Access format. The files of the Japanese sort order also take long-vowel and
// iteration marks, which the General orders refuse, beside kanji of both JIS levels (羹 焙 餃 饅
// are level 2) and the extension kanji 髙 﨑, small and half-width kana with ﾞ ﾟ, and U+3000.
// The sanitized build writes 5,000.
class ImportIntoAccess : public testing::TestWithParam<const char*> {};

TEST_P(ImportIntoAccess, TwentyThousandJapaneseProducts) {
    const bool japanese = std::string_view(GetParam()).find("_ja.") != std::string_view::npos;
    const std::vector<const char*> names =
        japanese ? std::vector<const char*>{"信州味噌　徳用",     "ｶﾞﾄｰ･ｼｮｺﾗ",
                                            "ﾊﾟｲﾝｼﾞｭｰｽ",          "髙島屋の羊羹",
                                            "山﨑のチーズケーキ", "佐々木農園のりんご",
                                            "キャンディー Mix",   "濃口醤油 1L",
                                            "焙じ茶ラテ",         "餃子と饅頭"}
                 : std::vector<const char*>{
                       "静岡の緑茶", "宇治抹茶", "草加せんべい", "信州味噌", "濃口醤油",
                       "ｶｽﾃﾗ",       "万年筆",   "髙島屋の羊羹", "梅干し①",  "ほうじ茶"};
    const std::vector<const char*> prefixes =
        japanese ? std::vector<const char*>{"品-", "ｼﾅ-", "A-", "コーヒー-", "佐々木-", "ﾃﾞｰﾀ-"}
                 : std::vector<const char*>{"品-", "ｼﾅ-", "A-"};
    const char* const categories[] = {"飲料", "菓子", "調味料", "文具"};
    TempDir dir;
    std::string csv = "商品コード,商品名,カテゴリ,単価,在庫数,登録日,備考\r\n";
    std::vector<std::string> expected;
    const int count = VANTREL_SANITIZED ? 5000 : 20000;
    for (int n = 0; n < count; ++n) {
        const std::string code =
            prefixes[static_cast<std::size_t>(n) % prefixes.size()] + std::to_string(100000 + n);
        const std::string title = std::string(names[static_cast<std::size_t>(n) % names.size()]) +
                                  " " + std::to_string(n);
        const std::string category = categories[n % 4];
        const int price = 100 + n % 5000;
        const std::string memo = n % 5 ? "備考" + std::to_string(n) : "";
        csv += code + "," + title + "," + category + ",\"" + std::to_string(price / 1000) + "," +
               std::to_string(price % 1000 + 1000).substr(1) + "\"," + std::to_string(n % 300) +
               ",2024/04/" + std::to_string(1 + n % 28) + "," + memo + "\r\n";
        char date[32];
        std::snprintf(date, sizeof date, "2024-04-%02d 00:00:00", 1 + n % 28);
        expected.push_back("\"" + code + "\",\"" + title + "\",\"" + category + "\"," +
                           std::to_string(price) + ".0000," + std::to_string(n % 300) + ",\"" +
                           date + "\",1," + (memo.empty() ? "" : "\"" + memo + "\""));
    }
    std::string cp932;
    ASSERT_TRUE(Utf8ToCp932(csv, cp932));
    test::WriteBytes(dir.File("products.csv"), cp932);
    RunFixture r(dir.File("products.csv"), std::string("access:") + GetParam());
    r.state.Definition.Allocate(3, 7);
    TableSetting& pair = r.Pair(1, "空の商品マスタ", "products.csv",
                                {{"商品コード", "商品コード"},
                                 {"商品名", "商品名"},
                                 {"カテゴリ", "カテゴリ"},
                                 {"単価", "単価"},
                                 {"在庫数", "在庫数"},
                                 {"登録日時", "登録日"},
                                 {"備考", "備考"}});
    pair.WriteMode = WriteMode::Append;
    const RunOutcome outcome = r.Start();
    EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
    EXPECT_EQ(outcome.Summary,
              "空の商品マスタを " + std::to_string(count) + "件 \n　　更新しました");
    EXPECT_TRUE(access::VerifyDatabase(r.output).empty());
    const auto rows =
        test::ToolLines("mdb-export -T '%Y-%m-%d %H:%M:%S' '" + r.output + "' 空の商品マスタ");
    ASSERT_EQ(rows.size(), static_cast<std::size_t>(count) + 1);
    for (std::size_t n = 0; n < expected.size(); ++n)
        ASSERT_EQ(rows[n + 1], expected[n]) << n;
    // Every index grew to several levels: the code and the name to three (two for the sanitized
    // build's 5,000), the category (four values) to a root above its leaves.
    access::JetFile file;
    ErrorState error;
    ASSERT_TRUE(file.Open(r.output, error));
    std::string problem;
    for (const auto& entry : access::ReadCatalog(file, problem)) {
        if (entry.Name != "空の商品マスタ") continue;
        const auto table = access::ReadTableDefinition(file, entry.DefinitionPage, problem);
        ASSERT_TRUE(table);
        ASSERT_EQ(table->RealIndexes.size(), 3u);
        for (const auto& index : table->RealIndexes) {
            const auto* column = table->ColumnByNumber(index.Columns[0].ColumnNumber);
            ASSERT_TRUE(column);
            EXPECT_GE(access::WalkIndexTree(file, index, entry.DefinitionPage).Levels.size(),
                      column->Name == "カテゴリ" || VANTREL_SANITIZED ? 2u : 3u)
                << column->Name;
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllFormats, ImportIntoAccess,
                         testing::Values("jet4_v2000.mdb", "jet4_v2003.mdb", "ace12_v2007.accdb",
                                         "ace14_v2010.accdb", "ace16_v2016.accdb",
                                         "jet4_v2003_ja.mdb", "ace12_v2007_ja.accdb"));

// A database filled to just under its size limit (lowered for the test: writing 2 GB would prove
// nothing more) refuses the next row with Access's size-limit line, naming the table and the
// row; the pair stops there, the rows before it stay, and the file is consistent.
TEST(ImportRun, ADatabaseAtItsSizeLimitKeepsWhatWasWritten) {
    TempDir dir;
    std::string csv = "code,name,memo\r\n";
    for (int i = 0; i < 20000; ++i)
        csv += "P-" + std::to_string(100000 + i) + ",商品" + std::to_string(i) + "," +
               std::string(500, 'x') + "\r\n";
    test::WriteBytes(dir.File("rows.csv"), csv);
    RunFixture r(dir.File("rows.csv"), "access:ace16_v2016.accdb");
    r.Pair(1, "空の商品マスタ", "rows.csv",
           {{"商品コード", "code"}, {"商品名", "name"}, {"備考", "memo"}});
    const auto pages = static_cast<uint32_t>(std::filesystem::file_size(r.output) / 4096);
    r.engine.SetAccessPageLimit(pages + 300);
    r.Start();
    const ErrorLog& log = r.state.Errors;
    ASSERT_EQ(log.ErrorCount(), 1) << log.Text();
    EXPECT_NE(log.Line(1).find("サイズの上限 (2 GB)"), std::string::npos) << log.Line(1);
    EXPECT_NE(log.Line(1).find("'空の商品マスタ'"), std::string::npos) << log.Line(1);
    EXPECT_EQ(log.Line(1).find("壊れ"), std::string::npos) << "the file is not damaged";
    const int64_t row = log.FirstRow(1);
    EXPECT_GT(row, 100);
    EXPECT_LT(row, 20000);
    EXPECT_EQ(log.Occurrences(1), 1) << "the pair stops at the first refused row";
    EXPECT_TRUE(access::VerifyDatabase(r.output).empty());
    EXPECT_LE(std::filesystem::file_size(r.output), (pages + 300) * std::uintmax_t{4096});
    // Every row before the refused one is there: the header is line 1, data row n line n + 1.
    const auto rows = test::ToolLines("mdb-export '" + r.output + "' 空の商品マスタ | wc -l");
    EXPECT_EQ(rows.front(), std::to_string(row - 1));
}

TEST(ImportRun, AKilledRunLeavesTheOutputAsItWas) {
    TempDir dir;
    std::string csv = "code,name\r\n";
    for (int i = 0; i < 60000; ++i)
        csv += "C" + std::to_string(i) + ",名前" + std::string(40, 'x') + "\r\n";
    test::WriteBytes(dir.File("big.csv"), csv);
    RunFixture r(dir.File("big.csv"),
                 "CREATE TABLE t (code TEXT, name TEXT); INSERT INTO t VALUES ('keep', 'me');");
    r.Pair(1, "t", "big.csv", {{"code", "code"}, {"name", "name"}});
    const std::vector<std::string> before = Rows(r.output, "SELECT * FROM t");
    const std::string bytes = test::ReadBytes(r.output);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Killed in the middle of writing, well after the old rows were deleted.
        ImportRun run(r.state, r.engine, r.prompt);
        run.SetProgress([](const TransferProgress& p) {
            if (p.Rows >= 40000) ::raise(SIGKILL);
            return true;
        });
        run.Start();
        ::_exit(3);  // not reached when the kill worked
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the run finished before it could be killed";
    EXPECT_EQ(WTERMSIG(status), SIGKILL);
    // The next reader rolls the interrupted transaction back: data and bytes as before.
    EXPECT_EQ(Rows(r.output, "SELECT * FROM t"), before);
    EXPECT_TRUE(test::ReadBytes(r.output) == bytes)
        << "the database file differs from before the run";
}

}  // namespace
}  // namespace vantrel
