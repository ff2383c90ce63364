#include "access/Verifier.h"

#include "access/JetFile.h"

namespace vantrel::access {

namespace {

uint32_t TdefOf(std::string_view page) {
    uint32_t value = 0;
    for (int k = 3; k >= 0; --k)
        value = value << 8 | static_cast<uint8_t>(page[4 + static_cast<std::size_t>(k)]);
    return value;
}

}  // namespace

std::vector<std::string> VerifyDatabase(const std::string& path) {
    std::vector<std::string> problems;
    ErrorState error;
    JetFile file;
    if (!file.Open(path, error)) {
        problems.push_back(error.Description);
        return problems;
    }
    std::string problem;
    const auto tables = ReadCatalog(file, problem);
    if (!problem.empty()) problems.push_back(problem);
    for (const auto& entry : tables) {
        // Access itself does not keep the row counts of its system tables exact; the program
        // never writes them, so only user tables are held to it.
        if ((static_cast<uint32_t>(entry.Flags) & 0x80000002u) || entry.Name.rfind("MSys", 0) == 0)
            continue;
        problem.clear();
        const auto table = ReadTableDefinition(file, entry.DefinitionPage, problem);
        if (!table) {
            problems.push_back(entry.Name + ": " + problem);
            continue;
        }
        const auto map = RowAt(file, table->OwnedPagesMap);
        if (!map) {
            problems.push_back(entry.Name + ": 使用ページの表が読めません");
            continue;
        }
        uint64_t live = 0;
        for (uint32_t page : PagesInUsageMap(file, *map)) {
            const std::string_view data = file.Page(page);
            if (data.empty()) {
                problems.push_back(entry.Name + ": ページ " + std::to_string(page) +
                                   " はファイルの外です");
                continue;
            }
            if (static_cast<uint8_t>(data[0]) != 0x01 || TdefOf(data) != entry.DefinitionPage)
                continue;
            for (uint16_t slot = 0; slot < RowsOnPage(data); ++slot) {
                const auto row = RowOnPage(data, slot);
                if (row && !(row->Flags & 0x8000)) ++live;
            }
        }
        if (live != table->RowCount) {
            problems.push_back(entry.Name + ": 行数が一致しません (定義 " +
                               std::to_string(table->RowCount) + " 行、実際 " +
                               std::to_string(live) + " 行)");
        }
    }
    return problems;
}

}  // namespace vantrel::access
