#pragma once

#include <cstdint>
#include <vector>

#include "access/PageStore.h"
#include "common/ErrorState.h"

namespace vantrel::access {

// Usage maps are rows holding either a bitmap of a window of pages (type 0, "inline") or the
// page numbers of bitmap pages that together cover the whole file (type 1, "reference").

// Records `page` in the map row `mapPointer` (row in the low byte, page above). An inline map
// whose window cannot hold the page moves its window when its pages still fit, and becomes a
// reference map otherwise.
bool AddPageToUsageMap(PageStore& store, uint32_t mapPointer, uint32_t page, ErrorState& error);
void RemovePageFromUsageMap(PageStore& store, uint32_t mapPointer, uint32_t page);
bool UsageMapHasPage(const PageSource& source, uint32_t mapPointer, uint32_t page);

// The file's own map (page 1, row 0) marks free pages: takes `page` out of it, moving its window
// forward when the page lies past it (pages before the window count as in use). A window that
// still knows free pages is not moved: the map becomes a list of bitmap pages instead.
bool MarkPageInUse(PageStore& store, uint32_t page, ErrorState& error);
// Records `page` as free in the file's own map, turning an inline map whose window cannot hold
// it into a list of bitmap pages. False when the map cannot record it (the page is then lost
// until Access compacts the file, never reused while something may point at it).
bool MarkPageFree(PageStore& store, uint32_t page, ErrorState& error);
// The pages inside the file its own map records as free.
std::vector<uint32_t> FreePagesInFile(const PageSource& source);

}  // namespace vantrel::access
