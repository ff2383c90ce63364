// Import runs that must never lose, alter or misreport data: cancels and failures, staging
// errors and the pairs they belong to, autonumbers, row hints, backups and names.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <stdexcept>

#include "RunSupport.h"
#include "TestSupport.h"
#include "common/TemporaryFolder.h"
#include "import/ImportRun.h"

namespace vantrel {
namespace {

using test::Exec;
using test::Fixture;
using test::LogHas;
using test::ReadTable;
using test::Rows;
using test::RunFixture;
using test::TempDir;

std::string CodesCsv(const TempDir& dir, int rows) {
    std::string csv = "code,name\r\n";
    for (int i = 0; i < rows; ++i)
        csv += "C" + std::to_string(i) + ",名前" + std::to_string(i) + "\r\n";
    test::WriteBytes(dir.File("codes.csv"), csv);
    return dir.File("codes.csv");
}

TEST(RunFaults, ACancelOrAFailureLeavesEveryKindOfOutputAsItWas) {
    TempDir data;
    const std::string csv = CodesCsv(data, 6000);
    // Each output holds old rows that new mode deletes before the cancel comes.
    const std::vector<std::pair<std::string, std::string>> outputs = {
        {"CREATE TABLE NoIndex (A TEXT, B INTEGER); INSERT INTO NoIndex VALUES ('old', 1);", "A"},
        {"access:jet4_v2000.mdb", "A"},
        {"access:ace16_v2016.accdb", "A"}};
    for (const auto& [schema, field] : outputs) {
        SCOPED_TRACE(schema.substr(0, 22));
        RunFixture r(csv, schema);
        r.Pair(1, "NoIndex", "codes.csv", {{field, "code"}});
        const std::string before = test::ReadBytes(r.output);
        ImportRun run(r.state, r.engine, r.prompt);
        run.SetProgress([](const TransferProgress& p) { return p.Rows < 5000; });
        const RunOutcome outcome = run.Start();
        EXPECT_TRUE(outcome.Cancelled);
        EXPECT_TRUE(LogHas(r.state.Errors, "インポートは中止されました。"));
        EXPECT_TRUE(test::ReadBytes(r.output) == before) << "the cancelled run changed the output";

        // A run ended by an exception (out of memory, say) keeps nothing either.
        run.SetProgress([](const TransferProgress& p) {
            if (p.Rows >= 3000) throw std::runtime_error("stopped");
            return true;
        });
        EXPECT_THROW(run.Start(), std::runtime_error);
        EXPECT_TRUE(test::ReadBytes(r.output) == before) << "the failed run changed the output";
    }
}

TEST(RunFaults, AStagingErrorBelongsToThePairThatCausedIt) {
    RunFixture r(Fixture("access/jet4_v2000.mdb"),
                 "CREATE TABLE P (code TEXT, name TEXT); CREATE TABLE Q (x TEXT);");
    r.Pair(1, "P", "商品マスタ", {{"code", "商品コード"}, {"name", "商品名"}});
    r.Pair(2, "Q", "無い表", {{"x", "A"}});
    const RunOutcome outcome = r.Start();
    EXPECT_EQ(Rows(r.output, "SELECT count(*) FROM P"), std::vector<std::string>{"26"});
    EXPECT_EQ(outcome.Counts.PairRecordCounts[1], 26);
    ASSERT_EQ(r.state.Errors.ErrorCount(), 1) << r.state.Errors.Text();
    EXPECT_EQ(
        r.state.Errors.Line(1).rfind("Qは、入力テーブルまたはクエリ '無い表' が見つかりません", 0),
        0u)
        << r.state.Errors.Line(1);
}

TEST(RunFaults, AnInputOfAnUnknownKindStagesNothingAndSaysWhatIsRead) {
    RunFixture r(Fixture("text/DATA.CSV"), "CREATE TABLE t (code TEXT);");
    r.Pair(1, "t", "DATA.CSV", {{"code", "CODE"}});
    r.Start();
    ASSERT_EQ(Rows(r.output, "SELECT count(*) FROM t"), std::vector<std::string>{"3"});
    ASSERT_TRUE(std::filesystem::exists(r.state.WorkDbPath));
    Exec(r.output, "DELETE FROM t;");

    // The same rows under a name the program does not read: the last run's staged table must
    // not stand in for them.
    const std::string odd = r.dir.File("DATA.dat");
    std::filesystem::copy_file(Fixture("text/DATA.CSV"), odd);
    r.state.Definition.InputPath = odd;
    const RunOutcome outcome = r.Start();
    EXPECT_FALSE(outcome.Staged);
    EXPECT_EQ(Rows(r.output, "SELECT count(*) FROM t"), std::vector<std::string>{"0"});
    EXPECT_FALSE(std::filesystem::exists(r.state.WorkDbPath));
    ASSERT_EQ(r.state.Errors.ErrorCount(), 1);
    const std::string& line = r.state.Errors.Line(1);
    EXPECT_NE(line.find("'" + odd + "'"), std::string::npos) << line;
    for (const char* kind : {".mdb", ".accdb", ".xls", ".csv", ".txt", ".sqlite"})
        EXPECT_NE(line.find(kind), std::string::npos) << kind;
    EXPECT_EQ(r.prompt.ErrorWindows, 1);
}

TEST(RunFaults, GivenAutoNumbersAreStoredAndNeverChangedSilently) {
    TempDir data;
    test::WriteBytes(data.File("ids.csv"), "id,kind\r\n100,a\r\n200,b\r\n");
    test::WriteBytes(data.File("kinds.csv"), "id,kind\r\n,c\r\n");
    test::WriteBytes(data.File("again.csv"), "id,kind\r\n100,d\r\n");
    for (const char* format : {"jet4_v2000.mdb", "ace12_v2007.accdb"}) {
        SCOPED_TRACE(format);
        RunFixture r(data.File("ids.csv"), std::string("access:") + format);
        TableSetting& pair = r.Pair(1, "LongValues", "ids.csv", {{"ID", "id"}, {"Kind", "kind"}});
        pair.WriteMode = WriteMode::Append;
        r.Start();
        EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
        // Later numbers continue after the largest stored.
        r.state.Definition.InputPath = data.File("kinds.csv");
        pair.InTable = "kinds.csv";
        r.Start();
        EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
        auto rows = ReadTable(r.output, "LongValues");
        ASSERT_EQ(rows.size(), 44u);
        EXPECT_EQ(rows[41][0], Value::Integer(100));
        EXPECT_EQ(rows[41][1], Value::Text("a"));
        EXPECT_EQ(rows[42][0], Value::Integer(200));
        EXPECT_EQ(rows[43][0], Value::Integer(201));
        EXPECT_EQ(rows[43][1], Value::Text("c"));

        // A number already stored is a duplicate key.
        r.state.Definition.InputPath = data.File("again.csv");
        pair.InTable = "again.csv";
        r.Start();
        EXPECT_TRUE(LogHas(r.state.Errors, "値が重複している")) << r.state.Errors.Text();
        EXPECT_EQ(ReadTable(r.output, "LongValues").size(), 44u);

        // Update mode cannot change a stored AutoNumber: said once per record, the rest stored.
        r.state.Definition.InputPath = data.File("ids.csv");
        pair.InTable = "ids.csv";
        pair.WriteMode = WriteMode::Update;
        r.Start();
        ASSERT_EQ(r.state.Errors.ErrorCount(), 1) << r.state.Errors.Text();
        EXPECT_EQ(r.state.Errors.DescribedLine(1),
                  "id->ID ：フィールドを更新できません。 (2 行目ほか 1 件)");
        rows = ReadTable(r.output, "LongValues");
        EXPECT_EQ(rows[0][0], Value::Integer(1));
        EXPECT_EQ(rows[0][1], Value::Text("a"));
        EXPECT_EQ(rows[1][0], Value::Integer(2));
        EXPECT_EQ(rows[1][1], Value::Text("b"));
    }
}

TEST(RunFaults, EveryPairSaysWhyTheOutputCouldNotBeOpened) {
    RunFixture r(Fixture("text/DATA.CSV"), "CREATE TABLE t (code TEXT);");
    test::WriteBytes(r.output, "not a database at all, not even close");
    r.Pair(1, "EmptyNoIndex", "DATA.CSV", {{"A", "CODE"}});
    r.Pair(2, "NoIndex", "DATA.CSV", {{"A", "CODE"}});
    r.Start();
    ASSERT_EQ(r.state.Errors.ErrorCount(), 2) << r.state.Errors.Text();
    const std::string reason = "データベースの形式 '" + r.output + "' を認識できません。";
    EXPECT_EQ(r.state.Errors.Line(1),
              "EmptyNoIndexは、" + reason + "ため、インポートできませんでした");
    EXPECT_EQ(r.state.Errors.Line(2), "NoIndexは、" + reason + "ため、インポートできませんでした");
}

TEST(RunFaults, TheRowHintNamesTheRowWhoseRecordFailed) {
    TempDir data;
    // コーヒー repeats a stored key: its record's Update fails, which is seen only at the next
    // record's first assignment (line 3) or, for the last record, when the pair ends.
    test::WriteBytes(data.File("drinks.csv"),
                     "code,name\r\nコーヒー,x\r\n紅茶,y\r\n緑茶,z\r\nコーヒー,w\r\n");
    RunFixture r(data.File("drinks.csv"),
                 "CREATE TABLE k (code TEXT PRIMARY KEY, name TEXT);"
                 "INSERT INTO k VALUES ('コーヒー', 'old');");
    r.Pair(1, "k", "drinks.csv", {{"code", "code"}, {"name", "name"}}).WriteMode =
        WriteMode::Append;
    r.Start();
    const ErrorLog& log = r.state.Errors;
    ASSERT_EQ(log.ErrorCount(), 2) << log.Text();
    EXPECT_EQ(log.FirstRow(1), 2) << log.DescribedLine(1);
    EXPECT_EQ(log.Line(1).rfind("code->code ：インデックス、主キー", 0), 0u) << log.Line(1);
    EXPECT_EQ(log.FirstRow(2), 5) << log.DescribedLine(2);
    EXPECT_NE(log.Line(2).find("(3022)"), std::string::npos) << log.Line(2);
    EXPECT_EQ(Rows(r.output, "SELECT name FROM k ORDER BY rowid"),
              (std::vector<std::string>{"old", "y", "z"}));
}

TEST(RunFaults, TheBackupIsMadeBesideTheOutputWhateverItsFolderIsCalled) {
    EXPECT_EQ(BackupPathFor("/data/dir.x/noext"), "/data/dir.x/noext.bak");
    EXPECT_EQ(BackupPathFor("/data/dir.x/out.mdb"), "/data/dir.x/out.bak");
    EXPECT_EQ(BackupPathFor("/data/dir/out.v2.accdb"), "/data/dir/out.v2.bak");
    EXPECT_EQ(BackupPathFor("C:\\data\\dir.x\\noext"), "C:\\data\\dir.x\\noext.bak");

    TempDir data;
    std::filesystem::create_directory(data.File("dir.x"));
    const std::string output = data.File("dir.x/noext");
    Exec(output, "CREATE TABLE t (code TEXT);");
    const std::string before = test::ReadBytes(output);
    RunFixture r(Fixture("text/DATA.CSV"), "CREATE TABLE unused (x);");
    r.state.Definition.OutputPath = output;
    r.state.Definition.BackupFlag = true;
    r.Pair(1, "t", "DATA.CSV", {{"code", "CODE"}});
    r.Start();
    EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
    EXPECT_TRUE(test::ReadBytes(data.File("dir.x/noext.bak")) == before);
    EXPECT_FALSE(std::filesystem::exists(data.File("dir.bak")));
}

TEST(RunFaults, AMissingTemporaryFolderFallsBackToOneThatCanBeWritten) {
    TempDir dir;
    // TMPDIR as it was comes back whatever happens below.
    struct RestoreTmpdir {
        const char* old = std::getenv("TMPDIR");
        std::string saved = old ? old : "";
        ~RestoreTmpdir() { old ? ::setenv("TMPDIR", saved.c_str(), 1) : ::unsetenv("TMPDIR"); }
    } restore;
    ::setenv("TMPDIR", "/nonexistent/folder", 1);
    const std::string folder = TemporaryFolder();
    EXPECT_EQ(folder, "/tmp");
    const std::string file = ReserveTemporaryFile(folder, "imp");
    EXPECT_EQ(file.rfind("/tmp/imp", 0), 0u) << file;
    EXPECT_TRUE(std::filesystem::is_regular_file(file));
    std::filesystem::remove(file);
    EXPECT_NE(NoTemporaryFolderMessage().find("TMPDIR=/nonexistent/folder"), std::string::npos);
    ::setenv("TMPDIR", dir.Path().c_str(), 1);
    EXPECT_EQ(TemporaryFolder(), dir.Path()) << "a TMPDIR that can be written is used";
}

TEST(RunFaults, AnInputTableWhoseNameHasADotIsTransferred) {
    TempDir data;
    const std::string input = data.File("in.sqlite");
    Exec(input,
         "CREATE TABLE \"sales.2024\" (n INTEGER); INSERT INTO \"sales.2024\" VALUES (7), (8);");
    RunFixture r(input, "CREATE TABLE t (n INTEGER);");
    r.Pair(1, "t", "sales.2024", {{"n", "n"}});
    r.Start();
    EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
    EXPECT_EQ(Rows(r.output, "SELECT n FROM t"), (std::vector<std::string>{"7", "8"}));
}

TEST(RunFaults, QuotesAreTakenOutOfTextsButNeverOutOfBytes) {
    TempDir data;
    const std::string input = data.File("in.sqlite");
    Exec(input,
         "CREATE TABLE b (bytes BLOB, words TEXT);"
         "INSERT INTO b VALUES (x'22410022FF22', 'say \"hi\"');");
    for (const int32_t mode : {WriteMode::New, WriteMode::Append, WriteMode::Update}) {
        SCOPED_TRACE(mode);
        RunFixture r(input,
                     "CREATE TABLE o (bytes BLOB, words TEXT); INSERT INTO o VALUES (x'00', 'x');");
        r.Pair(1, "o", "b", {{"bytes", "bytes"}, {"words", "words"}}).WriteMode = mode;
        r.Start();
        EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
        const auto rows = ReadTable(r.output, "o");
        ASSERT_FALSE(rows.empty());
        EXPECT_EQ(rows.back()[0], Value::Bytes(std::string("\x22\x41\x00\x22\xFF\x22", 6)));
        EXPECT_EQ(rows.back()[1], Value::Text(mode == WriteMode::Update ? "say \"hi\"" : "say hi"));
    }
}

TEST(RunFaults, ARelationshipWithCascadesIsRefusedUnderItsOwnName) {
    // Table1 holds the foreign keys of Table2Table1 and Table3Table1; on the other side of each
    // the index has a hidden name (".rC") the user never saw.
    for (const char* file : {"V2003/indexTestV2003.mdb", "V2010/indexTestV2010.accdb"}) {
        SCOPED_TRACE(file);
        TempDir data;
        const std::string output = data.File("index.db");
        std::filesystem::copy_file(Fixture(std::string("access-made/") + file), output);
        RunFixture r(Fixture("text/DATA.CSV"), "CREATE TABLE unused (x);");
        r.state.Definition.OutputPath = output;
        for (int32_t t = 1; t <= 3; ++t)
            r.Pair(t, "Table" + std::to_string(t), "DATA.CSV", {{"data1", "CODE"}});
        r.Start();
        ASSERT_EQ(r.state.Errors.ErrorCount(), 3) << r.state.Errors.Text();
        for (int32_t t = 1; t <= 3; ++t) {
            const std::string table = "Table" + std::to_string(t);
            const std::string relationship = t == 3 ? "Table3Table1" : "Table2Table1";
            EXPECT_EQ(
                r.state.Errors.Line(t),
                table + "は、テーブル '" + table + "' のリレーションシップ '" + relationship +
                    "' に連鎖更新または連鎖削除が設定されているため、インポートできませんでした");
        }
    }
}

// Each pair's rows to skip apply to the table as the input holds it: pairs that read a table
// alike share one copy, a pair that reads it otherwise gets its own.
TEST(RunFaults, PairsOnOneInputTableEachTakeOutTheirOwnRows) {
    RunFixture r(Fixture("access/jet4_v2000.mdb"),
                 "CREATE TABLE a (b INTEGER); CREATE TABLE c (b INTEGER); "
                 "CREATE TABLE d (b INTEGER);");
    // NoIndex holds B = 1, Null, -7.
    r.Pair(1, "a", "NoIndex", {{"b", "B"}}).SkipRows = "1";
    r.Pair(2, "c", "noindex", {{"b", "B"}}).SkipRows = "2";
    r.Pair(3, "d", "NoIndex", {{"b", "B"}}).SkipRows = "1";
    r.Start();
    EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
    EXPECT_EQ(Rows(r.output, "SELECT b FROM a"), (std::vector<std::string>{"<null>", "-7"}));
    EXPECT_EQ(Rows(r.output, "SELECT b FROM c"), (std::vector<std::string>{"1", "-7"}));
    EXPECT_EQ(Rows(r.output, "SELECT b FROM d"), (std::vector<std::string>{"<null>", "-7"}));
    const auto names = StagedTableNames(r.state.Definition);
    EXPECT_EQ(names[1], "NoIndex");
    EXPECT_EQ(names[3], "NoIndex") << "read alike: one copy";
    EXPECT_EQ(names[2], "noindex #2");
    EXPECT_EQ(r.state.StagedRows.RowOf("noindex #2", 2), 3) << "row hints follow each copy";
}

// Two pairs on one sheet with other header rows or rows to skip: each stages the sheet its own
// way, instead of the second adding the sheet's rows once more to the first one's table.
TEST(RunFaults, PairsOnOneSheetReadItTheirOwnWay) {
    RunFixture r(Fixture("excel/header_row3.xls"),
                 "CREATE TABLE p (コード TEXT); CREATE TABLE q (コード TEXT);");
    r.Pair(1, "p", "明細$", {{"コード", "コード"}}).HeaderRow = 3;
    TableSetting& second = r.Pair(2, "q", "明細$", {{"コード", "コード"}});
    second.HeaderRow = 3;
    second.SkipRows = "4-5";
    r.Start();
    EXPECT_TRUE(r.state.Errors.Empty()) << r.state.Errors.Text();
    EXPECT_EQ(Rows(r.output, "SELECT コード FROM p"),
              (std::vector<std::string>{"P-001", "P-002", "P-003", "P-004", "P-005", "合計"}));
    EXPECT_EQ(Rows(r.output, "SELECT コード FROM q"),
              (std::vector<std::string>{"P-003", "P-004", "P-005", "合計"}));
}

// An input that breaks off part way (the reader process dies or its stream is cut) is not
// written at all: in new mode the old rows would be gone for a part of the new ones.
TEST(RunFaults, AnInputCutOffPartWayIsNotWritten) {
    TempDir dir;
    const std::string reader =
        (std::filesystem::read_symlink("/proc/self/exe").parent_path() / "vantrel-reader")
            .string();
    const std::string script = dir.File("cut-reader.sh");
    test::WriteBytes(script, "#!/bin/sh\nif [ \"$2\" = rows ]; then \"" + reader +
                                 "\" \"$@\" | head -c 20000; else exec \"" + reader +
                                 "\" \"$@\"; fi\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    ::setenv("VANTREL_READER", script.c_str(), 1);
    RunFixture r(Fixture("access/jet4_v2003.mdb"),
                 "CREATE TABLE t (id INTEGER, name TEXT); INSERT INTO t VALUES (1, 'old');");
    r.Pair(1, "t", "BigTable", {{"id", "ID"}, {"name", "Name"}});
    r.Start();
    ::unsetenv("VANTREL_READER");
    const std::string log = r.state.Errors.Text();
    EXPECT_NE(log.find("tは、入力テーブル 'BigTable' を最後まで読み込めなかった ("),
              std::string::npos)
        << log;
    EXPECT_EQ(Rows(r.output, "SELECT id, name FROM t"), std::vector<std::string>{"1|old"})
        << "the old row stays and none of the part that was read is written";
}

}  // namespace
}  // namespace vantrel
