#include "BooleanCells.h"

#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"

namespace vantrel::reader {
namespace {

TEST(BooleanCells, FindsTheBooleanCellsOfEachSheet) {
    const BooleanCells cells = FindBooleanCells(test::Fixture("excel/mixed_types.xls"));
    ASSERT_EQ(cells.count("Sheet1"), 1u);
    const auto& sheet = cells.at("Sheet1");
    // Column H (7) of rows 2-6 holds TRUE/FALSE; nothing else does.
    EXPECT_EQ(sheet,
              (std::set<std::pair<uint32_t, uint32_t>>{{1, 7}, {2, 7}, {3, 7}, {4, 7}, {5, 7}}));
    EXPECT_EQ(cells.count("売上"), 0u);
    EXPECT_TRUE(FindBooleanCells(test::Fixture("excel/header_row3.xls")).empty());
    EXPECT_TRUE(FindBooleanCells(test::Fixture("text/DATA.CSV")).empty());
    EXPECT_TRUE(FindBooleanCells("/nonexistent.xls").empty());
}

TEST(BooleanCells, DamagedWorkbooksAreReadSafely) {
    const std::string original = test::ReadBytes(test::Fixture("excel/mixed_types.xls"));
    test::TempDir dir;
    std::mt19937 random(7);
    std::size_t found = 0;
    for (int i = 0; i < 200; ++i) {
        std::string damaged = original;
        const int edits = 1 + static_cast<int>(random() % 30);
        for (int k = 0; k < edits; ++k)
            damaged[random() % damaged.size()] = static_cast<char>(random());
        if (i % 20 == 0) damaged.resize(random() % damaged.size());
        test::WriteBytes(dir.File("d.xls"), damaged);
        for (const auto& [sheet, set] : FindBooleanCells(dir.File("d.xls")))
            found += set.size();
    }
    EXPECT_GT(found, 0u) << "light damage still leaves most records readable";
}

// A sector chain that points back at itself is damage, not a stream of endless copies.
TEST(BooleanCells, LoopingSectorChainsEnd) {
    std::string book = test::ReadBytes(test::Fixture("excel/mixed_types.xls"));
    auto u32 = [&](std::size_t at) {
        return static_cast<uint32_t>(
            static_cast<uint8_t>(book[at]) | static_cast<uint8_t>(book[at + 1]) << 8 |
            static_cast<uint8_t>(book[at + 2]) << 16 |
            static_cast<uint32_t>(static_cast<uint8_t>(book[at + 3])) << 24);
    };
    const std::size_t sector = std::size_t{1} << u32(0x1E) % 32;
    const uint32_t directory = u32(0x30);
    const std::size_t fatEntry = (std::size_t{u32(0x4C)} + 1) * sector + 4 * std::size_t{directory};
    for (int k = 0; k < 4; ++k)
        book[fatEntry + static_cast<std::size_t>(k)] = static_cast<char>(directory >> (8 * k));
    test::TempDir dir;
    test::WriteBytes(dir.File("loop.xls"), book);
    // A loop is damage: the walk gives up instead of reading the directory over and over.
    EXPECT_TRUE(FindBooleanCells(dir.File("loop.xls")).empty());
}

}  // namespace
}  // namespace vantrel::reader
