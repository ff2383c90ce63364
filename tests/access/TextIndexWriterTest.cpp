#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "TestSupport.h"
#include "WriterSupport.h"
#include "access/Bytes.h"
#include "access/JetFile.h"

namespace vantrel {
namespace {

using test_writer::Copy;
using test_writer::Export;
using test_writer::OpenForChanges;
using test_writer::Problems;

// Adds one product and gives back the error number it met (0 when written).
int32_t AddProduct(Recordset& products, ErrorState& error, const std::string& code,
                   const std::string& title) {
    products.AddNew();
    products.SetValue("商品コード", Value::Text(code));
    products.SetValue("商品名", Value::Text(title));
    products.Update();
    const int32_t number = error.Number;
    error.Clear();
    return number;
}

// Changes one field of the current row and gives back the error number it met.
int32_t Change(Recordset& rs, ErrorState& error, const std::string& field, Value value) {
    rs.Edit();
    rs.SetValue(field, std::move(value));
    rs.Update();
    const int32_t number = error.Number;
    error.Clear();
    return number;
}

// A change keys again only the indexes whose columns it changes: names with a long-vowel mark
// that General legacy refuses do not keep their rows from taking a new price.
TEST(AccessWriter, AChangeKeysOnlyTheIndexesItTouches) {
    test::TempDir dir;
    const std::string path = Copy(dir, "ace14_v2010.accdb");
    ErrorState error;
    Engine engine(error);
    auto db = OpenForChanges(engine, path);
    ASSERT_TRUE(db);
    auto products = db->OpenRecordset("商品マスタ");
    ASSERT_TRUE(products) << error.Description;
    int rows = 0, marked = 0;
    for (; !products->Eof(); products->MoveNext(), ++rows) {
        const std::string title = products->GetValue("商品名").Str();
        const bool mark =
            title.find("ー") != std::string::npos || title.find("ｰ") != std::string::npos;
        marked += mark;
        EXPECT_EQ(Change(*products, error, "単価", Value::Currency((1000 + rows) * 10000)), 0)
            << title;
        // The same name again changes nothing that is indexed, however it is stored.
        EXPECT_EQ(Change(*products, error, "商品名", Value::Text(title)), 0) << title;
        EXPECT_EQ(Change(*products, error, "商品名", Value::Text(title + "2")), mark ? 3251 : 0)
            << title;
    }
    EXPECT_EQ(rows, 26);
    EXPECT_EQ(marked, 5);
    db->Close();
    ASSERT_FALSE(error.IsSet()) << error.Description;
    EXPECT_EQ(Problems(path), "");
    // Rows that grew moved, so mdb-export lists them in another order: compare the prices.
    std::set<std::string> prices;
    for (const auto& line : Export(path, "商品マスタ")) {
        const std::size_t at = line.find("|10");
        if (at != std::string::npos) prices.insert(line.substr(at + 1, 9));
    }
    std::set<std::string> expected;
    for (int n = 0; n < 26; ++n)
        expected.insert(std::to_string(1000 + n) + ".0000");
    EXPECT_EQ(prices, expected);
}

// The two fixtures whose text columns have the Japanese sort order.
class JapaneseSortOrder : public testing::TestWithParam<const char*> {};

TEST_P(JapaneseSortOrder, ProductMasterInNewModeWithDuplicatesAndChangedNames) {
    test::TempDir dir;
    const std::string path = Copy(dir, GetParam());
    std::set<std::string> ordered;  // products that order lines refer to
    for (const auto& line : Export(path, "受注明細")) {
        const std::size_t bar = line.find('|');
        if (line.starts_with("明細ID") || bar == std::string::npos) continue;
        ordered.insert(line.substr(bar + 1, line.find('|', bar + 1) - bar - 1));
    }
    ASSERT_GT(ordered.size(), 5u);
    ErrorState error;
    Engine engine(error);
    auto db = OpenForChanges(engine, path);
    ASSERT_TRUE(db);
    auto products = db->OpenRecordset("商品マスタ");
    ASSERT_TRUE(products) << error.Description;

    // New mode: every product goes but those the order lines refer to.
    std::set<std::string> kept;
    int deleted = 0;
    for (; !products->Eof(); products->MoveNext()) {
        const std::string code = products->GetValue("商品コード").Str();
        products->Delete();
        if (error.Number == 3200) {
            kept.insert("\"" + code + "\"");
        } else {
            EXPECT_FALSE(error.IsSet()) << code << ": " << error.Description;
            ++deleted;
        }
        error.Clear();
    }
    EXPECT_EQ(kept, ordered);
    EXPECT_EQ(deleted + static_cast<int>(kept.size()), 25);

    // Kana type and width variants are the same key: the second one is a duplicate.
    const struct {
        const char* Code;
        const char* Title;
        int32_t Error;
    } added[] = {
        {"新-001", "静岡の緑茶", 0},
        {"しん-1", "宇治抹茶", 0},
        {"シン-1", "重複", 3022},
        {"ｼﾝ-1", "重複", 3022},
        {"ラーメン-1", "味噌ラーメン", 0},
        {"らーめん-1", "重複", 3022},
        {"ﾗｰﾒﾝ-1", "重複", 3022},
        {"ｺｰﾋｰ-1", "ﾌﾞﾙｰﾏｳﾝﾃﾝ", 0},
        {"コーヒー-1", "重複", 3022},
        {"コオヒイ-1", "別の値", 0},
        {"佐々木-1", "佐々木農園の梨", 0},
        {"佐々木－１", "重複", 3022},
        {"髙島-1", "髙島屋の羊羹", 0},
        {"高島-1", "別の値", 0},
        {"ABC", "英字", 0},
        {"ａｂｃ", "重複", 3022},
        {"ﾊﾟｲﾝ-1", "ﾊﾟｲﾝｼﾞｭｰｽ　大", 0},
        {"ぱいん-1", "重複", 3022},
    };
    for (const auto& product : added)
        EXPECT_EQ(AddProduct(*products, error, product.Code, product.Title), product.Error)
            << product.Code;
    // A mark whose key nobody has seen is refused, naming field, character and the way out.
    products->AddNew();
    products->SetValue("商品コード", Value::Text("ーから"));
    products->SetValue("商品名", Value::Text("長音で始まる"));
    products->Update();
    EXPECT_EQ(error.Number, 3251);
    for (const char* part : {"'商品マスタ'", "'商品コード'", "'ー' (U+30FC)",
                             "未確認の索引キーを許可する", "--allow-unverified-keys"})
        EXPECT_NE(error.Description.find(part), std::string::npos) << error.Description;
    error.Clear();

    // Indexed names change, long-vowel marks and iteration marks included.
    products->Close();
    products = db->OpenRecordset("商品マスタ");
    int changed = 0;
    for (; !products->Eof(); products->MoveNext(), ++changed) {
        const std::string title = products->GetValue("商品名").Str();
        EXPECT_EQ(Change(*products, error, "商品名", Value::Text(title + "（改）")), 0) << title;
    }
    EXPECT_EQ(changed, static_cast<int>(kept.size()) + 10);
    db->Close();
    ASSERT_FALSE(error.IsSet()) << error.Description;
    EXPECT_EQ(Problems(path), "");
    const auto lines = Export(path, "商品マスタ");
    EXPECT_EQ(lines.size(), 1u + kept.size() + 10u);
    for (const char* row :
         {"\"ラーメン-1\"|\"味噌ラーメン（改）\"", "\"佐々木-1\"|\"佐々木農園の梨（改）\"",
          "\"ﾊﾟｲﾝ-1\"|\"ﾊﾟｲﾝｼﾞｭｰｽ　大（改）\""}) {
        EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [&](const std::string& line) {
            return line.starts_with(row);
        })) << row;
    }
}

