// Imports driven by definitions as users save and reopen them: names, rows to skip and text
// inputs that must reach the output unchanged.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "SqliteSupport.h"
#include "TestSupport.h"
#include "ToolSupport.h"
#include "common/Encoding.h"
#include "import/ImportRun.h"
#include "model/DefinitionFile.h"

namespace vantrel {
namespace {

using Lines = std::vector<std::string>;

// Says yes to every question; the run's messages are kept.
class YesPrompt : public UserPrompt {
  public:
    Lines Messages;
    bool AskYesNo(const std::string&) override { return true; }
    void ShowMessage(const std::string& text, const std::string&) override {
        Messages.push_back(text);
    }
    void ShowErrorWindow() override {}
};

// Runs the import of `state`'s definition into its output.
RunOutcome RunImport(SessionState& state, const test::TempDir& dir) {
    state.WorkDbPath = dir.File("work.mdb");
    state.StartCount = 1;
    Engine engine(state.Errors.Pending);
    YesPrompt prompt;
    ImportRun run(state, engine, prompt);
    return run.Start();
}

// Rows of an SQLite query, columns joined by "|".
Lines Query(const std::string& database, const std::string& sql) {
    return test::ToolLines("sqlite3 -separator '|' '" + database + "' \"" + sql + "\"");
}

using Fields = std::vector<std::pair<std::string, std::string>>;  // output, input

// A definition of one pair from `input` (its table `inTable`) into table t of a new SQLite
// output made by `schema`, with the field pairs `fields`.
SessionState OnePair(const test::TempDir& dir, const std::string& input, const std::string& inTable,
                     const char* schema, const Fields& fields) {
    SessionState state;
    ImportDefinition& def = state.Definition;
    def.OutputPath = test::MakeDatabase(dir, "out.sqlite", schema);
    def.InputPath = input;
    def.Allocate(1, static_cast<int32_t>(fields.size()));
    def.TableCount = 1;
    def.Table(1) = def.DefaultTableSetting;
    def.Table(1).FieldSlot = 1;
    def.Table(1).OutTable = "t";
    def.Table(1).InTable = inTable;
    for (std::size_t j = 0; j < fields.size(); ++j)
        def.FieldPairs(1, static_cast<int32_t>(j + 1)) =
            FieldPair{fields[j].second, fields[j].first};
    return state;
}

SessionState OneField(const test::TempDir& dir, const std::string& input,
                      const std::string& inTable, const std::string& field) {
    return OnePair(dir, input, inTable, "CREATE TABLE t (k TEXT);", {{"k", field}});
}

// Imports `state`'s definition as it is, and again once saved and read back: both runs must
// write `expected`.
void ExpectTheSameRowsAfterSavingAndReopening(SessionState& state, const test::TempDir& dir,
                                              const Lines& expected) {
    const std::string output = state.Definition.OutputPath;
    RunImport(state, dir);
    EXPECT_TRUE(state.Errors.Empty()) << state.Errors.Text();
    EXPECT_EQ(Query(output, "SELECT * FROM t"), expected);

    ErrorLog log;
    ASSERT_TRUE(SaveDefinitionFile(dir.File("names.imp"), state.Definition, 205, log))
        << log.Text();
    SessionState reopened;
    ASSERT_TRUE(ReadDefinitionFile(dir.File("names.imp"), reopened.Definition, log)) << log.Text();
    Query(output, "DELETE FROM t");
    RunImport(reopened, dir);
    EXPECT_TRUE(reopened.Errors.Empty()) << reopened.Errors.Text();
    EXPECT_EQ(Query(output, "SELECT * FROM t"), expected);
}

TEST(DefinitionImport, NamesComeThroughSavingReopeningAndImportingUnchanged) {
    // Wave dash, yen, minus, dash and half-width kana from a UTF-8 csv, into output fields of the
    // same names and one holding quotes.
    test::TempDir dir;
    test::WriteBytes(
        dir.File("names.csv"),
        "\xEF\xBB\xBF期間（4月〜6月）,単価(¥),A−B,x—y,ﾒｰ\r\n春,120,1−2,上—下,ﾏｲﾅｽ\r\n");
    SessionState state = OnePair(dir, dir.File("names.csv"), "names.csv",
                                 "CREATE TABLE t (\"期間（4月〜6月）\", \"単価(¥)\", \"A−B\", "
                                 "\"x—y\", \"彼は\"\"はい\"\"と言った\")",
                                 {{"期間（4月〜6月）", "期間（4月〜6月）"},
                                  {"単価(¥)", "単価(¥)"},
                                  {"A−B", "A−B"},
                                  {"x—y", "x—y"},
                                  {"彼は\"はい\"と言った", "ﾒｰ"}});
    ExpectTheSameRowsAfterSavingAndReopening(state, dir, Lines{"春|120|1−2|上—下|ﾏｲﾅｽ"});

    // A Shift-JIS csv whose only Japanese is half-width kana.
    test::TempDir kana;
    std::string sjis;
    ASSERT_TRUE(Utf8ToCp932("ﾒｰ,ﾏｲﾅｽ\r\nｱ,ｲ\r\n", sjis));
    test::WriteBytes(kana.File("kana.csv"), sjis);
    SessionState fromSjis =
        OnePair(kana, kana.File("kana.csv"), "kana", "CREATE TABLE t (\"ﾒｰ\", \"ﾏｲﾅｽ\")",
                {{"ﾒｰ", "ﾒｰ"}, {"ﾏｲﾅｽ", "ﾏｲﾅｽ"}});
    ExpectTheSameRowsAfterSavingAndReopening(fromSjis, kana, Lines{"ｱ|ｲ"});
}

TEST(DefinitionImport, AHeaderRowTheInputLacksIsNamedWithItsPair) {
    const struct {
        std::string input, inTable;
        int32_t headerRow;
        const char* skipRows;
        std::string line;
    } cases[] = {
        {test::Fixture("text/DATA.CSV"), "DATA", 50, "",
         "tは、DATAの見出し行 (50 行目) がありません (4 行)。インポート方法を確認して下さい"},
        {test::Fixture("text/DATA.CSV"), "DATA", -1, "",
         "tは、DATAの見出し行 (-1) が不正です。インポート方法を確認して下さい"},
        {test::Fixture("text/DATA.CSV"), "DATA", 2, "1-3",
         "tは、DATAの見出し行 (2 行目) はインポートしない行です。インポート方法を確認して下さい"},
        {test::Fixture("excel/mixed_types.xls"), "Sheet1$", 9, "",
         "tは、Sheet1$の見出し行 (9 行目) がありません (7 行)。インポート方法を確認して下さい"},
    };
    for (const auto& c : cases) {
        test::TempDir dir;
        SessionState state = OneField(dir, c.input, c.inTable, "CODE");
        state.Definition.Table(1).HeaderRow = c.headerRow;
        state.Definition.Table(1).SkipRows = c.skipRows;
        RunImport(state, dir);
        ASSERT_FALSE(state.Errors.Empty()) << c.line;
        EXPECT_EQ(state.Errors.Line(1), c.line);
    }
}

TEST(DefinitionImport, AWriteModeOutsideTheThreeWritesNothingAndSaysSo) {
    test::TempDir dir;
    SessionState state = OneField(dir, test::Fixture("text/DATA.CSV"), "DATA", "CODE");
    state.Definition.Table(1).WriteMode = 3;
    const RunOutcome outcome = RunImport(state, dir);
    EXPECT_EQ(state.Errors.Lines(),
              Lines{"tは、書き込み方法 (3) が不正なため、インポートできませんでした"});
    EXPECT_TRUE(outcome.Summary.empty());
    EXPECT_EQ(Query(state.Definition.OutputPath, "SELECT count(*) FROM t"), Lines{"0"});
}

TEST(DefinitionImport, RowsToSkipPastAnyCountAreAllLeftOut) {
    test::TempDir dir;
    std::string csv = "k\r\n";
    for (int line = 2; line <= 40000; ++line)
        csv += "r" + std::to_string(line) + "\r\n";
    test::WriteBytes(dir.File("long.csv"), csv);
    SessionState state = OneField(dir, dir.File("long.csv"), "long", "k");
    const ImportDefinition& def = state.Definition;
    state.Definition.Table(1).SkipRows = "2-39990";
    const RunOutcome outcome = RunImport(state, dir);
    EXPECT_TRUE(state.Errors.Empty()) << state.Errors.Text();
    EXPECT_EQ(outcome.Counts.PairRecordCounts[1], 10);
    EXPECT_EQ(Query(def.OutputPath, "SELECT min(k), max(k), count(*) FROM t"),
              Lines{"r39991|r40000|10"});
}

}  // namespace
}  // namespace vantrel
