#include "common/TextCase.h"

#include <cstdint>

#include "common/Encoding.h"

namespace vantrel {

namespace {

uint32_t LowerCodePoint(uint32_t cp) {
    if (cp >= 'A' && cp <= 'Z') return cp + 0x20;
    if (cp >= 0xC0 && cp <= 0xDE && cp != 0xD7) return cp + 0x20;
    if (cp >= 0x391 && cp <= 0x3A9 && cp != 0x3A2) return cp + 0x20;
    if (cp >= 0x400 && cp <= 0x40F) return cp + 0x50;
    if (cp >= 0x410 && cp <= 0x42F) return cp + 0x20;
    if (cp >= 0xFF21 && cp <= 0xFF3A) return cp + 0x20;
    return cp;
}

}  // namespace

std::string LowerCase(std::string_view s) {
    std::string out;
    out.reserve(s.size());
    std::size_t i = 0;
    while (i < s.size()) {
        const auto b0 = static_cast<uint8_t>(s[i]);
        // Only one- to three-byte sequences hold letters that change; copy the rest as they are.
        if (b0 < 0x80) {
            out.push_back(static_cast<char>(LowerCodePoint(b0)));
            ++i;
        } else if ((b0 & 0xE0) == 0xC0 && i + 1 < s.size()) {
            const uint32_t cp =
                (uint32_t{b0} & 0x1F) << 6 | (static_cast<uint8_t>(s[i + 1]) & 0x3Fu);
            AppendUtf8(out, LowerCodePoint(cp));
            i += 2;
        } else if ((b0 & 0xF0) == 0xE0 && i + 2 < s.size()) {
            const uint32_t cp = (uint32_t{b0} & 0x0F) << 12 |
                                (static_cast<uint8_t>(s[i + 1]) & 0x3Fu) << 6 |
                                (static_cast<uint8_t>(s[i + 2]) & 0x3Fu);
            AppendUtf8(out, LowerCodePoint(cp));
            i += 3;
        } else {
            out.push_back(s[i]);
            ++i;
        }
    }
    return out;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    return LowerCase(a) == LowerCase(b);
}

}  // namespace vantrel
