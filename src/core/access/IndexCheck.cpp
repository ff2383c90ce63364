#include "access/IndexCheck.h"

#include <algorithm>
#include <set>

#include "access/Bytes.h"
#include "access/IndexKey.h"
#include "access/IndexTree.h"
#include "access/TableRows.h"

namespace vantrel::access {

namespace {

std::string EntryText(const IndexEntry& entry) {
    return "ページ " + std::to_string(entry.DataPage) + " の行 " + std::to_string(entry.DataRow);
}

// Every level is a chain: no link before the first page or after the last. Leaves must be: a
// scan in index order follows them. Nodes are only ever entered from above; another writer
// leaves them unlinked where their parent changes, which is noted, not reported.
void CheckLinks(const PageSource& source, const IndexTreeWalk& walk,
                std::vector<std::string>& problems, std::vector<std::string>* notes) {
    std::size_t groupEnds = 0;
    for (std::size_t l = 0; l < walk.Levels.size(); ++l) {
        const auto& level = walk.Levels[l];
        const auto& parents = walk.Parents[l];
        const bool nodes = l + 1 < walk.Levels.size();
        for (std::size_t i = 0; i < level.size(); ++i) {
            const std::string_view page = source.Page(level[i]);
            const uint32_t prev = i > 0 ? level[i - 1] : 0;
            const uint32_t next = i + 1 < level.size() ? level[i + 1] : 0;
            const bool firstOfGroup = i > 0 && parents[i - 1] != parents[i];
            const bool lastOfGroup = i + 1 < level.size() && parents[i + 1] != parents[i];
            const uint32_t storedPrev = U32(page, 12), storedNext = U32(page, 16);
            const bool prevCut = nodes && firstOfGroup && storedPrev == 0;
            const bool nextCut = nodes && lastOfGroup && storedNext == 0;
            if ((storedPrev != prev && !prevCut) || (storedNext != next && !nextCut)) {
                problems.push_back("ページ " + std::to_string(level[i]) +
                                   " の前後のページへのリンクが正しくありません");
            } else if (prevCut || nextCut) {
                ++groupEnds;
            }
        }
    }
    if (groupEnds > 0 && notes)
        notes->push_back("節のページ " + std::to_string(groupEnds) +
                         " 枚で、親の節が変わる所の前後のページへのリンクがありません "
                         "(ほかのライブラリが書く形です。索引は上からたどって読めます)");
}

void CheckUsageMap(const PageSource& source, const JetRealIndex& index, const IndexTreeWalk& walk,
                   std::vector<std::string>& problems) {
    const auto map = RowAt(source, index.UsageMap);
    if (!map) {
        problems.push_back("索引の使用ページの表が読めません");
        return;
    }
    const auto listed = PagesInUsageMap(source, *map);
    const std::set<uint32_t> pages(listed.begin(), listed.end());
    for (const auto& level : walk.Levels) {
        for (uint32_t page : level) {
            if (!pages.count(page)) {
                problems.push_back("ページ " + std::to_string(page) +
                                   " が索引の使用ページの表にありません");
            }
        }
    }
}

void CheckKeys(const PageSource& source, const JetTable& table, const JetRealIndex& index,
               const IndexTreeWalk& walk, std::vector<std::string>& problems) {
    std::vector<IndexEntry> unkeyed;
    const std::vector<IndexEntry> expected =
        ExpectedIndexEntries(source, table, index, problems, &unkeyed);
    // Rows whose key is unknown here (an unverified mark, a character without weight) are not
    // compared.
    std::set<std::pair<uint32_t, uint8_t>> skipped;
    for (const auto& entry : unkeyed)
        skipped.insert({entry.DataPage, entry.DataRow});
    std::vector<IndexEntry> actual;
    for (const auto& entry : walk.Entries) {
        if (!skipped.count({entry.DataPage, entry.DataRow})) actual.push_back(entry);
    }
    std::sort(actual.begin(), actual.end());
    if (actual == expected) return;
    std::vector<IndexEntry> missing, extra;
    std::set_difference(expected.begin(), expected.end(), actual.begin(), actual.end(),
                        std::back_inserter(missing));
    std::set_difference(actual.begin(), actual.end(), expected.begin(), expected.end(),
                        std::back_inserter(extra));
    std::string text = "索引の項目が行と一致しません (足りない項目 " +
                       std::to_string(missing.size()) + " 件、余分な項目 " +
                       std::to_string(extra.size()) + " 件";
    if (!missing.empty()) text += "、例: " + EntryText(missing.front()) + " の項目がない";
    if (!extra.empty()) text += "、例: " + EntryText(extra.front()) + " への余分な項目";
    problems.push_back(text + ")");
}

}  // namespace

std::vector<IndexEntry> ExpectedIndexEntries(const PageSource& source, const JetTable& table,
                                             const JetRealIndex& index,
                                             std::vector<std::string>& problems,
                                             std::vector<IndexEntry>* unkeyed) {
    std::vector<IndexEntry> expected;
    std::vector<std::string> memoData;
    for (const auto& row : LiveRows(source, table, problems)) {
        if (row.Bytes.empty()) continue;
        const auto slot = static_cast<uint8_t>(row.Slot);
        const auto values = KeyValuesOfRow(source, table, index, row.Bytes, memoData);
        if (!values) {
            problems.push_back(EntryText({{}, row.Page, slot}) + " のメモ型の値が読めません");
            continue;
        }
        KeyProblem problem;
        auto key = IndexKey(table, index, *values, KeyOptions{}, &problem);
        if (key) expected.push_back({std::move(*key), row.Page, slot});
        if (!problem.Column.empty() && unkeyed) unkeyed->push_back({{}, row.Page, slot});
    }
    std::sort(expected.begin(), expected.end());
    return expected;
}

namespace {

std::vector<std::string> CheckTree(const PageSource& source, const JetRealIndex& index,
                                   const IndexTreeWalk& walk, std::vector<std::string>* notes) {
    std::vector<std::string> problems = walk.Problems;
    CheckLinks(source, walk, problems, notes);
    CheckUsageMap(source, index, walk, problems);
    return problems;
}

}  // namespace

std::vector<std::string> CheckIndexStructure(const PageSource& source, const JetTable& table,
                                             const JetRealIndex& index,
                                             std::vector<std::string>* notes) {
    return CheckTree(source, index, WalkIndexTree(source, index, table.DefinitionPage), notes);
}

std::vector<std::string> CheckIndexTree(const PageSource& source, const JetTable& table,
                                        const JetRealIndex& index, const std::string& tableName,
                                        const std::string& indexName, int version,
                                        std::vector<std::string>* notes) {
    const IndexTreeWalk walk = WalkIndexTree(source, index, table.DefinitionPage);
    std::vector<std::string> found;
    std::vector<std::string> problems = CheckTree(source, index, walk, &found);
    if (IndexSupportsKeys(table, index, version)) CheckKeys(source, table, index, walk, problems);
    const std::string where = tableName + " の索引 " + indexName + ": ";
    for (auto& problem : problems)
        problem = where + problem;
    for (const auto& note : found) {
        if (notes) notes->push_back(where + note);
    }
    return problems;
}

}  // namespace vantrel::access
