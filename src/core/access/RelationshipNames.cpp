#include "access/RelationshipNames.h"

#include <algorithm>
#include <optional>

#include "access/RowCodec.h"
#include "access/TableRows.h"
#include "common/TextCase.h"

namespace vantrel::access {

namespace {

// One row of MSysRelationships: a column of a relationship, the child side first.
struct RelationshipColumn {
    std::string Name, ChildTable, ChildColumn, ParentTable, ParentColumn;
};

std::vector<RelationshipColumn> ReadRelationshipColumns(
    const PageSource& file, const std::vector<JetCatalogEntry>& catalog) {
    std::vector<RelationshipColumn> rows;
    const auto entry = std::find_if(catalog.begin(), catalog.end(), [](const JetCatalogEntry& e) {
        return LowerCase(e.Name) == "msysrelationships";
    });
    if (entry == catalog.end()) return rows;
    std::string problem;
    const auto table = ReadTableDefinition(file, entry->DefinitionPage, problem);
    if (!table) return rows;
    auto columnText = [&](const StoredRow& row, const char* name) {
        for (std::size_t c = 0; c < table->Columns.size(); ++c) {
            if (LowerCase(table->Columns[c].Name) == name)
                return DecodeColumnValue(file, table->Columns[c], row[c]).ToText();
        }
        return std::string{};
    };
    std::vector<std::string> problems;
    for (const TableRow& live : LiveRows(file, *table, problems)) {
        const StoredRow row = UnpackRow(*table, live.Bytes);
        rows.push_back({columnText(row, "szrelationship"), columnText(row, "szobject"),
                        columnText(row, "szcolumn"), columnText(row, "szreferencedobject"),
                        columnText(row, "szreferencedcolumn")});
    }
    return rows;
}

}  // namespace

std::string RelationshipName(const PageSource& file, const std::vector<JetCatalogEntry>& catalog,
                             const std::string& tableName, const JetTable& table,
                             const JetLogicalIndex& index) {
    const auto other = std::find_if(catalog.begin(), catalog.end(), [&](const JetCatalogEntry& e) {
        return e.DefinitionPage == index.RelatedTable;
    });
    if (other == catalog.end() || index.RealIndex >= table.RealIndexes.size()) return {};
    std::vector<std::string> keyColumns;
    for (const auto& key : table.RealIndexes[index.RealIndex].Columns) {
        if (const JetColumn* col = table.ColumnByNumber(key.ColumnNumber))
            keyColumns.push_back(LowerCase(col->Name));
    }
    const bool parentSide = (index.RelatedTableType & 0x01) != 0;
    const std::string self = LowerCase(tableName), related = LowerCase(other->Name);
    for (const auto& r : ReadRelationshipColumns(file, catalog)) {
        const std::string& ownTable = parentSide ? r.ParentTable : r.ChildTable;
        const std::string& otherTable = parentSide ? r.ChildTable : r.ParentTable;
        const std::string& ownColumn = parentSide ? r.ParentColumn : r.ChildColumn;
        if (LowerCase(ownTable) == self && LowerCase(otherTable) == related &&
            std::find(keyColumns.begin(), keyColumns.end(), LowerCase(ownColumn)) !=
                keyColumns.end())
            return r.Name;
    }
    return {};
}

}  // namespace vantrel::access
