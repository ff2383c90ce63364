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

}  // namespace
}  // namespace vantrel::reader
