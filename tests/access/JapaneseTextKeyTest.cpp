#include <gtest/gtest.h>

#include "KeyTestSupport.h"
#include "TestSupport.h"
#include "access/Bytes.h"
#include "access/IndexKey.h"
#include "access/JetFile.h"
#include "access/RowCodec.h"
#include "access/TextKey.h"
#include "common/Encoding.h"

namespace vantrel::access {
namespace {

using Status = enum TextKeyResult::Status;
using test_keys::Hex;
using test_keys::JsonArrayItems;
using test_keys::KeyHex;
using test_keys::ParseJsonString;
using test_keys::ReadTsv;

constexpr TextSortOrder kJapanese = TextSortOrder::Japanese;

std::string JapaneseHex(std::string_view utf8, bool ascending = true) {
    return test_keys::KeyHex(utf8, kJapanese, ascending);
}

TextKeyResult Japanese(std::string_view utf8, bool allowUnverified) {
    return TextColumnKey(utf8, kJapanese, true, allowUnverified);
}

// A table and an ascending index over the columns of one line of the key file, and the row's
// values as stored: TEXT as Unicode-compressed text of sort order 1041, LONG little-endian.
struct KeyFileEntry {
    JetTable Table;
    JetRealIndex Index;
    std::vector<std::string> Stored;
    std::vector<std::optional<std::string_view>> Values;
};

void ReadEntry(const std::string& columnsJson, const std::string& valuesJson, KeyFileEntry& entry) {
    const auto columns = JsonArrayItems(columnsJson);
    const auto values = JsonArrayItems(valuesJson);
    ASSERT_EQ(columns.size(), values.size()) << columnsJson << valuesJson;
    entry.Stored.resize(columns.size());
    for (std::size_t c = 0; c < columns.size(); ++c) {
        const auto nameAndType = JsonArrayItems(columns[c]);
        ASSERT_EQ(nameAndType.size(), 2u) << columns[c];
        JetColumn column;
        column.Name = ParseJsonString(nameAndType[0]).value_or("");
        column.Number = static_cast<uint16_t>(c);
        const bool text = nameAndType[1] == "\"TEXT\"";
        column.Type = text ? JetType::Text : JetType::Long;
        column.SortOrder = 1041;
        column.SortVersion = 0;
        entry.Table.Columns.push_back(column);
        entry.Index.Columns.push_back({column.Number, true});
        if (values[c] == "null") {
            entry.Values.emplace_back();
            continue;
        }
        if (text) {
            entry.Stored[c] = EncodeJetText(*ParseJsonString(values[c]), true);
        } else {
            const auto number = static_cast<uint32_t>(std::stoll(values[c]));
            entry.Stored[c].resize(4);
            Put32(entry.Stored[c].data(), number);
        }
        entry.Values.emplace_back(entry.Stored[c]);
    }
}

// Every index entry Japanese Access wrote, Text alone and compound with Long columns.
TEST(JapaneseTextKey, EveryEntryJapaneseAccessWrote) {
    const auto rows = ReadTsv(test::Fixture("keys/japanese-access-keys.tsv"));
    ASSERT_EQ(rows.size(), 4331u);
    int matched = 0, compound = 0, nonAscii = 0, shown = 0;
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 6u);
        KeyFileEntry entry;
        ReadEntry(row[3], row[4], entry);
        compound += entry.Table.Columns.size() > 1;
        nonAscii += std::any_of(row[4].begin(), row[4].end(), [](char c) { return c & 0x80; });
        ASSERT_TRUE(IndexSupportsKeys(entry.Table, entry.Index, 1));
        KeyProblem problem;
        const auto key = IndexKey(entry.Table, entry.Index, entry.Values, {}, &problem);
        const std::string computed = key ? Hex(*key) : "refused at '" + problem.Column + "'";
        if (computed == row[5]) {
            ++matched;
        } else if (shown++ < 10) {
            ADD_FAILURE() << row[2] << " " << row[4] << "\n  Access   " << row[5] << "\n  computed "
                          << computed;
        }
    }
    EXPECT_EQ(matched, 4331);
    EXPECT_GT(compound, 2000);
    EXPECT_EQ(nonAscii, 331);
}

