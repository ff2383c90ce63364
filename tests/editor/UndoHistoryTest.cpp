#include "editor/UndoHistory.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "EditorFixture.h"
#include "editor/UndoSnapshot.h"

namespace vantrel {
namespace {

using Names = std::vector<std::string>;

struct Ring : test::MainWindowFixture {
    // Each edit adds one output name, so the list's length tells which state is shown.
    void Edit(int i) {
        PushUndo(state, panel);
        panel.Lists[0].Add("T" + std::to_string(i));
    }
    int32_t Shown() const { return panel.Lists[0].Count(); }
};

TEST(UndoHistory, TheRingKeepsTheFiveNewestSnapshots) {
    Ring r;
    for (const auto& f : r.state.UndoFiles) {
        EXPECT_EQ(std::filesystem::path(f).filename().string().rfind("imp", 0), 0u) << f;
        EXPECT_TRUE(std::filesystem::exists(f));
    }
    for (int i = 1; i <= 6; ++i)
        r.Edit(i);
    EXPECT_EQ(r.state.UndoDepth, 5);
    for (const int32_t before : {5, 4, 3, 2, 1}) {
        ASSERT_TRUE(r.panel.UndoEnabled);
        ASSERT_TRUE(PopUndo(r.state, r.panel));
        EXPECT_EQ(r.Shown(), before);
    }
    EXPECT_FALSE(r.panel.UndoEnabled);
    EXPECT_EQ(r.state.UndoPos, 0);
    EXPECT_FALSE(PopUndo(r.state, r.panel)) << "empty history";
    EXPECT_EQ(r.Shown(), 1);

    // edit, edit, undo, then four edits: five different states step back in reverse.
    Ring s;
    s.Edit(1);
    s.Edit(2);
    PopUndo(s.state, s.panel);
    for (int i = 3; i <= 6; ++i)
        s.Edit(i);
    EXPECT_EQ(s.state.UndoDepth, 5);
    std::vector<Names> seen;
    while (PopUndo(s.state, s.panel))
        seen.push_back(s.Items(0));
    EXPECT_EQ(seen, (std::vector<Names>{
                        {"T1", "T3", "T4", "T5"}, {"T1", "T3", "T4"}, {"T1", "T3"}, {"T1"}, {}}));

    DeleteUndoFiles(s.state);
    for (const auto& f : s.state.UndoFiles)
        EXPECT_FALSE(std::filesystem::exists(f));
}

TEST(UndoHistory, UndoBringsBackReturnedRowsWithTheirPairs) {
    test::MainWindowFixture w;
    w.fields.Tables[kOutputSide]["A"] = {"A.id", "A.name"};
    w.fields.Tables[kInputSide]["A"] = {"a.ID"};
    w.Lists({"A", "B"}, {"A", "x", "y", "z", "w"});
    w.ops.SendOut();
    w.state.Definition.Table(1).WriteMode = WriteMode::Update;
    w.state.Definition.Table(1).SkipRows = "2-3";
    const ImportDefinition before = w.state.Definition;
    const Names inputs = w.Items(1);
    ClearUndo(w.state, w.panel);

    ASSERT_TRUE(w.ops.Return(kOutputSide));
    ASSERT_TRUE(w.panel.Grid.Empty());
    ASSERT_TRUE(PopUndo(w.state, w.panel));
    EXPECT_EQ(w.Column(0), (Names{"A", "B"}));
    EXPECT_EQ(w.Column(1), (Names{"A", ""}));
    EXPECT_EQ(w.Items(1), inputs);
    EXPECT_TRUE(w.Items(0).empty());
    EXPECT_EQ(w.state.Definition.Tables, before.Tables);
    EXPECT_EQ(w.state.Definition.FieldPairs, before.FieldPairs);
    EXPECT_EQ(w.state.Definition.FieldPairs(1, 1), (FieldPair{"a.ID", "A.id"}));
    EXPECT_EQ(w.state.Definition.TableCount, 2);
    EXPECT_TRUE(w.state.Definition.Modified) << "undoing does not clear it";
}

TEST(UndoHistory, DamagedOrUnwritableSnapshotsChangeNothing) {
    test::MainWindowFixture w;
    w.Lists({"A"}, {"a"});
    w.state.SideFolder = {"/d/", "/e/"};
    const UndoSnapshot taken = TakeSnapshot(w.state, w.panel);
    const std::string good = EncodeSnapshot(taken);
    UndoSnapshot back;
    ASSERT_TRUE(DecodeSnapshot(good, back));
    EXPECT_EQ(back.SideFolder[1], "/e/");
    EXPECT_EQ(EncodeSnapshot(back), good);

    // Every truncation, a wrong magic, a huge count, trailing bytes, a count beyond the arrays.
    for (std::size_t n = 0; n < good.size(); ++n)
        ASSERT_FALSE(DecodeSnapshot(good.substr(0, n), back)) << n;
    std::string bad = good;
    bad[0] = 'X';
    EXPECT_FALSE(DecodeSnapshot(bad, back));
    bad = good;
    bad[10] = '\xFF';  // outCount high byte
    bad[11] = '\x7F';
    EXPECT_FALSE(DecodeSnapshot(bad, back));
    EXPECT_FALSE(DecodeSnapshot(good + "x", back));
    UndoSnapshot lying = taken;
    lying.TableMax = 9;
    EXPECT_FALSE(DecodeSnapshot(EncodeSnapshot(lying), back));

    // A damaged file restores nothing, and the ring lets go of it.
    PushUndo(w.state, w.panel);
    w.panel.Lists[0].Add("B");
    test::WriteBytes(w.state.UndoFiles[0], good.substr(0, good.size() / 2));
    EXPECT_FALSE(PopUndo(w.state, w.panel));
    EXPECT_EQ(w.Items(0), (Names{"A", "B"}));
    EXPECT_EQ(w.state.UndoDepth, 0);

    // A snapshot that cannot be written leaves the ring as it was.
    PushUndo(w.state, w.panel);
    const auto slots = w.state.UndoSlots;
    w.state.UndoFiles[1] = w.dir.File("missing/folder/file");
    EXPECT_FALSE(PushUndo(w.state, w.panel));
    EXPECT_EQ(w.state.UndoDepth, 1);
    EXPECT_EQ(w.state.UndoPos, 1);
    EXPECT_EQ(w.state.UndoSlots, slots);
    EXPECT_TRUE(PopUndo(w.state, w.panel));
    EXPECT_EQ(w.Items(0), (Names{"A", "B"}));
}

}  // namespace
}  // namespace vantrel
