#include "editor/MappingOperations.h"

#include <gtest/gtest.h>

#include <random>

#include "EditorFixture.h"
#include "SqliteSupport.h"
#include "editor/TablePairs.h"
#include "sources/SourceCatalog.h"

namespace vantrel {
namespace {

using test::MakeDatabase;

using Names = std::vector<std::string>;

struct MainWindow : test::MainWindowFixture {
    MainWindow() {
        for (const std::string t : {"A", "B", "C", "D", "E"})
            fields.Tables[kOutputSide][t] = {t + ".id", t + ".name"};
        for (const std::string t : {"a", "b", "c", "d", "e", "B"})
            fields.Tables[kInputSide][t] = {"a.ID", "b.id", "c.id", "d.id", "e.id", "B.name"};
    }
};

TEST(MappingOperations, SendOutBuildsPairsAndTakesTheInputOfTheSameName) {
    MainWindow w;
    w.Lists({"A", "B", "C"}, {"x", "B", "b"});
    w.ops.SendOut();
    EXPECT_EQ(w.Column(0), (Names{"A", "B", "C"}));
    EXPECT_EQ(w.Column(1), (Names{"", "B", ""})) << "exact name only";
    EXPECT_EQ(w.Items(1), (Names{"x", "b"}));
    EXPECT_TRUE(w.Items(0).empty());
    EXPECT_EQ(w.Misalignment(), "");
    EXPECT_EQ(w.state.Definition.FieldPairs(2, 1), (FieldPair{"b.id", "B.id"}));
    EXPECT_EQ(w.state.Definition.FieldPairs(2, 2), (FieldPair{"B.name", "B.name"}));
    EXPECT_EQ(w.state.Definition.Table(2).HeaderRow, 1);
    EXPECT_TRUE(w.panel.UndoEnabled);

    // A selected item goes alone, below the rows already there.
    w.panel.Lists[0].Add("D");
    w.panel.Lists[0].Add("E");
    w.panel.Lists[0].SetCurrent(1);
    w.ops.SendOut();
    EXPECT_EQ(w.Column(0), (Names{"A", "B", "C", "E"}));
    EXPECT_EQ(w.Items(0), (Names{"D"}));
    EXPECT_EQ(w.Misalignment(), "");
}

TEST(MappingOperations, PairsGetTheirFieldsFromTheRealFiles) {
    test::TempDir dir;
    SessionState state;
    MappingPanel panel;
    Engine engine{state.Errors.Pending};
    SourceCatalog catalog{state, engine, panel};
    CatalogFieldLister fields{catalog};
    MappingOperations ops{state, panel, EditorWindow::Main, fields};
    const std::string out =
        MakeDatabase(dir, "out.sqlite", "CREATE TABLE T (ID INTEGER, Name TEXT, Price REAL);");
    const std::string in =
        MakeDatabase(dir, "in.sqlite", "CREATE TABLE T (id INTEGER, NAME TEXT, cost REAL);");
    catalog.ChooseFile(kOutputSide, out);
    catalog.ChooseFile(kInputSide, in);
    ASSERT_EQ(panel.Lists[0].Items(), (Names{"T"}));
    ops.SendOut();
    ASSERT_EQ(panel.Grid.Text(0, 1), "T");
    const ImportDefinition& def = state.Definition;
    EXPECT_EQ(def.FieldPairs(1, 1), (FieldPair{"id", "ID"}));
    EXPECT_EQ(def.FieldPairs(1, 2), (FieldPair{"NAME", "Name"}));
    EXPECT_EQ(def.FieldPairs(1, 3), FieldPair{}) << "Price is not fed";
    EXPECT_TRUE(state.Errors.Empty());
}

TEST(MappingOperations, BuildingAPairPastTheSlotsGivesItFieldPositions) {
    MainWindow w;
    w.Lists({"A"}, {"a"});
    w.state.Definition.Allocate(1, 2);
    w.ops.SendOut();
    w.ops.FillBlanks();
    w.panel.Lists[0].Add("B");
    w.panel.Lists[1].Add("b");
    w.ops.SendOut();  // pair 2 beyond TableMax 1
    ASSERT_TRUE(w.ops.FillBlanks());
    const ImportDefinition& def = w.state.Definition;
    EXPECT_EQ(def.TableMax, 2);
    ASSERT_GE(def.FieldPairs.TableBound(), 2);
    EXPECT_EQ(def.FieldPairs(2, 1), (FieldPair{"b.id", "B.id"}));
    EXPECT_EQ(def.FieldPairs(1, 1), (FieldPair{"a.ID", "A.id"})) << "pair 1 kept its fields";
    EXPECT_EQ(w.Misalignment(), "");
}

TEST(MappingOperations, SendInPlacesEqualNamesAndSwapsOccupiedCells) {
    MainWindow w;
    w.Lists({"A", "B", "C"}, {});
    w.ops.SendOut();
    w.panel.Lists[1].Add("a");  // differs in case only: stays
    w.panel.Lists[1].Add("B");
    w.panel.Lists[1].Add("Z");
    ASSERT_TRUE(w.ops.SendIn());
    EXPECT_EQ(w.Column(1), (Names{"", "B", ""}));
    EXPECT_EQ(w.Items(1), (Names{"a", "Z"}));
    EXPECT_EQ(w.state.Definition.Table(2).InTable, "B");
    EXPECT_EQ(w.state.Definition.FieldPairs(2, 2), (FieldPair{"B.name", "B.name"}));

    // Onto an occupied cell the names change places and the former input is not sent again.
    w.panel.Grid.Cell(0, 0).Text = "a";
    w.state.Definition.Table(1).OutTable = "a";
    w.panel.Grid.Cell(0, 1).Text = "B";
    w.panel.Grid.Cell(1, 1).Text.clear();
    w.state.Definition.Table(2).InTable.clear();
    w.panel.Lists[1].Clear();
    w.panel.Lists[1].Add("a");
    w.panel.Lists[1].Add("B");
    ASSERT_TRUE(w.ops.SendIn());
    EXPECT_EQ(w.Column(1), (Names{"a", "B", ""}));
    EXPECT_EQ(w.Items(1), (Names{"B"}));

    // Guard: no input names, no snapshot.
    w.panel.Lists[1].Clear();
    const int32_t depth = w.state.UndoDepth;
    EXPECT_FALSE(w.ops.SendIn());
    EXPECT_FALSE(w.ops.FillBlanks());
    EXPECT_EQ(w.state.UndoDepth, depth);
}

TEST(MappingOperations, FillBlanksFillsEmptyInputCellsTopDownInListOrder) {
    MainWindow w;
    w.Lists({"A", "B", "C"}, {"B"});
    w.ops.SendOut();  // row B has its input
    w.panel.Lists[1].Add("c");
    w.panel.Lists[1].Add("a");
    w.panel.Lists[1].Add("e");
    ASSERT_TRUE(w.ops.FillBlanks());
    EXPECT_EQ(w.Column(1), (Names{"c", "B", "a"}));
    EXPECT_EQ(w.Items(1), (Names{"e"}));
    EXPECT_EQ(w.state.Definition.Table(3).InTable, "a");
    EXPECT_EQ(w.state.Definition.FieldPairs(3, 1), (FieldPair{"c.id", "C.id"}))
        << "names matched without regard to case";
    EXPECT_EQ(w.Misalignment(), "");
}

TEST(MappingOperations, ReturnsFollowMarksOfTheirOwnColumnOnly) {
    MainWindow w;
    w.Lists({"A", "B", "C"}, {"a", "c"});
    w.ops.SendOut();
    w.panel.Grid.Cell(0, 1).Text = "a";
    w.panel.Grid.Cell(2, 1).Text = "c";
    w.panel.Lists[1].Clear();

    // A mark in column 0 does not select for ">>" and stays; with no mark every row counts.
    w.ops.ToggleMark(1, 0);
    ASSERT_TRUE(w.ops.Return(kInputSide));
    EXPECT_EQ(w.Column(1), (Names{"", "", ""}));
    EXPECT_EQ(w.Items(1), (Names{"a", "c"})) << "no empty item";
    EXPECT_TRUE(w.panel.Grid.Cell(1, 0).IsMarked());

    // "<<" takes the marked row only and clears its mark.
    ASSERT_TRUE(w.ops.Return(kOutputSide));
    EXPECT_EQ(w.Column(0), (Names{"A", "C"}));
    EXPECT_EQ(w.Items(0), (Names{"B"}));
    EXPECT_EQ(w.Misalignment(), "");

    // A mark toggled twice is gone: everything returns.
    w.ops.ToggleMark(0, 0);
    w.ops.ToggleMark(0, 0);
    EXPECT_EQ(w.panel.Grid.Cell(0, 0).BackColor, kWindowBackground);
    ASSERT_TRUE(w.ops.Return(kOutputSide));
    EXPECT_TRUE(w.panel.Grid.Empty());
    EXPECT_EQ(w.Items(0), (Names{"B", "A", "C"}));
    EXPECT_EQ(w.state.Definition.TableCount, 0);
    EXPECT_FALSE(w.ops.Return(kOutputSide)) << "guard: no rows";
}

TEST(MappingOperations, DropExchangesTheDraggedItemWithTheCell) {
    MainWindow w;
    w.Lists({"A", "B"}, {"a", "b", "c"});
    w.panel.Lists[0].SetCurrent(0);
    EXPECT_FALSE(w.ops.StartDrag(kOutputSide, true)) << "main window: no rows, no drag";
    w.panel.Lists[0].SetCurrent(-1);
    w.ops.SendOut();

    w.panel.Lists[1].SetCurrent(1);
    ASSERT_TRUE(w.ops.StartDrag(kInputSide, true));
    EXPECT_FALSE(w.ops.Drop(kInputSide, 0, 0)) << "input names only into column 1";
    ASSERT_TRUE(w.ops.Drop(kInputSide, 0, 1));  // onto an empty cell
    EXPECT_EQ(w.Items(1), (Names{"a", "c"}));
    EXPECT_EQ(w.state.Definition.Table(1).InTable, "b");

    w.panel.Lists[1].SetCurrent(0);
    w.ops.StartDrag(kInputSide, true);
    ASSERT_TRUE(w.ops.Drop(kInputSide, 0, 1));  // onto "b"
    EXPECT_EQ(w.Column(1), (Names{"a", ""}));
    EXPECT_EQ(w.Items(1), (Names{"b", "c"})) << "the former input at the dragged position";
    EXPECT_EQ(w.panel.Lists[1].Current(), -1);
    EXPECT_EQ(w.state.Definition.FieldPairs(1, 1), (FieldPair{"a.ID", "A.id"}));
    EXPECT_EQ(w.Misalignment(), "");

    // An output name dropped on column 0 rebuilds that pair.
    w.panel.Lists[0].Add("C");
    w.panel.Lists[0].SetCurrent(0);
    w.ops.StartDrag(kOutputSide, true);
    ASSERT_TRUE(w.ops.Drop(kOutputSide, 1, 0));
    EXPECT_EQ(w.Column(0), (Names{"A", "C"}));
    EXPECT_EQ(w.Items(0), (Names{"B"}));
    EXPECT_EQ(w.Misalignment(), "");
    EXPECT_FALSE(w.ops.Drop(-1, 0, 1)) << "not from a list";
}

// Rows A..E with their pairs; returns the output column after moving.
struct RowMoveWindow : MainWindow {
    RowMoveWindow() {
        Lists({"A", "B", "C", "D", "E"}, {"a", "b", "c", "d", "e"});
        ops.SendOut();
        panel.Lists[1].SetCurrent(-1);
        ops.FillBlanks();
    }
    bool Move(int32_t source, int32_t target, bool below) {
        moves.PressGrid(source, 0, true);
        moves.MarkRowForMoving();
        moves.PressGrid(target, 0, true);
        return below ? moves.InsertBelow() : moves.InsertAbove();
    }
};

TEST(RowMoves, MovedRowsTakeTheirPairsAndFieldPairsAlong) {
    RowMoveWindow w;
    ASSERT_TRUE(w.Move(3, 0, true));
    EXPECT_EQ(w.Column(0), (Names{"A", "D", "B", "C", "E"}));
    EXPECT_EQ(w.Column(1), (Names{"a", "d", "b", "c", "e"}));
    EXPECT_EQ(w.Misalignment(), "");
    EXPECT_EQ(w.state.Definition.FieldPairs(2, 1).OutField, "D.id");
    EXPECT_FALSE(w.popup.InsertEnabled);

    RowMoveWindow up;
    ASSERT_TRUE(up.Move(0, 3, false));
    EXPECT_EQ(up.Column(0), (Names{"B", "C", "A", "D", "E"}));
    EXPECT_EQ(up.Misalignment(), "");

    RowMoveWindow same;
    ASSERT_TRUE(same.Move(2, 2, true));
    EXPECT_EQ(same.Column(0), (Names{"A", "B", "C", "D", "E"}));
    EXPECT_EQ(same.Misalignment(), "");

    // Without field positions the pairs still follow their rows.
    RowMoveWindow bare;
    bare.state.Definition.FieldMax = 0;
    ASSERT_TRUE(bare.Move(4, 0, false));
    EXPECT_EQ(bare.Column(0), (Names{"E", "A", "B", "C", "D"}));
    EXPECT_EQ(bare.state.Definition.Table(1).OutTable, "E");
}

TEST(RowMoves, InsertsNeedAPickedRowThatStillExists) {
    RowMoveWindow w;
    w.moves.PressGrid(1, 0, false);
    EXPECT_FALSE(w.moves.InsertBelow()) << "nothing picked yet";
    w.moves.PressGrid(4, 0, true);
    w.moves.MarkRowForMoving();
    EXPECT_TRUE(w.popup.InsertEnabled);
    w.panel.Grid.Cell(4, 0).BackColor = kMarkColor;
    w.ops.Return(kOutputSide);  // only the marked row 4 goes
    w.moves.PressGrid(0, 0, true);
    EXPECT_FALSE(w.moves.InsertAbove());
    EXPECT_EQ(w.Column(0), (Names{"A", "B", "C", "D"}));
    EXPECT_EQ(w.Misalignment(), "");

    // The popup offers フィールド設定 only for a current row with an output table.
    w.panel.Grid.CurrentRow = 1;
    EXPECT_TRUE(w.moves.PressGrid(3, 1, true));
    EXPECT_TRUE(w.popup.FieldSettingsEnabled);
    EXPECT_EQ(w.state.CurrentTable, 4);
    w.panel.Grid.CurrentRow = 9;
    w.moves.PreparePopup();
    EXPECT_FALSE(w.popup.FieldSettingsEnabled);
}

TEST(MappingOperations, RevertReturnsOneSidedRowsAndKeepsTheOthersWithTheirPairs) {
    MainWindow w;
    w.Lists({"A", "B", "D"}, {"a", "d"});
    w.ops.SendOut();
    w.ops.FillBlanks();  // a -> A, d -> B
    w.panel.Grid.Cell(1, 1).Text.clear();
    ReleasePair(w.state.Definition, kInputSide, 1);
    w.panel.Grid.AddRow();  // a row with an input only
    w.panel.Grid.Cell(3, 1).Text = "c";
    w.panel.Grid.MoveRow(3, 2);
    w.panel.Grid.Cell(3, 1).Text = "d";
    w.state.Definition.Tables.resize(5);
    w.state.Definition.TableMax = 4;
    w.state.Definition.FieldPairs.Reshape(4, w.state.Definition.FieldMax, 3,
                                          w.state.Definition.FieldMax);
    w.state.Definition.Table(3) = TableSetting{3, 0, "D", "d", "", 0, WriteMode::Update, 1, ","};
    w.state.Definition.Table(3).FieldSlot = 4;
    std::swap(w.state.Definition.Table(3), w.state.Definition.Table(4));
    w.state.Definition.Table(3) = TableSetting{3, 0, "", "c", "", 0, 0, 1, ","};
    w.state.Definition.TableCount = 4;
    w.state.Definition.FieldPairs(4, 1) = FieldPair{"d.id", "D.id"};
    const int32_t depth = w.state.UndoDepth;

    EXPECT_FALSE(w.ops.RevertOneSided());
    EXPECT_EQ(w.Column(0), (Names{"A", "D"}));
    EXPECT_EQ(w.Items(0), (Names{"B"}));
    EXPECT_EQ(w.Items(1), (Names{"c"}));
    EXPECT_EQ(w.state.Definition.Table(2).WriteMode, WriteMode::Update);
    EXPECT_EQ(w.state.Definition.FieldPairs(2, 1), (FieldPair{"d.id", "D.id"}));
    EXPECT_EQ(w.state.UndoDepth, depth) << "no snapshot";
    EXPECT_EQ(w.Misalignment(), "");
    EXPECT_TRUE(w.state.Errors.Empty());

    // Complete rows stay; a lone one-sided row leaves no rows.
    w.ops.RevertOneSided();
    EXPECT_EQ(w.Column(0), (Names{"A", "D"}));
    w.ops.Return(kInputSide);
    w.ops.RevertOneSided();
    EXPECT_TRUE(w.panel.Grid.Empty());
    EXPECT_EQ(w.state.Definition.TableCount, 0);
}

// Random sequences of every main-window operation, undo included: after each step grid row r
// still shows pair r + 1 with its own field pairs.
TEST(MappingOperations, GridAndPairsStayAlignedThroughRandomEditing) {
    for (const unsigned seed : {1u, 2u, 3u}) {
        MainWindow w;
        w.Lists({"A", "B", "C", "D", "E"}, {"a", "b", "c", "d", "e", "B"});
        std::mt19937 rng(seed);
        auto pick = [&](int32_t n) {
            return n <= 0 ? 0 : static_cast<int32_t>(rng() % static_cast<uint32_t>(n + 1)) - 1;
        };
        for (int step = 0; step < 1200; ++step) {
            const int32_t rows = w.panel.Grid.Rows();
            const int side = static_cast<int>(rng() % 2);
            const unsigned op = static_cast<unsigned>(rng() % 11);
            printf("step %d op %u side %d rows %d\n", step, op, side, rows);
            switch (op) {
                case 0:
                    w.panel.Lists[0].SetCurrent(pick(w.panel.Lists[0].Count()));
                    w.ops.SendOut();
                    break;
                case 1:
                    w.panel.Lists[1].SetCurrent(pick(w.panel.Lists[1].Count()));
                    w.ops.SendIn();
                    break;
                case 2:
                    w.panel.Lists[1].SetCurrent(pick(w.panel.Lists[1].Count()));
                    w.ops.FillBlanks();
                    break;
                case 3:
                    w.ops.Return(side);
                    break;
                case 4:
                    w.ops.ToggleMark(pick(rows), side);
                    break;
                case 5:
                    w.panel.Lists[static_cast<std::size_t>(side)].SetCurrent(
                        pick(w.panel.Lists[static_cast<std::size_t>(side)].Count()));
                    w.ops.StartDrag(side, true);
                    w.ops.Drop(side, pick(rows), side);
                    break;
                case 6:
                    w.moves.PressGrid(pick(rows), side, true);
                    w.moves.MarkRowForMoving();
                    break;
                case 7:
                    w.moves.PressGrid(pick(rows), side, true);
                    (rng() % 2 ? w.moves.InsertAbove() : w.moves.InsertBelow());
                    break;
                case 8:
                    w.ops.RevertOneSided();
                    break;
                default:
                    PopUndo(w.state, w.panel);
                    break;
            }
            ASSERT_EQ(w.Misalignment(), "") << "seed " << seed << " step " << step;
            ASSERT_FALSE(w.panel.Busy);
        }
    }
}

}  // namespace
}  // namespace vantrel
