#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <random>

#include "TestSupport.h"
#include "ToolSupport.h"
#include "WriterSupport.h"
#include "access/IndexTree.h"
#include "access/JetFile.h"
#include "access/RowCodec.h"
#include "access/Verifier.h"
#include "sources/engine/Engine.h"

namespace vantrel {
namespace {

using test_writer::Copy;
using test_writer::Export;
using test_writer::kFormats;
using test_writer::KillAfterSteps;
using test_writer::OpenForChanges;
using test_writer::Problems;
using test_writer::ValueFor;

TEST(AccessWriter, AppendsRowsToTablesWithoutIndexes) {
    for (const char* name : kFormats) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        const std::string path = Copy(dir, name);
        ErrorState error;
        Engine engine(error);
        {
            auto db = engine.OpenDatabase(path, 2, false);
            ASSERT_TRUE(db) << error.Description;
            auto rs = db->OpenRecordset("EmptyNoIndex");
            ASSERT_TRUE(rs) << error.Description;
            for (int i = 0; i < 100; ++i) {
                rs->AddNew();
                if (i % 7 != 3)
                    rs->SetValue("A", Value::Text(i % 2 ? "日本語" + std::to_string(i)
                                                        : "abc" + std::to_string(i)));
                rs->SetValue("B", Value::Text(std::to_string(i * 1000 - 50000)));
                rs->SetValue("C", Value::Boolean(i % 3 == 0));
                if (i % 5 != 0) rs->SetValue("D", Value::Double(i / 4.0));
                rs->Update();
                ASSERT_FALSE(error.IsSet()) << error.Description;
            }
            rs->Close();
            db->Close();
            ASSERT_FALSE(error.IsSet()) << error.Description;
        }
        EXPECT_EQ(Problems(path), "");
        const auto lines = Export(path, "EmptyNoIndex");
        ASSERT_EQ(lines.size(), 101u) << (lines.empty() ? "" : lines[0]);
        EXPECT_EQ(lines[1], "\"abc0\"|-50000|1|");
        EXPECT_EQ(lines[2], "\"日本語1\"|-49000|0|0.25");
        EXPECT_EQ(lines[4], "|-47000|1|0.75");
    }
}

// Every stored value of every type decodes and encodes back to the same bytes, and every row
// packs back to the bytes another writer stored.
TEST(RowCodec, RoundTripsEveryRowOfEveryType) {
    for (const char* name : kFormats) {
        SCOPED_TRACE(name);
        access::JetFile file;
        ErrorState error;
        ASSERT_TRUE(file.Open(test::Fixture(std::string("access/") + name), error));
        std::string problem;
        int rows = 0, values = 0;
        for (const auto& entry : access::ReadCatalog(file, problem)) {
            if (entry.Name != "AllTypes" && entry.Name != "BigTable" && entry.Name != "LongValues")
                continue;
            const auto table = access::ReadTableDefinition(file, entry.DefinitionPage, problem);
            ASSERT_TRUE(table) << problem;
            for (uint32_t page : access::PagesInUsageMap(
                     file, access::RowAt(file, table->OwnedPagesMap).value_or(""))) {
                const std::string_view data = file.Page(page);
                if (data[0] != 1 || data.substr(4, 4) == "LVAL") continue;
                for (uint16_t slot = 0; slot < access::RowsOnPage(data); ++slot) {
                    const auto row = access::LiveRow(file, page, slot);
                    if (!row) continue;
                    ++rows;
                    const auto stored = access::UnpackRow(*table, *row);
                    EXPECT_EQ(access::PackRow(*table, stored, row->size()).size(), row->size());
                    const auto repacked =
                        access::UnpackRow(*table, access::PackRow(*table, stored));
                    EXPECT_EQ(repacked, stored) << entry.Name;
                    for (std::size_t c = 0; c < table->Columns.size(); ++c) {
                        const auto& col = table->Columns[c];
                        if (!stored[c] || col.Type == access::JetType::Memo ||
                            col.Type == access::JetType::Ole)
                            continue;
                        const Value v = access::DecodeColumnValue(file, col, stored[c]);
                        std::string again;
                        ASSERT_TRUE(access::EncodeColumnValue(col, v, again)) << col.Name;
                        // Texts may be stored either way; they must decode to the same text.
                        if (col.Type == access::JetType::Text) {
                            EXPECT_EQ(access::DecodeJetText(again), v.Str()) << col.Name;
                        } else {
                            EXPECT_EQ(again, *stored[c])
                                << entry.Name << "." << col.Name << " " << v.ToText();
                        }
                        ++values;
                    }
                }
            }
        }
        EXPECT_GT(rows, 5400);
        EXPECT_GT(values, 20000);
    }
}

TEST(AccessWriter, RowsThatGrowMoveAndDeletedRowsDisappear) {
    for (const char* name : kFormats) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        const std::string path = Copy(dir, name);
        ErrorState error;
        Engine engine(error);
        auto db = OpenForChanges(engine, path);
        ASSERT_TRUE(db);
        auto rs = db->OpenRecordset("EmptyNoIndex");
        ASSERT_TRUE(rs) << error.Description;
        for (int i = 0; i < 600; ++i) {
            rs->AddNew();
            rs->SetValue("A", Value::Text("a" + std::to_string(i % 10)));
            rs->SetValue("B", Value::Integer(i));
            rs->Update();
        }
        db->Close();
        ASSERT_FALSE(error.IsSet()) << error.Description;

        // Every row grows: most no longer fit where they were and move to new pages.
        db = OpenForChanges(engine, path);
        rs = db->OpenRecordset("EmptyNoIndex");
        ASSERT_EQ(rs->RecordCount(), 600);
        int seen = 0;
        for (; !rs->Eof(); rs->MoveNext(), ++seen) {
            const int64_t b = rs->GetValue("B").Int();
            rs->Edit();
            rs->SetValue("A", Value::Text("長い値" + std::to_string(b % 1000)));
            rs->SetValue("D", Value::Double(static_cast<double>(b) + 0.5));
            rs->Update();
            ASSERT_FALSE(error.IsSet()) << error.Description;
        }
        EXPECT_EQ(seen, 600);
        db->Close();
        ASSERT_FALSE(error.IsSet()) << error.Description;
        EXPECT_EQ(Problems(path), "");
        auto lines = Export(path, "EmptyNoIndex");
        ASSERT_EQ(lines.size(), 601u);
        EXPECT_EQ(lines[1], "\"長い値0\"|0|0|0.5");
        EXPECT_EQ(lines[600], "\"長い値599\"|599|0|599.5");

        // Delete every second row, then what remains reads back, and the table takes rows again.
        db = OpenForChanges(engine, path);
        rs = db->OpenRecordset("EmptyNoIndex");
        for (int i = 0; !rs->Eof(); rs->MoveNext(), ++i) {
            if (i % 2 == 0) rs->Delete();
        }
        rs->AddNew();
        rs->SetValue("B", Value::Integer(-1));
        rs->Update();
        db->Close();
        ASSERT_FALSE(error.IsSet()) << error.Description;
        EXPECT_EQ(Problems(path), "");
        lines = Export(path, "EmptyNoIndex");
        ASSERT_EQ(lines.size(), 302u);
        EXPECT_EQ(lines[1], "\"長い値1\"|1|0|1.5");
        EXPECT_EQ(lines[300], "\"長い値599\"|599|0|599.5");
        EXPECT_EQ(lines[301], "|-1|0|");
        // The untouched table beside it is as it was.
        EXPECT_EQ(Export(path, "NoIndex"),
                  Export(test::Fixture(std::string("access/") + name), "NoIndex"));
    }
}

