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

TEST(DelimitedText, ParseSkipRows) {
    using Rows = std::vector<int32_t>;
    EXPECT_EQ(ParseSkipRows("2-4,6"), (Rows{2, 3, 4, 6}));
    EXPECT_EQ(ParseSkipRows("6,2-3"), (Rows{6, 2, 3}));
    EXPECT_EQ(ParseSkipRows("4-2"), Rows{});
    EXPECT_EQ(ParseSkipRows(""), Rows{});
    EXPECT_EQ(ParseSkipRows("2-5-9"), (Rows{2, 3, 4, 5, 6, 7, 8, 9}));
    EXPECT_EQ(ParseSkipRows("3,,3, 5 "), (Rows{3, 3, 5}))
        << "duplicates kept, empty entries ignored";
    EXPECT_EQ(ParseSkipRows("x,2-y,1.5,7,abc-def,-3"), (Rows{7}))
        << "non-numeric parts add nothing";
    EXPECT_EQ(ParseSkipRows("99999999999999999999,1"), (Rows{1}));

    const Rows huge = ParseSkipRows("1-2000000000,5");
    ASSERT_EQ(huge.size(), kMaxSkipRows);
    EXPECT_EQ(huge.back(), 32767);
    EXPECT_EQ(ParseSkipRows("2147483640-2147483647").size(), 8u) << "no overflow at the top";
}

}  // namespace
}  // namespace vantrel
