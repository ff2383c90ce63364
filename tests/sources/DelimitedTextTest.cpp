#include "sources/DelimitedText.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

using Pieces = std::vector<std::string>;

TEST(DelimitedText, QuotesProtectOnlyCommasInsideBalancedQuotes) {
    EXPECT_EQ(SplitLine("\"a,b\",c", ","), (Pieces{"a,b", "c"}));
    EXPECT_EQ(SplitLine("\"a,b\",c", "\t"), (Pieces{"a,b,c"}))
        << "commas come back, no tab to split";
    EXPECT_EQ(SplitLine("1,\"say \"\"hi\"\"\",2", ","), (Pieces{"1", "say hi", "2"}))
        << "a doubled quote leaves nothing behind";
    EXPECT_EQ(SplitLine("a,\"b,c,d", ","), (Pieces{"a", "b", "c", "d"})) << "unterminated quote";
    EXPECT_EQ(SplitLine("x\"y,z\"w,v", ","), (Pieces{"xy,zw", "v"}))
        << "quotes mid-field act alike";
    EXPECT_EQ(SplitLine("a,,b,", ","), (Pieces{"a", "", "b", ""}));
    EXPECT_EQ(SplitLine("", ","), Pieces{});
    EXPECT_EQ(SplitLine("a,b", ""), (Pieces{"a,b"}));
    EXPECT_EQ(SplitLine("a-$-b", ","), (Pieces{"a,b"}))
        << "a marker in the file comes out as a comma";
    EXPECT_EQ(SplitLine("1;\"a;b\"", ";"), (Pieces{"1", "a", "b"})) << "only commas are protected";
    EXPECT_EQ(SplitLine("aXbxc", "x"), (Pieces{"a", "b", "c"})) << "delimiter case is ignored";
    EXPECT_EQ(SplitLine("a||b|c", "||"), (Pieces{"a", "b|c"}));
    EXPECT_EQ(SplitLine(" a , b ", ","), (Pieces{" a ", " b "})) << "pieces are not trimmed";
}

TEST(DelimitedText, FoldQuotesTurnsLineBreaksIntoLineFeeds) {
    EXPECT_EQ(FoldQuotes("a\r\nb\rc\nd"), "a\nb\nc\nd");
    EXPECT_EQ(FoldQuotes("\"x,\ny\",z"), "x-$-\ny,z");
    EXPECT_EQ(FoldQuotes("\"x,y\",z"), "x-$-y,z");
}

TEST(DelimitedText, LongLinesFoldPastSixteenBitPositions) {
    std::string line = "1,\"head,quoted\"," + std::string(199966, 'a') + ",\"tail,quoted\",end";
    ASSERT_EQ(line.size(), 200000u);
    const Pieces pieces = SplitLine(line, ",");
    ASSERT_EQ(pieces.size(), 5u);
    EXPECT_EQ(pieces[1], "head,quoted");
    EXPECT_EQ(pieces[2].size(), 199966u);
    EXPECT_EQ(pieces[3], "tail,quoted");
    EXPECT_EQ(pieces[4], "end");
}

TEST(DelimitedText, ParseSkipRowsKeepsTheRangesWritten) {
    using Ranges = std::vector<RowsToSkip::Range>;
    EXPECT_EQ(ParseSkipRows("2-4,6").Written(), (Ranges{{2, 4}, {6, 6}}));
    EXPECT_EQ(ParseSkipRows("6,2-3").Written(), (Ranges{{6, 6}, {2, 3}}));
    EXPECT_EQ(ParseSkipRows("6,2-3").LastWritten(), 3);
    EXPECT_TRUE(ParseSkipRows("4-2").Empty());
    EXPECT_TRUE(ParseSkipRows("").Empty());
    EXPECT_EQ(ParseSkipRows("2-5-9").Written(), (Ranges{{2, 9}}));
    EXPECT_EQ(ParseSkipRows("3,,3, 5 ").Written(), (Ranges{{3, 3}, {3, 3}, {5, 5}}))
        << "duplicates kept, empty entries ignored";
    EXPECT_EQ(ParseSkipRows("x,2-y,1.5,7,abc-def,-3").Written(), (Ranges{{7, 7}}))
        << "non-numeric parts add nothing";
    EXPECT_EQ(ParseSkipRows("99999999999999999999,1").Written(), (Ranges{{1, 1}}));
}

TEST(DelimitedText, RowsToSkipHonoursListsOfAnyLength) {
    const RowsToSkip dialogExample = ParseSkipRows("2-4,6");
    std::vector<int64_t> skipped;
    for (int64_t row = 0; row <= 8; ++row)
        if (dialogExample.Contains(row)) skipped.push_back(row);
    EXPECT_EQ(skipped, (std::vector<int64_t>{2, 3, 4, 6}));

    // Far past 32,767 numbers: every row of the ranges, and nothing around them.
    const RowsToSkip huge = ParseSkipRows("1-2000000000,5,2000000005");
    for (const int64_t row : {1LL, 32767LL, 32768LL, 40000LL, 1999999999LL, 2000000000LL})
        EXPECT_TRUE(huge.Contains(row)) << row;
    EXPECT_FALSE(huge.Contains(2000000001));
    EXPECT_TRUE(huge.Contains(2000000005));
    EXPECT_EQ(huge.LastWritten(), 2000000005);
    EXPECT_EQ(huge.FirstNotContained(1), 2000000001);

    // Overlapping, touching and unordered ranges.
    const RowsToSkip mixed = ParseSkipRows("20-30,1-3,2-10,12,11");
    EXPECT_TRUE(mixed.Contains(11));
    EXPECT_FALSE(mixed.Contains(13));
    EXPECT_FALSE(mixed.Contains(0));
    EXPECT_FALSE(mixed.Contains(31));
    EXPECT_EQ(mixed.FirstNotContained(1), 13);
    EXPECT_EQ(mixed.FirstNotContained(20), 31);
    EXPECT_EQ(mixed.FirstNotContained(14), 14);

    const RowsToSkip top = ParseSkipRows("9223372036854775800-9223372036854775807");
    EXPECT_TRUE(top.Contains(INT64_MAX));
    EXPECT_EQ(top.FirstNotContained(9223372036854775801), INT64_MAX) << "no overflow at the top";
    EXPECT_EQ(ParseSkipRows("").FirstNotContained(1), 1);
}

}  // namespace
}  // namespace vantrel