// The values of generated row n of LongValues: every size class of memos and OLE objects around
// the inline, one-row and compression limits, ASCII and Japanese.
struct LongValueRow {
    std::string Kind, Memo, Ole;
    bool HasOle = true;
    std::size_t Length = 0;

    explicit LongValueRow(int n, int round = 0) {
        const int salt = n * 7 + round;
        auto repeat = [](const std::string& unit, std::size_t count) {
            std::string out;
            for (std::size_t i = 0; i < count; ++i)
                out += unit;
            return out;
        };
        const std::string id = std::to_string(salt);
        // Memo classes: the unit repeated, then the row's number.
        static const struct {
            const char* Unit;
            std::size_t Count;
        } kMemos[] = {{"m", 1},    {"a", 10},   {"b", 64},        {"日本", 15}, {"漢字かな", 250},
                      {"c", 2100}, {"d", 1020}, {"ﾃｽﾄ全角", 600}, {"x語", 250}};
        const auto& memo = kMemos[n % 9];
        if (n % 9 == 8 && n % 1000 == 8) {
            Memo = repeat("z", 100000) + id;
        } else {
            Memo =
                repeat(memo.Unit, memo.Count + (n % 9 == 1 ? static_cast<std::size_t>(round) : 0)) +
                id;
        }
        Kind = "種類" + std::to_string(n % 9);
        for (int k = 0; k < (n % 5 == 0    ? 0
                             : n % 5 == 1  ? 10
                             : n % 5 == 2  ? 64
                             : n % 5 == 3  ? 4076
                             : n % 50 == 4 ? 10510
                                           : 65);
             ++k)
            Ole.push_back(static_cast<char>((k * 31 + salt) & 0xFF));
        HasOle = n % 5 != 0;
        Length = Memo.size();
    }

