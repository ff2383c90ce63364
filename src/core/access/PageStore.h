#pragma once

#include <cstdint>
#include <string_view>

#include "common/ErrorState.h"

namespace vantrel::access {

// Pages of a Jet4/ACE file as they stand now (4 KB each).
class PageSource {
  public:
    virtual ~PageSource() = default;
    virtual uint32_t PageCount() const = 0;
    // The bytes of page n; empty past the end of the file.
    virtual std::string_view Page(uint32_t n) const = 0;
};

// Pages of a database open for changes. Changes reach the file only when the database is
// committed, so a failure part way leaves the file as it was. Views of pages stay valid while
// pages are changed and added; only the store's Checkpoint may let them go.
class PageStore : public PageSource {
  public:
    // Page n for changing (4096 bytes); null past the end of the file.
    virtual char* MutablePage(uint32_t n) = 0;
    // A new zero-filled page, taken from the free pages of the file (or added at its end) and
    // recorded in the usage map row `usageMap` (a row pointer: row in the low byte, page above).
    // 0 with `error` set when no page could be had.
    virtual uint32_t AllocatePage(uint32_t usageMap, ErrorState& error) = 0;
    // Gives a page back: out of `usageMap`, emptied and free again in the file.
    virtual void ReleasePage(uint32_t page, uint32_t usageMap) = 0;
    // A new zero-filled page at the end of the file that no map records: for the bitmap pages
    // of the file's own map of free pages.
    virtual uint32_t AppendPage(ErrorState& error) = 0;
};

}  // namespace vantrel::access
