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
    EXPECT_FALSE(IsSkippedRow({6, 2, 3, 4}, 6));
    EXPECT_TRUE(IsSkippedRow({2, 3, 4, 6}, 6));
}

TEST(ImportRun, WorkbookWithItsHeaderAtRowThree) {
    RunFixture r(Fixture("excel/header_row3.xls"),
                 "CREATE TABLE 品目 (コード TEXT, 品名 TEXT, 数量 INTEGER, 納品日 DATE);");
    TableSetting& s =
        r.Pair(1, "品目", "明細$",
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
    // Two pairs naming the same sheet: the second cannot create the staged table again (logged)
    // and adds its rows to it, so the table holds the rows twice; the key then repeats.
    RunFixture r(Fixture("excel/mixed_types.xls"),
                 "CREATE TABLE u (id INTEGER PRIMARY KEY, name TEXT);");
    r.Pair(1, "u", "売上$", {{"id", "伝票番号"}, {"name", "得意先"}});
    r.Pair(2, "u", "売上$", {{"id", "伝票番号"}});
    r.state.Definition.Table(2).WriteMode = WriteMode::Append;
    const RunOutcome outcome = r.Start();
    const std::string log = r.state.Errors.Text();
    EXPECT_NE(log.find("既に存在します"), std::string::npos) << log;
    EXPECT_NE(log.find("値が重複している"), std::string::npos) << log;
    EXPECT_EQ(Rows(r.output, "SELECT count(*) FROM u"), std::vector<std::string>{"5"})
        << "the first pair wrote the five rows, every duplicate was refused";
    // The sixth record's refusal surfaces at the next record's first check point, so the count
    // stops after it.
    EXPECT_EQ(outcome.Counts.PairRecordCounts[1], 6);
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

// A Shift-JIS csv of 20,000 Japanese products into a table whose primary key is a Japanese text,
// in every Access format. The sanitized build writes 5,000, still enough for indexes of several
// levels.
class ImportIntoAccess : public testing::TestWithParam<const char*> {};

TEST_P(ImportIntoAccess, TwentyThousandJapaneseProducts) {
    const char* const names[] = {"静岡の緑茶", "宇治抹茶", "草加せんべい", "信州味噌", "濃口醤油",
                                 "ｶｽﾃﾗ",       "万年筆",   "髙島屋の羊羹", "梅干し①",  "ほうじ茶"};
    const char* const categories[] = {"飲料", "菓子", "調味料", "文具"};
    TempDir dir;
    std::string csv = "商品コード,商品名,カテゴリ,単価,在庫数,登録日,備考\r\n";
    std::vector<std::string> expected;
    const int count = VANTREL_SANITIZED ? 5000 : 20000;
    for (int n = 0; n < count; ++n) {
        const std::string code = (n % 3 == 0   ? "品-"
                                  : n % 3 == 1 ? "ｼﾅ-"
                                               : "A-") +
                                 std::to_string(100000 + n);
        const std::string title = std::string(names[n % 10]) + " " + std::to_string(n);
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
}

INSTANTIATE_TEST_SUITE_P(AllFormats, ImportIntoAccess,
                         testing::Values("jet4_v2000.mdb", "jet4_v2003.mdb", "ace12_v2007.accdb",
                                         "ace14_v2010.accdb", "ace16_v2016.accdb"));

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
