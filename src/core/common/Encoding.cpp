#include "common/Encoding.h"

#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <vector>

namespace vantrel {

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

namespace {

uint8_t Byte(std::string_view s, std::size_t i) {
    return static_cast<uint8_t>(s[i]);
}

// Length of the well-formed UTF-8 sequence at `i`: 0 when invalid, -1 when the text ends
// inside an otherwise valid sequence.
int Utf8SequenceLength(std::string_view s, std::size_t i) {
    const uint8_t b0 = Byte(s, i);
    if (b0 < 0x80) return 1;
    int len = 0;
    uint8_t lo = 0x80, hi = 0xBF;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        if (b0 == 0xE0) lo = 0xA0;
        if (b0 == 0xED) hi = 0x9F;  // no surrogates
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        if (b0 == 0xF0) lo = 0x90;
        if (b0 == 0xF4) hi = 0x8F;
    } else {
        return 0;
    }
    for (int k = 1; k < len; ++k) {
        if (i + static_cast<std::size_t>(k) >= s.size()) return -1;
        const uint8_t b = Byte(s, i + static_cast<std::size_t>(k));
        if (k == 1 ? (b < lo || b > hi) : (b < 0x80 || b > 0xBF)) return 0;
    }
    return len;
}

bool IsCp932LeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}
bool IsCp932TrailByte(uint8_t b) {
    return b >= 0x40 && b <= 0xFC && b != 0x7F;
}

}  // namespace

std::string EncodingDisplayName(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Cp932:
            return "Shift-JIS (CP932)";
        case TextEncoding::Utf8:
            return "UTF-8";
        case TextEncoding::Utf8Bom:
            return "UTF-8 (BOM付き)";
        case TextEncoding::Utf16LE:
            return "UTF-16 LE";
        case TextEncoding::Utf16BE:
            return "UTF-16 BE";
    }
    return "";
}

std::size_t ByteOrderMarkLength(TextEncoding encoding) {
    switch (encoding) {
        case TextEncoding::Utf8Bom:
            return 3;
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE:
            return 2;
        default:
            return 0;
    }
}

bool IsValidUtf8(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size()) {
        const int len = Utf8SequenceLength(text, i);
        if (len <= 0) return false;
        i += static_cast<std::size_t>(len);
    }
    return true;
}

bool Utf8ToCp932(std::string_view utf8, std::string& out) {
    out.clear();
    if (!IsValidUtf8(utf8)) return false;
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) return false;
    std::vector<char> buffer(utf8.size() * 2 + 16);
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* outPtr = buffer.data();
    std::size_t outLeft = buffer.size();
    const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    iconv_close(cd);
    if (rc == static_cast<std::size_t>(-1) || inLeft != 0) return false;
    out.assign(buffer.data(), buffer.size() - outLeft);
    // The converter folds several characters onto one CP932 code (〜 and ～, ¥ and \, − and －,
    // — and ―, ¢ and ￠...); such text would come back changed, so it has no exact form.
    if (Cp932ToUtf8(out) != utf8) {
        out.clear();
        return false;
    }
    return true;
}

struct TextDecoder::Impl {
    TextEncoding encoding;
    iconv_t cd = reinterpret_cast<iconv_t>(-1);
    std::string pending;  // bytes of a sequence cut at the end of the previous piece
    std::size_t* firstBadAt = nullptr;

    void Replace(std::string& out, std::size_t& bad) {
        if (bad == 0 && firstBadAt) *firstBadAt = out.size();
        out.append(kReplacementCharacter);
        ++bad;
    }

    std::size_t DecodeUtf8(std::string_view s, std::string& out, bool final) {
        std::size_t bad = 0, i = 0, runStart = 0;
        while (i < s.size()) {
            if (Byte(s, i) < 0x80) {
                ++i;
                continue;
            }
            const int len = Utf8SequenceLength(s, i);
            if (len > 0) {
                i += static_cast<std::size_t>(len);
                continue;
            }
            out.append(s.substr(runStart, i - runStart));
            if (len < 0 && !final) {
                pending.assign(s.substr(i));
                return bad;
            }
            Replace(out, bad);
            ++i;
            runStart = i;
        }
        out.append(s.substr(runStart));
        return bad;
    }