// Each ideograph of the weights table alone: its two bytes, nothing else.
TEST(JapaneseTextKey, EveryIdeographTakesItsWeightFromTheTable) {
    const auto rows = ReadTsv(test::Fixture("../notes/access-text-weights-1041-kanji.tsv"));
    ASSERT_EQ(rows.size(), 7066u);
    int matched = 0;
    for (const auto& row : rows) {
        std::string character;
        AppendUtf8(character, static_cast<uint32_t>(std::stoul(row[0], nullptr, 16)));
        if (JapaneseHex(character) == "7F" + row[1] + "0100") ++matched;
    }
    EXPECT_EQ(matched, 7066);
    // The table overrides General legacy (髙 and 﨑 in the extension block); other characters
    // keep their General legacy keys.
    EXPECT_EQ(JapaneseHex("髙"), "7F9CCA0100");
    EXPECT_EQ(JapaneseHex("﨑"), "7F9BBE0100");
    EXPECT_NE(JapaneseHex("高"), KeyHex("高", TextSortOrder::GeneralLegacy));
    for (std::string_view same : {"MG-0003", "〒100-0001", "Ａｂｃ　ｄ", "〆〇〃", "𠮷"})
        EXPECT_EQ(JapaneseHex(same), KeyHex(same, TextSortOrder::GeneralLegacy)) << same;
}

TEST(JapaneseTextKey, LongVowelIterationAndTheKanaTrailer) {
    // ー after a kana is a kana unit of its vowel, marked 3 in the long-vowel section.
    EXPECT_EQ(JapaneseHex("コーヒー"), "7F7F0E7F067F2B7F03010101FF9DB00280FF8000");
    EXPECT_EQ(JapaneseHex("寿々木商店株式会社"), "7F861B861B8C31868F8954828885CB822485F001020500");
    EXPECT_EQ(JapaneseHex("バナナキャンディー"),
              "7F7F2A7F227F227F0B7F3A7F807F1D7F037F030103020202020203"
              "0101BFBBBAFF959597028080FF808000");
    // Half-width kana are their full-width forms, ﾞ and ﾟ included; hiragana are katakana.
    EXPECT_EQ(JapaneseHex("Northwind ｶｽﾀﾑ ﾒﾆｭｰ ﾊﾞｰ"),
              JapaneseHex("Northwind カスタム メニュー バー"));
    EXPECT_EQ(JapaneseHex("ﾊﾟｲﾝｼﾞｭｰｽ"), JapaneseHex("ぱいんじゅーす"));
    EXPECT_EQ(JapaneseHex("MG000３"), JapaneseHex("MG0003"));
    // More kana units, more 80s: one per seven units, in both places.
    std::string fifteen;
    for (int i = 0; i < 15; ++i)
        fifteen += i % 2 ? "ア" : "ー";
    EXPECT_EQ(
        JapaneseHex("ア" + fifteen), "7F" + std::string("7F02") +
                                         [] {
                                             std::string inline_;
                                             for (int i = 0; i < 15; ++i)
                                                 inline_ += "7F02";
                                             return inline_;
                                         }() +
                                         "010101FF" + "9DB79DB79DB0" + "02808080FF80808000");
    // Descending keys turn every byte of the body and its end.
    const std::string up = JapaneseHex("ラーメン佐々木"),
                      down = JapaneseHex("ラーメン佐々木", false);
    ASSERT_EQ(down.size(), up.size() + 2);
    std::string turned = "80";
    for (std::size_t i = 2; i < up.size(); i += 2)
        turned += Hex(std::string(1, static_cast<char>(~std::stoi(up.substr(i, 2), nullptr, 16))));
    EXPECT_EQ(down, turned + "00");
}