    std::string Exported(int64_t id) const {
        static const char* kHex = "0123456789ABCDEF";
        std::string hex;
        for (char c : Ole) {
            hex += kHex[static_cast<uint8_t>(c) >> 4];
            hex += kHex[static_cast<uint8_t>(c) & 15];
        }
        return std::to_string(id) + "|\"" + Kind + "\"|" + std::to_string(Length) + "|\"" + Memo +
               "\"|" + (HasOle ? "\"" + hex + "\"" : "");
    }
};

void AddLongValueRows(Database& db, int from, int count) {
    auto rs = db.OpenRecordset("LongValues");
    ASSERT_TRUE(rs);
    for (int n = from; n < from + count; ++n) {
        const LongValueRow row(n);
        rs->AddNew();  // no ID given: the table numbers its rows
        rs->SetValue("Kind", Value::Text(row.Kind));
        rs->SetValue("Len", Value::Integer(static_cast<int64_t>(row.Memo.size())));
        rs->SetValue("MemoVal", Value::Text(row.Memo));
        if (row.HasOle) rs->SetValue("OleVal", Value::Bytes(row.Ole));
        rs->Update();
    }
}

// One test a file format, so that each stays well within the time a test may take.
class AccessWriterFormats : public testing::TestWithParam<const char*> {};

TEST_P(AccessWriterFormats, LongValuesOfEverySizeAndAPrimaryKeyOfSeveralLevels) {
    const char* name = GetParam();
    test::TempDir dir;
    const std::string path = Copy(dir, name);
    const auto before = test::ToolLines("mdb-export -d '|' -b hex '" + path + "' LongValues");
    ASSERT_EQ(before.size(), 42u);
    ErrorState error;
    Engine engine(error);
    int added = 0;
    for (int count : {1, 100, 20000}) {
        auto db = OpenForChanges(engine, path);
        ASSERT_TRUE(db);
        AddLongValueRows(*db, added, count);
        ASSERT_FALSE(error.IsSet()) << error.Description;
        db->Close();
        ASSERT_FALSE(error.IsSet()) << error.Description;
        added += count;
        ASSERT_EQ(Problems(path), "") << count;
        const auto lines = test::ToolLines("mdb-export -d '|' -b hex '" + path + "' LongValues");
        ASSERT_EQ(lines.size(), before.size() + static_cast<std::size_t>(added));
        for (int n = 0; n < added; n += (count == 20000 ? 37 : 1)) {
            const std::string& got = lines[before.size() + static_cast<std::size_t>(n)];
            ASSERT_TRUE(got == LongValueRow(n).Exported(42 + n)) << n << ": " << got.substr(0, 200);
        }
    }
    {
        // So many pages no longer fit one inline map window: the table's map became a list of
        // bitmap pages, and the primary key grew to several levels.
        access::JetFile file;
        ASSERT_TRUE(file.Open(path, error));
        std::string problem;
        for (const auto& entry : access::ReadCatalog(file, problem)) {
            if (entry.Name != "LongValues") continue;
            const auto table = access::ReadTableDefinition(file, entry.DefinitionPage, problem);
            ASSERT_TRUE(table);
            EXPECT_EQ(access::RowAt(file, table->OwnedPagesMap).value_or("x")[0], 1);
            const auto walk =
                access::WalkIndexTree(file, table->RealIndexes[0], entry.DefinitionPage);
            EXPECT_GE(walk.Levels.size(), 2u);
            EXPECT_EQ(walk.Entries.size(), 41u + static_cast<std::size_t>(added));
        }
    }
    // The engine reads back what the writer wrote, through the reader process.
    {
        auto db = engine.OpenDatabase(path, 0, true);
        ASSERT_TRUE(db) << error.Description;
        auto rs = db->OpenRecordset("LongValues");
        ASSERT_TRUE(rs);
        int n = -41;
        for (; !rs->Eof(); rs->MoveNext(), ++n) {
            if (n < 0 || n % 101 != 0) continue;
            const LongValueRow row(n);
            ASSERT_EQ(rs->GetValue("ID").Int(), 42 + n);
            ASSERT_EQ(rs->GetValue("MemoVal").Str(), row.Memo) << n;
            ASSERT_EQ(rs->GetValue("OleVal").IsNull(), !row.HasOle) << n;
            if (row.HasOle) {
                ASSERT_EQ(rs->GetValue("OleVal").Str(), row.Ole) << n;
            }
        }
        EXPECT_EQ(n, added);
    }

    // Update in order with values that grow, then new mode: every row deleted, rows added.
    auto db = OpenForChanges(engine, path);
    auto rs = db->OpenRecordset("LongValues");
    for (int n = -41; !rs->Eof() && n < 300; rs->MoveNext(), ++n) {
        if (n < 0) continue;
        const LongValueRow row(n, 1);
        rs->Edit();
        rs->SetValue("Kind", Value::Text(row.Kind + "を更新した長い値"));
        rs->SetValue("MemoVal", Value::Text(row.Memo));
        rs->Update();
        ASSERT_FALSE(error.IsSet()) << error.Description;
    }
    db->Close();
    ASSERT_EQ(Problems(path), "");
    auto lines = test::ToolLines("mdb-export -d '|' -b hex '" + path + "' LongValues");
    ASSERT_EQ(lines.size(), before.size() + static_cast<std::size_t>(added));
    // mdb-export lists a moved row where it now lies; Access and the writer keep its place.
    std::stable_sort(
        lines.begin() + 1, lines.end(),
        [](const std::string& a, const std::string& b) { return std::stoll(a) < std::stoll(b); });
    for (int n = 0; n < 300; n += 7) {
        LongValueRow row(n, 1);
        row.Kind += "を更新した長い値";
        row.Ole = LongValueRow(n).Ole;
        row.Length = LongValueRow(n).Memo.size();  // Len was left as it was
        const std::string& got = lines[before.size() + static_cast<std::size_t>(n)];
        ASSERT_TRUE(got == row.Exported(42 + n)) << n << ": " << got.substr(0, 200);
    }
    db = OpenForChanges(engine, path);
    rs = db->OpenRecordset("LongValues");
    while (!rs->Eof()) {
        rs->Delete();
        rs->MoveNext();
    }
    rs->Close();
    AddLongValueRows(*db, 0, 50);
    db->Close();
    ASSERT_FALSE(error.IsSet()) << error.Description;
    ASSERT_EQ(Problems(path), "");
    lines = test::ToolLines("mdb-export -d '|' -b hex '" + path + "' LongValues");
    ASSERT_EQ(lines.size(), 51u);
    EXPECT_TRUE(lines[1] == LongValueRow(0).Exported(42 + added)) << lines[1].substr(0, 200);
    EXPECT_TRUE(lines[50] == LongValueRow(49).Exported(42 + added + 49))
        << lines[50].substr(0, 200);
}

