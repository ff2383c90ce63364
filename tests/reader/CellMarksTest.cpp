#include "CellMarks.h"

#include <gtest/gtest.h>

#include <random>

#include "TestSupport.h"
#include "WorkbookSupport.h"

namespace vantrel::reader {
namespace {

TEST(CellMarks, FindsTheBooleanAndErrorCellsOfEachSheet) {
    const CellMarks marks = FindCellMarks(test::Fixture("excel/mixed_types.xls"));
    ASSERT_EQ(marks.count("Sheet1"), 1u);
    // Column H (7) of rows 2-6 holds TRUE/FALSE; nothing else does.
    EXPECT_EQ(marks.at("Sheet1").Booleans,
              (std::set<CellPosition>{{1, 7}, {2, 7}, {3, 7}, {4, 7}, {5, 7}}));
    EXPECT_TRUE(marks.at("Sheet1").Errors.empty());
    EXPECT_EQ(marks.count("売上"), 0u);
    EXPECT_TRUE(FindCellMarks(test::Fixture("excel/header_row3.xls")).empty());
    EXPECT_TRUE(FindCellMarks(test::Fixture("text/DATA.CSV")).empty());
    EXPECT_TRUE(FindCellMarks("/nonexistent.xls").empty());

    test::TempDir dir;
    ASSERT_TRUE(test::WriteXlsWithErrorCell(dir.File("error.xls")));
    const CellMarks withError = FindCellMarks(dir.File("error.xls"));
    EXPECT_EQ(withError.at("Sheet1").Errors, (std::map<CellPosition, uint8_t>{{{1, 7}, 7}}));
    EXPECT_EQ(withError.at("Sheet1").Booleans.count({1, 7}), 0u);
    EXPECT_EQ(ErrorCodeText(7), "#DIV/0!");
    EXPECT_EQ(ErrorCodeText(0x2A), "#N/A");
    EXPECT_EQ(ErrorCodeText(0x1D), "#NAME?");
}

TEST(CellMarks, DamagedWorkbooksAreReadSafely) {
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
        for (const auto& [sheet, marks] : FindCellMarks(dir.File("d.xls")))
            found += marks.Booleans.size();
    }
    EXPECT_GT(found, 0u) << "light damage still leaves most records readable";
}

// A sector chain that points back at itself is damage, not a stream of endless copies.
TEST(CellMarks, LoopingSectorChainsEnd) {
    std::string book = test::ReadBytes(test::Fixture("excel/mixed_types.xls"));
    auto u32 = [&](std::size_t at) {
        uint32_t value = 0;
        for (std::size_t k = 0; k < 4; ++k)
            value |= uint32_t{static_cast<uint8_t>(book[at + k])} << (8 * k);
        return value;
    };
    const std::size_t sector = std::size_t{1} << u32(0x1E) % 32;
    const uint32_t directory = u32(0x30);
    const std::size_t fatEntry = (std::size_t{u32(0x4C)} + 1) * sector + 4 * std::size_t{directory};
    for (int k = 0; k < 4; ++k)
        book[fatEntry + static_cast<std::size_t>(k)] = static_cast<char>(directory >> (8 * k));
    test::TempDir dir;
    test::WriteBytes(dir.File("loop.xls"), book);
    // A loop is damage: the walk gives up instead of reading the directory over and over.
    EXPECT_TRUE(FindCellMarks(dir.File("loop.xls")).empty());
}

}  // namespace
}  // namespace vantrel::reader
