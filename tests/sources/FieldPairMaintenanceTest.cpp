#include "sources/FieldPairMaintenance.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

NameList Names(std::initializer_list<const char*> names) {
    NameList list;
    for (const char* n : names)
        list.Append(n);
    return list;
}

// The mapping of pair t up to its first empty OutField, as "Out<-In" items.
std::vector<std::string> Mapping(const ImportDefinition& def, int32_t t) {
    std::vector<std::string> items;
    for (int32_t j = 1; j <= def.FieldMax && !def.FieldPairs(t, j).OutField.empty(); ++j) {
        items.push_back(def.FieldPairs(t, j).OutField + "<-" + def.FieldPairs(t, j).InField);
    }
    return items;
}

using Items = std::vector<std::string>;

TEST(FieldPairMaintenance, ResizeModelKeepsPairsInUseAndRenumbersSlots) {
    ImportDefinition def;
    ErrorLog log;
    ResizeModel(def, 3, 2, log);
    EXPECT_EQ(def.TableMax, 3);
    EXPECT_EQ(def.FieldMax, 2);
    def.TableCount = 2;
    def.Table(1).OutTable = "A";
    def.Table(1).FieldSlot = 9;
    def.Table(2).OutTable = "B";
    def.Table(3).OutTable = "unused slot";
    def.FieldPairs(2, 2) = FieldPair{"x", "X"};

    ResizeModel(def, 3, 2, log);
    EXPECT_EQ(def.Table(1).FieldSlot, 9) << "same sizes change nothing, not even FieldSlot";

    ResizeModel(def, 4, 5, log);
    EXPECT_EQ(def.Table(1).FieldSlot, 1);
    EXPECT_EQ(def.Table(2).OutTable, "B");
    EXPECT_EQ(def.Table(3).OutTable, "") << "slots beyond TableCount start empty";
    EXPECT_EQ(def.FieldPairs(2, 2), (FieldPair{"x", "X"}));
    EXPECT_EQ(def.FieldPairs.FieldBound(), 5);

    ResizeModel(def, 1, 1, log);
    EXPECT_EQ(def.Tables.size(), 2u);
    EXPECT_EQ(def.Table(1).OutTable, "A");
    EXPECT_EQ(def.TableCount, 2) << "TableCount is not lowered here";
    EXPECT_EQ(def.UsableTableCount(), 1) << "but nothing walks past the slots";

    ResizeModel(def, 0, 7, log);
    EXPECT_EQ(def.TableMax, 0);
    EXPECT_EQ(def.FieldMax, 0);
    EXPECT_EQ(def.Tables.size(), 1u);
    EXPECT_TRUE(log.Empty());

    ResizeModel(def, -1, 2, log);
    EXPECT_EQ(log.ErrorCount(), 1);
    EXPECT_EQ(def.TableMax, 0);
}

TEST(FieldPairMaintenance, GrowFieldMaxKeepsPairsAndTableMax) {
    ImportDefinition def;
    ErrorLog log;
    def.Allocate(2, 1);
    def.FieldPairs(2, 1) = FieldPair{"b", "B"};
    GrowFieldMax(def, def.TableMax, 4, log);
    EXPECT_EQ(def.FieldMax, 4);
    EXPECT_EQ(def.TableMax, 2);
    EXPECT_EQ(def.FieldPairs(2, 1), (FieldPair{"b", "B"}));
    EXPECT_EQ(def.FieldPairs(2, 4), FieldPair{});
}

TEST(FieldPairMaintenance, NewPairIsMatchedByNameWithoutRegardToCase) {
    ImportDefinition def;
    ErrorLog log;
    def.Allocate(1, 2);
    def.TableCount = 1;
    // The output table has more fields than positions: FieldMax grows first.
    ReconcileFields(def, 1, Names({"ID", "Name", "Price"}), Names({"id", "NAME", "cost"}),
                    kKeepMapping, log);
    EXPECT_EQ(def.FieldMax, 3);
    EXPECT_EQ(Mapping(def, 1), (Items{"ID<-id", "Name<-NAME"}));
    EXPECT_TRUE(HasAnyField(def, 1, kInputSide));
    EXPECT_TRUE(HasAnyField(def, 1, kOutputSide));

    // An input name may feed several output names; the first equal input name is taken.
    ImportDefinition two;
    two.Allocate(1, 3);
    MatchFieldsByName(two, 1, Names({"code", "CODE", "x"}), Names({"Code", "code"}), log);
    EXPECT_EQ(Mapping(two, 1), (Items{"code<-Code", "CODE<-Code"}));
    EXPECT_TRUE(log.Empty());
}

TEST(FieldPairMaintenance, CheckingAPairDropsWhatTheTablesLost) {
    ImportDefinition def;
    ErrorLog log;
    def.Allocate(1, 5);
    def.FieldPairs(1, 1) = FieldPair{"a", "A"};
    def.FieldPairs(1, 2) = FieldPair{"b", "B"};
    def.FieldPairs(1, 3) = FieldPair{"c", "C"};
    def.FieldPairs(1, 4) = FieldPair{"", "D"};

    // Keep mode leaves a non-empty mapping as it is.
    ReconcileFields(def, 1, Names({"A"}), Names({}), kKeepMapping, log);
    EXPECT_EQ(Mapping(def, 1).size(), 4u);

    // The output table lost B: later pairs move up. The input table lost c: it is unfed.
    ReconcileFields(def, 1, Names({"A", "C", "D"}), Names({"a", "b", "d"}), kCheckMapping, log);
    EXPECT_EQ(Mapping(def, 1), (Items{"A<-a", "C<-", "D<-"}));
    EXPECT_EQ(def.FieldPairs(1, 4), FieldPair{});

    // Nothing fed any more: matched by name again from position 1.
    ReconcileFields(def, 1, Names({"A", "C", "D"}), Names({"c", "d"}), kCheckMapping, log);
    EXPECT_EQ(Mapping(def, 1), (Items{"C<-c", "D<-d", "D<-"}))
        << "matching writes from position 1 and leaves later positions alone";

    // An empty position 1 means an empty mapping: stale names are cleared and rebuilt.
    ImportDefinition stale;
    stale.Allocate(1, 3);
    stale.FieldPairs(1, 2) = FieldPair{"old", "Old"};
    ReconcileFields(stale, 1, Names({"X"}), Names({"x"}), kKeepMapping, log);
    EXPECT_EQ(Mapping(stale, 1), (Items{"X<-x"}));
    EXPECT_EQ(stale.FieldPairs(1, 2), FieldPair{});
    EXPECT_TRUE(log.Empty());
}

TEST(FieldPairMaintenance, PairsOutsideTheModelAreLoggedNotTouched) {
    ImportDefinition def;
    ErrorLog log;
    def.Allocate(1, 1);
    ReconcileFields(def, 2, Names({"A"}), Names({"a"}), kCheckMapping, log);
    MatchFieldsByName(def, 0, Names({"A"}), Names({"a"}), log);
    EXPECT_FALSE(HasAnyField(def, 5, kOutputSide));
    ASSERT_EQ(log.ErrorCount(), 2);
    EXPECT_EQ(log.Line(1), "インデックスが有効範囲にありません。ReconcileFields");
    EXPECT_EQ(def.FieldPairs(1, 1), FieldPair{});
}

}  // namespace
}  // namespace vantrel
