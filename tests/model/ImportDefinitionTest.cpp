#include "model/ImportDefinition.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(ImportDefinition, DefaultsAndOneBasedLayout) {
    ImportDefinition def;
    EXPECT_EQ(def.DefaultTableSetting.HeaderRow, 1);
    EXPECT_EQ(def.DefaultTableSetting.Delimiter, ",");
    EXPECT_EQ(def.DefaultTableSetting.WriteMode, WriteMode::New);
    EXPECT_TRUE(def.DefaultTableSetting.OutTable.empty());
    EXPECT_EQ(def.Tables.size(), 1u);

    def.Allocate(3, 4);
    EXPECT_EQ(def.Tables.size(), 4u);
    EXPECT_EQ(def.FieldPairs.TableBound(), 3);
    EXPECT_EQ(def.FieldPairs.FieldBound(), 4);
    EXPECT_TRUE(def.FieldPairs.Contains(3, 4));
    EXPECT_FALSE(def.FieldPairs.Contains(4, 0));

    def.TableCount = 7;  // a count past the slots is never walked
    EXPECT_EQ(def.UsableTableCount(), 3);
    def.ClearArrays();
    EXPECT_EQ(def.TableMax + def.TableCount + def.FieldMax, 0);
    EXPECT_EQ(def.UsableTableCount(), 0);
}

TEST(FieldPairMatrix, ReshapeKeepsWhatFitsAndSwapMovesWholeSlots) {
    FieldPairMatrix m;
    m.Allocate(3, 3);
    for (int t = 1; t <= 3; ++t) {
        for (int j = 1; j <= 3; ++j)
            m(t, j) = FieldPair{"i" + std::to_string(t * 10 + j), "o"};
    }
    m.SwapSlots(1, 3);
    EXPECT_EQ(m(1, 2).InField, "i32");
    EXPECT_EQ(m(3, 2).InField, "i12");

    m.Reshape(2, 5, 2, 3);
    EXPECT_EQ(m.TableBound(), 2);
    EXPECT_EQ(m.FieldBound(), 5);
    EXPECT_EQ(m(1, 3).InField, "i33");
    EXPECT_EQ(m(2, 1).InField, "i21");
    EXPECT_EQ(m(2, 4), FieldPair{});

    m.Reshape(4, 2, 1, 5);  // copy only slot 1
    EXPECT_EQ(m(1, 2).InField, "i32");
    EXPECT_EQ(m(2, 1), FieldPair{});
    EXPECT_EQ(m(4, 2), FieldPair{});
}

}  // namespace
}  // namespace vantrel