// A refused value leaves the file exactly as a run without that row; allowed, it is keyed the
// Windows way and the run names the table for Compact and Repair.
TEST_P(JapaneseSortOrder, UnverifiedCharactersAreRefusedOrAllowedByChoice) {
    test::TempDir dir;
    const std::vector<std::string> codes = {"茶-1", "ーから", "茶-2", "C:\\", "㍻-1", "佐々木"};
    const auto refused = test_writer::AddProducts(dir, GetParam(), "with", codes, false);
    EXPECT_EQ(refused.Refused, 3);
    EXPECT_TRUE(refused.Notices.empty());
    test_writer::AddProducts(dir, GetParam(), "without", {"茶-1", "茶-2", "佐々木"}, false);
    EXPECT_TRUE(test::ReadBytes(dir.File("with")) == test::ReadBytes(dir.File("without")));

    const auto allowed = test_writer::AddProducts(dir, GetParam(), "allowed", codes, true);
    EXPECT_EQ(allowed.Refused, 0);
    ASSERT_EQ(allowed.Notices.size(), 1u);
    EXPECT_NE(allowed.Notices[0].find("最適化/修復"), std::string::npos) << allowed.Notices[0];
    EXPECT_EQ(Export(dir.File("allowed"), "空の商品マスタ").size(), 7u);
    EXPECT_EQ(Problems(dir.File("allowed")), "");

    // Later runs that do not allow them still change the rest of such a row, and delete it.
    ErrorState error;
    Engine engine(error);
    auto db = OpenForChanges(engine, dir.File("allowed"));
    ASSERT_TRUE(db);
    auto products = db->OpenRecordset("空の商品マスタ");
    ASSERT_TRUE(products) << error.Description;
    int unverified = 0;
    for (; !products->Eof(); products->MoveNext()) {
        const std::string code = products->GetValue("商品コード").Str();
        EXPECT_EQ(Change(*products, error, "在庫数", Value::Integer(7)), 0) << code;
        const bool plain = code == "茶-1" || code == "茶-2" || code == "佐々木";
        if (plain) continue;
        ++unverified;
        EXPECT_EQ(Change(*products, error, "商品コード", Value::Text(code + "2")), 3251) << code;
        products->Delete();
        EXPECT_FALSE(error.IsSet()) << code << ": " << error.Description;
    }
    EXPECT_EQ(unverified, 3);
    db->Close();
    ASSERT_FALSE(error.IsSet()) << error.Description;
    EXPECT_EQ(Problems(dir.File("allowed")), "");
    EXPECT_TRUE(test::ReadBytes(test::Fixture(std::string("access/") + GetParam())) !=
                test::ReadBytes(dir.File("allowed")));
    EXPECT_EQ(Export(dir.File("allowed"), "空の商品マスタ").size(), 4u);
}

