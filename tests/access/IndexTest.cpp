#include "access/IndexTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <random>

#include "TestSupport.h"
#include "access/Bytes.h"
#include "access/IndexCheck.h"
#include "access/IndexKey.h"
#include "access/IndexPage.h"
#include "access/Verifier.h"

namespace vantrel::access {
namespace {

constexpr uint32_t kPage = JetFile::kPageSize;
const char* const kFormats[] = {"jet4_v2000.mdb", "jet4_v2003.mdb", "ace12_v2007.accdb",
                                "ace14_v2010.accdb", "ace16_v2016.accdb"};

// A database in memory. New pages go at the end of the file and into the usage map, which
// turns into a list of bitmap pages once a page falls outside its inline window. Every page has
// its own buffer, so views of pages stay valid while pages are added.
class MemoryStore : public PageStore {
  public:
    explicit MemoryStore(const std::string& bytes) {
        for (std::size_t at = 0; at + kPage <= bytes.size(); at += kPage)
            pages_.push_back(bytes.substr(at, kPage));
    }

    uint32_t PageCount() const override { return static_cast<uint32_t>(pages_.size()); }
    std::string_view Page(uint32_t n) const override {
        return n < PageCount() ? std::string_view(pages_[n]) : std::string_view{};
    }
    char* MutablePage(uint32_t n) override { return n < PageCount() ? pages_[n].data() : nullptr; }
    uint32_t AllocatePage(uint32_t usageMap, ErrorState& error) override {
        const uint32_t page = AppendPage(error);
        MarkPage(usageMap, page, true);
        return page;
    }
    void ReleasePage(uint32_t page, uint32_t usageMap) override {
        MarkPage(usageMap, page, false);
        std::memset(MutablePage(page), 0, kPage);
    }
    uint32_t AppendPage(ErrorState&) override {
        pages_.emplace_back(kPage, '\0');
        return PageCount() - 1;
    }

    std::string Bytes() const {
        std::string bytes;
        for (const auto& page : pages_)
            bytes += page;
        return bytes;
    }
    int Version() const { return U8(pages_[0], 0x14); }

  private:
    static void SetBit(char* bits, uint32_t n, bool on) {
        const auto mask = static_cast<char>(1 << (n % 8));
        bits[n / 8] = static_cast<char>(on ? bits[n / 8] | mask : bits[n / 8] & ~mask);
    }

    void MarkPage(uint32_t pointer, uint32_t page, bool used) {
        const MutableRow map = MutableRowAt(*this, pointer);
        if (map.Size < 5) {
            ADD_FAILURE() << "no usage map at " << pointer;
            return;
        }
        if (map.Data[0] == 0) {
            const uint32_t start = U32(std::string_view(map.Data, map.Size), 1);
            if (page >= start && page - start < (map.Size - 5) * 8) {
                SetBit(map.Data + 5, page - start, used);
                return;
            }
            const auto pages = PagesInUsageMap(*this, std::string_view(map.Data, map.Size));
            std::memset(map.Data, 0, map.Size);
            map.Data[0] = 1;
            for (uint32_t p : pages)
                MarkInBitmapPage(map, p, true);
        }
        MarkInBitmapPage(map, page, used);
    }

    void MarkInBitmapPage(const MutableRow& map, uint32_t page, bool used) {
        constexpr uint32_t perPage = (kPage - 4) * 8;
        const std::size_t at = 1 + 4 * std::size_t{page / perPage};
        if (at + 4 > map.Size) {
            ADD_FAILURE() << "page " << page << " beyond the usage map";
            return;
        }
        uint32_t bitmap = U32(std::string_view(map.Data, map.Size), at);
        if (bitmap == 0) {
            ErrorState error;
            bitmap = AppendPage(error);
            Put32(map.Data + at, bitmap);
            MutablePage(bitmap)[0] = 0x05;
            MutablePage(bitmap)[1] = 0x01;
        }
        SetBit(MutablePage(bitmap) + 4, page % perPage, used);
    }