// Text keys: the product master keeps its relationship with the order lines, kana and width
// variants are duplicates in a unique index, indexed text changes, and 20,000 rows of every type
// go into EmptyAllTypes (every index, text ones too, several levels deep).
TEST_P(AccessWriterFormats, TextKeysOnProductsAndEveryType) {
    const char* name = GetParam();
    test::TempDir dir;
    const std::string path = Copy(dir, name);
    ErrorState error;
    Engine engine(error);
    auto db = OpenForChanges(engine, path);
    ASSERT_TRUE(db);
    auto products = db->OpenRecordset("商品マスタ");
    ASSERT_TRUE(products) << error.Description;
    int refused = 0, deleted = 0;
    for (; !products->Eof(); products->MoveNext()) {
        products->Delete();
        if (error.Number == 3200) {
            ++refused;
        } else {
            EXPECT_FALSE(error.IsSet()) << error.Description;
            ++deleted;
        }
        error.Clear();
    }
    EXPECT_EQ(refused, 26) << "every product has order lines, so every one stays";
    EXPECT_EQ(deleted, 0);
    auto add = [&](const std::string& code, const std::string& title) {
        products->AddNew();
        products->SetValue("商品コード", Value::Text(code));
        if (!title.empty()) products->SetValue("商品名", Value::Text(title));
        products->Update();
        const int32_t number = error.Number;
        error.Clear();
        return number;
    };
    EXPECT_EQ(add("新-001", "静岡の緑茶"), 0);
    EXPECT_EQ(add("しん-1", "宇治抹茶"), 0);
    EXPECT_EQ(add("シン-1", "重複"), 3022);
    EXPECT_EQ(add("ｼﾝ-1", "重複"), 3022);
    EXPECT_EQ(add("abc", "英字"), 0);
    EXPECT_EQ(add("ＡＢＣ", "重複"), 3022);
    EXPECT_EQ(add("がぎ", "濁音"), 0);
    EXPECT_EQ(add("ｶﾞｷﾞ", "重複"), 3022);
    EXPECT_EQ(add("新-002", ""), 3314) << "商品名 is required";
    // Indexed text that changes: every product name that is left gets longer.
    products->Close();
    products = db->OpenRecordset("商品マスタ");
    int marked = 0;
    for (; !products->Eof(); products->MoveNext()) {
        const std::string title = products->GetValue("商品名").Str();
        products->Edit();
        products->SetValue("商品名", Value::Text(title + "（改）"));
        products->Update();
        // ラーメン, ｱｲｽｸﾘｰﾑ …: the long-vowel mark is refused unless allowed.
        const bool mark =
            title.find("ー") != std::string::npos || title.find("ｰ") != std::string::npos;
        marked += mark;
        EXPECT_EQ(error.IsSet(), mark) << title << ": " << error.Description;
        error.Clear();
    }
    EXPECT_EQ(marked, 5);
    auto all = db->OpenRecordset("EmptyAllTypes");
    ASSERT_TRUE(all) << error.Description;
    // 20,000 rows for one file of each sort order, fewer for the others and in the several times
    // slower sanitized build, to keep the suite quick.
    const std::string format = name;
    const bool full =
        !VANTREL_SANITIZED && (format == "jet4_v2003.mdb" || format == "ace16_v2016.accdb");
    const int rows = full ? 20000 : 5000;
    for (int n = 0; n < rows; ++n) {
        all->AddNew();
        for (int32_t i = 0; i < all->FieldCount(); ++i) {
            const FieldInfo& f = all->Field(i);
            if (f.AutoIncrement || (n % 3 == 1 && f.Name.starts_with("Default"))) continue;
            if (n % 7 == 3 && !f.Required && f.Type != FieldType::Boolean) continue;  // Nulls
            Value v = ValueFor(f, n);
            if (f.Name == "Code") v = Value::Text((n % 2 ? "符号" : "code-") + std::to_string(n));
            if (f.Name == "TextCol") v = Value::Text("値" + std::to_string(n % 500) + "ｶﾅ");
            all->SetValue(i, v);
        }
        all->Update();
        ASSERT_FALSE(error.IsSet()) << n << ": " << error.Description;
    }
    db->Close();
    ASSERT_FALSE(error.IsSet()) << error.Description;
    EXPECT_EQ(Problems(path), "");
    const auto exported = test::ToolLines("mdb-export -b strip '" + path + "' 商品マスタ");
    EXPECT_EQ(exported.size(), 1u + 26u + 4u);
    EXPECT_NE(
        std::find(exported.begin(), exported.end(), "\"新-001\",\"静岡の緑茶（改）\",,0.0000,,,1,"),
        exported.end())
        << "defaults: 単価 0 and 有効 True";
    EXPECT_EQ(test::ToolLines("mdb-export -b strip '" + path + "' EmptyAllTypes | wc -l").front(),
              std::to_string(rows + 1));
    // Defaults were applied where the row left them out.
    auto check = engine.OpenDatabase(path, 0, true);
    ASSERT_TRUE(check) << error.Description;
    auto rs = check->OpenRecordset("EmptyAllTypes");
    ASSERT_TRUE(rs);
    ASSERT_FALSE(rs->Eof());
    rs->MoveNext();  // n = 1 left DefaultLong and DefaultText out
    EXPECT_EQ(rs->GetValue("DefaultLong").Int(), 42);
    EXPECT_EQ(rs->GetValue("DefaultText").Str(), "未設定");
    EXPECT_EQ(rs->GetValue("Code").Str(), "符号1");
}