    std::size_t DecodeUtf16(std::string_view s, std::string& out, bool final) {
        const bool big = encoding == TextEncoding::Utf16BE;
        std::size_t bad = 0, i = 0;
        auto unitAt = [&](std::size_t k) -> uint32_t {
            return big ? (uint32_t{Byte(s, k)} << 8) | Byte(s, k + 1)
                       : (uint32_t{Byte(s, k + 1)} << 8) | Byte(s, k);
        };
        while (i + 1 < s.size()) {
            const uint32_t u = unitAt(i);
            if (u >= 0xD800 && u <= 0xDBFF) {
                if (i + 3 >= s.size()) break;  // wait for the low surrogate
                const uint32_t lo = unitAt(i + 2);
                if (lo >= 0xDC00 && lo <= 0xDFFF) {
                    AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (lo - 0xDC00));
                    i += 4;
                } else {
                    Replace(out, bad);
                    i += 2;
                }
            } else if (u >= 0xDC00 && u <= 0xDFFF) {
                Replace(out, bad);
                i += 2;
            } else {
                AppendUtf8(out, u);
                i += 2;
            }
        }
        if (i < s.size()) {
            if (final) {
                Replace(out, bad);
            } else {
                pending.assign(s.substr(i));
            }
        }
        return bad;
    }

    std::size_t DecodeCp932(std::string_view s, std::string& out, bool final) {
        std::size_t bad = 0, i = 0;
        std::vector<char> buffer;
        while (i < s.size()) {
            // ASCII runs are the common case and need no table.
            std::size_t j = i;
            while (j < s.size() && Byte(s, j) < 0x80)
                ++j;
            out.append(s.substr(i, j - i));
            i = j;
            if (i >= s.size()) break;
            std::size_t k = i;
            while (k < s.size() && Byte(s, k) >= 0x80) {
                k += IsCp932LeadByte(Byte(s, k)) ? 2u : 1u;
            }
            if (k > s.size()) k = s.size();
            // Convert the non-ASCII run; iconv stops at the first invalid byte.
            while (i < k) {
                buffer.resize((k - i) * 3 + 8);
                char* in = const_cast<char*>(s.data() + i);
                std::size_t inLeft = k - i;
                char* outPtr = buffer.data();
                std::size_t outLeft = buffer.size();
                const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
                out.append(buffer.data(), buffer.size() - outLeft);
                const int err = errno;
                i = static_cast<std::size_t>(in - s.data());
                if (rc != static_cast<std::size_t>(-1)) break;
                iconv(cd, nullptr, nullptr, nullptr, nullptr);
                if (err == EINVAL && i + 1 >= s.size() && !final) {
                    pending.assign(s.substr(i));
                    return bad;
                }
                Replace(out, bad);
                const uint8_t b = Byte(s, i);
                i += (IsCp932LeadByte(b) && i + 1 < s.size() && IsCp932TrailByte(Byte(s, i + 1)))
                         ? 2u
                         : 1u;
            }
        }
        return bad;
    }
};

TextDecoder::TextDecoder(TextEncoding encoding) : impl_(std::make_unique<Impl>()) {
    impl_->encoding = encoding;
    if (encoding == TextEncoding::Cp932) impl_->cd = iconv_open("UTF-8", "CP932");
}

TextDecoder::~TextDecoder() {
    if (impl_->cd != reinterpret_cast<iconv_t>(-1)) iconv_close(impl_->cd);
}

std::size_t TextDecoder::Decode(std::string_view bytes, std::string& out, bool final,
                                std::size_t* firstBadAt) {
    impl_->firstBadAt = firstBadAt;
    std::string joined;
    if (!impl_->pending.empty()) {
        joined = impl_->pending;
        joined.append(bytes);
        impl_->pending.clear();
        bytes = joined;
    }
    switch (impl_->encoding) {
        case TextEncoding::Utf8:
        case TextEncoding::Utf8Bom:
            return impl_->DecodeUtf8(bytes, out, final);
        case TextEncoding::Utf16LE:
        case TextEncoding::Utf16BE:
            return impl_->DecodeUtf16(bytes, out, final);
        case TextEncoding::Cp932:
            if (impl_->cd == reinterpret_cast<iconv_t>(-1)) {
                // Without a CP932 table only ASCII can be trusted.
                std::size_t bad = 0;
                for (char c : bytes) {
                    if (static_cast<uint8_t>(c) < 0x80) {
                        out.push_back(c);
                    } else {
                        impl_->Replace(out, bad);
                    }
                }
                return bad;
            }
            return impl_->DecodeCp932(bytes, out, final);
    }
    return 0;
}

std::string Cp932ToUtf8(std::string_view cp932) {
    TextDecoder decoder(TextEncoding::Cp932);
    std::string out;
    decoder.Decode(cp932, out, true);
    return out;
}

TextEncoding GuessCp932OrUtf8(std::string_view sample, bool complete) {
    std::size_t utf8Errors = 0, twoByte = 0, longer = 0;
    for (std::size_t i = 0; i < sample.size();) {
        const int len = Utf8SequenceLength(sample, i);
        if (len < 0 && !complete) break;  // cut at the sample's edge
        if (len <= 0) {
            ++utf8Errors;
            ++i;
            continue;
        }
        if (len == 2) ++twoByte;
        if (len >= 3) ++longer;
        i += static_cast<std::size_t>(len);
    }
    if (twoByte + longer + utf8Errors == 0) return TextEncoding::Cp932;  // ASCII only
    TextDecoder cp932(TextEncoding::Cp932);
    std::string scratch;
    const std::size_t cp932Errors = cp932.Decode(sample, scratch, complete);
    if (utf8Errors == 0 && cp932Errors == 0)
        return longer > twoByte ? TextEncoding::Utf8 : TextEncoding::Cp932;
    return utf8Errors < cp932Errors ? TextEncoding::Utf8 : TextEncoding::Cp932;
}

}  // namespace vantrel
