#include "access/Verifier.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <random>

#include "TestSupport.h"
#include "access/Bytes.h"
#include "access/JetFile.h"

namespace vantrel::access {
namespace {

TEST(JetFile, ReadsTheCatalogAndTableDefinitions) {
    JetFile file;
    ErrorState error;
    ASSERT_TRUE(file.Open(test::Fixture("access/ace16_v2016.accdb"), error)) << error.Description;
    std::string problem;
    const auto catalog = ReadCatalog(file, problem);
    EXPECT_TRUE(problem.empty()) << problem;
    const JetCatalogEntry* big = nullptr;
    for (const auto& e : catalog) {
        if (e.Name == "BigTable") big = &e;
    }
    ASSERT_TRUE(big);
    const auto table = ReadTableDefinition(file, big->DefinitionPage, problem);
    ASSERT_TRUE(table) << problem;
    EXPECT_EQ(table->RowCount, 5400u);
    ASSERT_EQ(table->Columns.size(), 6u);
    EXPECT_EQ(table->Columns[0].Name, "ID");
    EXPECT_EQ(table->Columns[1].Name, "Name");
    EXPECT_TRUE(table->Columns[0].IsFixed());
    EXPECT_FALSE(table->Columns[1].IsFixed());
    EXPECT_TRUE(table->Columns[0].IsAutoNumber());
    EXPECT_EQ(table->Columns[1].SortOrder, 1033);
    EXPECT_EQ(table->Columns[1].SortVersion, 1);
    EXPECT_NE(table->Columns[5].LongValueOwnedMap, 0u);  // Note, a Memo
    std::vector<std::string> names;
    for (const auto& index : table->Indexes) {
        names.push_back(index.Name);
        ASSERT_LT(index.RealIndex, table->RealIndexes.size());
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"IX_Name", "IX_Num", "IX_Num_Name", "PrimaryKey"}));
    for (const auto& index : table->Indexes) {
        const auto& real = table->RealIndexes[index.RealIndex];
        if (index.Name == "PrimaryKey") {
            EXPECT_EQ(index.Type, 1);
            EXPECT_TRUE(real.IsUnique());
            ASSERT_EQ(real.Columns.size(), 1u);
            EXPECT_EQ(real.Columns[0].ColumnNumber, table->Columns[0].Number);
        }
        if (index.Name == "IX_Num_Name") {
            EXPECT_EQ(real.Columns.size(), 2u);
        }
        EXPECT_NE(real.FirstPage, 0u);
    }
    EXPECT_FALSE(file.Open(test::Fixture("text/DATA.CSV"), error));
}

// A row whose count of variable columns claims more offsets than the row holds is damage: the fixed
// values still read, no variable value is taken from outside the row.
TEST(JetFile, AnImpossibleVariableCountReadsNoVariableValue) {
    JetFile file;
    ErrorState error;
    ASSERT_TRUE(file.Open(test::Fixture("access/ace16_v2016.accdb"), error)) << error.Description;
    std::string problem;
    std::optional<JetTable> table;
    for (const auto& e : ReadCatalog(file, problem))
        if (e.Name == "BigTable") table = ReadTableDefinition(file, e.DefinitionPage, problem);
    ASSERT_TRUE(table) << problem;
    // Six columns, all present: count, ID, padding, then the variable count 0xFFFF before the mask.
    std::string row = {'\x06', '\0', '\x2A', '\0',   '\0',   '\0',  '\0',
                       '\0',   '\0', '\0',   '\xFF', '\xFF', '\x3F'};
    for (const uint16_t claimed : {uint16_t{0xFFFF}, uint16_t{0x8000}, uint16_t{5}}) {
        row[10] = static_cast<char>(claimed & 0xFF);
        row[11] = static_cast<char>(claimed >> 8);
        const auto values = SplitRow(*table, row);
        ASSERT_EQ(values.size(), table->Columns.size());
        ASSERT_TRUE(values[0]) << claimed;
        EXPECT_EQ(static_cast<uint8_t>((*values[0])[0]), 0x2Au) << claimed;
        for (std::size_t c = 1; c < values.size(); ++c)
            if (!table->Columns[c].IsFixed()) {
                EXPECT_FALSE(values[c]) << claimed << ": column " << c;
            }
    }
    EXPECT_EQ(U16(row, std::size_t{0} - 1), 0u) << "an offset that wrapped reads as nothing";
    EXPECT_EQ(U32(row, row.size() - 3), 0u);
}

