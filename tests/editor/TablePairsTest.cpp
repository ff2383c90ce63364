#include "editor/TablePairs.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

ImportDefinition ThreePairs() {
    ImportDefinition def;
    def.Allocate(4, 2);
    def.TableCount = 3;
    for (int t = 1; t <= 3; ++t) {
        const std::string n = std::to_string(t);
        def.Table(t) = TableSetting{t, 1, "Out" + n, "In" + n, "", 0, WriteMode::Append, 1, ","};
        def.FieldPairs(t, 1) = FieldPair{"i" + n, "o" + n};
    }
    return def;
}

TEST(TablePairs, ReleasingTheOutputSideDropsThePairAndMovesLaterPairsUp) {
    ImportDefinition def = ThreePairs();
    ReleasePair(def, kOutputSide, 0);
    EXPECT_EQ(def.TableCount, 2);
    EXPECT_EQ(def.Table(1).OutTable, "Out2");
    EXPECT_EQ(def.Table(1).FieldSlot, 1);
    EXPECT_EQ(def.Table(1).WriteMode, WriteMode::Append) << "the import method moves with its pair";
    EXPECT_EQ(def.FieldPairs(1, 1).OutField, "o2");
    EXPECT_EQ(def.Table(2).OutTable, "Out3");
    EXPECT_EQ(def.FieldPairs(2, 1).InField, "i3");
    EXPECT_EQ(def.Table(3), TableSetting{});
    EXPECT_EQ(def.FieldPairs(3, 1), FieldPair{});
    EXPECT_EQ(def.TableMax, 4) << "bounds stay";

    // A pair whose output table was emptied keeps its place: its grid row is still there, and
    // dropping it too would shift every later pair off its row.
    ImportDefinition gap = ThreePairs();
    gap.Table(2).OutTable.clear();
    ReleasePair(gap, kOutputSide, 2);
    EXPECT_EQ(gap.TableCount, 2);
    EXPECT_EQ(gap.Table(1).OutTable, "Out1");
    EXPECT_EQ(gap.Table(2).InTable, "In2");
    EXPECT_EQ(gap.FieldPairs(2, 1).InField, "i2");
}

TEST(TablePairs, ReleasingTheInputSideKeepsOutputFieldsAndSettings) {
    ImportDefinition def = ThreePairs();
    ReleasePair(def, kInputSide, 1);
    EXPECT_EQ(def.TableCount, 3);
    EXPECT_EQ(def.Table(2).InTable, "");
    EXPECT_EQ(def.Table(2).OutTable, "Out2");
    EXPECT_EQ(def.FieldPairs(2, 1), (FieldPair{"", "o2"}));
    EXPECT_EQ(def.Table(3).InTable, "In3");
    ReleasePair(def, kInputSide, 40);  // past the slots: nothing happens
    EXPECT_EQ(def.TableCount, 3);
}

}  // namespace
}  // namespace vantrel
