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

// The bitmap page of a reference map covering `page`, allocated when `create` asks for it.
char* ReferenceBitmap(PageStore& store, MutableRow row, uint32_t page, bool create,
                      ErrorState& error) {
    const std::size_t slot = page / kPagesPerBitmapPage;
    if (1 + 4 * slot + 4 > row.Size) {
        if (create) SetJetError(error, JetError::DiskFull, "2 GB");
        return nullptr;
    }
    const uint32_t pointerAt = static_cast<uint32_t>(1 + 4 * slot);
    uint32_t bitmapPage = U32(std::string_view(row.Data, row.Size), pointerAt);
    if (bitmapPage == 0) {
        if (!create) return nullptr;
        // The row may move in memory while the file grows: remember where it is.
        const std::ptrdiff_t rowOffset = row.Data - store.MutablePage(0);
        bitmapPage = store.AllocatePage(0, error);
        if (bitmapPage == 0) return nullptr;
        row.Data = store.MutablePage(0) + rowOffset;
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
        char* bitmap = ReferenceBitmap(store, row, page, true, error);
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
    const uint32_t mapPage = mapPointer >> 8;
    const std::ptrdiff_t rowOffset = row.Data - store.MutablePage(mapPage);
    std::fill(row.Data, row.Data + row.Size, '\0');
    row.Data[0] = 1;
    for (uint32_t p : pages) {
        row.Data = store.MutablePage(mapPage) + rowOffset;
        char* bitmap = ReferenceBitmap(store, row, p, true, error);
        if (!bitmap) return false;
        SetBit(bitmap + 4, p % kPagesPerBitmapPage, true);
    }
    return true;
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
        if (char* bitmap = ReferenceBitmap(store, row, page, false, ignored))
            SetBit(bitmap + 4, page % kPagesPerBitmapPage, false);
    }
}

bool MarkPageInUse(PageStore& store, uint32_t page, ErrorState& error) {
    MutableRow row = MutableRowAt(store, 1u << 8);
    if (row.Size < 5) {
        Corrupt(error, 1u << 8);
        return false;
    }
    if (row.Data[0] == 1) {
        // Regions the reference map has no bitmap page for count as in use already.
        if (char* bitmap = ReferenceBitmap(store, row, page, false, error))
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
    // Start the window at the new page: every page before it is in use, every page past the end
    // of the file is free. Free pages the old window knew are simply not reused.
    const uint32_t newStart = page & ~7u;
    const uint32_t pageCount = store.PageCount();
    Put32(row.Data + 1, newStart);
    for (uint32_t n = 0; n < window; ++n)
        SetBit(row.Data + 5, n, newStart + n >= pageCount);
    return true;
}

}  // namespace vantrel::access
