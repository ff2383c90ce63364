#include "access/RowStorage.h"

#include <algorithm>
#include <cstring>
#include <set>

#include "access/Bytes.h"
#include "access/DataPage.h"
#include "access/UsageMap.h"
#include "sources/engine/JetErrors.h"

namespace vantrel::access {

namespace {

constexpr std::size_t kInlineLongValue = 64;
constexpr std::size_t kLongValueRow = 4076;
constexpr std::size_t kLongValueChunk = 4072;
constexpr std::size_t kMinimumRoom = 64;  // pages with less room leave the free-space map
constexpr uint16_t kGone = DataPage::kDeleted | DataPage::kPointer;

}  // namespace

RowStorage::RowStorage(JetWriteFile& file, const JetTable& table) : file_(file), table_(table) {
    rows_ = Target{table_.OwnedPagesMap, table_.FreePagesMap, false, 0, false};
    for (const auto& col : table_.Columns) {
        Target target = rows_;
        target.LongValues = true;
        if (col.LongValueOwnedMap != 0 && col.LongValueFreeMap != 0) {
            target.OwnedMap = col.LongValueOwnedMap;
            target.FreeMap = col.LongValueFreeMap;
        }
        longValues_.push_back(target);
    }
}

uint32_t RowStorage::FindPageWithRoom(Target& target, std::size_t size) {
    if (target.Current != 0 && DataPage::RoomForRow(file_.Page(target.Current)) >= size)
        return target.Current;
    if (target.Searched) return 0;
    target.Searched = true;
    const auto pages = PagesInUsageMap(file_, RowAt(file_, target.FreeMap).value_or(""));
    for (auto it = pages.rbegin(); it != pages.rend(); ++it) {
        const std::string_view page = file_.Page(*it);
        if (page.empty() || U8(page, 0) != 0x01) continue;
        const bool kind = target.LongValues ? DataPage::IsLongValuePage(page)
                                            : DataPage::TableOf(page) == table_.DefinitionPage;
        if (!kind || !UsageMapHasPage(file_, target.OwnedMap, *it)) continue;
        if (DataPage::RoomForRow(page) >= size) {
            target.Current = *it;
            return *it;
        }
    }
    return 0;
}

uint32_t RowStorage::Place(std::string_view row, Target& target, ErrorState& error) {
    uint32_t page = FindPageWithRoom(target, row.size());
    if (page == 0) {
        page = file_.AllocatePage(target.OwnedMap, error);
        if (page == 0 || !AddPageToUsageMap(file_, target.FreeMap, page, error)) return 0;
        char* data = file_.MutablePage(page);
        if (target.LongValues) {
            DataPage::InitializeLongValues(data);
        } else {
            DataPage::Initialize(data, table_.DefinitionPage);
        }
        target.Current = page;
    }
    uint16_t slot = 0;
    char* data = file_.MutablePage(page);
    if (!DataPage::AddRow(data, row, slot)) {
        SetJetError(error, JetError::RecordTooLarge);
        return 0;
    }
    if (DataPage::RoomForRow(std::string_view(data, JetFile::kPageSize)) < kMinimumRoom) {
        RemovePageFromUsageMap(file_, target.FreeMap, page);
        target.Current = 0;
    }
    return page << 8 | slot;
}

uint32_t RowStorage::PlaceRow(std::string_view row, ErrorState& error) {
    return Place(row, rows_, error);
}

std::optional<std::string> RowStorage::StoreLongValue(std::size_t column, std::string_view data,
                                                      ErrorState& error) {
    std::string field(12, '\0');
    const auto length = static_cast<uint32_t>(data.size());
    if (data.size() <= kInlineLongValue) {
        Put32(field.data(), length | 0x80000000u);
        field.append(data);
        return field;
    }
    Target& target = longValues_[column];
    if (data.size() <= kLongValueRow) {
        const uint32_t where = Place(data, target, error);
        if (where == 0) return std::nullopt;
        Put32(field.data(), length | 0x40000000u);
        Put32(field.data() + 4, where);
        return field;
    }
    // A chain, written from its end so that every row knows the next one.
    uint32_t next = 0;
    const std::size_t chunks = (data.size() + kLongValueChunk - 1) / kLongValueChunk;
    std::string row;
    for (std::size_t k = chunks; k-- > 0;) {
        row.assign(4, '\0');
        Put32(row.data(), next);
        row.append(data.substr(k * kLongValueChunk, kLongValueChunk));
        next = Place(row, target, error);
        if (next == 0) return std::nullopt;
    }
    Put32(field.data(), length);
    Put32(field.data() + 4, next);
    return field;
}

void RowStorage::FreeLongValue(std::size_t column, std::string_view field) {
    if (field.size() < 12 || column >= longValues_.size()) return;
    const uint32_t header = U32(field, 0);
    if (header & 0x80000000u) return;  // kept in the row itself
    const bool chain = !(header & 0x40000000u);
    std::set<uint32_t> seen;
    for (uint32_t pointer = U32(field, 4); pointer != 0 && seen.insert(pointer).second;) {
        // Only rows of long value pages are ever given back from here.
        const std::string_view page = file_.Page(pointer >> 8);
        const auto row = RowOnPage(page, static_cast<uint16_t>(pointer & 0xFF));
        if (!DataPage::IsLongValuePage(page) || !row || (row->Flags & kGone) == kGone) return;
        const uint32_t next = chain && row->Bytes.size() >= 4 ? U32(row->Bytes, 0) : 0;
        DeleteSlot(pointer, longValues_[column]);
        pointer = next;
    }
}

std::optional<uint32_t> RowStorage::RowHome(uint32_t pointer) const {
    const auto slot = RowOnPage(file_.Page(pointer >> 8), static_cast<uint16_t>(pointer & 0xFF));
    if (!slot || (slot->Flags & DataPage::kDeleted)) return std::nullopt;
    if (!(slot->Flags & DataPage::kPointer)) return pointer;
    if (slot->Bytes.size() < 4) return std::nullopt;
    return U32(slot->Bytes, 0);
}

std::size_t RowStorage::RowSizeAt(uint32_t home) const {
    const auto place = RowOnPage(file_.Page(home >> 8), static_cast<uint16_t>(home & 0xFF));
    return place ? place->Bytes.size() : 0;
}

void RowStorage::OverwriteRow(uint32_t home, std::string_view bytes) {
    const MutableRow target = MutableRowAt(file_, home);
    std::copy(bytes.begin(),
              bytes.begin() + static_cast<std::ptrdiff_t>(std::min(bytes.size(), target.Size)),
              target.Data);
}

bool RowStorage::MoveRow(uint32_t pointer, uint32_t home, std::string_view bytes,
                         ErrorState& error) {
    // A moved row keeps its slot, and so its place in every index; the slot points at it.
    const uint32_t moved = Place(bytes, rows_, error);
    if (moved == 0) return false;
    DataPage::SetSlotFlags(file_.MutablePage(moved >> 8), static_cast<uint16_t>(moved & 0xFF),
                           DataPage::kDeleted);
    const MutableRow slot = MutableRowAt(file_, pointer);
    Put32(slot.Data, moved);
    DataPage::SetSlotFlags(file_.MutablePage(pointer >> 8), static_cast<uint16_t>(pointer & 0xFF),
                           DataPage::kPointer);
    // The copy the row leaves behind must not be read as a row of its own.
    if (home != pointer) DeleteSlot(home, rows_);
    return true;
}

void RowStorage::DeleteRow(uint32_t pointer, uint32_t home) {
    // Readers that follow the pointer before looking at the flag must find the row deleted too.
    if (home != pointer) DeleteSlot(home, rows_);
    DeleteSlot(pointer, rows_);
}

void RowStorage::DeleteSlot(uint32_t pointer, Target& target) {
    const uint32_t page = pointer >> 8;
    char* data = file_.MutablePage(page);
    const auto slot = static_cast<uint16_t>(pointer & 0xFF);
    if (!data || slot >= RowsOnPage(std::string_view(data, JetFile::kPageSize))) return;
    DataPage::SetSlotFlags(data, slot, kGone);
    if (DataPage::HasRows(std::string_view(data, JetFile::kPageSize))) return;
    // Nothing on the page is read any more: it leaves the table and is free for any use.
    RemovePageFromUsageMap(file_, target.FreeMap, page);
    file_.ReleasePage(page, target.OwnedMap);
    if (target.Current == page) target.Current = 0;
}

}  // namespace vantrel::access
