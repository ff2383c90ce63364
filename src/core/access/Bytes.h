#pragma once

#include <cstdint>
#include <string_view>

// Little-endian reads (0 past the end) and writes on page bytes.
namespace vantrel::access {

// Whether `width` bytes from `at` lie inside `s`; an offset that wrapped around (a subtraction gone
// below zero on damaged bytes) is outside too.
inline bool Fits(std::string_view s, std::size_t at, std::size_t width) {
    return at <= s.size() && s.size() - at >= width;
}

inline uint8_t U8(std::string_view s, std::size_t at) {
    return at < s.size() ? static_cast<uint8_t>(s[at]) : 0;
}

inline uint16_t U16(std::string_view s, std::size_t at) {
    if (!Fits(s, at, 2)) return 0;
    return static_cast<uint16_t>(static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1])
                                                                   << 8);
}

inline uint32_t U24(std::string_view s, std::size_t at) {
    return !Fits(s, at, 3) ? 0 : uint32_t{U16(s, at)} | uint32_t{U8(s, at + 2)} << 16;
}

inline uint32_t U32(std::string_view s, std::size_t at) {
    return !Fits(s, at, 4) ? 0 : uint32_t{U16(s, at)} | uint32_t{U16(s, at + 2)} << 16;
}

inline void Put16(char* p, uint16_t v) {
    p[0] = static_cast<char>(v & 0xFF);
    p[1] = static_cast<char>(v >> 8);
}

inline void Put24(char* p, uint32_t v) {
    for (int k = 0; k < 3; ++k)
        p[k] = static_cast<char>(v >> (8 * k) & 0xFF);
}

inline void Put32(char* p, uint32_t v) {
    for (int k = 0; k < 4; ++k)
        p[k] = static_cast<char>(v >> (8 * k) & 0xFF);
}

}  // namespace vantrel::access
