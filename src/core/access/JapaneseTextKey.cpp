#include "access/JapaneseTextKey.h"

#include <algorithm>
#include <optional>

namespace vantrel::access::textkey {

namespace {

struct IdeographWeight {
    char16_t Unit;
    uint16_t Weight;
};

// Generated at build time from JapaneseKanjiWeights.tsv: code point and 2-byte weight.
constexpr IdeographWeight kIdeographWeights[] = {
#include "access/JapaneseKanjiWeights.inc"
};
static_assert(std::ranges::is_sorted(kIdeographWeights, {}, &IdeographWeight::Unit),
              "the ideograph weights must be in code point order");

constexpr char16_t kLongVowel = 0x30FC, kHalfWidthLongVowel = 0xFF70, kIteration = 0x3005;
constexpr char16_t kBackslash = 0x5C, kYen = 0xA5, kHorizontalBar = 0x2015;

std::optional<uint16_t> IdeographWeightOf(char16_t unit) {
    const auto* found =
        std::ranges::lower_bound(kIdeographWeights, unit, {}, &IdeographWeight::Unit);
    if (found == std::end(kIdeographWeights) || found->Unit != unit) return std::nullopt;
    return found->Weight;
}

bool IsIdeograph(char16_t unit) {
    return (unit >= 0x3400 && unit <= 0x4DBF) || (unit >= 0x4E00 && unit <= 0x9FFF) ||
           (unit >= 0xF900 && unit <= 0xFAFF);
}

// ㍻ ㍼ ㍽ ㍾ ㋿: the two generations of the Windows table order them differently.
bool IsEraSquare(char16_t unit) {
    return (unit >= 0x337B && unit <= 0x337E) || unit == 0x32FF;
}

bool IsKanaWithVowel(const Entry* entry) {
    return entry && entry->Type == Kind::Kana && entry->Vowel >= 0;
}

// ー after a kana: a kana unit of the vowel before it, with that kana's small-letter flag and
// no extra byte.
Entry LongVowelUnit(const Entry& kana) {
    Entry entry = kana;
    entry.Inline[1] = static_cast<uint8_t>(2 + kana.Vowel);  // あ い う え お
    entry.HasExtra = false;
    entry.Extra = 0;
    entry.LongVowel = true;
    return entry;
}

// 々 after a kanji: that kanji's inline bytes again, extra byte 05 at its own position.
Entry IterationUnit(const Entry& kanji) {
    Entry entry = kanji;
    entry.HasExtra = true;
    entry.Extra = 0x05;
    entry.Ideograph = false;
    return entry;
}

UnitKey Refused(KeyStatus status) {
    UnitKey key;
    key.Status = status;
    return key;
}

UnitKey Keyed(const Entry& entry) {
    UnitKey key;
    key.Value = entry;
    return key;
}

}  // namespace

UnitKey JapaneseUnit(char16_t unit, const Entry* previous, bool allowUnverified) {
    if (const auto weight = IdeographWeightOf(unit)) {
        Entry entry;
        entry.Type = Kind::Weight;
        entry.Size = 2;
        entry.Inline[0] = static_cast<uint8_t>(*weight >> 8);
        entry.Inline[1] = static_cast<uint8_t>(*weight & 0xFF);
        entry.Ideograph = IsIdeograph(unit);
        return Keyed(entry);
    }
    const Table& general = GeneralWeights(0);
    const Entry& own = general[unit];
    if (unit == kLongVowel || unit == kHalfWidthLongVowel) {
        if (IsKanaWithVowel(previous) && !previous->LongVowel)
            return Keyed(LongVowelUnit(*previous));
        // At the start, after ん or a non-kana, or after another ー: not seen.
        if (!allowUnverified) return Refused(KeyStatus::UnverifiedCharacter);
        return Keyed(IsKanaWithVowel(previous) ? LongVowelUnit(*previous) : own);
    }
    if (unit == kIteration && previous && previous->Ideograph)
        return Keyed(IterationUnit(*previous));

    // Not seen in any key Access wrote: refused, or keyed the way Windows sorts when allowed.
    const bool unknown =
        own.Type != Kind::Unsupported &&
        (unit == kBackslash || unit == kHorizontalBar || IsEraSquare(unit) || IsIdeograph(unit));
    if (!unknown) return MarkRule(unit, own, previous, allowUnverified);
    if (!allowUnverified) return Refused(KeyStatus::UnverifiedCharacter);
    if (unit == kBackslash) return Keyed(general[kYen]);
    if (unit == kHorizontalBar && IsKanaWithVowel(previous)) return Keyed(LongVowelUnit(*previous));
    return Keyed(own);
}

}  // namespace vantrel::access::textkey
