#pragma once

// What every text sort order shares: the General weights table, the entry of one UTF-16 unit,
// the long-vowel and iteration marks, and the assembly of a key from the entries of a value.
// Internal to the text key builders (TextKey.cpp, JapaneseTextKey.cpp).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "access/TextKey.h"

namespace vantrel::access::textkey {

enum class Kind : uint8_t { Unsupported, Ignored, Weight, Kana, Unprintable, Modifier, Same };

struct Entry {
    Kind Type = Kind::Unsupported;
    bool HasExtra = false;
    bool Small = false;      // kana: small letter
    bool LongVowel = false;  // kana unit made by a long-vowel mark (Japanese order)
    bool Ideograph = false;  // weighed by the Japanese ideograph table as a kanji
    uint8_t Size = 0;        // inline bytes
    std::array<uint8_t, 8> Inline{};
    uint8_t Extra = 0;
    uint8_t Code = 0;    // unprintable code or modifier value
    int8_t Vowel = -1;   // kana with a vowel: 0..4 for a i u e o
    int32_t Offset = 0;  // Same: the unit this one equals, relative
    bool Uncertain = false;
};

using Table = std::vector<Entry>;

// The table of General legacy (version 0) or General (version 1), one entry per BMP unit.
const Table& GeneralWeights(uint8_t version);

// Surrogates are not in the table; both versions key them by formula.
Entry SurrogateEntry(char16_t unit);

enum class Mark { None, LongVowel, Repeat, RepeatVoiced, Rare };

Mark MarkOf(char16_t unit);

// The entry a mark stands for after `previous` (the last unit that had inline bytes) the way
// Windows sorts: ー takes the vowel of the kana before it, ゝ ヽ 々 〻 repeat what is before
// them (ゞ ヾ voiced); with nothing to lengthen or repeat, and for the rare marks, the table's
// own entry `table` stands.
Entry MarkEntry(Mark mark, char16_t unit, const Entry& table, const Entry* previous);

// Whether a unit can be keyed (the member Status of TextKeyResult hides the type's own name).
using KeyStatus = enum TextKeyResult::Status;

// The General rule for one unit with its table entry: marks are refused unless allowed.
struct UnitKey {
    KeyStatus Status = KeyStatus::Ok;
    Entry Value;
};
UnitKey MarkRule(char16_t unit, const Entry& entry, const Entry* previous, bool allowUnverified);

// How the kana section ends: General writes a fixed trailer, Japanese one that records the
// long-vowel units and grows with the number of kana units.
enum class KanaTrailer { General, Japanese };

// The entry of each BMP unit of a value, given the last entry with inline bytes before it.
using UnitRule = UnitKey (*)(char16_t unit, const Entry* previous, bool allowUnverified);

// The key of a value: its first 255 units without trailing ASCII spaces, each keyed by `rule`
// (surrogates by formula); the first unit `rule` refuses refuses the value.
TextKeyResult BuildKey(std::u16string_view units, UnitRule rule, KanaTrailer trailer,
                       bool ascending, bool allowUnverified);

}  // namespace vantrel::access::textkey
