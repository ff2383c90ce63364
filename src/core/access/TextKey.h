#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace vantrel::access {

// Whether text keys can be built for a column with this sort order: LCID 1033 version 0
// ("General legacy", Jet4 and ACE12 default) or version 1 ("General", ACE14 and later).
bool TextSortOrderSupported(uint16_t lcid, uint8_t version);

struct TextKeyResult {
    enum class Status {
        Ok,
        UnsupportedCharacter,  // a character the sort order has no weight for
        UnverifiedMark,        // a long-vowel or iteration mark, not allowed by the caller
    };
    Status Status = Status::Ok;
    std::string Bytes;       // the column key (flag byte to final 00) when Ok
    char32_t Character = 0;  // the offending character otherwise
};

// The key bytes of one non-Null Text or Memo value of a column with sort order 1033 and
// `sortVersion` (0 or 1), as Access stores them in an index: the first 255 UTF-16 units, trailing
// ASCII spaces dropped. Nothing verifies what Access writes for ー ｰ ゝ ゞ ヽ ヾ 々 (and the rare
// 〱-〵 〻 ゠), so such values are refused unless `allowUnverifiedMarks`; then ー takes the vowel
// of the kana before it, ゝ ヽ repeat the character before them (ゞ ヾ voiced), 々 〻 repeat it,
// the way Windows sorts them; with nothing to lengthen or repeat, and for the rare marks, the
// weights table's own entry is used. Invalid UTF-8 counts as an unsupported character.
TextKeyResult TextColumnKey(std::string_view utf8, uint8_t sortVersion, bool ascending,
                            bool allowUnverifiedMarks);

// The same from UTF-16 code units, as a Text column stores them (lone surrogates included).
TextKeyResult TextColumnKey(std::u16string_view units, uint8_t sortVersion, bool ascending,
                            bool allowUnverifiedMarks);

}  // namespace vantrel::access