INSTANTIATE_TEST_SUITE_P(AllFormats, AccessWriterFormats, testing::ValuesIn(kFormats));

// A refused value leaves the file exactly as a run without that row; allowed, the mark is keyed
// and the run names the table for Compact and Repair.
TEST(AccessWriter, UnverifiedMarksAreRefusedOrAllowedByChoice) {
    test::TempDir dir;
    const std::vector<std::string> codes = {"茶-1", "コーヒー", "茶-2", "佐々木"};
    const auto refused =
        test_writer::AddProducts(dir, "ace14_v2010.accdb", "with.accdb", codes, false);
    EXPECT_EQ(refused.Refused, 2);
    EXPECT_TRUE(refused.Notices.empty());
    test_writer::AddProducts(dir, "ace14_v2010.accdb", "without.accdb", {"茶-1", "茶-2"}, false);
    EXPECT_TRUE(test::ReadBytes(dir.File("with.accdb")) ==
                test::ReadBytes(dir.File("without.accdb")));

    const auto allowed =
        test_writer::AddProducts(dir, "ace14_v2010.accdb", "allowed.accdb", codes, true);
    EXPECT_EQ(allowed.Refused, 0);
    ASSERT_EQ(allowed.Notices.size(), 1u);
    EXPECT_NE(allowed.Notices[0].find("'空の商品マスタ'"), std::string::npos) << allowed.Notices[0];
    EXPECT_NE(allowed.Notices[0].find("最適化/修復"), std::string::npos) << allowed.Notices[0];
    EXPECT_EQ(Export(dir.File("allowed.accdb"), "空の商品マスタ").size(), 5u);
    EXPECT_EQ(Problems(dir.File("allowed.accdb")), "");
}

