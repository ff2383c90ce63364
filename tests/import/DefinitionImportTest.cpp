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

TEST(DefinitionImport, RowsToSkipPastAnyCountAreAllLeftOut) {
    test::TempDir dir;
    std::string csv = "k\r\n";
    for (int line = 2; line <= 40000; ++line)
        csv += "r" + std::to_string(line) + "\r\n";
    test::WriteBytes(dir.File("long.csv"), csv);
    SessionState state;
    ImportDefinition& def = state.Definition;
    def.OutputPath = test::MakeDatabase(dir, "out.sqlite", "CREATE TABLE t (k TEXT);");
    def.InputPath = dir.File("long.csv");
    def.Allocate(1, 1);
    def.TableCount = 1;
    def.Table(1) = def.DefaultTableSetting;
    def.Table(1).OutTable = "t";
    def.Table(1).InTable = "long";
    def.Table(1).SkipRows = "2-39990";
    def.FieldPairs(1, 1) = FieldPair{"k", "k"};
    const RunOutcome outcome = RunImport(state, dir);
    EXPECT_TRUE(state.Errors.Empty()) << state.Errors.Text();
    EXPECT_EQ(outcome.Counts.PairRecordCounts[1], 10);
    EXPECT_EQ(Query(def.OutputPath, "SELECT min(k), max(k), count(*) FROM t"),
              Lines{"r39991|r40000|10"});
}

}  // namespace
}  // namespace vantrel
