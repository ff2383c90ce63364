#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vantrel::access {

// The sort orders whose text keys are built here.
enum class TextSortOrder : uint8_t {
    GeneralLegacy,  // LCID 1033 version 0: the Jet4 and ACE12 default
    General,        // 1033 version 1: ACE14 and later
    Japanese,       // 1041 version 0: what Japanese Access gives every new database
};

// The sort order a column's LCID and version stand for; none for one without known weights.
std::optional<TextSortOrder> TextSortOrderOf(uint16_t lcid, uint8_t version);
bool TextSortOrderSupported(uint16_t lcid, uint8_t version);

struct TextKeyResult {
    enum class Status {
        Ok,
        UnsupportedCharacter,  // a character the sort order has no weight for
        UnverifiedCharacter,   // one whose key Access was never seen to write, not allowed
    };
    Status Status = Status::Ok;
    std::string Bytes;       // the column key (flag byte to final 00) when Ok
    char32_t Character = 0;  // the offending character otherwise
};

// The key bytes of one non-Null Text or Memo value of a column with sort order `order`, as
// Access stores them in an index: the first 255 UTF-16 units, trailing ASCII spaces dropped.
// Nothing verifies what Access writes for ー ｰ ゝ ゞ ヽ ヾ 々 (and the rare 〱-〵 〻 ゠) — except,
// in the Japanese order, ー after a kana letter and 々 after a kanji — nor, in the Japanese
// order, for \ ― the era squares and ideographs its table does not list. Such values are
// refused unless `allowUnverified`; then they are keyed the way Windows sorts them: ー takes the
// vowel of the kana before it, ゝ ヽ repeat the character before them (ゞ ヾ voiced), 々 〻
// repeat it, \ weighs as ¥; with nothing to lengthen or repeat, and for the rest, the weights
// table's own entry is used. Invalid UTF-8 counts as an unsupported character.
TextKeyResult TextColumnKey(std::string_view utf8, TextSortOrder order, bool ascending,
                            bool allowUnverified);

// The same from UTF-16 code units, as a Text column stores them (lone surrogates included).
TextKeyResult TextColumnKey(std::u16string_view units, TextSortOrder order, bool ascending,
                            bool allowUnverified);

}  // namespace vantrel::access
