#include "AccessTables.h"

#include <filesystem>

#include "access/Bytes.h"
#include "access/JetWriteFile.h"
#include "access/TableWriter.h"
#include "sources/engine/Engine.h"

namespace vantrel::bench {

namespace {

using namespace vantrel::access;

constexpr std::size_t kHeader = 8;         // page type, version mark, next page
constexpr std::size_t kIndexCountAt = 47;  // logical indexes
constexpr std::size_t kRealCountAt = 51;   // physical indexes
constexpr std::size_t kBlocksAt = 63;      // 12 bytes a physical index
constexpr std::size_t kRealBytes = 52;     // a physical index's definition
constexpr std::size_t kLogicalBytes = 28;  // a logical index's definition
constexpr std::size_t kColumnBytes = 25;

// The definition of `table` rebuilt without the indexes not in `keep`: physical and logical
// definitions, their header blocks and names go; what remains is numbered again.
std::string WithoutIndexes(std::string_view page, const JetTable& table,
                           const std::set<std::string>& keep, std::string& problem) {
    const std::size_t length = kHeader + U32(page, 8);
    const std::string bytes(page.substr(0, length));
    std::vector<int> renumber(table.RealIndexes.size(), -1);
    std::vector<const JetLogicalIndex*> kept;
    for (const auto& index : table.Indexes) {
        if (!keep.count(index.Name)) continue;
        kept.push_back(&index);
        if (renumber[index.RealIndex] < 0) renumber[index.RealIndex] = 0;
    }
    int realCount = 0;
    for (auto& r : renumber) {
        if (r >= 0) r = realCount++;
    }
    if (table.RealIndexes.empty() || table.Indexes.empty()) {
        problem = "索引のない表です";
        return {};
    }
    const std::size_t columnsEnd = table.RealIndexes.front().DefinitionOffset;
    const std::size_t logicalAt = table.Indexes.front().DefinitionOffset;
    std::size_t namesEnd = logicalAt + kLogicalBytes * table.Indexes.size();
    std::vector<std::string> names;
    for (std::size_t k = 0; k < table.Indexes.size(); ++k) {
        const std::size_t size = 2u + U16(bytes, namesEnd);
        names.push_back(bytes.substr(namesEnd, size));
        namesEnd += size;
    }
    std::string out = bytes.substr(0, kBlocksAt);
    for (std::size_t r = 0; r < table.RealIndexes.size(); ++r) {
        if (renumber[r] >= 0) out += bytes.substr(kBlocksAt + 12 * r, 12);
    }
    out += bytes.substr(kBlocksAt + 12 * table.RealIndexes.size(),
                        columnsEnd - (kBlocksAt + 12 * table.RealIndexes.size()));
    for (std::size_t r = 0; r < table.RealIndexes.size(); ++r) {
        if (renumber[r] >= 0)
            out += bytes.substr(table.RealIndexes[r].DefinitionOffset, kRealBytes);
    }
    for (std::size_t k = 0; k < kept.size(); ++k) {
        std::string definition = bytes.substr(kept[k]->DefinitionOffset, kLogicalBytes);
        Put32(definition.data() + 4, static_cast<uint32_t>(k));
        Put32(definition.data() + 8, static_cast<uint32_t>(renumber[kept[k]->RealIndex]));
        out += definition;
    }
    for (std::size_t k = 0; k < table.Indexes.size(); ++k) {
        if (keep.count(table.Indexes[k].Name)) out += names[k];
    }
    out += bytes.substr(namesEnd);
    Put32(out.data() + kIndexCountAt, static_cast<uint32_t>(kept.size()));
    Put32(out.data() + kRealCountAt, static_cast<uint32_t>(realCount));
    Put32(out.data() + 8, static_cast<uint32_t>(out.size() - kHeader));
    Put16(out.data() + 2, static_cast<uint16_t>(JetWriteFile::kPageSize - out.size()));
    return out;
}

}  // namespace

std::string PrepareBenchTable(const std::string& path, const std::set<std::string>& keep,
                              bool japanese) {
    JetWriteFile file;
    ErrorState error;
    if (!file.Open(path, error)) return error.Description;
    std::string problem;
    for (const auto& entry : ReadCatalog(file, problem)) {
        if (entry.Name != "EmptyAllTypes") continue;
        const auto table = ReadTableDefinition(file, entry.DefinitionPage, problem);
        if (!table) return problem;
        if (table->DefinitionPages.size() != 1) return "表の定義が 1 ページに収まっていません";
        std::string bytes = WithoutIndexes(file.Page(entry.DefinitionPage), *table, keep, problem);
        if (bytes.empty()) return problem;
        if (japanese) {
            // The column descriptor keeps the sort order at 11 (LCID) and 14 (version).
            const std::size_t columnsAt =
                kBlocksAt + 12 * static_cast<std::size_t>(U32(bytes, kRealCountAt));
            for (std::size_t c = 0; c < table->Columns.size(); ++c) {
                if (table->Columns[c].Name != "PlainText") continue;
                char* column = bytes.data() + columnsAt + kColumnBytes * c;
                Put16(column + 11, 1041);
                column[14] = 0;
            }
        }
        char* page = file.MutablePage(entry.DefinitionPage);
        std::fill(page, page + JetWriteFile::kPageSize, '\0');
        std::copy(bytes.begin(), bytes.end(), page);
        return file.Commit(error) ? std::string{} : error.Description;
    }
    return "EmptyAllTypes がありません";
}

std::string GrowDatabase(const std::string& path, unsigned long long bytes) {
    ErrorState error;
    Engine engine(error);
    const std::string memo(100000, 'z');  // 200 KB each, kept as UCS-2
    for (int n = 0; std::filesystem::file_size(path) < bytes; ++n) {
        auto db = engine.OpenDatabase(path, 2, false);
        if (!db) return error.Description;
        auto rs = db->OpenRecordset("LongValues");
        if (!rs) return error.Description;
        for (int k = 0; k < 500; ++k) {
            rs->AddNew();
            rs->SetValue("Kind", Value::Text("大きな値"));
            rs->SetValue("MemoVal", Value::Text(memo + std::to_string(n * 500 + k)));
            rs->Update();
        }
        db->Close();
        if (error.IsSet()) return error.Description;
    }
    return {};
}

}  // namespace vantrel::bench