// Access-made tables related on Long keys; their relationships cascade, which the writer does not
// do, so the copy has the cascade flags cleared to test the checks.
TEST(AccessWriter, EnforcedRelationshipsOnNumericKeys) {
    test::TempDir dir;
    const std::string path = dir.File("related.mdb");
    std::string bytes = test::ReadBytes(test::Fixture("access-made/V2000/indexTestV2000.mdb"));
    {
        test::WriteBytes(path, bytes);
        access::JetFile file;
        ErrorState error;
        ASSERT_TRUE(file.Open(path, error));
        std::string problem;
        int cleared = 0;
        for (const auto& entry : access::ReadCatalog(file, problem)) {
            const auto table = access::ReadTableDefinition(file, entry.DefinitionPage, problem);
            if (!table || table->DefinitionPages.size() != 1 || entry.Name.rfind("Table", 0) != 0)
                continue;
            for (const auto& index : table->Indexes) {
                if (!index.IsRelationship()) continue;
                const std::size_t at =
                    std::size_t{entry.DefinitionPage} * 4096 + index.DefinitionOffset;
                bytes[at + 21] = bytes[at + 22] = 0;
                ++cleared;
            }
        }
        ASSERT_EQ(cleared, 4);
        test::WriteBytes(path, bytes);
    }
    ASSERT_EQ(Problems(path), "");
    ErrorState error;
    Engine engine(error);
    auto db = OpenForChanges(engine, path);
    ASSERT_TRUE(db);
    auto child = db->OpenRecordset("Table1");
    ASSERT_TRUE(child) << error.Description;
    auto add = [&](int id, std::optional<int> fk1, int fk2) {
        child->AddNew();
        child->SetValue("id", Value::Integer(id));
        if (fk1) child->SetValue("otherfk1", Value::Integer(*fk1));
        child->SetValue("otherfk2", Value::Integer(fk2));
        child->Update();
    };
    add(100, 1, 11);
    EXPECT_FALSE(error.IsSet()) << error.Description;
    add(101, 999, 11);  // no such row in Table2
    EXPECT_EQ(error.Number, 3201);
    EXPECT_NE(error.Description.find("Table2"), std::string::npos) << error.Description;
    error.Clear();
    add(102, std::nullopt, 12);  // an empty foreign key refers to nothing
    EXPECT_FALSE(error.IsSet()) << error.Description;
    add(100, 2, 10);  // the primary key is unique
    EXPECT_EQ(error.Number, 3022);
    error.Clear();

    // Table2's rows have children; a row nobody refers to can go.
    auto parent = db->OpenRecordset("Table2");
    ASSERT_TRUE(parent) << error.Description;
    parent->AddNew();
    parent->SetValue("id", Value::Integer(50));
    parent->Update();
    parent->Close();
    parent = db->OpenRecordset("Table2");
    int refused = 0, deleted = 0;
    for (; !parent->Eof(); parent->MoveNext()) {
        parent->Delete();
        if (error.Number == 3200) {
            ++refused;
            error.Clear();
        } else {
            ASSERT_FALSE(error.IsSet()) << error.Description;
            ++deleted;
        }
    }
    EXPECT_GT(refused, 0);
    EXPECT_GT(deleted, 0);
    db->Close();
    ASSERT_FALSE(error.IsSet()) << error.Description;
    EXPECT_EQ(Problems(path), "");
    const auto rows = Export(path, "Table1");
    // otherfk1 and otherfk3 take their default, 0.
    EXPECT_EQ(rows.back(), "102|0|12||0");
}

