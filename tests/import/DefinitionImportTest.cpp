// Imports driven by definitions as users save and reopen them: names, rows to skip and text
// inputs that must reach the output unchanged.
#include <gtest/gtest.h>

#include "SqliteSupport.h"
#include "TestSupport.h"
#include "ToolSupport.h"
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

// A definition of one pair from `input` (its table `inTable`) into table t (k TEXT) of a new
// SQLite output, fed by the input field `field`.
SessionState OnePair(const test::TempDir& dir, const std::string& input, const std::string& inTable,
                     const std::string& field) {
    SessionState state;
    ImportDefinition& def = state.Definition;
    def.OutputPath = test::MakeDatabase(dir, "out.sqlite", "CREATE TABLE t (k TEXT);");
    def.InputPath = input;
    def.Allocate(1, 1);
    def.TableCount = 1;
    def.Table(1) = def.DefaultTableSetting;
    def.Table(1).FieldSlot = 1;
    def.Table(1).OutTable = "t";
    def.Table(1).InTable = inTable;
    def.FieldPairs(1, 1) = FieldPair{field, "k"};
    return state;
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
        SessionState state = OnePair(dir, c.input, c.inTable, "CODE");
        state.Definition.Table(1).HeaderRow = c.headerRow;
        state.Definition.Table(1).SkipRows = c.skipRows;
        RunImport(state, dir);
        ASSERT_FALSE(state.Errors.Empty()) << c.line;
        EXPECT_EQ(state.Errors.Line(1), c.line);
    }
}

TEST(DefinitionImport, AWriteModeOutsideTheThreeWritesNothingAndSaysSo) {
    test::TempDir dir;
    SessionState state = OnePair(dir, test::Fixture("text/DATA.CSV"), "DATA", "CODE");
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
    SessionState state = OnePair(dir, dir.File("long.csv"), "long", "k");
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
