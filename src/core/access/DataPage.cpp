#include "access/DataPage.h"

#include <algorithm>
#include <cstring>

#include "access/Bytes.h"
#include "access/JetFile.h"

namespace vantrel::access::DataPage {

namespace {

constexpr std::size_t kHeaderSize = 14;

// Where the lowest row starts: rows grow down from the page end.
std::size_t LowestRowStart(std::string_view page) {
    std::size_t lowest = JetFile::kPageSize;
    const uint16_t rows = U16(page, 12);
    for (uint16_t k = 0; k < rows; ++k)
        lowest = std::min<std::size_t>(lowest, U16(page, kHeaderSize + 2u * k) & 0x1FFF);
    return lowest;
}

void Header(char* page, uint32_t owner) {
    std::memset(page, 0, JetFile::kPageSize);
    page[0] = 0x01;
    page[1] = 0x01;
    Put16(page + 2, static_cast<uint16_t>(JetFile::kPageSize - kHeaderSize));
    Put32(page + 4, owner);
}

}  // namespace

void Initialize(char* page, uint32_t tableDefinitionPage) {
    Header(page, tableDefinitionPage);
}

void InitializeLongValues(char* page) {
    Header(page, 0);
    std::memcpy(page + 4, "LVAL", 4);
}

bool IsLongValuePage(std::string_view page) {
    return page.size() == JetFile::kPageSize && U8(page, 0) == 0x01 && page.substr(4, 4) == "LVAL";
}

uint32_t TableOf(std::string_view page) {
    return U32(page, 4);
}

std::size_t RoomForRow(std::string_view page) {
    const uint16_t rows = U16(page, 12);
    if (rows >= kMaxRows) return 0;
    const std::size_t used = kHeaderSize + 2u * rows + 2;
    const std::size_t lowest = LowestRowStart(page);
    return lowest > used ? lowest - used : 0;
}

bool AddRow(char* page, std::string_view row, uint16_t& slot) {
    const std::string_view view(page, JetFile::kPageSize);
    if (row.empty() || row.size() > RoomForRow(view)) return false;
    const uint16_t rows = U16(view, 12);
    const std::size_t start = LowestRowStart(view) - row.size();
    std::memcpy(page + start, row.data(), row.size());
    Put16(page + kHeaderSize + 2u * rows, static_cast<uint16_t>(start));
    Put16(page + 12, static_cast<uint16_t>(rows + 1));
    Put16(page + 2, static_cast<uint16_t>(start - (kHeaderSize + 2u * (rows + 1u))));
    slot = rows;
    return true;
}

bool HasRows(std::string_view page) {
    const uint16_t rows = U16(page, 12);
    for (uint16_t k = 0; k < rows; ++k) {
        if ((U16(page, kHeaderSize + 2u * k) & (kDeleted | kPointer)) != (kDeleted | kPointer))
            return true;
    }
    return false;
}

void SetSlotFlags(char* page, uint16_t slot, uint16_t flags) {
    char* entry = page + kHeaderSize + 2u * slot;
    const uint16_t raw = U16(std::string_view(entry, 2), 0);
    Put16(entry, static_cast<uint16_t>((raw & 0x1FFF) | flags));
}

}  // namespace vantrel::access::DataPage