// Every table of the Access-made Jet4/ACE files that the writer takes gets rows of every type it
// has; the files stay consistent and mdbtools reads the rows.
TEST(AccessWriter, WritesIntoTheTablesAccessMade) {
    int tables = 0, files = 0;
    for (const auto& entry :
         std::filesystem::recursive_directory_iterator(test::Fixture("access-made"))) {
        const std::string source = entry.path().string();
        if ((!source.ends_with(".mdb") && !source.ends_with(".accdb")) ||
            source.find("V1997") != std::string::npos)
            continue;
        SCOPED_TRACE(source);
        test::TempDir dir;
        const std::string path = dir.File(entry.path().filename().string());
        std::filesystem::copy_file(source, path);
        const std::string problemsBefore = Problems(path);  // Access left one row count wrong
        ErrorState error;
        Engine engine(error);
        auto db = engine.OpenDatabase(path, 2, false);
        if (!db) continue;  // password-protected and linked-only files are refused up front
        ++files;
        std::vector<std::pair<std::string, std::size_t>> written;
        for (const auto& t : db->TableDefs()) {
            if (t.Attributes != 0) continue;
            auto rs = db->OpenRecordset(t.Name);
            if (!rs) {
                EXPECT_FALSE(error.Description.empty());
                error.Clear();
                continue;
            }
            const auto before = std::stoul(
                test::ToolLines("mdb-export -b strip '" + path + "' '" + t.Name + "' | wc -l")
                    .front());
            int added = 0;
            for (int n = 0; n < 30; ++n) {
                rs->AddNew();
                for (int32_t i = 0; i < rs->FieldCount(); ++i) {
                    if (!rs->Field(i).AutoIncrement) rs->SetValue(i, ValueFor(rs->Field(i), n));
                }
                error.Clear();
                rs->Update();
                if (!error.IsSet()) ++added;
                // A missing parent row is the only refusal these values may meet.
                EXPECT_TRUE(!error.IsSet() || error.Number == 3201)
                    << t.Name << ": " << error.Description;
                error.Clear();
            }
            written.emplace_back(t.Name, before + static_cast<std::size_t>(added));
        }
        db->Close();
        ASSERT_FALSE(error.IsSet()) << error.Description;
        EXPECT_EQ(Problems(path), problemsBefore);
        for (const auto& [table, lines] : written) {
            ++tables;
            EXPECT_EQ(test::ToolLines("mdb-export -b strip '" + path + "' '" + table + "' | wc -l")
                          .front(),
                      std::to_string(lines))
                << table;
        }
    }
    EXPECT_GT(files, 50);
    EXPECT_GT(tables, 20);
}