// A unique index refuses what Access takes for the same value: kana type and width.
TEST(JapaneseTextKey, CollidesWhereAccessDoesAndOnlyThere) {
    for (const bool ascending : {true, false}) {
        const auto same = [&](std::initializer_list<std::string_view> values) {
            for (std::string_view value : values)
                EXPECT_EQ(JapaneseHex(value, ascending), JapaneseHex(*values.begin(), ascending))
                    << *values.begin() << " / " << value;
        };
        same({"あ", "ア", "ｱ"});
        same({"が", "ガ", "ｶﾞ", "か゛"});
        same({"ラーメン", "らーめん", "ﾗｰﾒﾝ"});
        same({"ABC-1", "abc-1", "ＡＢＣ－１", "ABC-1  "});
        same({"佐々木", "佐々木 "});
        const std::pair<std::string_view, std::string_view> apart[] = {
            {"ア", "ァ"}, {"コーヒー", "コオヒイ"}, {"髙", "高"}, {"﨑", "崎"}, {"a　", "a"},
            {"〜", "～"}, {"佐々木", "佐佐木"}};
        for (const auto& [a, b] : apart)
            EXPECT_NE(JapaneseHex(a, ascending), JapaneseHex(b, ascending)) << a << " / " << b;
    }
}

TEST(JapaneseTextKey, RefusesWhatAccessWasNeverSeenToWriteUnlessAllowed) {
    const std::pair<std::string_view, char32_t> unverified[] = {
        {"C:\\data", U'\\'}, {"A―B", U'―'},   {"㍻元年", U'㍻'}, {"丂", U'丂'},
        {"ーあ", U'ー'},     {"ンー", U'ー'}, {"Aー", U'ー'},    {"カーー", U'ー'},
        {"ｰ", U'ｰ'},         {"々", U'々'},   {"あ々", U'々'},   {"いすゞ", U'ゞ'},
        {"ヽ", U'ヽ'},       {"〻", U'〻'},   {"〱", U'〱'},     {"゠", U'゠'}};
    for (const auto& [text, character] : unverified) {
        const TextKeyResult refused = Japanese(text, false);
        EXPECT_EQ(refused.Status, Status::UnverifiedCharacter) << text;
        EXPECT_EQ(refused.Character, character) << text;
        EXPECT_TRUE(refused.Bytes.empty());
        EXPECT_EQ(Japanese(text, true).Status, Status::Ok) << text;
    }
    // Allowed, they follow the Windows table: \ weighs as ¥, ― lengthens like ー, marks repeat
    // what is before them; with nothing to lengthen, the General legacy entry stands.
    const auto allowed = [](std::string_view text) { return Hex(Japanese(text, true).Bytes); };
    const std::pair<std::string_view, std::string_view> windowsStyle[] = {{"C:\\data", "C:¥data"},
                                                                          {"カ―", "カー"},
                                                                          {"あ々", "ああ"},
                                                                          {"いすゞ", "いすず"},
                                                                          {"ーあ", "Aあ"}};
    for (const auto& [marked, plain] : windowsStyle)
        EXPECT_EQ(allowed(marked), JapaneseHex(plain)) << marked;
    EXPECT_EQ(allowed("丂"), KeyHex("丂", TextSortOrder::GeneralLegacy));
    EXPECT_NE(allowed("カーー"), JapaneseHex("カー"));
    // No weight at all is refused even when allowed.
    for (const auto& [text, character] : std::vector<std::pair<std::string_view, char32_t>>{
             {"한", U'한'}, {"㐀", U'㐀'}, {"\xEF\xA8\xB0", 0xFA30}}) {
        const TextKeyResult result = Japanese(text, true);
        EXPECT_EQ(result.Status, Status::UnsupportedCharacter) << text;
        EXPECT_EQ(result.Character, character) << text;
    }
}

}  // namespace
}  // namespace vantrel::access
