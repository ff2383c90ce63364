#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace vantrel {

// Encodings of the text files the program reads and writes. Inside the program every string is
// UTF-8; these conversions happen only where a file is read or written.
enum class TextEncoding { Cp932, Utf8, Utf8Bom, Utf16LE, Utf16BE };

// A short name for showing to the user ("Shift-JIS (CP932)", "UTF-8 (BOM付き)", ...).
std::string EncodingDisplayName(TextEncoding encoding);

// Length of the byte order mark the encoding starts its files with (0 for none).
std::size_t ByteOrderMarkLength(TextEncoding encoding);

inline constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
inline constexpr std::string_view kReplacementCharacter = "\xEF\xBF\xBD";  // U+FFFD

// Appends the UTF-8 form of one code point.
void AppendUtf8(std::string& out, uint32_t codePoint);

// Converts UTF-8 text to CP932. Returns false, leaving `out` in no particular state, when some
// character has no exact CP932 form: an emoji, a character outside JIS X 0208 and the Windows
// extensions, or one the converter would only approximate (〜 U+301C becomes ～ U+FF5E when read
// back).
bool Utf8ToCp932(std::string_view utf8, std::string& out);

// True when the whole text is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Decodes a byte stream in pieces to UTF-8. A byte sequence that is invalid in the encoding
// becomes U+FFFD; a sequence cut at the end of one piece is completed by the next.
class TextDecoder {
  public:
    explicit TextDecoder(TextEncoding encoding);
    ~TextDecoder();
    TextDecoder(const TextDecoder&) = delete;
    TextDecoder& operator=(const TextDecoder&) = delete;

    // Appends the decoded text of `bytes` to `out`. With `final`, a sequence left incomplete at
    // the end is invalid. Returns how many invalid sequences were replaced by this call; when
    // there were any and `firstBadAt` is given, it receives the offset in `out` of the first
    // replacement character.
    std::size_t Decode(std::string_view bytes, std::string& out, bool final,
                       std::size_t* firstBadAt = nullptr);

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

// Whole-text convenience for CP932 input; invalid sequences become U+FFFD.
std::string Cp932ToUtf8(std::string_view cp932);

// Which of CP932 and UTF-8 a sample of text without a byte order mark is written in. The one
// that decodes it wins; when both do (half-width kana pairs are valid UTF-8 by accident: ﾏｲ reads
// as ϲ), UTF-8 only when its 3- and 4-byte sequences, what Japanese UTF-8 is made of, outnumber
// the 2-byte ones (Latin, Greek, Cyrillic); when neither does, the one with fewer errors. In
// doubt, and for plain ASCII, CP932: the files' usual encoding. `complete` says the sample is
// the whole text, so a sequence cut at its end is an error rather than the sample's edge.
TextEncoding GuessCp932OrUtf8(std::string_view sample, bool complete);

}  // namespace vantrel
