#include "editor/TablePairs.h"

#include <algorithm>
#include <utility>

namespace vantrel {

void ReleasePair(ImportDefinition& def, int side, int32_t row) {
    const int32_t n = row + 1;
    const int32_t positions = std::min(def.FieldMax, def.FieldPairs.FieldBound());
    if (side == kInputSide) {
        if (n < 1 || n >= static_cast<int32_t>(def.Tables.size())) return;
        def.Table(n).InTable.clear();
        if (n <= def.FieldPairs.TableBound()) {
            for (int32_t j = 1; j <= positions; ++j)
                def.FieldPairs(n, j).InField.clear();
        }
        return;
    }
    std::vector<TableSetting> oldTables = std::move(def.Tables);
    FieldPairMatrix oldPairs = std::move(def.FieldPairs);
    def.Tables.assign(oldTables.size(), TableSetting{});
    def.FieldPairs.Allocate(oldPairs.TableBound(), oldPairs.FieldBound());
    const int32_t last = std::min(def.TableCount, static_cast<int32_t>(oldTables.size()) - 1);
    int32_t k = 0;
    for (int32_t t = 1; t <= last; ++t) {
        if (t == n || oldTables[static_cast<std::size_t>(t)].OutTable.empty()) continue;
        ++k;
        def.Table(k) = std::move(oldTables[static_cast<std::size_t>(t)]);
        def.Table(k).FieldSlot = k;
        if (t <= oldPairs.TableBound() && k <= def.FieldPairs.TableBound()) {
            for (int32_t j = 1; j <= positions; ++j)
                def.FieldPairs(k, j) = std::move(oldPairs(t, j));
        }
    }
    def.TableCount = k;
}

}  // namespace vantrel
