#include "access/UsageMap.h"

#include <algorithm>
#include <string>
#include <vector>

#include "access/Bytes.h"
#include "access/JetFile.h"
#include "sources/engine/JetErrors.h"

namespace vantrel::access {

namespace {

constexpr uint32_t kPagesPerBitmapPage = (JetFile::kPageSize - 4) * 8;

void SetBit(char* bits, uint32_t n, bool on) {
    const auto mask = static_cast<char>(1u << (n % 8));
    bits[n / 8] = static_cast<char>(on ? (bits[n / 8] | mask) : (bits[n / 8] & ~mask));
}

bool BitIsSet(std::string_view bits, uint32_t n) {
    return n / 8 < bits.size() && (static_cast<uint8_t>(bits[n / 8]) >> (n % 8) & 1) != 0;
}

void Corrupt(ErrorState& error, uint32_t mapPointer) {
    SetJetError(error, JetError::CannotOpenDatabase,
                "使用ページの表 " + std::to_string(mapPointer >> 8));
}

// How a missing bitmap page of a reference map is made: none, a page from the file's free pages
// (recorded there as used), or a page added at the end (for the file's own map, which must not
// record into itself while it changes).
enum class NewBitmap { None, Allocate, Append };

// The bitmap page of a reference map covering `page`, made when `create` asks for it.
char* ReferenceBitmap(PageStore& store, MutableRow row, uint32_t page, NewBitmap create,
                      ErrorState& error) {
    const std::size_t slot = page / kPagesPerBitmapPage;
    if (1 + 4 * slot + 4 > row.Size) {
        if (create != NewBitmap::None) SetJetError(error, JetError::DiskFull, "2 GB");
        return nullptr;
    }
    const uint32_t pointerAt = static_cast<uint32_t>(1 + 4 * slot);
    uint32_t bitmapPage = U32(std::string_view(row.Data, row.Size), pointerAt);
    if (bitmapPage == 0) {
        if (create == NewBitmap::None) return nullptr;
        bitmapPage =
            create == NewBitmap::Append ? store.AppendPage(error) : store.AllocatePage(0, error);
        if (bitmapPage == 0) return nullptr;
        char* bitmap = store.MutablePage(bitmapPage);
        bitmap[0] = 0x05;
        bitmap[1] = 0x01;
        Put32(row.Data + pointerAt, bitmapPage);
        return bitmap;
    }
    char* bitmap = store.MutablePage(bitmapPage);
    if (!bitmap || static_cast<uint8_t>(bitmap[0]) != 0x05) {
        Corrupt(error, bitmapPage << 8);
        return nullptr;
    }
    return bitmap;
}

// Turns the map `row` into a list of bitmap pages that record exactly `pages`.
bool MakeReferenceMap(PageStore& store, MutableRow row, const std::vector<uint32_t>& pages,
                      NewBitmap create, ErrorState& error) {
    std::fill(row.Data, row.Data + row.Size, '\0');
    row.Data[0] = 1;
    for (uint32_t p : pages) {
        char* bitmap = ReferenceBitmap(store, row, p, create, error);
        if (!bitmap) return false;
        SetBit(bitmap + 4, p % kPagesPerBitmapPage, true);
    }
    return true;
}

}  // namespace

bool UsageMapHasPage(const PageSource& source, uint32_t mapPointer, uint32_t page) {
    const auto row = RowAt(source, mapPointer);
    if (!row || row->empty()) return false;
    if ((*row)[0] == 0) {
        const uint32_t start = U32(*row, 1);
        return page >= start && BitIsSet(row->substr(5), page - start);
    }
    const uint32_t bitmapPage = U32(*row, 1 + 4 * (page / kPagesPerBitmapPage));
    if (bitmapPage == 0) return false;
    return BitIsSet(source.Page(bitmapPage).substr(4), page % kPagesPerBitmapPage);
}

bool AddPageToUsageMap(PageStore& store, uint32_t mapPointer, uint32_t page, ErrorState& error) {
    MutableRow row = MutableRowAt(store, mapPointer);
    if (row.Size < 5) {
        Corrupt(error, mapPointer);
        return false;
    }
    if (row.Data[0] == 1) {
        char* bitmap = ReferenceBitmap(store, row, page, NewBitmap::Allocate, error);
        if (!bitmap) return false;
        SetBit(bitmap + 4, page % kPagesPerBitmapPage, true);
        return true;
    }
    if (row.Data[0] != 0) {
        Corrupt(error, mapPointer);
        return false;
    }
    const uint32_t start = U32(std::string_view(row.Data, row.Size), 1);
    const uint32_t window = static_cast<uint32_t>(row.Size - 5) * 8;
    if (page >= start && page - start < window) {
        SetBit(row.Data + 5, page - start, true);
        return true;
    }
    // Move the window when every page it holds, and the new one, fit in one window.
    std::vector<uint32_t> pages{page};
    for (uint32_t n = 0; n < window; ++n) {
        if (BitIsSet(std::string_view(row.Data + 5, row.Size - 5), n)) pages.push_back(start + n);
    }
    const auto [low, high] = std::minmax_element(pages.begin(), pages.end());
    const uint32_t newStart = *low & ~7u;
    if (*high - newStart < window) {
        std::fill(row.Data + 5, row.Data + row.Size, '\0');
        Put32(row.Data + 1, newStart);
        for (uint32_t p : pages)
            SetBit(row.Data + 5, p - newStart, true);
        return true;
    }
    // Otherwise the map becomes a list of bitmap pages covering the whole file.
    return MakeReferenceMap(store, row, pages, NewBitmap::Allocate, error);
}

void RemovePageFromUsageMap(PageStore& store, uint32_t mapPointer, uint32_t page) {
    MutableRow row = MutableRowAt(store, mapPointer);
    if (row.Size < 5) return;
    if (row.Data[0] == 0) {
        const uint32_t start = U32(std::string_view(row.Data, row.Size), 1);
        if (page >= start && page - start < (row.Size - 5) * 8)
            SetBit(row.Data + 5, page - start, false);
    } else if (row.Data[0] == 1) {
        ErrorState ignored;
        if (char* bitmap = ReferenceBitmap(store, row, page, NewBitmap::None, ignored))
            SetBit(bitmap + 4, page % kPagesPerBitmapPage, false);
    }
}

namespace {

constexpr uint32_t kFileMap = 1u << 8;  // page 1, row 0

// The free pages inside the file that an inline map of the file's own records.
std::vector<uint32_t> FreeInWindow(const PageSource& source, std::string_view row) {
    std::vector<uint32_t> free;
    const uint32_t start = U32(row, 1);
    const std::string_view bits = row.substr(std::min<std::size_t>(5, row.size()));
    for (uint32_t n = 0; n < bits.size() * 8; ++n) {
        if (BitIsSet(bits, n) && start + n < source.PageCount()) free.push_back(start + n);
    }
    return free;
}

}  // namespace

bool MarkPageInUse(PageStore& store, uint32_t page, ErrorState& error) {
    MutableRow row = MutableRowAt(store, kFileMap);
    if (row.Size < 5) {
        Corrupt(error, kFileMap);
        return false;
    }
    if (row.Data[0] == 1) {
        // Regions the reference map has no bitmap page for count as in use already.
        if (char* bitmap = ReferenceBitmap(store, row, page, NewBitmap::None, error))
            SetBit(bitmap + 4, page % kPagesPerBitmapPage, false);
        return !error.IsSet();
    }
    const uint32_t start = U32(std::string_view(row.Data, row.Size), 1);
    const auto window = static_cast<uint32_t>(row.Size - 5) * 8;
    if (page < start) return true;
    if (page - start < window) {
        SetBit(row.Data + 5, page - start, false);
        return true;
    }
    std::vector<uint32_t> free = FreeInWindow(store, std::string_view(row.Data, row.Size));
    std::erase(free, page);
    // Free pages the window knows must stay known: the map then covers the whole file.
    if (!free.empty()) return MakeReferenceMap(store, row, free, NewBitmap::Append, error);
    // Otherwise start the window at the new page: every page before it is in use, every page
    // past the end of the file is free.
    const uint32_t newStart = page & ~7u;
    const uint32_t pageCount = store.PageCount();
    Put32(row.Data + 1, newStart);
    for (uint32_t n = 0; n < window; ++n)
        SetBit(row.Data + 5, n, newStart + n >= pageCount);
    return true;
}

bool MarkPageFree(PageStore& store, uint32_t page, ErrorState& error) {
    MutableRow row = MutableRowAt(store, kFileMap);
    if (row.Size < 5 || (row.Data[0] != 0 && row.Data[0] != 1)) {
        Corrupt(error, kFileMap);
        return false;
    }
    if (row.Data[0] == 1) {
        char* bitmap = ReferenceBitmap(store, row, page, NewBitmap::Append, error);
        if (!bitmap) return false;
        SetBit(bitmap + 4, page % kPagesPerBitmapPage, true);
        return true;
    }
    const uint32_t start = U32(std::string_view(row.Data, row.Size), 1);
    const auto window = static_cast<uint32_t>(row.Size - 5) * 8;
    if (page >= start && page - start < window) {
        SetBit(row.Data + 5, page - start, true);
        return true;
    }
    std::vector<uint32_t> free = FreeInWindow(store, std::string_view(row.Data, row.Size));
    free.push_back(page);
    return MakeReferenceMap(store, row, free, NewBitmap::Append, error);
}

std::vector<uint32_t> FreePagesInFile(const PageSource& source) {
    const auto row = RowAt(source, kFileMap);
    if (!row || row->size() < 5) return {};
    if ((*row)[0] == 0) return FreeInWindow(source, *row);
    std::vector<uint32_t> free;
    for (uint32_t page : PagesInUsageMap(source, *row)) {
        if (page < source.PageCount()) free.push_back(page);
    }
    return free;
}

}  // namespace vantrel::access