TEST(AccessWriter, RefusesWhatItCannotWriteAndLeavesTheFileAsItWas) {
    test::TempDir dir;
    const std::string path = Copy(dir, "ace14_v2010.accdb");
    const std::string original = test::ReadBytes(path);
    const std::string lock = dir.File("ace14_v2010.laccdb");
    ErrorState error;
    Engine engine(error);
    {
        auto db = OpenForChanges(engine, path);
        ASSERT_TRUE(db);
        EXPECT_TRUE(std::filesystem::exists(lock)) << "Access must see the database in use";
        EXPECT_FALSE(engine.OpenDatabase(path, 2, false)) << "opened twice for changes";
        EXPECT_EQ(error.Number, 3051);
        error.Clear();
        // A text key with a long-vowel mark is refused by default, naming field and mark.
        auto rs = db->OpenRecordset("AllTypes");
        ASSERT_TRUE(rs) << error.Description;
        rs->AddNew();
        rs->SetValue("Code", Value::Text("コーヒー"));
        rs->SetValue("RequiredText", Value::Text("x"));
        rs->Update();
        EXPECT_EQ(error.Number, 3251);
        EXPECT_NE(error.Description.find("'Code'"), std::string::npos) << error.Description;
        EXPECT_NE(error.Description.find("'ー' (U+30FC)"), std::string::npos) << error.Description;
        EXPECT_NE(error.Description.find("未確認の索引キーを許可する"), std::string::npos);
        error.Clear();
        EXPECT_FALSE(db->OpenRecordset("ないテーブル"));
        EXPECT_EQ(error.Number, 3078);
        error.Clear();
        db->Close();
        EXPECT_FALSE(std::filesystem::exists(lock));
    }
    EXPECT_TRUE(test::ReadBytes(path) == original);

    // Another program's lock file keeps the database closed to changes.
    test::WriteBytes(lock, std::string(64, 'x'));
    EXPECT_FALSE(engine.OpenDatabase(path, 2, false));
    EXPECT_EQ(error.Number, 3051);
    EXPECT_NE(error.Description.find("ロック ファイル"), std::string::npos) << error.Description;
    EXPECT_FALSE(error.Description.ends_with("。")) << error.Description;
    error.Clear();
    std::filesystem::remove(lock);
    EXPECT_TRUE(test::ReadBytes(path) == original);

    const struct {
        const char* file;
        const char* table;
        const char* reason;
    } refused[] = {
        {"V2010/calcFieldTestV2010.accdb", "Table1", "集計フィールド"},
        {"V2010/complexDataTestV2010.accdb", "Table1", "添付ファイル型"},
        {"V1997/testV1997.mdb", nullptr, "Access 97"},
    };
    for (const auto& r : refused) {
        SCOPED_TRACE(r.file);
        const std::string copy = dir.File(std::filesystem::path(r.file).filename().string());
        std::filesystem::copy_file(test::Fixture(std::string("access-made/") + r.file), copy);
        const std::string bytes = test::ReadBytes(copy);
        auto db = engine.OpenDatabase(copy, 2, false);
        if (r.table) {
            ASSERT_TRUE(db) << error.Description;
            EXPECT_FALSE(db->OpenRecordset(r.table));
            db->Close();
        } else {
            EXPECT_FALSE(db);
        }
        EXPECT_NE(error.Description.find(r.reason), std::string::npos) << error.Description;
        // The import log frames the reason: "<table>は、<reason>ため、インポートできませんでした".
        EXPECT_FALSE(error.Description.ends_with("。")) << error.Description;
        error.Clear();
        EXPECT_TRUE(test::ReadBytes(copy) == bytes);
    }

    // A password is found before anything is written.
    std::string locked = original;
    locked[0x42] = static_cast<char>(locked[0x42] ^ 0x5A);
    test::WriteBytes(dir.File("locked.accdb"), locked);
    EXPECT_FALSE(engine.OpenDatabase(dir.File("locked.accdb"), 2, false));
    EXPECT_EQ(error.Number, 3031);
    EXPECT_TRUE(test::ReadBytes(dir.File("locked.accdb")) == locked);
}

TEST(AccessWriter, AKilledWriterLeavesTheOriginalWholeAndItsLockIsTakenOver) {
    test::TempDir dir;
    const std::string path = Copy(dir, "jet4_v2003.mdb");
    const std::string original = test::ReadBytes(path);
    std::mt19937 random(20261208);
    int whole = 0;
    for (int round = 0; round < 8; ++round) {
        // The child reports each thousand rows, and once more before it starts saving.
        const auto work = [&](int marks) {
            ErrorState error;
            Engine engine(error);
            auto db = engine.OpenDatabase(path, 2, false);
            if (!db) ::_exit(2);
            auto rs = db->OpenRecordset("EmptyNoIndex");
            for (int i = 0; rs && i < 20000; ++i) {
                rs->AddNew();
                rs->SetValue("A", Value::Text("x" + std::to_string(i % 1000)));
                rs->SetValue("B", Value::Integer(i));
                rs->Update();
                if (i % 1000 == 999 && ::write(marks, "r", 1) != 1) ::_exit(4);
            }
            if (::write(marks, "S", 1) != 1) ::_exit(4);
            db->Close();
            if (error.IsSet()) ::_exit(1);
        };
        // Most rounds kill while rows are being added, the last ones while the file is saved.
        const bool duringSave = round >= 5;
        const int wanted = duringSave ? 21 : std::uniform_int_distribution<int>(1, 19)(random);
        KillAfterSteps(work, wanted,
                       duringSave ? static_cast<useconds_t>(
                                        std::uniform_int_distribution<int>(0, 30000)(random))
                                  : 0);
        const std::string now = test::ReadBytes(path);
        if (!duringSave) {
            EXPECT_TRUE(now == original) << "round " << round;
        } else if (now != original) {
            // The rename happened: the whole new file, never a part of it.
            ++whole;
            EXPECT_EQ(Problems(path), "");
            EXPECT_EQ(Export(path, "EmptyNoIndex").size(), 20001u);
            test::WriteBytes(path, original);
        }
    }
    // What a killed run leaves behind does not keep the next run out.
    ErrorState error;
    Engine engine(error);
    auto db = engine.OpenDatabase(path, 2, false);
    EXPECT_TRUE(db) << error.Description;
    if (db) db->DiscardChanges();
    RecordProperty("saved_before_the_kill", whole);
}

}  // namespace
}  // namespace vantrel
