#pragma once

#include <string>
#include <vector>

#include "access/IndexTree.h"
#include "access/JetFile.h"

namespace vantrel::access {

// The entries the table's live rows call for in `index` (one IndexSupportsKeys accepts), in
// order. Rows that cannot be read go to `problems`; rows whose text cannot be keyed (a character
// without weight, an unverified mark) go to `unkeyed` (key empty).
std::vector<IndexEntry> ExpectedIndexEntries(const PageSource& source, const JetTable& table,
                                             const JetRealIndex& index,
                                             std::vector<std::string>& problems,
                                             std::vector<IndexEntry>* unkeyed = nullptr);

// The tree part of CheckIndexTree alone, for an index whose entries need not match rows.
std::vector<std::string> CheckIndexStructure(const PageSource& source, const JetTable& table,
                                             const JetRealIndex& index,
                                             std::vector<std::string>* notes = nullptr);

// Checks one index of a table, one line per problem: the tree (page types and owner, order,
// node entries, tail pointers, links on every level, pages in the index's usage map) and, where
// the keys can be built, that its leaf entries are exactly those of the table's live rows.
// What is unusual but readable goes to `notes`.
std::vector<std::string> CheckIndexTree(const PageSource& source, const JetTable& table,
                                        const JetRealIndex& index, const std::string& tableName,
                                        const std::string& indexName, int version,
                                        std::vector<std::string>* notes = nullptr);

}  // namespace vantrel::access
