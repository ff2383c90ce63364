#include "access/TextKey.h"

#include "access/JapaneseTextKey.h"
#include "access/TextKeyCore.h"

namespace vantrel::access {

namespace {

using namespace textkey;

UnitKey GeneralLegacyUnit(char16_t unit, const Entry* previous, bool allowUnverified) {
    return MarkRule(unit, GeneralWeights(0)[unit], previous, allowUnverified);
}

UnitKey GeneralUnit(char16_t unit, const Entry* previous, bool allowUnverified) {
    return MarkRule(unit, GeneralWeights(1)[unit], previous, allowUnverified);
}

// UTF-8 to UTF-16; malformed sequences become U+FFFD, which no sort order weighs.
std::u16string Utf16Of(std::string_view utf8) {
    std::u16string out;
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        const std::size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        char32_t c = length == 1 ? char32_t{lead} : (char32_t{lead} & (0x7Fu >> length));
        bool valid = lead < 0x80 || (lead >= 0xC2 && lead <= 0xF4);
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = i + k < utf8.size() ? static_cast<uint8_t>(utf8[i + k]) : 0;
            valid &= (next & 0xC0) == 0x80;
            c = c << 6 | static_cast<char32_t>(next & 0x3F);
        }
        static constexpr char32_t kMinimum[] = {0, 0, 0x80, 0x800, 0x10000};
        valid &= c >= kMinimum[length] && c <= 0x10FFFF && (c < 0xD800 || c > 0xDFFF);
        if (!valid) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (c >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((c - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((c - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(c));
        }
        i += length;
    }
    return out;
}

}  // namespace

std::optional<TextSortOrder> TextSortOrderOf(uint16_t lcid, uint8_t version) {
    if (lcid == 1033 && version == 0) return TextSortOrder::GeneralLegacy;
    if (lcid == 1033 && version == 1) return TextSortOrder::General;
    if (lcid == 1041 && version == 0) return TextSortOrder::Japanese;
    return std::nullopt;
}

bool TextSortOrderSupported(uint16_t lcid, uint8_t version) {
    return TextSortOrderOf(lcid, version).has_value();
}

TextKeyResult TextColumnKey(std::u16string_view units, TextSortOrder order, bool ascending,
                            bool allowUnverified) {
    switch (order) {
        case TextSortOrder::GeneralLegacy:
            return BuildKey(units, GeneralLegacyUnit, KanaTrailer::General, ascending,
                            allowUnverified);
        case TextSortOrder::General:
            return BuildKey(units, GeneralUnit, KanaTrailer::General, ascending, allowUnverified);
        case TextSortOrder::Japanese:
            break;
    }
    return BuildKey(units, JapaneseUnit, KanaTrailer::Japanese, ascending, allowUnverified);
}

TextKeyResult TextColumnKey(std::string_view utf8, TextSortOrder order, bool ascending,
                            bool allowUnverified) {
    return TextColumnKey(std::u16string_view(Utf16Of(utf8)), order, ascending, allowUnverified);
}

}  // namespace vantrel::access
