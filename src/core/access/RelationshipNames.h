#pragma once

#include <string>
#include <vector>

#include "access/JetFile.h"

namespace vantrel::access {

// The name a user gave a relationship ("Table3Table1"), as MSysRelationships records it, for
// the index a table keeps for that relationship (whose own name is hidden, such as ".rC").
// Empty when the system table does not name it.
std::string RelationshipName(const PageSource& file, const std::vector<JetCatalogEntry>& catalog,
                             const std::string& tableName, const JetTable& table,
                             const JetLogicalIndex& index);

}  // namespace vantrel::access
