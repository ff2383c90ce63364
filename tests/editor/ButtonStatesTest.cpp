#include "editor/ButtonStates.h"

#include <gtest/gtest.h>

#include "editor/GridLayout.h"

namespace vantrel {
namespace {

void AddRow(MappingGrid& grid, const std::string& out, const std::string& in) {
    grid.AddRow();
    grid.Cell(grid.Rows() - 1, 0).Text = out;
    grid.Cell(grid.Rows() - 1, 1).Text = in;
}

TEST(ButtonStates, MainWindowFollowsListsGridPathsAndLog) {
    SessionState state;
    MappingPanel panel;
    MainButtons none;
    EXPECT_EQ(MainEnabledSwitch(state, panel), none);

    // Both paths, every output table still in the list.
    state.Definition.OutputPath = "/d/out.mdb";
    state.Definition.InputPath = "/d/in.csv";
    panel.Lists[0].Add("A");
    panel.Lists[1].Add("in");
    MainButtons listed;
    listed.CmdSendOut = listed.CmdIn = listed.Save = true;
    EXPECT_EQ(MainEnabledSwitch(state, panel), listed);

    // Rows without inputs: ">>" stays off although rows exist.
    panel.Lists[0].Clear();
    AddRow(panel.Grid, "A", "");
    MainButtons rows;
    rows.CmdBack0 = rows.CmdSetOrder = rows.CmdSendIN = rows.CmdFieldSet = rows.Save = true;
    rows.CmdIn = rows.CmdFuseigou = true;
    EXPECT_EQ(MainEnabledSwitch(state, panel), rows);

    // The input file can be chosen only once an output file is chosen.
    state.Definition.OutputPath.clear();
    EXPECT_FALSE(MainEnabledSwitch(state, panel).CmdIn);
    EXPECT_FALSE(MainEnabledSwitch(state, panel).Save);
    state.Errors.AddErrorLine("x");
    EXPECT_TRUE(MainEnabledSwitch(state, panel).CmdErr);
}

TEST(ButtonStates, StartNeedsARowWhosePairFeedsAField) {
    ImportDefinition def;
    def.Allocate(2, 2);
    MappingGrid grid;
    EXPECT_FALSE(StartCheck(def, grid));
    AddRow(grid, "A", "a");
    AddRow(grid, "B", "");
    def.FieldPairs(1, 1) = FieldPair{"", "x"};
    def.FieldPairs(2, 1) = FieldPair{"y", "y"};
    EXPECT_FALSE(StartCheck(def, grid)) << "pair 2 feeds a field but its row lacks an input";
    def.FieldPairs(1, 2) = FieldPair{"z", "z"};
    EXPECT_TRUE(StartCheck(def, grid));
    def.FieldMax = 1;
    EXPECT_FALSE(StartCheck(def, grid)) << "positions past FieldMax do not count";
}

TEST(ButtonStates, FieldWindowStepsOnlyBetweenExistingPairs) {
    SessionState state;
    MappingPanel panel;
    AddRow(panel.Grid, "", "f");
    state.CurrentTable = 1;
    FieldButtons first = FieldEnabledSwitch(state, panel, 3);
    EXPECT_FALSE(first.CmdB);
    EXPECT_TRUE(first.CmdF);
    EXPECT_FALSE(first.CmdBack0);
    EXPECT_TRUE(first.CmdBack1);
    EXPECT_TRUE(first.CmdFuseigou);
    state.CurrentTable = 3;
    FieldButtons last = FieldEnabledSwitch(state, panel, 3);
    EXPECT_TRUE(last.CmdB);
    EXPECT_FALSE(last.CmdF);
}

TEST(GridLayout, ColumnsLeaveRoomForAScrollBarOnlyWhenRowsOverflow) {
    // 2400 / 240 + 0.5 = 10.5, rounded to even 10, so 9 rows fit.
    EXPECT_EQ(FitGridColumns(4150, 2400, 240, 9, 0), 2000);
    EXPECT_EQ(FitGridColumns(4150, 2400, 240, 10, 0), 1850);
    // 2640 / 240 + 0.5 = 11.5, rounded to even 12: 11 fit.
    EXPECT_EQ(FitGridColumns(4150, 2640, 240, 11, 0), 2000);
    EXPECT_EQ(FitGridColumns(4151, 2640, 240, 11, 0), 2000) << "2000.5 rounds to even";
    EXPECT_EQ(FitGridColumns(4153, 2640, 240, 11, 0), 2002) << "2001.5 rounds to even";
    EXPECT_EQ(FitGridColumns(4150, 2640, 240, 0, 777), 777) << "no rows: unchanged";

    ImportDefinition def;
    def.OutputPath = "C:\\o.mdb";
    EXPECT_EQ(PathLineText(def), "C:\\o.mdb");
    def.InputPath = "C:\\i.csv";
    EXPECT_EQ(PathLineText(def), "C:\\o.mdb  <--  C:\\i.csv");
    const TextBoxPlace narrow = PlacePathLine(1000, 500, 3000, 8000, 8100);
    EXPECT_EQ(narrow.Top, 3540);
    EXPECT_EQ(narrow.Width, 1100);
    EXPECT_EQ(narrow.Left, 3450);
    const TextBoxPlace wide = PlacePathLine(7880, 500, 3000, 8000, 8100);
    EXPECT_EQ(wide.Width, 8080);
    EXPECT_EQ(wide.Left, -40);

    def.Allocate(1, 0);
    def.Table(1).OutTable = "T";
    def.Table(1).InTable = "S";
    EXPECT_EQ(PairLineText(def, 1), "C:\\o.mdb(T)  <--  C:\\i.csv");
    def.InputPath = "C:\\i.XLS";
    EXPECT_EQ(PairLineText(def, 1), "C:\\o.mdb(T)  <--  C:\\i.XLS(S)");
    def.InputPath.clear();
    EXPECT_EQ(PairLineText(def, 1), "C:\\o.mdb(T)");
    const TextBoxPlace pair = PlacePairLine(3001, 200, 1000, 9000);
    EXPECT_EQ(pair.Top, 1300);
    EXPECT_EQ(pair.Left, RoundHalfEven(2949.5));
    EXPECT_EQ(RoundHalfEven(2949.5), 2950);
    EXPECT_EQ(RoundHalfEven(2.5), 2);
}

}  // namespace
}  // namespace vantrel
