#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "access/JetFile.h"

namespace vantrel::access {

// A live row: where its slot is (what index entries point at) and its bytes, found through the
// overflow pointer when the slot holds one.
struct TableRow {
    uint32_t Page = 0;
    uint16_t Slot = 0;
    std::string_view Bytes;
};

// The live rows on the data pages the table's owned-pages map lists. Deleted slots are left
// out; an overflow pointer's target is flagged deleted itself yet holds the row. Pages outside
// the file and broken pointers go to `problems`.
std::vector<TableRow> LiveRows(const PageSource& source, const JetTable& table,
                               std::vector<std::string>& problems);

}  // namespace vantrel::access
