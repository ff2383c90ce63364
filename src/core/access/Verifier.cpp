#include "access/Verifier.h"

#include "access/IndexCheck.h"
#include "access/JetFile.h"
#include "access/TableRows.h"

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
        std::vector<std::string> rowProblems;
        const auto live = LiveRows(file, *table, rowProblems).size();
        for (const auto& line : rowProblems)
            problems.push_back(entry.Name + ": " + line);
        if (live != table->RowCount) {
            problems.push_back(entry.Name + ": 行数が一致しません (定義 " +
                               std::to_string(table->RowCount) + " 行、実際 " +
                               std::to_string(live) + " 行)");
        }
        for (std::size_t r = 0; r < table->RealIndexes.size(); ++r) {
            for (auto& line : CheckIndexTree(file, *table, table->RealIndexes[r], entry.Name,
                                             IndexNames(*table, r), file.Version()))
                problems.push_back(std::move(line));
        }
    }
    return problems;
}

}  // namespace vantrel::access
