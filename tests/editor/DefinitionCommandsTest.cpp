#include "editor/DefinitionCommands.h"

#include <gtest/gtest.h>

#include <deque>
#include <filesystem>

#include "SqliteSupport.h"
#include "TestSupport.h"
#include "model/DefinitionFile.h"

namespace vantrel {
namespace {

struct Dialogs : DefinitionDialogs {
    std::deque<std::optional<std::string>> Paths;
    std::vector<std::string> Proposed;
    std::optional<std::string> AskSavePath(const std::string&,
                                           const std::string& proposed) override {
        return Next(proposed);
    }
    std::optional<std::string> AskOpenPath(const std::string&,
                                           const std::string& proposed) override {
        return Next(proposed);
    }
    std::optional<std::string> Next(const std::string& proposed) {
        Proposed.push_back(proposed);
        if (Paths.empty()) return std::nullopt;
        auto p = Paths.front();
        Paths.pop_front();
        return p;
    }
};

struct Prompt : UserPrompt {
    std::deque<bool> Answers;
    std::vector<std::string> Questions;
    int ErrorWindows = 0;
    bool AskYesNo(const std::string& text) override {
        Questions.push_back(text);
        const bool a = !Answers.empty() && Answers.front();
        if (!Answers.empty()) Answers.pop_front();
        return a;
    }
    void ShowMessage(const std::string&, const std::string&) override {}
    void ShowErrorWindow() override { ++ErrorWindows; }
};

struct Fixture {
    test::TempDir dir;
    SessionState state;
    Engine engine{state.Errors.Pending};
    MappingPanel panel;
    SourceCatalog catalog{state, engine, panel};
    Dialogs dialogs;
    Prompt prompt;
    DefinitionCommands commands{state, panel, catalog, dialogs, prompt, 205};
};

// A definition of three pairs whose second has no output table.
std::string WriteDefinition(const std::string& path) {
    ImportDefinition def;
    def.OutputPath = "/nowhere/out.mdb";
    def.InputPath = test::Fixture("text/DATA.CSV");
    def.Allocate(3, 2);
    def.TableCount = 3;
    def.Table(1) = TableSetting{1, 0, "A", "DATA", "", 0, WriteMode::New, 1, ","};
    def.Table(2) = TableSetting{2, 0, "", "DATA", "", 0, WriteMode::New, 1, ","};
    def.Table(3) = TableSetting{3, 0, "C", "DATA", "2-3", 1, WriteMode::Update, 4, ";"};
    def.FieldPairs(1, 1) = FieldPair{"CODE", "a1"};
    def.FieldPairs(3, 1) = FieldPair{"NAME", "c1"};
    ErrorLog log;
    EXPECT_TRUE(SaveDefinitionFile(path, def, 205, log));
    return path;
}

TEST(DefinitionCommands, OpeningRebuildsTheGridAndKeepsEachPairWhole) {
    Fixture f;
    const std::string path = WriteDefinition(f.dir.File("d.imp"));
    EXPECT_TRUE(f.commands.OpenDefinition(path));
    EXPECT_EQ(f.commands.Caption(), "Vantrel [d.imp]");
    ASSERT_EQ(f.panel.Grid.Rows(), 2);
    EXPECT_EQ(f.panel.Grid.Text(1, 0), "C");
    EXPECT_EQ(f.state.Definition.TableCount, 2);
    const TableSetting& second = f.state.Definition.Table(2);
    EXPECT_EQ(second.OutTable, "C");
    EXPECT_EQ(second.FieldSlot, 2);
    EXPECT_EQ(second.WriteMode, WriteMode::Update) << "the pair moves with its import method";
    EXPECT_EQ(second.SkipRows, "2-3");
    EXPECT_EQ(f.state.Definition.FieldPairs(2, 1), (FieldPair{"NAME", "c1"}))
        << "and its field pairs";
    EXPECT_FALSE(f.state.Definition.Modified);
    // The output database does not exist: the error window lists it.
    EXPECT_EQ(f.prompt.ErrorWindows, 1);
    EXPECT_NE(f.state.Errors.Text().find("は存在しません"), std::string::npos);

    // Start files: only names ending in "imp" (any case) are opened.
    Fixture g;
    EXPECT_FALSE(g.commands.OpenDefinition(g.dir.File("notes.txt")));
    EXPECT_EQ(g.state.Errors.Line(1), "ﾌｧｲﾙの種類が違います");
    const std::string upper = g.dir.File("UP.IMP");
    std::filesystem::copy_file(path, upper);
    EXPECT_TRUE(g.commands.OpenDefinition(upper));
    EXPECT_EQ(g.commands.Caption(), "Vantrel [UP.IMP]");
    // A missing file that ends in "imp" still opens the window, with the file error listed.
    EXPECT_TRUE(g.commands.OpenDefinition(g.dir.File("missing.imp")));
    EXPECT_NE(g.state.Errors.Text().find("(53)"), std::string::npos);
}

TEST(DefinitionCommands, ATextTableSavedEitherWayKeepsItsPairsWhenItsFileIsChosenAgain) {
    for (const char* saved : {"DATA.CSV", "DATA"}) {
        Fixture f;
        ImportDefinition def;
        def.OutputPath = test::MakeDatabase(f.dir, "out.sqlite", "CREATE TABLE A (C TEXT, N TEXT)");
        def.InputPath = test::Fixture("text/DATA.CSV");
        def.Allocate(1, 2);
        def.TableCount = 1;
        def.Table(1) = TableSetting{1, 0, "A", saved, "", 0, WriteMode::New, 1, ","};
        def.FieldPairs(1, 1) = FieldPair{"CODE", "C"};
        def.FieldPairs(1, 2) = FieldPair{"NAME", "N"};
        ErrorLog log;
        ASSERT_TRUE(SaveDefinitionFile(f.dir.File("d.imp"), def, 205, log));

        ASSERT_TRUE(f.commands.OpenDefinition(f.dir.File("d.imp")));
        EXPECT_EQ(f.panel.Grid.Text(0, kInputSide), "DATA") << saved;
        EXPECT_EQ(f.state.Definition.Table(1).InTable, "DATA") << "the form the catalog lists";
        EXPECT_FALSE(f.catalog.ChooseFile(kInputSide, def.InputPath)) << f.state.Errors.Text();
        EXPECT_EQ(f.panel.Grid.Text(0, kInputSide), "DATA") << saved;
        EXPECT_EQ(f.state.Definition.FieldPairs(1, 1), (FieldPair{"CODE", "C"})) << saved;
        EXPECT_EQ(f.state.Definition.FieldPairs(1, 2), (FieldPair{"NAME", "N"})) << saved;
    }
}

TEST(DefinitionCommands, SaveProposalsAndTheQuestionsBeforeDiscarding) {
    Fixture f;
    f.dialogs.Paths = {f.dir.File("a.txt.d/x.txt")};
    f.commands.SaveDefinition();  // fails: no such folder, logged
    EXPECT_EQ(f.prompt.ErrorWindows, 1);
    f.dialogs.Paths = {std::nullopt};
    f.commands.SaveDefinition();
    EXPECT_EQ(f.dialogs.Proposed.back(), f.dir.File("a.imp.d/x.imp")) << "every .txt becomes .imp";

    f.state.Definition.Modified = true;
    f.dialogs.Paths = {std::nullopt};
    f.commands.SaveDefinition();  // cancelled: nothing written, still modified
    EXPECT_TRUE(f.state.Definition.Modified);

    // 新規 on a changed definition answered No asks twice, then empties everything.
    f.panel.Grid.AddRow();
    f.prompt.Answers = {false, false};
    f.commands.NewDefinition();
    EXPECT_EQ(f.prompt.Questions,
              (std::vector<std::string>{"ｲﾝﾎﾟｰﾄ方法を保存しますか?",
                                        "現在編集中のｲﾝﾎﾟｰﾄ方法を保存しますか？"}));
    EXPECT_EQ(f.panel.Grid.Rows(), 0);
    EXPECT_FALSE(f.state.Definition.Modified);
    EXPECT_EQ(f.commands.Caption(), "Vantrel");

    // A name without extension is saved with ".imp", which the open dialog and the command
    // line look for; an existing file of that name is only replaced when the user agrees.
    f.dialogs.Paths = {f.dir.File("job1")};
    EXPECT_TRUE(f.commands.SaveDefinition());
    EXPECT_TRUE(std::filesystem::exists(f.dir.File("job1.imp")));
    EXPECT_FALSE(std::filesystem::exists(f.dir.File("job1")));
    EXPECT_EQ(f.commands.DialogFileName(), f.dir.File("job1.imp"));
    const std::string before = test::ReadBytes(f.dir.File("job1.imp"));
    f.state.Definition.OutputPath = "/changed.mdb";
    f.dialogs.Paths = {f.dir.File("job1")};
    f.prompt.Answers = {false};
    EXPECT_FALSE(f.commands.SaveDefinition());
    EXPECT_EQ(f.prompt.Questions.back(),
              f.dir.File("job1.imp") + " は既にあります。\n上書きしますか？");
    EXPECT_EQ(test::ReadBytes(f.dir.File("job1.imp")), before);
    f.dialogs.Paths = {f.dir.File("job1")};
    f.prompt.Answers = {true};
    EXPECT_TRUE(f.commands.SaveDefinition());
    EXPECT_NE(test::ReadBytes(f.dir.File("job1.imp")), before);
    f.dialogs.Paths = {f.dir.File("job.v2")};
    EXPECT_TRUE(f.commands.SaveDefinition());
    EXPECT_TRUE(std::filesystem::exists(f.dir.File("job.v2"))) << "an extension chosen is kept";

    // A cancelled open dialog leaves an empty definition.
    EXPECT_FALSE(f.commands.OpenDefinition());
    EXPECT_EQ(f.state.Definition.TableCount, 0);
}

}  // namespace
}  // namespace vantrel