    std::deque<std::string> pages_;
};

JetTable LoadTable(const PageSource& source, const std::string& name) {
    std::string problem;
    for (const auto& entry : ReadCatalog(source, problem)) {
        if (entry.Name != name) continue;
        if (auto table = ReadTableDefinition(source, entry.DefinitionPage, problem)) return *table;
    }
    ADD_FAILURE() << "no table " << name << " " << problem;
    return {};
}

const JetRealIndex& IndexNamed(const JetTable& table, const std::string& name) {
    for (const auto& index : table.Indexes) {
        if (index.Name == name) return table.RealIndexes.at(index.RealIndex);
    }
    ADD_FAILURE() << "no index " << name;
    static const JetRealIndex none;
    return none;
}

using test::Hex;

// The key of a row whose only non-Null value is `value` in column `column`.
std::string KeyFor(const JetTable& table, const JetRealIndex& index, std::size_t column,
                   std::string_view value) {
    std::vector<std::optional<std::string_view>> values(table.Columns.size());
    values[column] = value;
    return IndexKey(table, index, values).value_or("(no entry)");
}

std::string LittleEndian(uint64_t value, std::size_t width) {
    std::string out(width, '\0');
    for (std::size_t i = 0; i < width; ++i)
        out[i] = static_cast<char>(value >> (8 * i) & 0xFF);
    return out;
}

std::string DoubleBytes(double value) {
    uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return LittleEndian(bits, 8);
}

// Exit code of mdb-export on the table; its output is thrown away.
int ExportTable(const std::string& file, const std::string& table) {
    const std::string command = "mdb-export '" + file + "' '" + table + "' > /dev/null 2>&1";
    return std::system(command.c_str());
}

TEST(IndexKey, EncodesValuesTheWayTheFormatOrdersThem) {
    JetTable table;
    auto addColumn = [&](uint8_t type, uint16_t number) {
        JetColumn column;
        column.Type = type;
        column.Number = number;
        table.Columns.push_back(column);
    };
    addColumn(JetType::Long, 0);
    addColumn(JetType::Boolean, 1);
    addColumn(JetType::Binary, 2);
    addColumn(JetType::Decimal, 3);
    addColumn(JetType::Text, 4);
    addColumn(JetType::Double, 5);
    JetRealIndex ascending, descending;
    ascending.Columns = {{0, true}};
    descending.Columns = {{0, false}};
    EXPECT_EQ(Hex(KeyFor(table, ascending, 0, LittleEndian(1, 4))), "7f80000001");
    EXPECT_EQ(Hex(KeyFor(table, ascending, 0, LittleEndian(0xFFFFFFFF, 4))), "7f7fffffff");
    EXPECT_EQ(Hex(KeyFor(table, descending, 0, LittleEndian(1, 4))), "807ffffffe");
    EXPECT_EQ(Hex(KeyFor(table, ascending, 1, "x")), "00");  // the Long column is Null
    EXPECT_EQ(Hex(KeyFor(table, descending, 1, "x")), "ff");
    JetRealIndex ignoresNulls = ascending;
    ignoresNulls.Flags = 0x02;
    EXPECT_FALSE(IndexKey(table, ignoresNulls, std::vector<std::optional<std::string_view>>(6)));

    JetRealIndex compound;
    compound.Columns = {{0, true}, {1, false}, {2, false}};
    std::vector<std::optional<std::string_view>> values(6);
    const std::string two = LittleEndian(2, 4);
    values[0] = two;
    values[1] = std::string_view("\x01", 1);
    values[2] = std::string_view("abc");
    // Descending binary: the data and final count turn, the group separators do not.
    EXPECT_EQ(Hex(IndexKey(table, compound, values).value_or("")),
              "7f80000002"
              "80ff"
              "809e9d9cfffffffffffc");
    values[2] = std::string_view("abcdefghi");
    compound.Columns = {{2, true}};
    EXPECT_EQ(Hex(IndexKey(table, compound, values).value_or("")),
              "7f"
              "616263646566676809"
              "690000000000000001");

    JetRealIndex doubles;
    doubles.Columns = {{5, true}};
    std::vector<std::string> ordered;
    for (double v : {-1e300, -2.5, -0.0, 0.0, 1e-300, 3.0, 1e300})
        ordered.push_back(KeyFor(table, doubles, 5, DoubleBytes(v)));
    EXPECT_TRUE(std::is_sorted(ordered.begin(), ordered.end()));

    JetRealIndex decimal;
    decimal.Columns = {{3, true}};
    std::string minusOne(17, '\0'), plusOne(17, '\0');
    minusOne[0] = '\x80';
    minusOne[13] = plusOne[13] = 1;
    EXPECT_EQ(Hex(KeyFor(table, decimal, 3, plusOne)), "7fff00000000000000000000000000000001");
    EXPECT_EQ(Hex(KeyFor(table, decimal, 3, minusOne)), "7f00fffffffffffffffffffffffffffffffe");

    JetRealIndex text;
    text.Columns = {{0, true}, {4, true}};
    EXPECT_TRUE(IndexSupportsKeys(table, decimal, 1));
    EXPECT_FALSE(IndexSupportsKeys(table, text, 5));
    decimal.Columns[0].Ascending = false;
    EXPECT_FALSE(IndexSupportsKeys(table, decimal, 1)) << "Jet4's descending Decimal order";
    EXPECT_TRUE(IndexSupportsKeys(table, decimal, 5));
}

TEST(IndexKey, RecomputedKeysEqualTheEntriesInEveryFormat) {
    for (const char* name : kFormats) {
        JetFile file;
        ErrorState error;
        ASSERT_TRUE(file.Open(test::Fixture(std::string("access/") + name), error));
        int compared = 0;
        std::size_t entries = 0;
        for (const char* tableName :
             {"AllTypes", "EmptyAllTypes", "BigTable", "LongValues", "受注明細", "商品マスタ"}) {
            const JetTable table = LoadTable(file, tableName);
            for (const auto& index : table.RealIndexes) {
                // Text keys have tests of their own (TextKeyTest).
                const bool text = std::any_of(
                    index.Columns.begin(), index.Columns.end(), [&](const JetIndexColumn& c) {
                        const JetColumn* column = table.ColumnByNumber(c.ColumnNumber);
                        return column &&
                               (column->Type == JetType::Text || column->Type == JetType::Memo);
                    });
                if (text || !IndexSupportsKeys(table, index, file.Version())) continue;
                ++compared;
                const auto walk = WalkIndexTree(file, index, table.DefinitionPage);
                EXPECT_TRUE(walk.Problems.empty())
                    << name << " " << tableName << ": " << walk.Problems.front();
                std::vector<std::string> problems;
                const auto expected = ExpectedIndexEntries(file, table, index, problems);
                EXPECT_TRUE(problems.empty()) << problems.front();
                ASSERT_EQ(walk.Entries.size(), expected.size()) << name << " " << tableName;
                entries += expected.size();
                for (std::size_t i = 0; i < expected.size(); ++i) {
                    ASSERT_EQ(walk.Entries[i], expected[i])
                        << name << " " << tableName << " entry " << i << ": file "
                        << Hex(walk.Entries[i].Key) << " computed " << Hex(expected[i].Key);
                }
            }
        }
        // AllTypes and EmptyAllTypes 11 each, BigTable ID and Num, LongValues and 受注明細 ID.
        EXPECT_EQ(compared, 26) << name;
        EXPECT_GT(entries, 2 * 5400u + 11 * 20u) << name;
    }
    // Keys Access wrote itself: descending Long, ascending and descending binary and extended
    // dates.
    for (const char* made : {"V2000/compIndexTestV2000.mdb", "V2010/binIdxTestV2010.accdb",
                             "V2019/extDateTestV2019.accdb"}) {
        JetFile file;
        ErrorState error;
        ASSERT_TRUE(file.Open(test::Fixture(std::string("access-made/") + made), error));
        std::string problem;
        int keyed = 0;
        for (const auto& entry : ReadCatalog(file, problem)) {
            if (entry.Name.rfind("MSys", 0) == 0) continue;
            const auto table = ReadTableDefinition(file, entry.DefinitionPage, problem);
            ASSERT_TRUE(table) << problem;
            for (const auto& index : table->RealIndexes) {
                bool descending = false;
                for (const auto& column : index.Columns)
                    descending |= !column.Ascending;
                if (!descending || !IndexSupportsKeys(*table, index, file.Version())) continue;
                ++keyed;
                const auto problems =
                    CheckIndexTree(file, *table, index, entry.Name, "", file.Version());
                EXPECT_TRUE(problems.empty()) << made << ": " << problems.front();
            }
        }
        EXPECT_GT(keyed, 0) << made;
    }
}

TEST(IndexTree, ReadsMultiLevelTreesAndFindsKeys) {
    for (const char* name : {"jet4_v2000.mdb", "ace16_v2016.accdb"}) {
        JetFile file;
        ErrorState error;
        ASSERT_TRUE(file.Open(test::Fixture(std::string("access/") + name), error));
        const JetTable table = LoadTable(file, "BigTable");
        const auto& primary = IndexNamed(table, "PrimaryKey");
        const auto walk = WalkIndexTree(file, primary, table.DefinitionPage);
        EXPECT_TRUE(walk.Problems.empty());
        EXPECT_GE(walk.Levels.size(), 2u);
        ASSERT_EQ(walk.Entries.size(), 5400u);
        EXPECT_EQ(Hex(walk.Entries.front().Key), "7f80000001");
        EXPECT_TRUE(IndexContainsKey(file, primary, std::string("\x7f\x80\x00\x00\x01", 5)));
        EXPECT_TRUE(IndexContainsKey(file, primary, walk.Entries[2700].Key));
        EXPECT_TRUE(IndexContainsKey(file, primary, walk.Entries.back().Key));
        EXPECT_FALSE(IndexContainsKey(file, primary, std::string("\x7f\x80\x01\x00\x00", 5)));
        EXPECT_FALSE(IndexContainsKey(file, primary, std::string("\x7f\x80\x00\x00\x00", 5)));
        // Pages sharing exactly their common key prefix come out of the writer byte for byte.
        int rewritten = 0;
        for (uint32_t page : walk.Levels.back()) {
            std::string problem;
            const auto image = ReadIndexPage(file.Page(page), problem);
            ASSERT_TRUE(image) << problem;
            if (U16(file.Page(page), 24) == 0) continue;
            std::string bytes(kPage, '\0');
            ASSERT_TRUE(WriteIndexPage(*image, table.DefinitionPage, bytes.data()));
            // Past the entries the fixture writer leaves old bytes.
            const std::size_t used = 480 + kIndexEntryCapacity - U16(bytes, 2);
            EXPECT_TRUE(file.Page(page).substr(0, used) == std::string_view(bytes).substr(0, used))
                << page;
            ++rewritten;
        }
        EXPECT_GT(rewritten, 5);
        const auto& num = IndexNamed(table, "IX_Num");
        EXPECT_TRUE(IndexContainsKey(file, num, std::string(1, '\0'))) << "Null Num values";
        // Text indexes: the tree and the keys of every row that can be keyed.
        for (const char* text : {"IX_Name", "IX_Num_Name"}) {
            const auto& index = IndexNamed(table, text);
            EXPECT_TRUE(IndexSupportsKeys(table, index, file.Version()));
            const auto problems = CheckIndexTree(file, table, index, "BigTable", text, 1);
            EXPECT_TRUE(problems.empty()) << problems.front();
            EXPECT_GE(WalkIndexTree(file, index, table.DefinitionPage).Levels.size(), 3u);
        }
    }
}

void InsertAll(MemoryStore& store, const JetTable& table, const JetRealIndex& index,
               const std::vector<IndexEntry>& entries) {
    ErrorState error;
    for (const auto& e : entries) {
        ASSERT_TRUE(InsertIndexEntry(store, table, index, e.Key, e.DataPage, e.DataRow, error))
            << error.Description;
    }
}

void ExpectEntries(const MemoryStore& store, const JetTable& table, const JetRealIndex& index,
                   const std::vector<IndexEntry>& entries, const char* phase) {
    const auto problems = CheckIndexStructure(store, table, index);
    EXPECT_TRUE(problems.empty()) << phase << ": " << problems.front();
    std::vector<IndexEntry> expected = entries;
    std::sort(expected.begin(), expected.end());
    EXPECT_TRUE(WalkIndexTree(store, index, table.DefinitionPage).Entries == expected) << phase;
}

TEST(IndexTree, InsertsAndRemovesKeepTheTreeSound) {
    test::TempDir dir;
    for (const char* name : {"jet4_v2000.mdb", "ace16_v2016.accdb"}) {
        MemoryStore store(test::ReadBytes(test::Fixture(std::string("access/") + name)));
        const JetTable table = LoadTable(store, "EmptyAllTypes");
        std::mt19937 random(7);
        // Autonumber IDs appended in order, Long values with duplicates arriving from the top,
        // Doubles in no order.
        std::vector<IndexEntry> ids, longs, doubles;
        const auto& primary = IndexNamed(table, "PrimaryKey");
        const auto& longIndex = IndexNamed(table, "IX_LongCol");
        const auto& doubleIndex = IndexNamed(table, "IX_DoubleCol");
        for (uint32_t i = 0; i < 20000; ++i) {
            const auto page = 3000 + i / 200;
            const auto row = static_cast<uint8_t>(i % 200);
            ids.push_back({KeyFor(table, primary, 0, LittleEndian(i + 1, 4)), page, row});
            longs.push_back(
                {KeyFor(table, longIndex, 4, LittleEndian((20000 - i) / 7, 4)), page, row});
            const double value = std::uniform_real_distribution<double>(-1e6, 1e6)(random);
            doubles.push_back(
                {KeyFor(table, doubleIndex, 8, DoubleBytes(i % 3 ? value : 0.5)), page, row});
        }
        InsertAll(store, table, primary, ids);
        InsertAll(store, table, longIndex, longs);
        InsertAll(store, table, doubleIndex, doubles);
        ExpectEntries(store, table, primary, ids, "ascending");
        ExpectEntries(store, table, longIndex, longs, "descending with duplicates");
        ExpectEntries(store, table, doubleIndex, doubles, "random");
        EXPECT_GE(WalkIndexTree(store, primary, table.DefinitionPage).Levels.size(), 2u);
        EXPECT_TRUE(IndexContainsKey(store, primary, ids[12345].Key));
        EXPECT_TRUE(IndexContainsKey(store, longIndex, longs[19999].Key));
        EXPECT_FALSE(
            IndexContainsKey(store, primary, KeyFor(table, primary, 0, LittleEndian(20001, 4))));
        ErrorState error;
        EXPECT_FALSE(InsertIndexEntry(store, table, primary, ids[5].Key, ids[5].DataPage,
                                      ids[5].DataRow, error));
        EXPECT_TRUE(error.IsSet());

        for (auto* planned : {&ids, &longs, &doubles}) {
            std::shuffle(planned->begin(), planned->end(), random);
        }
        for (auto [index, planned] : {std::pair{&primary, &ids}, std::pair{&longIndex, &longs},
                                      std::pair{&doubleIndex, &doubles}}) {
            // A third goes; the rest must still read back in order.
            const std::size_t keep = planned->size() * 2 / 3;
            for (std::size_t i = keep; i < planned->size(); ++i) {
                const auto& e = (*planned)[i];
                ASSERT_TRUE(
                    RemoveIndexEntry(store, table, *index, e.Key, e.DataPage, e.DataRow, error))
                    << error.Description;
            }
            planned->resize(keep);
            ExpectEntries(store, table, *index, *planned, "after removals");
        }
        EXPECT_FALSE(RemoveIndexEntry(store, table, primary, ids[0].Key, ids[0].DataPage + 1,
                                      ids[0].DataRow, error));
        // Emptied completely, the tree is one empty root page again.
        for (const auto& e : ids)
            ASSERT_TRUE(
                RemoveIndexEntry(store, table, primary, e.Key, e.DataPage, e.DataRow, error));
        const auto empty = WalkIndexTree(store, primary, table.DefinitionPage);
        EXPECT_TRUE(empty.Entries.empty());
        EXPECT_EQ(empty.Levels.size(), 1u);
        EXPECT_TRUE(CheckIndexStructure(store, table, primary).empty());

        const std::string file = dir.File(std::string("edited-") + name);
        test::WriteBytes(file, store.Bytes());
        EXPECT_EQ(ExportTable(file, "EmptyAllTypes"), 0);
        EXPECT_EQ(ExportTable(file, "BigTable"), 0);
    }
}

TEST(IndexTree, RebuiltIndexesMatchTheRowsAndPassTheVerifier) {
    test::TempDir dir;
    for (const char* name : {"jet4_v2003.mdb", "ace14_v2010.accdb"}) {
        MemoryStore store(test::ReadBytes(test::Fixture(std::string("access/") + name)));
        const JetTable table = LoadTable(store, "BigTable");
        std::mt19937 random(3);
        for (const char* indexName : {"PrimaryKey", "IX_Num"}) {
            const auto& index = IndexNamed(table, indexName);
            std::vector<std::string> problems;
            auto entries = ExpectedIndexEntries(store, table, index, problems);
            ASSERT_EQ(entries.size(), 5400u);
            std::shuffle(entries.begin(), entries.end(), random);
            ErrorState error;
            for (const auto& e : entries) {
                ASSERT_TRUE(
                    RemoveIndexEntry(store, table, index, e.Key, e.DataPage, e.DataRow, error))
                    << error.Description;
            }
            EXPECT_TRUE(WalkIndexTree(store, index, table.DefinitionPage).Entries.empty());
            std::shuffle(entries.begin(), entries.end(), random);
            for (const auto& e : entries) {
                ASSERT_TRUE(
                    InsertIndexEntry(store, table, index, e.Key, e.DataPage, e.DataRow, error))
                    << error.Description;
            }
            problems = CheckIndexTree(store, table, index, "BigTable", indexName, store.Version());
            EXPECT_TRUE(problems.empty()) << problems.front();
        }
        const std::string file = dir.File(name);
        test::WriteBytes(file, store.Bytes());
        const auto problems = VerifyDatabase(file);
        EXPECT_TRUE(problems.empty()) << problems.front();
        EXPECT_EQ(ExportTable(file, "BigTable"), 0);
    }
}

// Entries put into and taken out of a page where they lie read back exactly as a page written
// whole with the same entries: at the front, in the middle, at the end, on pages that share a
// prefix; an entry that does not fit or does not share the prefix leaves the page untouched.
TEST(IndexPage, EntriesSplicedInPlaceReadBackAsWrittenWhole) {
    JetFile file;
    ErrorState error;
    ASSERT_TRUE(file.Open(test::Fixture("access/jet4_v2003.mdb"), error));
    const JetTable table = LoadTable(file, "BigTable");
    std::vector<uint32_t> pages;
    for (const char* name : {"PrimaryKey", "IX_Name"}) {
        const auto walk = WalkIndexTree(file, IndexNamed(table, name), table.DefinitionPage);
        pages.insert(pages.end(), walk.Levels.back().begin(), walk.Levels.back().end());
    }
    std::mt19937 random(23);
    int prefixed = 0, refused = 0;
    for (uint32_t source : pages) {
        std::string page(file.Page(source));
        std::string problem;
        std::vector<std::string> expected = ReadIndexPage(page, problem)->Entries;
        prefixed += U16(page, 24) > 0;
        for (int op = 0; op < 40; ++op) {
            IndexPageView view;
            ASSERT_TRUE(view.Read(page, problem)) << problem;
            ASSERT_EQ(view.Count(), expected.size());
            const std::size_t count = expected.size();
            const std::size_t from = count ? random() % (count + 1) : 0;
            const std::size_t to = std::min(count, from + random() % 3);
            std::vector<std::string> added;
            for (std::size_t k = random() % 3; k-- > 0;) {
                // A neighbour's key with another row pointer, or now and then a foreign key.
                std::string entry = count ? expected[std::min(from, count - 1)] : "\x7f\x01";
                entry.resize(entry.size() - 4);
                if (random() % 8 == 0) entry = "\x01\x02";
                AppendBigEndian32(entry, static_cast<uint32_t>(random()));
                added.push_back(entry);
            }
            std::vector<std::string> next = expected;
            next.erase(next.begin() + static_cast<long>(from),
                       next.begin() + static_cast<long>(to));
            next.insert(next.begin() + static_cast<long>(from), added.begin(), added.end());
            const std::string before = page;
            const std::vector<std::string_view> views(added.begin(), added.end());
            if (!SpliceIndexEntries(page.data(), view, from, to, views)) {
                EXPECT_TRUE(page == before) << "refused, yet changed";
                ++refused;
                continue;
            }
            const auto image = ReadIndexPage(page, problem);
            ASSERT_TRUE(image) << problem;
            ASSERT_EQ(image->Entries, next) << "page " << source << " op " << op;
            EXPECT_EQ(U32(page, 12), U32(before, 12));
            expected = std::move(next);
        }
    }
    EXPECT_GT(prefixed, 10);
    EXPECT_GT(refused, 10);
}

// Leaves must form one chain across the level: a scan in index order follows them. Node pages
// are only entered from above; left unlinked where their parent changes, as another writer
// leaves them, they are noted, never reported.
TEST(IndexTree, NodeLinksCutWhereTheParentChangesAreANoteLeafLinksMustHold) {
    MemoryStore pristine(test::ReadBytes(test::Fixture("access/ace14_v2010.accdb")));
    const JetTable table = LoadTable(pristine, "EmptyAllTypes");
    const JetRealIndex& primary = IndexNamed(table, "PrimaryKey");
    // Long keys that differ early: few fit a page, so a few thousand make four levels.
    std::mt19937 random(17);
    ErrorState error;
    for (uint32_t i = 0; i < 6000; ++i) {
        std::string key = "\x7f" + LittleEndian(__builtin_bswap32(i), 4);
        for (int k = 0; k < 190; ++k)
            key.push_back(static_cast<char>(random()));
        ASSERT_TRUE(InsertIndexEntry(pristine, table, primary, key, 5000 + i / 100,
                                     static_cast<uint8_t>(i % 100), error))
            << error.Description;
    }
    const auto walk = WalkIndexTree(pristine, primary, table.DefinitionPage);
    ASSERT_GE(walk.Levels.size(), 4u);
    std::vector<std::string> notes;
    EXPECT_EQ(CheckIndexStructure(pristine, table, primary, &notes), std::vector<std::string>{});
    EXPECT_TRUE(notes.empty());

    // Cut every node level where the parent changes.
    MemoryStore cut(pristine.Bytes());
    std::size_t cuts = 0;
    for (std::size_t l = 1; l + 1 < walk.Levels.size(); ++l) {
        for (std::size_t i = 0; i + 1 < walk.Levels[l].size(); ++i) {
            if (walk.Parents[l][i] == walk.Parents[l][i + 1]) continue;
            Put32(cut.MutablePage(walk.Levels[l][i]) + 16, 0);
            Put32(cut.MutablePage(walk.Levels[l][i + 1]) + 12, 0);
            cuts += 2;
        }
    }
    ASSERT_GT(cuts, 0u);
    notes.clear();
    EXPECT_EQ(CheckIndexStructure(cut, table, primary, &notes), std::vector<std::string>{});
    ASSERT_EQ(notes.size(), 1u);
    EXPECT_NE(notes[0].find("節のページ " + std::to_string(cuts) + " 枚"), std::string::npos)
        << notes[0];

    // A node link inside a parent's group, or naming another page, is damage; so is any cut
    // between leaves.
    const auto& nodes = walk.Levels[walk.Levels.size() - 2];
    const auto& leaves = walk.Levels.back();
    const auto& leafParents = walk.Parents.back();
    std::size_t groupEnd = 0;
    while (leafParents[groupEnd] == leafParents[groupEnd + 1])
        ++groupEnd;
    const struct {
        uint32_t Page;
        std::size_t Offset;
        uint32_t Value;
    } damage[] = {
        {nodes[0], 16, nodes.back()},
        {walk.Levels[1][0], 16, 0},
        {leaves[groupEnd], 16, 0},
        {leaves[groupEnd + 1], 12, 0},
    };
    for (const auto& d : damage) {
        MemoryStore broken(cut.Bytes());
        Put32(broken.MutablePage(d.Page) + d.Offset, d.Value);
        const auto problems = CheckIndexStructure(broken, table, primary);
        ASSERT_EQ(problems.size(), 1u) << d.Page;
        EXPECT_EQ(problems[0], "ページ " + std::to_string(d.Page) +
                                   " の前後のページへのリンクが正しくありません");
    }
}

TEST(IndexTree, DamagedTreesAreReportedNeverCrash) {
    const std::string original = test::ReadBytes(test::Fixture("access/ace16_v2016.accdb"));
    MemoryStore pristine(original);
    const JetTable table = LoadTable(pristine, "BigTable");
    const JetRealIndex& num = IndexNamed(table, "IX_Num");
    const auto walk = WalkIndexTree(pristine, num, table.DefinitionPage);
    ASSERT_EQ(walk.Levels.size(), 2u);
    const uint32_t root = walk.Levels[0][0], leaf = walk.Levels[1][1];
    auto check = [&](const MemoryStore& store) {
        std::string all;
        for (const auto& line : CheckIndexTree(store, table, num, "BigTable", "IX_Num", 5))
            all += line + "\n";
        return all;
    };
    EXPECT_EQ(check(pristine), "");
    auto rewrite = [&](MemoryStore& store, uint32_t page, auto change) {
        std::string problem;
        auto image = ReadIndexPage(store.Page(page), problem);
        ASSERT_TRUE(image) << problem;
        change(*image);
        ASSERT_TRUE(WriteIndexPage(*image, table.DefinitionPage, store.MutablePage(page)));
    };
    {
        MemoryStore store(original);
        rewrite(store, leaf,
                [](IndexPageImage& image) { std::swap(image.Entries[10], image.Entries[20]); });
        EXPECT_NE(check(store).find("順序が正しくありません"), std::string::npos) << check(store);
    }
    {
        MemoryStore store(original);
        rewrite(store, root, [](IndexPageImage& image) {
            image.Entries[0][3] = static_cast<char>(image.Entries[0][3] + 1);
        });
        EXPECT_NE(check(store).find("最後の項目と一致しません"), std::string::npos) << check(store);
    }
    {
        MemoryStore store(original);
        Put32(store.MutablePage(leaf) + 16, walk.Levels[1][3]);
        EXPECT_NE(check(store).find("リンクが正しくありません"), std::string::npos) << check(store);
    }
    {
        MemoryStore store(original);
        rewrite(store, leaf, [](IndexPageImage& image) { image.Entries.pop_back(); });
        const std::string found = check(store);
        EXPECT_NE(found.find("足りない項目 1 件"), std::string::npos) << found;
    }
    {
        MemoryStore store(original);
        rewrite(store, root, [&](IndexPageImage& image) { image.Tail = walk.Levels[1][0]; });
        EXPECT_NE(check(store).find("二度現れます"), std::string::npos) << check(store);
    }
    {
        // A node may list its last child as an entry instead of on the tail pointer; a key
        // past all others then raises that entry.
        MemoryStore store(original);
        rewrite(store, root, [&](IndexPageImage& image) {
            std::string entry = LeafEntry(walk.Entries.back().Key, walk.Entries.back().DataPage,
                                          walk.Entries.back().DataRow);
            AppendBigEndian32(entry, image.Tail);
            image.Entries.push_back(entry);
            image.Tail = 0;
        });
        EXPECT_EQ(CheckIndexStructure(store, table, num), std::vector<std::string>{});
        const std::string top = KeyFor(table, num, 2, LittleEndian(0x7FFFFFFF, 4));
        ErrorState error;
        ASSERT_TRUE(InsertIndexEntry(store, table, num, top, 9000, 9, error)) << error.Description;
        EXPECT_EQ(CheckIndexStructure(store, table, num), std::vector<std::string>{});
        const auto grown = WalkIndexTree(store, num, table.DefinitionPage);
        EXPECT_EQ(grown.Entries.back(), (IndexEntry{top, 9000, 9}));
        EXPECT_EQ(grown.Entries.size(), walk.Entries.size() + 1);
    }
    // Random damage on the tree's pages: reported, and neither reading nor editing crashes.
    std::mt19937 random(5);
    int reported = 0;
    for (int i = 0; i < 200; ++i) {
        MemoryStore store(original);
        for (int k = 0; k < 1 + static_cast<int>(random() % 40); ++k) {
            const auto& level = walk.Levels[random() % walk.Levels.size()];
            const uint32_t page = level[random() % level.size()];
            store.MutablePage(page)[random() % kPage] = static_cast<char>(random());
        }
        if (!check(store).empty()) ++reported;
        ErrorState error;
        const std::string key = KeyFor(table, num, 2, LittleEndian(random(), 4));
        InsertIndexEntry(store, table, num, key, 900, 1, error);
        RemoveIndexEntry(store, table, num, walk.Entries[random() % walk.Entries.size()].Key, 1, 1,
                         error);
        IndexContainsKey(store, num, key);
    }
    EXPECT_GT(reported, 150);
}

}  // namespace
}  // namespace vantrel::access
