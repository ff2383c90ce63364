#include "editor/FieldSettings.h"

#include <gtest/gtest.h>

#include "EditorFixture.h"

namespace vantrel {
namespace {

using Names = std::vector<std::string>;

struct FieldWindow : test::MainWindowFixture {
    MappingPanel fieldPanel;
    MappingOperations fieldOps{state, fieldPanel, EditorWindow::FieldSettings, fields};
    FieldSettings window{state, fieldPanel, panel, fields};

    FieldWindow() {
        fields.Tables[kOutputSide]["A"] = {"ID", "Name", "Price"};
        fields.Tables[kInputSide]["a"] = {"id", "NAME", "cost"};
        fields.Tables[kOutputSide]["B"] = {"K"};
        fields.Tables[kInputSide]["b"] = {"k"};
        Lists({"A", "B"}, {});
        ops.SendOut();
        panel.Lists[1].Add("a");
        panel.Lists[1].Add("b");
        ops.FillBlanks();
        state.CurrentTable = 1;
    }
    Names FieldColumn(int col) const { return test::ColumnTexts(fieldPanel.Grid, col); }
};

TEST(FieldSettings, LoadingAPairShowsItsMappingAndTheUnplacedFields) {
    FieldWindow w;
    EXPECT_FALSE(w.window.Open());
    EXPECT_TRUE(w.panel.Busy) << "the main window waits while this one is open";
    EXPECT_EQ(w.FieldColumn(0), (Names{"ID", "Name"}));
    EXPECT_EQ(w.FieldColumn(1), (Names{"id", "NAME"}));
    EXPECT_EQ(w.fieldPanel.Lists[0].Items(), (Names{"Price"}));
    EXPECT_EQ(w.fieldPanel.Lists[1].Items(), (Names{"cost"}));
    EXPECT_FALSE(w.fieldPanel.UndoEnabled);

    // The field window's send out fills only the output column and marks the mapping changed.
    w.fieldPanel.Lists[1].Add("Price");
    w.fieldOps.SendOut();
    EXPECT_EQ(w.FieldColumn(0), (Names{"ID", "Name", "Price"}));
    EXPECT_EQ(w.FieldColumn(1), (Names{"id", "NAME", ""}));
    EXPECT_TRUE(w.state.FieldsChanged);
    EXPECT_TRUE(w.fieldPanel.UndoEnabled);
    EXPECT_EQ(w.state.Definition.FieldPairs(1, 3), FieldPair{}) << "only the window changed";

    // Stepping on stores the edited pair and starts the next with an empty history.
    bool errors = true;
    EXPECT_FALSE(w.window.Previous(errors));
    ASSERT_TRUE(w.window.Next(errors));
    EXPECT_FALSE(errors);
    EXPECT_EQ(w.state.Definition.FieldPairs(1, 3), (FieldPair{"", "Price"}));
    EXPECT_EQ(w.state.CurrentTable, 2);
    EXPECT_EQ(w.FieldColumn(0), (Names{"K"}));
    EXPECT_FALSE(w.fieldPanel.UndoEnabled);
    EXPECT_EQ(w.state.UndoDepth, 0);
    EXPECT_FALSE(w.window.Next(errors)) << "pair 2 is the last row of the main grid";

    w.window.Leave();
    EXPECT_FALSE(w.panel.Busy);
    EXPECT_FALSE(w.panel.UndoEnabled);
}

TEST(FieldSettings, StoringPacksTheGridAndGrowsFieldPositions) {
    FieldWindow w;
    w.window.Open();
    const int32_t positions = w.state.Definition.FieldMax;
    w.fieldPanel.Grid.SetRowCount(0);
    const Names outs = {"ID", "", "", "", "", "", "", "Q"};
    for (const auto& o : outs) {
        w.fieldPanel.Grid.AddRow();
        w.fieldPanel.Grid.Cell(w.fieldPanel.Grid.Rows() - 1, 0).Text = o;
        w.fieldPanel.Grid.Cell(w.fieldPanel.Grid.Rows() - 1, 1).Text = o.empty() ? "x" : "i" + o;
    }
    ASSERT_LT(positions, 8);
    for (int32_t j = 1; j <= positions; ++j)
        w.state.Definition.FieldPairs(1, j) = FieldPair{"stale", "stale"};
    w.window.StoreFieldPairs();
    const ImportDefinition& def = w.state.Definition;
    EXPECT_EQ(def.FieldMax, 8);
    EXPECT_EQ(def.FieldPairs(1, 1), (FieldPair{"iID", "ID"}));
    EXPECT_EQ(def.FieldPairs(1, 2), (FieldPair{"iQ", "Q"}));
    for (int32_t j = 3; j <= 8; ++j)
        EXPECT_EQ(def.FieldPairs(1, j), FieldPair{}) << j;
    EXPECT_EQ(def.FieldPairs(2, 1), (FieldPair{"k", "K"})) << "other pairs keep theirs";

    // Revert in this window returns one-sided rows and marks the mapping changed.
    w.state.FieldsChanged = false;
    w.fieldPanel.Lists[0].Clear();
    w.fieldPanel.Lists[1].Clear();
    EXPECT_FALSE(w.fieldOps.RevertOneSided());
    EXPECT_EQ(w.FieldColumn(0), (Names{"ID", "Q"}));
    EXPECT_EQ(w.fieldPanel.Lists[1].Items(), Names(6, "x"));
    EXPECT_TRUE(w.state.FieldsChanged);
    EXPECT_EQ(w.state.Definition.TableCount, 2) << "the definition is not touched";

    // A list press starts a drag even on an empty grid; the drop is refused there.
    w.fieldPanel.Grid.SetRowCount(0);
    w.fieldPanel.Lists[1].SetCurrent(0);
    EXPECT_TRUE(w.fieldOps.StartDrag(kInputSide, true));
    EXPECT_FALSE(w.fieldOps.Drop(kInputSide, 0, 1));
}

}  // namespace
}  // namespace vantrel
