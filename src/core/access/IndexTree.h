#pragma once

#include <compare>
#include <cstdint>
#include <string>
#include <vector>

#include "access/JetFile.h"
#include "access/PageStore.h"
#include "common/ErrorState.h"

namespace vantrel::access {

// One leaf entry: the key bytes and the row they index.
struct IndexEntry {
    std::string Key;
    uint32_t DataPage = 0;
    uint8_t DataRow = 0;

    // Access's order: key bytes unsigned, then page, then row.
    auto operator<=>(const IndexEntry&) const = default;
};

// What a walk from the root finds.
struct IndexTreeWalk {
    std::vector<IndexEntry> Entries;             // every leaf entry, left to right
    std::vector<std::vector<uint32_t>> Levels;   // the pages of each level, root first
    std::vector<std::vector<uint32_t>> Parents;  // the node above each page of Levels (root: 0)
    std::vector<std::string> Problems;           // broken order, node entries, pages
};

// Walks the B-tree of `index` from its root page. Node entries must equal the last entry below
// them; a node's last child may hang off its tail pointer instead of an entry.
IndexTreeWalk WalkIndexTree(const PageSource& source, const JetRealIndex& index,
                            uint32_t tableDefinitionPage);

// Whether some leaf entry of `index` has exactly these key bytes.
bool IndexContainsKey(const PageSource& source, const JetRealIndex& index, const std::string& key);

// Adds the entry for (key, row) in order, splitting full pages in halves up to the root. The
// root stays on its page (it turns into a node when it splits), so the table definition needs
// no change. New pages come from the index's usage map. False with `error` set on a broken tree,
// an entry already there or no page to be had; pages may then be half changed, so the caller
// drops the store's changes.
bool InsertIndexEntry(PageStore& store, const JetTable& table, const JetRealIndex& index,
                      const std::string& key, uint32_t dataPage, uint8_t dataRow,
                      ErrorState& error);

// Takes the entry for (key, row) out. Pages left empty are unlinked and given back; a root
// left with one child takes that child's place.
bool RemoveIndexEntry(PageStore& store, const JetTable& table, const JetRealIndex& index,
                      const std::string& key, uint32_t dataPage, uint8_t dataRow,
                      ErrorState& error);

}  // namespace vantrel::access
