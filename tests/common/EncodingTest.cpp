#include "common/Encoding.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "TestSupport.h"

namespace vantrel {
namespace {

TEST(Encoding, Cp932RoundTripsIncludingWindowsExtensions) {
    const std::string text = "髙橋①～\\~ｶﾀｶﾅ 商品コード";
    std::string cp932;
    ASSERT_TRUE(Utf8ToCp932(text, cp932));
    EXPECT_EQ(cp932.substr(0, 2), "\xFB\xFC") << "髙 is an IBM extension kanji";
    EXPECT_EQ(Cp932ToUtf8(cp932), text);
    EXPECT_FALSE(Utf8ToCp932("😀", cp932));
    EXPECT_FALSE(Utf8ToCp932("\xC3", cp932)) << "broken UTF-8 is not converted";
}

TEST(Encoding, Cp932FormIsOnlyAcceptedWhenItReadsBackExactly) {
    std::string cp932;
    // Characters the converter folds onto the code of another: none has an exact form.
    for (const char* folded : {"〜", "¥", "−", "—", "‖", "¢", "£", "¬"}) {
        EXPECT_FALSE(Utf8ToCp932(std::string("期間（4月") + folded + "6月）", cp932)) << folded;
        EXPECT_TRUE(cp932.empty());
    }
    // Their partners are the characters CP932 really holds.
    for (const char* kept : {"～", "\\", "－", "―", "∥", "￠", "￡", "￢"}) {
        ASSERT_TRUE(Utf8ToCp932(kept, cp932)) << kept;
        EXPECT_EQ(Cp932ToUtf8(cp932), kept);
    }
    // Symbols with NEC and IBM duplicates keep one code; every duplicate reads back as the same
    // character, so a name read from any of them is saved and read again unchanged.
    const std::vector<std::pair<std::string, std::vector<std::string>>> duplicates = {
        {"￢", {"\x81\xCA", "\xEE\xF9", "\xFA\x54"}},
        {"∵", {"\x81\xE6", "\x87\x9A", "\xFA\x5B"}},
        {"≒", {"\x81\xE0", "\x87\x90"}},
        {"≡", {"\x81\xDF", "\x87\x91"}},
        {"∫", {"\x81\xE7", "\x87\x92"}},
        {"∮", {"\x87\x93"}},
        {"√", {"\x81\xE3", "\x87\x95"}},
        {"⊥", {"\x81\xDB", "\x87\x96"}},
        {"∠", {"\x81\xDA", "\x87\x97"}},
        {"∟", {"\x87\x98"}},
        {"⊿", {"\x87\x99"}},
        {"∩", {"\x81\xBF", "\x87\x9B"}},
        {"∪", {"\x81\xBE", "\x87\x9C"}},
        {"ⅰ", {"\xEE\xEF", "\xFA\x40"}},
        {"￤", {"\xEE\xFA", "\xFA\x55"}},
        {"＇", {"\xEE\xFB", "\xFA\x56"}},
    };
    for (const auto& [character, codes] : duplicates) {
        ASSERT_TRUE(Utf8ToCp932(character, cp932)) << character;
        EXPECT_EQ(Cp932ToUtf8(cp932), character);
        for (const std::string& code : codes)
            EXPECT_EQ(Cp932ToUtf8(code), character) << test::Hex(code);
    }
}

TEST(Encoding, GuessTellsCp932FromUtf8ByWhatTheTextWouldBe) {
    std::string kana, kanji;  // CP932 forms
    ASSERT_TRUE(Utf8ToCp932("ﾏｲﾅｽ,ﾒｰ", kana));
    ASSERT_TRUE(Utf8ToCp932("東京都,マイナス", kanji));
    ASSERT_TRUE(IsValidUtf8(kana)) << "half-width kana pairs are UTF-8 by accident";
    std::string longJapanese;
    for (int i = 0; i < 200; ++i)
        longJapanese += "山田太郎,東京都千代田区\r\n";
    const struct {
        std::string sample;
        bool complete;
        TextEncoding expected;
    } cases[] = {
        {kana, true, TextEncoding::Cp932},
        {kanji, true, TextEncoding::Cp932},
        {"ﾏｲﾅｽ,ﾒｰ", true, TextEncoding::Utf8},  // the same kana written in UTF-8
        {"東京都,マイナス", true, TextEncoding::Utf8},
        {"Café,東京", true, TextEncoding::Utf8},
        {"Café", true, TextEncoding::Cp932},  // 2-byte sequences only: in doubt, CP932
        {"plain,ascii\r\n", true, TextEncoding::Cp932},
        {"東京\xE4\xBA", false, TextEncoding::Utf8},  // cut at the sample's edge
        {longJapanese + "\xFF" + longJapanese, true, TextEncoding::Utf8},  // one damaged byte
        {kanji + "\xFF" + kanji, true, TextEncoding::Cp932},
    };
    for (const auto& c : cases)
        EXPECT_EQ(GuessCp932OrUtf8(c.sample, c.complete), c.expected) << c.sample;
}

TEST(Encoding, InvalidSequencesBecomeReplacementCharactersAndAreLocated) {
    std::string out;
    std::size_t at = 99;
    TextDecoder cp932(TextEncoding::Cp932);
    // 0x85 0x40 is unassigned, 0xFF is never a CP932 byte; ASCII after them is kept.
    EXPECT_EQ(cp932.Decode("ab\x85\x40"
                           "c\xFF"
                           "d",
                           out, true, &at),
              2u);
    EXPECT_EQ(out,
              "ab\xEF\xBF\xBD"
              "c\xEF\xBF\xBD"
              "d");
    EXPECT_EQ(at, 2u);

    out.clear();
    TextDecoder utf8(TextEncoding::Utf8);
    EXPECT_EQ(utf8.Decode("x\xC0\xAFy\xED\xA0\x80", out, true), 5u) << "overlong and surrogate";
    EXPECT_EQ(out.substr(0, 1), "x");
    EXPECT_TRUE(IsValidUtf8(out));
}

TEST(Encoding, SequencesCutBetweenPiecesAreJoined) {
    const std::string sjis = "\x82\xa0\x82\xa2";  // あい
    const std::string utf8 = "あい";
    const std::string utf16le("\x42\x30\x44\x30\x3D\xD8\x00\xDE", 8);  // あい😀
    for (std::size_t cut = 0; cut <= 4; ++cut) {
        std::string out;
        TextDecoder d(TextEncoding::Cp932);
        EXPECT_EQ(d.Decode(sjis.substr(0, cut), out, false) + d.Decode(sjis.substr(cut), out, true),
                  0u);
        EXPECT_EQ(out, "あい");
    }
    for (std::size_t cut = 0; cut <= utf8.size(); ++cut) {
        std::string out;
        TextDecoder d(TextEncoding::Utf8);
        d.Decode(utf8.substr(0, cut), out, false);
        d.Decode(utf8.substr(cut), out, true);
        EXPECT_EQ(out, utf8);
    }
    for (std::size_t cut = 0; cut <= utf16le.size(); ++cut) {
        std::string out;
        TextDecoder d(TextEncoding::Utf16LE);
        d.Decode(utf16le.substr(0, cut), out, false);
        d.Decode(utf16le.substr(cut), out, true);
        EXPECT_EQ(out, "あい😀") << cut;
    }
    std::string out;
    TextDecoder d(TextEncoding::Cp932);
    EXPECT_EQ(d.Decode("a\x82", out, true), 1u) << "a lead byte at the very end is invalid";
}

}  // namespace
}  // namespace vantrel
