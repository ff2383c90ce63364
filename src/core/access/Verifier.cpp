#include "access/Verifier.h"

#include <set>

#include "access/Bytes.h"
#include "access/DataPage.h"
#include "access/IndexCheck.h"
#include "access/JetFile.h"
#include "access/UsageMap.h"

namespace vantrel::access {

namespace {

// The names of the logical indexes a physical index serves, for messages.
std::string IndexNames(const JetTable& table, std::size_t real) {
    std::string names;
    for (const auto& index : table.Indexes) {
        if (index.RealIndex != real) continue;
        names += (names.empty() ? "" : ", ") + index.Name;
    }
    return names.empty() ? "#" + std::to_string(real) : names;
}

// Why a row's bytes cannot be what its table definition says, empty when they can.
std::string RowProblem(const PageSource& file, const JetTable& table, std::string_view row) {
    if (row.size() < 3) return "行が短すぎます";
    const uint16_t stored = U16(row, 0);
    if (stored > table.MaxColumns || stored == 0) return "列数が定義と合いません";
    const std::size_t maskBytes = (stored + 7u) / 8u;
    if (maskBytes + 2 > row.size()) return "行が短すぎます";
    const std::size_t maskAt = row.size() - maskBytes;
    auto present = [&](uint16_t number) {
        return number < stored && (U8(row, maskAt + number / 8) >> (number % 8) & 1) != 0;
    };
    std::size_t varCount = 0, varTable = maskAt;
    if (table.VariableColumns > 0) {
        if (maskAt < 4) return "可変長部分が読めません";
        varCount = U16(row, maskAt - 2);
        if (2 * varCount + 4 > maskAt) return "可変長部分の数が正しくありません";
        varTable = maskAt - 2 - 2 * (varCount + 1);
        std::size_t previous = 0;
        for (std::size_t k = 0; k <= varCount; ++k) {
            const std::size_t at =
                k < varCount ? U16(row, maskAt - 2 - 2 * (k + 1)) : U16(row, varTable);
            if (at < previous || at > varTable) return "可変長の位置が正しくありません";
            previous = at;
        }
    }
    for (const auto& col : table.Columns) {
        if (col.Type == JetType::Boolean || !present(col.Number)) continue;
        if (col.IsFixed()) {
            if (2u + col.FixedOffset + col.Length > varTable)
                return "固定長の列 '" + col.Name + "' が行からはみ出しています";
            continue;
        }
        if (col.VarIndex >= varCount) continue;
        if (col.Type == JetType::Memo || col.Type == JetType::Ole) {
            const auto values = SplitRow(table, row);
            for (std::size_t c = 0; c < table.Columns.size(); ++c) {
                if (table.Columns[c].Number != col.Number || !values[c]) continue;
                if (!ReadLongValue(file, *values[c]))
                    return "長いデータの列 '" + col.Name + "' が読めません";
            }
        }
    }
    return {};
}

void VerifyTable(const JetFile& file, const JetCatalogEntry& entry,
                 std::vector<std::string>& problems, std::vector<std::string>* notes) {
    std::string problem;
    const auto table = ReadTableDefinition(file, entry.DefinitionPage, problem);
    auto report = [&](const std::string& text) { problems.push_back(entry.Name + ": " + text); };
    if (!table) {
        report(problem);
        return;
    }
    const auto map = RowAt(file, table->OwnedPagesMap);
    if (!map) {
        report("使用ページの表が読めません");
        return;
    }
    uint64_t live = 0;
    std::size_t badRows = 0;
    const auto owned = PagesInUsageMap(file, *map);
    for (uint32_t page : owned) {
        const std::string_view data = file.Page(page);
        if (data.empty()) {
            report("ページ " + std::to_string(page) + " はファイルの外です");
            continue;
        }
        if (UsageMapHasPage(file, 1u << 8, page))
            report("ページ " + std::to_string(page) + " は空きページとして記録されています");
        if (U8(data, 0) != 0x01 || DataPage::TableOf(data) != entry.DefinitionPage) continue;
        for (uint16_t slot = 0; slot < RowsOnPage(data); ++slot) {
            const auto raw = RowOnPage(data, slot);
            if (!raw || (raw->Flags & DataPage::kDeleted)) continue;
            ++live;
            const auto row = LiveRow(file, page, slot);
            const std::string why = row ? RowProblem(file, *table, *row) : "移動先の行がありません";
            if (!why.empty() && badRows++ < 5)
                report("ページ " + std::to_string(page) + " の行 " + std::to_string(slot) + ": " +
                       why);
        }
    }
    if (live != table->RowCount) {
        report("行数が一致しません (定義 " + std::to_string(table->RowCount) + " 行、実際 " +
               std::to_string(live) + " 行)");
    }
    // Rows on pages the table does not own are invisible to Access.
    const std::set<uint32_t> ownedSet(owned.begin(), owned.end());
    for (uint32_t page = 0; page < file.PageCount(); ++page) {
        const std::string_view data = file.Page(page);
        if (U8(data, 0) != 0x01 || DataPage::TableOf(data) != entry.DefinitionPage ||
            ownedSet.count(page))
            continue;
        for (uint16_t slot = 0; slot < RowsOnPage(data); ++slot) {
            const auto raw = RowOnPage(data, slot);
            if (raw && !(raw->Flags & DataPage::kDeleted)) {
                report("ページ " + std::to_string(page) +
                       " の行はテーブルの使用ページの表にありません");
                break;
            }
        }
    }
    for (std::size_t r = 0; r < table->RealIndexes.size(); ++r) {
        for (auto& line : CheckIndexTree(file, *table, table->RealIndexes[r], entry.Name,
                                         IndexNames(*table, r), file.Version(), notes))
            problems.push_back(std::move(line));
    }
}

}  // namespace

std::vector<std::string> VerifyDatabase(const std::string& path, std::vector<std::string>* notes) {
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
        VerifyTable(file, entry, problems, notes);
    }
    return problems;
}

}  // namespace vantrel::access
