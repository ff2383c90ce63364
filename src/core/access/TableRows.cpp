#include "access/TableRows.h"

#include "access/Bytes.h"

namespace vantrel::access {

namespace {

constexpr uint16_t kDeleted = 0x8000, kOverflow = 0x4000;

}  // namespace

std::vector<TableRow> LiveRows(const PageSource& source, const JetTable& table,
                               std::vector<std::string>& problems) {
    std::vector<TableRow> rows;
    const auto map = RowAt(source, table.OwnedPagesMap);
    if (!map) {
        problems.push_back("使用ページの表が読めません");
        return rows;
    }
    for (uint32_t page : PagesInUsageMap(source, *map)) {
        const std::string_view data = source.Page(page);
        if (data.empty()) {
            problems.push_back("ページ " + std::to_string(page) + " はファイルの外です");
            continue;
        }
        if (U8(data, 0) != 0x01 || U32(data, 4) != table.DefinitionPage) continue;
        for (uint16_t slot = 0; slot < RowsOnPage(data); ++slot) {
            const auto row = RowOnPage(data, slot);
            if (!row || (row->Flags & kDeleted)) continue;
            TableRow live{page, slot, row->Bytes};
            if (row->Flags & kOverflow) {
                // Row number in the low byte, page in the three above.
                const auto target = RowAt(source, U32(row->Bytes, 0));
                if (row->Bytes.size() < 4 || !target) {
                    problems.push_back("ページ " + std::to_string(page) + " の行 " +
                                       std::to_string(slot) + " の移動先が読めません");
                    live.Bytes = {};
                } else {
                    live.Bytes = *target;
                }
            }
            rows.push_back(live);
        }
    }
    return rows;
}

}  // namespace vantrel::access
