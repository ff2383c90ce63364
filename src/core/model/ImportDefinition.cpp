#include "model/ImportDefinition.h"

#include <algorithm>
#include <utility>

namespace vantrel {

void FieldPairMatrix::Allocate(int32_t tableMax, int32_t fieldMax) {
    tableBound_ = std::max(tableMax, 0);
    fieldBound_ = std::max(fieldMax, 0);
    cells_.assign(
        static_cast<std::size_t>(tableBound_ + 1) * static_cast<std::size_t>(fieldBound_ + 1),
        FieldPair{});
}

void FieldPairMatrix::Reshape(int32_t tableMax, int32_t fieldMax, int32_t copySlots,
                              int32_t copyPositions) {
    FieldPairMatrix next;
    next.Allocate(tableMax, fieldMax);
    const int32_t slots = std::min({copySlots, tableBound_, next.tableBound_});
    const int32_t positions = std::min({copyPositions, fieldBound_, next.fieldBound_});
    for (int32_t t = 1; t <= slots; ++t) {
        for (int32_t j = 1; j <= positions; ++j)
            next(t, j) = std::move((*this)(t, j));
    }
    *this = std::move(next);
}

void FieldPairMatrix::SwapSlots(int32_t a, int32_t b) {
    if (a == b) return;
    for (int32_t j = 0; j <= fieldBound_; ++j)
        std::swap((*this)(a, j), (*this)(b, j));
}

TableSetting MakeDefaultTableSetting() {
    TableSetting s;
    s.HeaderRow = 1;
    s.Delimiter = ",";
    s.WriteMode = WriteMode::New;
    return s;
}

std::string TextTableName(std::string_view fileName) {
    return std::string(fileName.substr(0, fileName.find('.')));
}

ImportDefinition::ImportDefinition() : DefaultTableSetting(MakeDefaultTableSetting()) {}

void ImportDefinition::Allocate(int32_t tableMax, int32_t fieldMax) {
    TableMax = std::max(tableMax, 0);
    FieldMax = std::max(fieldMax, 0);
    Tables.assign(static_cast<std::size_t>(TableMax + 1), TableSetting{});
    FieldPairs.Allocate(TableMax, FieldMax);
}

void ImportDefinition::ClearArrays() {
    TableMax = 0;
    TableCount = 0;
    FieldMax = 0;
    Tables.assign(1, TableSetting{});
    FieldPairs.Allocate(0, 0);
}

int32_t ImportDefinition::UsableTableCount() const {
    const int32_t slots = static_cast<int32_t>(Tables.size()) - 1;
    return std::clamp(TableCount, 0, std::min(slots, FieldPairs.TableBound()));
}

}  // namespace vantrel