// Descending, Memo and compound text indexes of the Japanese order, several levels deep.
TEST_P(JapaneseSortOrder, EveryKindOfTextIndex) {
    test::TempDir dir;
    const std::string path = Copy(dir, GetParam());
    ErrorState error;
    Engine engine(error);
    auto db = OpenForChanges(engine, path);
    ASSERT_TRUE(db);
    auto all = db->OpenRecordset("EmptyAllTypes");
    ASSERT_TRUE(all) << error.Description;
    const char* const words[] = {"コーヒー", "佐々木",       "ｶﾞｰﾃﾞﾝ",
                                 "髙﨑",     "ぴょんぴょん", "ＡＢＣ　ｄ"};
    const int rows = VANTREL_SANITIZED ? 600 : 3000;
    for (int n = 0; n < rows; ++n) {
        const std::string word = words[n % 6];
        all->AddNew();
        all->SetValue("Code", Value::Text(word + std::to_string(n)));
        all->SetValue("RequiredText", Value::Text("必須"));
        if (n % 7) all->SetValue("TextCol", Value::Text(word + std::to_string(n % 100)));
        all->SetValue("MemoCol",
                      Value::Text(std::string(static_cast<std::size_t>(n % 5) * 90, 'x') + word +
                                  std::to_string(n)));
        all->SetValue("LongCol", Value::Integer(n % 13));
        if (n % 3) all->SetValue("PlainText", Value::Text(word));
        all->Update();
        ASSERT_FALSE(error.IsSet()) << n << ": " << error.Description;
    }
    db->Close();
    ASSERT_FALSE(error.IsSet()) << error.Description;
    EXPECT_EQ(Problems(path), "");
    EXPECT_EQ(Export(path, "EmptyAllTypes").size(), static_cast<std::size_t>(rows) + 1);
}

// A text index of a sort order without weights refuses the table before anything is written.
TEST_P(JapaneseSortOrder, OtherSortOrdersAreRefusedBeforeAnythingIsWritten) {
    test::TempDir dir;
    const std::string path = Copy(dir, GetParam());
    std::string bytes = test::ReadBytes(path);
    {
        access::JetFile file;
        ErrorState error;
        ASSERT_TRUE(file.Open(path, error));
        std::string problem;
        for (const auto& entry : access::ReadCatalog(file, problem)) {
            if (entry.Name != "空の商品マスタ") continue;
            const auto table = access::ReadTableDefinition(file, entry.DefinitionPage, problem);
            ASSERT_TRUE(table && table->DefinitionPages.size() == 1);
            ASSERT_EQ(table->Columns[0].Name, "商品コード");
            // Column descriptors follow the table block and the physical indexes; bytes 11-14
            // hold the sort order: 1053 (Swedish) in place of 1041.
            const std::size_t at = std::size_t{entry.DefinitionPage} * access::JetFile::kPageSize +
                                   63 + 12 * table->RealIndexes.size() + 11;
            ASSERT_EQ(access::U16(bytes, at), 1041);
            bytes[at] = 0x1D;
        }
    }
    test::WriteBytes(path, bytes);
    ErrorState error;
    Engine engine(error);
    auto db = OpenForChanges(engine, path);
    ASSERT_TRUE(db);
    EXPECT_FALSE(db->OpenRecordset("空の商品マスタ"));
    EXPECT_EQ(
        error.Description,
        "テーブル '空の商品マスタ' のフィールド '商品コード' の索引 'PrimaryKey' の並べ替え順 "
        "(1053, 版 0) が、索引キーを作れる「一般 - 従来」(1033, 版 0)、「一般」(1033, 版 1)、"
        "「日本語」(1041, 版 0) のどれでもない");
    error.Clear();
    EXPECT_TRUE(db->OpenRecordset("商品マスタ")) << "the other tables stay writable";
    db->Close();
    EXPECT_TRUE(test::ReadBytes(path) == bytes);
}

INSTANTIATE_TEST_SUITE_P(Fixtures, JapaneseSortOrder,
                         testing::Values("jet4_v2003_ja.mdb", "ace12_v2007_ja.accdb"));

}  // namespace
}  // namespace vantrel
