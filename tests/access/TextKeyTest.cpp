#include "access/TextKey.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <sstream>

#include "TestSupport.h"
#include "access/IndexCheck.h"
#include "access/IndexKey.h"
#include "access/IndexTree.h"
#include "access/JetFile.h"
#include "access/RowCodec.h"
#include "access/TableRows.h"
#include "access/Verifier.h"
#include "common/Encoding.h"

namespace vantrel::access {
namespace {

using Status = enum TextKeyResult::Status;

// Upper-case hex, as the golden files write keys.
std::string Hex(std::string_view bytes) {
    std::string out = test::Hex(bytes);
    for (char& c : out)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return out;
}

std::string KeyHex(std::string_view utf8, uint8_t version, bool ascending = true) {
    const TextKeyResult result = TextColumnKey(utf8, version, ascending, false);
    EXPECT_EQ(result.Status, Status::Ok) << utf8;
    return Hex(result.Bytes);
}

// A JSON string literal as UTF-8; none for `null`.
std::optional<std::string> ParseJsonString(std::string_view json) {
    if (json == "null") return std::nullopt;
    std::string out;
    char32_t pendingHigh = 0;
    for (std::size_t i = 1; i + 1 < json.size(); ++i) {
        if (json[i] != '\\') {
            out.push_back(json[i]);
            continue;
        }
        const char escape = json[++i];
        if (escape != 'u') {
            static constexpr std::string_view kFrom = "\"\\/bfnrt", kTo = "\"\\/\b\f\n\r\t";
            out.push_back(kTo[kFrom.find(escape)]);
            continue;
        }
        const auto unit =
            static_cast<char32_t>(std::stoul(std::string(json.substr(i + 1, 4)), nullptr, 16));
        i += 4;
        if (unit >= 0xD800 && unit < 0xDC00) {
            pendingHigh = unit;
        } else if (unit >= 0xDC00 && unit < 0xE000 && pendingHigh) {
            AppendUtf8(out, 0x10000 + ((pendingHigh - 0xD800) << 10) + (unit - 0xDC00));
            pendingHigh = 0;
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

std::vector<std::vector<std::string>> ReadTsv(const std::string& path) {
    std::ifstream in(path);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::stringstream stream(line);
        std::string field;
        while (std::getline(stream, field, '\t'))
            fields.push_back(field);
        rows.push_back(std::move(fields));
    }
    return rows;
}

TEST(TextKey, EveryGoldenKeyOfBothSortOrdersAndDirections) {
    const auto rows = ReadTsv(test::Fixture("keys/golden-text-keys.tsv"));
    ASSERT_EQ(rows.size(), 20000u);
    int matched = 0, nulls = 0, shown = 0;
    for (const auto& row : rows) {
        ASSERT_EQ(row.size(), 4u);
        const uint8_t version = row[0] == "V2003" ? 0 : 1;
        const bool ascending = row[1] == "asc";
        const auto text = ParseJsonString(row[2]);
        std::string computed;
        if (!text) {
            computed = ascending ? "00" : "FF";  // a Null column is the flag alone
            ++nulls;
        } else {
            const TextKeyResult result = TextColumnKey(*text, version, ascending, false);
            computed = result.Status == Status::Ok ? Hex(result.Bytes) : "refused";
        }
        if (computed == row[3]) {
            ++matched;
        } else if (shown++ < 10) {
            ADD_FAILURE() << row[0] << " " << row[1] << " " << row[2] << "\n  golden   " << row[3]
                          << "\n  computed " << computed;
        }
    }
    EXPECT_EQ(matched, 20000);
    EXPECT_EQ(nulls, 4);
}

TEST(TextKey, CollidesWhereAccessDoesAndOnlyThere) {
    for (const uint8_t version : {uint8_t{0}, uint8_t{1}}) {
        for (bool ascending : {true, false}) {
            const auto same = [&](std::initializer_list<std::string_view> values) {
                const std::string first = KeyHex(*values.begin(), version, ascending);
                for (std::string_view value : values)
                    EXPECT_EQ(KeyHex(value, version, ascending), first)
                        << *values.begin() << " / " << value << " v" << int{version};
            };
            same({"a", "A", "ａ", "Ａ"});
            same({"abc", "ABC", "ａｂｃ", "abc   "});
            same({"あ", "ア", "ｱ"});
            same({"が", "ガ", "ｶﾞ", "か゛", "か\u3099"});
            same({"ぱ", "パ", "ﾊﾟ"});
            same({"ヴ", "ゔ", "ｳﾞ"});
            same({"A-001", "a-001", "Ａ－００１"});
            same({"é", "e\u0301"});
            same({"a b", "a　b"});
            const auto differ = [&](std::string_view a, std::string_view b) {
                EXPECT_NE(KeyHex(a, version, ascending), KeyHex(b, version, ascending))
                    << a << " / " << b << " v" << int{version};
            };
            differ("ア", "ァ");
            differ("つ", "っ");
            differ("A-001", "A001");
            differ("〜", "～");
            differ("a　", "a");
            differ("髙", "高");
            differ("か", "が");
        }
    }
    // Ascending keys sort like the values, descending ones the other way round.
    for (const uint8_t version : {uint8_t{0}, uint8_t{1}}) {
        const std::string_view ordered[] = {"", "a", "ab", "b", "か", "が", "き"};
        for (std::size_t i = 0; i + 1 < std::size(ordered); ++i) {
            const auto key = [&](std::size_t k, bool asc) {
                return TextColumnKey(ordered[k], version, asc, false).Bytes;
            };
            EXPECT_LT(key(i, true), key(i + 1, true)) << ordered[i];
            EXPECT_GT(key(i, false), key(i + 1, false)) << ordered[i];
        }
    }
    // Only the first 255 units count, a surrogate pair cut in two included.
    const std::string long255(255, 'x');
    EXPECT_EQ(KeyHex(long255 + "tail", 1), KeyHex(long255, 1));
    const std::u16string cut = std::u16string(254, u'x') + u'\xD83D';
    EXPECT_EQ(KeyHex(std::string(254, 'x') + "😀", 1),
              Hex(TextColumnKey(std::u16string_view(cut), 1, true, false).Bytes));
    EXPECT_EQ(KeyHex(std::string(254, 'x') + " y", 0), KeyHex(std::string(254, 'x'), 0));
}

TEST(TextKey, RefusesCharactersWithoutWeightAndUnverifiedMarks) {
    for (const uint8_t version : {uint8_t{0}, uint8_t{1}}) {
        for (const auto& [text, character] : std::vector<std::pair<std::string_view, char32_t>>{
                 {"한국", U'한'}, {"㐀", U'㐀'}, {"ab\xEE\x80\x80", 0xE000}, {"\xFF", 0xFFFD}}) {
            const TextKeyResult result = TextColumnKey(text, version, true, true);
            EXPECT_EQ(result.Status, Status::UnsupportedCharacter) << text;
            EXPECT_EQ(result.Character, character) << text;
            EXPECT_TRUE(result.Bytes.empty());
        }
        for (const auto& [text, mark] :
             std::vector<std::pair<std::string_view, char32_t>>{{"コーヒー", U'ー'},
                                                                {"ｺｰﾄﾞ", U'ｰ'},
                                                                {"佐々木", U'々'},
                                                                {"いすゞ", U'ゞ'},
                                                                {"ヽ", U'ヽ'},
                                                                {"〻", U'〻'},
                                                                {"〱", U'〱'},
                                                                {"゠", U'゠'}}) {
            const TextKeyResult result = TextColumnKey(text, version, true, false);
            EXPECT_EQ(result.Status, Status::UnverifiedMark) << text;
            EXPECT_EQ(result.Character, mark) << text;
        }
        // Past the 255 units that make the key, a mark does not matter.
        EXPECT_EQ(TextColumnKey(std::string(255, 'a') + "ー", version, true, false).Status,
                  Status::Ok);

        // Allowed, the marks take what comes before them, the way Windows sorts.
        const auto allowed = [&](std::string_view text) {
            const TextKeyResult result = TextColumnKey(text, version, true, true);
            EXPECT_EQ(result.Status, Status::Ok) << text;
            return Hex(result.Bytes);
        };
        EXPECT_EQ(allowed("コーヒー"), KeyHex("コオヒイ", version));
        EXPECT_EQ(allowed("ｺｰﾋｰ"), KeyHex("コオヒイ", version));
        EXPECT_EQ(allowed("ボールペン"), KeyHex("ボオルペン", version));
        EXPECT_EQ(allowed("キャー"), KeyHex("キャア", version));
        EXPECT_EQ(allowed("ガーー"), KeyHex("ガアア", version));
        EXPECT_EQ(allowed("佐々木"), KeyHex("佐佐木", version));
        EXPECT_EQ(allowed("人々々"), KeyHex("人人人", version));
        EXPECT_EQ(allowed("いすゞ"), KeyHex("いすず", version));
        EXPECT_EQ(allowed("ハヽ"), KeyHex("ハハ", version));
        EXPECT_EQ(allowed("ハヾ"), KeyHex("ハバ", version));
        EXPECT_EQ(allowed("ぶゝ"), KeyHex("ぶふ", version));
        EXPECT_NE(allowed("コーヒー"), allowed("コヒ"));
        // With nothing to lengthen or repeat, the weights table's own entry stands.
        const std::string a = version == 0 ? "4A" : "0E02";
        EXPECT_EQ(allowed("ー"), "7F" + a + "0100");
        EXPECT_EQ(allowed("ｰ"), "7F" + a + "0100");
        EXPECT_EQ(allowed("々"), "7F" + a + "01" + "0500");
    }
    // Every value the unverified list holds is refused by default.
    int refused = 0;
    const auto rows = ReadTsv(test::Fixture("keys/uncertain-text-keys.tsv"));
    for (const auto& row : rows) {
        const auto text = ParseJsonString(row[2]);
        ASSERT_TRUE(text);
        const uint8_t version = row[0] == "V2003" ? 0 : 1;
        refused +=
            TextColumnKey(*text, version, row[1] == "asc", false).Status == Status::UnverifiedMark;
    }
    EXPECT_EQ(refused, 2400);

    EXPECT_TRUE(TextSortOrderSupported(1033, 0));
    EXPECT_TRUE(TextSortOrderSupported(1033, 1));
    EXPECT_FALSE(TextSortOrderSupported(1041, 0));
    EXPECT_FALSE(TextSortOrderSupported(1053, 1));
    EXPECT_FALSE(TextSortOrderSupported(1033, 2));
}

TEST(TextKey, IndexKeysOfTextAndMemoColumnsReportWhatCannotBeKeyed) {
    JetTable table;
    const auto addColumn = [&](uint8_t type, uint16_t number, const char* name) {
        JetColumn column;
        column.Type = type;
        column.Number = number;
        column.Name = name;
        column.SortOrder = 1033;
        column.SortVersion = 1;
        table.Columns.push_back(column);
    };
    addColumn(JetType::Long, 0, "番号");
    addColumn(JetType::Text, 1, "商品名");
    addColumn(JetType::Memo, 2, "備考");
    JetRealIndex compound;
    compound.Columns = {{0, true}, {1, false}};
    JetRealIndex memo;
    memo.Columns = {{2, true}};
    EXPECT_TRUE(IndexSupportsKeys(table, compound, 5));
    EXPECT_TRUE(IndexSupportsKeys(table, memo, 5));

    const std::string one("\x01\x00\x00\x00", 4);
    const std::string compressed = EncodeJetText("abc", true), ucs2 = EncodeJetText("abc", false);
    ASSERT_NE(compressed, ucs2);
    std::vector<std::optional<std::string_view>> values = {one, compressed, std::nullopt};
    const std::string abcDesc = Hex(TextColumnKey("abc", 1, false, false).Bytes);
    KeyProblem problem;
    EXPECT_EQ(Hex(IndexKey(table, compound, values, {}, &problem).value_or("")),
              "7F80000001" + abcDesc);
    EXPECT_TRUE(problem.Column.empty());
    values[1] = ucs2;
    EXPECT_EQ(Hex(IndexKey(table, compound, values).value_or("")), "7F80000001" + abcDesc);
    values[1] = std::nullopt;
    EXPECT_EQ(Hex(IndexKey(table, compound, values).value_or("")), "7F80000001FF");

    // A memo's key comes from its text, the first 255 characters of it.
    const std::string memoText = EncodeJetText(std::string(300, 'm'), true);
    values[2] = memoText;
    EXPECT_EQ(IndexKey(table, memo, values).value_or(""),
              TextColumnKey(std::string(255, 'm'), 1, true, false).Bytes);

    const std::string coffee = EncodeJetText("コーヒー", true);
    values[1] = coffee;
    EXPECT_FALSE(IndexKey(table, compound, values, {}, &problem));
    EXPECT_EQ(problem.Column, "商品名");
    EXPECT_EQ(problem.Character, U'ー');
    EXPECT_TRUE(problem.Unverified);
    EXPECT_FALSE(IndexKey(table, compound, values)) << "the short form refuses too";
    KeyProblem none;
    EXPECT_EQ(Hex(IndexKey(table, compound, values, {true}, &none).value_or("")),
              "7F80000001" + Hex(TextColumnKey("コオヒイ", 1, false, false).Bytes));
    EXPECT_TRUE(none.Column.empty());
    const std::string hangul = EncodeJetText("김치", false);
    values[2] = hangul;
    problem = {};
    EXPECT_FALSE(IndexKey(table, memo, values, {true}, &problem));
    EXPECT_EQ(problem.Column, "備考");
    EXPECT_EQ(problem.Character, U'김');
    EXPECT_FALSE(problem.Unverified);

    // Sort orders without weights here stay unkeyed.
    table.Columns[1].SortOrder = 1041;
    EXPECT_FALSE(IndexSupportsKeys(table, compound, 5));
    table.Columns[1].SortOrder = 1033;
    table.Columns[1].SortVersion = 2;
    EXPECT_FALSE(IndexSupportsKeys(table, compound, 5));
}

bool HasTextColumn(const JetTable& table, const JetRealIndex& index) {
    for (const auto& key : index.Columns) {
        const JetColumn* column = table.ColumnByNumber(key.ColumnNumber);
        if (column && (column->Type == JetType::Text || column->Type == JetType::Memo)) return true;
    }
    return false;
}

struct Recomputed {
    std::size_t Indexes = 0, Entries = 0, Unkeyed = 0;
};

// Compares the leaf entries of every text index of the file with the keys of its rows.
Recomputed RecomputeTextIndexes(const std::string& path) {
    Recomputed counts;
    JetFile file;
    ErrorState error;
    EXPECT_TRUE(file.Open(path, error)) << path << ": " << error.Description;
    std::string problem;
    for (const auto& entry : ReadCatalog(file, problem)) {
        if (entry.Name.rfind("MSys", 0) == 0) continue;
        const auto table = ReadTableDefinition(file, entry.DefinitionPage, problem);
        if (!table) continue;
        for (const auto& index : table->RealIndexes) {
            if (!HasTextColumn(*table, index)) continue;
            EXPECT_TRUE(IndexSupportsKeys(*table, index, file.Version())) << path << entry.Name;
            if (!IndexSupportsKeys(*table, index, file.Version())) continue;
            ++counts.Indexes;
            std::vector<std::string> problems;
            std::vector<IndexEntry> unkeyed;
            auto expected = ExpectedIndexEntries(file, *table, index, problems, &unkeyed);
            EXPECT_TRUE(problems.empty()) << path << " " << entry.Name << ": " << problems.front();
            auto actual = WalkIndexTree(file, index, table->DefinitionPage).Entries;
            std::erase_if(actual, [&](const IndexEntry& e) {
                return std::any_of(unkeyed.begin(), unkeyed.end(), [&](const IndexEntry& u) {
                    return u.DataPage == e.DataPage && u.DataRow == e.DataRow;
                });
            });
            counts.Unkeyed += unkeyed.size();
            std::sort(actual.begin(), actual.end());
            EXPECT_EQ(actual.size(), expected.size()) << path << " " << entry.Name;
            for (std::size_t i = 0; i < std::min(actual.size(), expected.size()); ++i) {
                if (actual[i] == expected[i]) {
                    ++counts.Entries;
                    continue;
                }
                ADD_FAILURE() << path << " " << entry.Name << " entry " << i << ": file "
                              << Hex(actual[i].Key) << " computed " << Hex(expected[i].Key);
                break;
            }
        }
    }
    return counts;
}

TEST(TextKey, RecomputedEntriesEqualTheFixturesAndWhatAccessWrote) {
    for (const char* name : {"jet4_v2000.mdb", "jet4_v2003.mdb", "ace12_v2007.accdb",
                             "ace14_v2010.accdb", "ace16_v2016.accdb"}) {
        const Recomputed counts =
            RecomputeTextIndexes(test::Fixture(std::string("access/") + name));
        // AllTypes and its empty copy: Code, TextCol (twice descending), MemoCol, PlainText and
        // Long+Text; 商品マスタ and its copy three each, 受注明細 one, BigTable two.
        // The ACE14+ files add an attachment table keyed on file names.
        EXPECT_EQ(counts.Indexes, std::string_view(name).starts_with("ace1") &&
                                          !std::string_view(name).starts_with("ace12")
                                      ? 22u
                                      : 21u)
            << name;
        EXPECT_GT(counts.Entries, 10000u) << name;
        // Values with ー and ｰ, which the fixture writer keys as the letter A: not compared.
        EXPECT_EQ(counts.Unkeyed, 614u) << name;
    }
    Recomputed made;
    for (const std::string& path : test::AccessMadeFiles()) {
        const Recomputed counts = RecomputeTextIndexes(path);
        made.Indexes += counts.Indexes;
        made.Entries += counts.Entries;
        made.Unkeyed += counts.Unkeyed;
    }
    EXPECT_GE(made.Entries, 467u);
    EXPECT_EQ(made.Unkeyed, 1u) << "the Greek polytonic value";
}

TEST(TextKey, VerifierFindsATextEntryThatNoLongerMatchesItsRow) {
    const std::string original = test::ReadBytes(test::Fixture("access/ace14_v2010.accdb"));
    JetFile file;
    ErrorState error;
    ASSERT_TRUE(file.Open(test::Fixture("access/ace14_v2010.accdb"), error));
    std::string problem;
    JetTable table;
    for (const auto& e : ReadCatalog(file, problem)) {
        if (e.Name == "BigTable") table = *ReadTableDefinition(file, e.DefinitionPage, problem);
    }
    // Change a kanji of a Name in place into the next one: same length, other key.
    std::vector<std::string> problems;
    std::size_t at = 0;
    for (const auto& row : LiveRows(file, table, problems)) {
        const auto values = SplitRow(table, row.Bytes);
        if (!values[1]) continue;
        const auto offset = static_cast<std::size_t>(values[1]->data() - file.Page(0).data());
        const std::u16string units = JetTextUnits(*values[1]);
        ASSERT_EQ(units.size() * 2, values[1]->size()) << "stored uncompressed";
        for (std::size_t i = 0; i < units.size() && !at; ++i) {
            if (units[i] >= 0x4E00 && units[i] < 0x9F00 && (units[i] & 0xFF) < 0xFF)
                at = offset + 2 * i;
        }
        if (at) break;
    }
    ASSERT_NE(at, 0u);
    std::string damaged = original;
    damaged[at] = static_cast<char>(damaged[at] + 1);
    test::TempDir dir;
    test::WriteBytes(dir.File("d.accdb"), damaged);
    // Both indexes on Name, and nothing else.
    std::vector<std::string> lines = VerifyDatabase(dir.File("d.accdb"));
    std::sort(lines.begin(), lines.end());
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_NE(lines[0].find("BigTable の索引 IX_Name: 索引の項目が行と一致しません"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find("BigTable の索引 IX_Num_Name: 索引の項目が行と一致しません"),
              std::string::npos)
        << lines[1];
}

}  // namespace
}  // namespace vantrel::access
