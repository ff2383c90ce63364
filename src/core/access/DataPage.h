#pragma once

#include <cstdint>
#include <string_view>

namespace vantrel::access {

// Data pages (type 1) hold rows from the page end down, and a table of 2-byte row offsets after
// a 14-byte header; long value pages are data pages marked "LVAL" instead of a table page.
namespace DataPage {

inline constexpr uint16_t kDeleted = 0x8000;
inline constexpr uint16_t kPointer = 0x4000;
inline constexpr std::size_t kMaxRows = 255;
inline constexpr std::size_t kMaxRowSize = 4060;

void Initialize(char* page, uint32_t tableDefinitionPage);
void InitializeLongValues(char* page);
bool IsLongValuePage(std::string_view page);
uint32_t TableOf(std::string_view page);

// Bytes left for one more row and its offset entry.
std::size_t RoomForRow(std::string_view page);
// Adds the row as the page's next slot; false when it does not fit.
bool AddRow(char* page, std::string_view row, uint16_t& slot);
void SetSlotFlags(char* page, uint16_t slot, uint16_t flags);
// Whether some slot still holds a row, a moved row's copy or its pointer (anything but a slot
// deleted for every reader).
bool HasRows(std::string_view page);

}  // namespace DataPage

}  // namespace vantrel::access
