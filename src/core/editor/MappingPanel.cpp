#include "editor/MappingPanel.h"

#include <algorithm>

namespace vantrel {

void NamePanelList::RemoveAt(int32_t i) {
    if (i < 0 || i >= Count()) return;
    items_.erase(items_.begin() + i);
    if (current_ == i) {
        current_ = -1;
    } else if (current_ > i) {
        --current_;
    }
}

void NamePanelList::Clear() {
    items_.clear();
    current_ = -1;
}

int32_t NamePanelList::Find(const std::string& name) const {
    for (int32_t i = 0; i < Count(); ++i) {
        if (Item(i) == name) return i;
    }
    return -1;
}

void MappingGrid::MoveRow(int32_t from, int32_t to) {
    if (from < 0 || from >= Rows() || to < 0 || to >= Rows() || from == to) return;
    const auto first = rows_.begin();
    if (from < to) {
        std::rotate(first + from, first + from + 1, first + to + 1);
    } else {
        std::rotate(first + to, first + from, first + from + 1);
    }
}

bool MappingGrid::ColumnHolds(int col, const std::string& name) const {
    for (const auto& row : rows_) {
        if (row[static_cast<std::size_t>(col)].Text == name) return true;
    }
    return false;
}

}  // namespace vantrel