TEST(Verifier, FixturesAreConsistentAndDamageIsFound) {
    for (const char* name : {"jet4_v2000.mdb", "jet4_v2003.mdb", "ace12_v2007.accdb",
                             "ace14_v2010.accdb", "ace16_v2016.accdb"}) {
        const auto problems = VerifyDatabase(test::Fixture(std::string("access/") + name));
        EXPECT_TRUE(problems.empty()) << name << ": " << (problems.empty() ? "" : problems.front());
    }
    // Access left this file's stored row count one short.
    const auto calc = VerifyDatabase(test::Fixture("access-made/V2010/calcFieldTestV2010.accdb"));
    ASSERT_EQ(calc.size(), 1u);
    EXPECT_NE(calc[0].find("Table1"), std::string::npos) << calc[0];

    // A definition claiming one row too many is caught.
    test::TempDir dir;
    std::string bytes = test::ReadBytes(test::Fixture("access/jet4_v2000.mdb"));
    JetFile file;
    ErrorState error;
    ASSERT_TRUE(file.Open(test::Fixture("access/jet4_v2000.mdb"), error));
    std::string problem;
    uint32_t page = 0;
    for (const auto& e : ReadCatalog(file, problem)) {
        if (e.Name == "NoIndex") page = e.DefinitionPage;
    }
    ASSERT_NE(page, 0u);
    bytes[std::size_t{page} * JetFile::kPageSize + 16] =
        static_cast<char>(bytes[std::size_t{page} * JetFile::kPageSize + 16] + 1);
    test::WriteBytes(dir.File("bad.mdb"), bytes);
    const auto bad = VerifyDatabase(dir.File("bad.mdb"));
    ASSERT_EQ(bad.size(), 1u);
    EXPECT_NE(bad[0].find("NoIndex: 行数が一致しません (定義 4 行、実際 3 行)"), std::string::npos)
        << bad[0];
}

TEST(Verifier, AccessMadeFilesPass) {
    int files = 0;
    for (const std::string& path : test::AccessMadeFiles()) {
        if (path.find("calcFieldTest") != std::string::npos) continue;
        ++files;
        const auto problems = VerifyDatabase(path);
        EXPECT_TRUE(problems.empty()) << path << ": " << (problems.empty() ? "" : problems.front());
    }
    EXPECT_GT(files, 60);
}

TEST(Verifier, DamagedFilesAreReportedNeverCrash) {
    // The verifier parses the file in this process, so every offset it follows must be checked.
    const std::string original = test::ReadBytes(test::Fixture("access-made/adox_jet4.mdb"));
    test::TempDir dir;
    std::mt19937 random(11);
    int reported = 0;
    for (int i = 0; i < 150; ++i) {
        std::string damaged = original;
        for (int k = 0; k < 1 + static_cast<int>(random() % 200); ++k) {
            damaged[4096 + random() % (damaged.size() - 4096)] = static_cast<char>(random());
        }
        if (i % 10 == 0) damaged.resize(8192 + random() % (damaged.size() - 8192));
        test::WriteBytes(dir.File("d.mdb"), damaged);
        if (!VerifyDatabase(dir.File("d.mdb")).empty()) ++reported;
    }
    EXPECT_GT(reported, 0) << "heavy damage is noticed";
}

}  // namespace
}  // namespace vantrel::access
