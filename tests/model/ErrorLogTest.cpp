#include "model/ErrorLog.h"
#include "model/SessionState.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(ErrorLog, KeepsEachLineOnceAndClearsThePendingError) {
    ErrorLog log;
    EXPECT_EQ(log.ErrorCount(), 0);
    log.Pending.Set(3024, "ファイルが見つかりません。");
    log.AddErrorLine("a");
    EXPECT_FALSE(log.Pending.IsSet());
    log.Pending.Set(13, "型が一致しません。");
    log.AddErrorLine("a");
    EXPECT_FALSE(log.Pending.IsSet()) << "a duplicate still clears the pending error";
    log.AddErrorLine("A");
    EXPECT_EQ(log.ErrorCount(), 2) << "lines differing in letter case are both kept";
    EXPECT_EQ(log.Line(1), "a");
    EXPECT_EQ(log.Line(2), "A");
    EXPECT_EQ(log.Text(), "a\r\nA\r\n");

    log.Pending.Set(62, "ファイルにこれ以上データがありません。");
    log.AddPendingWithNumber();
    EXPECT_EQ(log.Line(3), "ファイルにこれ以上データがありません。 (62)");
    log.AddPendingWithNumber();  // nothing pending: nothing added
    EXPECT_EQ(log.ErrorCount(), 3);

    log.Clear();
    EXPECT_TRUE(log.Empty());
    log.AddErrorLine("a");
    EXPECT_EQ(log.ErrorCount(), 1) << "after clearing, an old line may come back";
}

TEST(ErrorLog, RemembersWhereAndHowOftenALineHappened) {
    ErrorLog log;
    log.AddErrorLine("no row");
    log.SetRow(12);
    for (int i = 0; i < 4000; ++i) {
        log.AddErrorLine("値が大きすぎます");
        log.SetRow(13 + i);
    }
    log.AddErrorLine("once");
    log.SetRow(0);
    log.AddErrorLine("no row");
    EXPECT_EQ(log.Text(), "no row\r\n値が大きすぎます\r\nonce\r\n")
        << "the log's own text is unchanged";
    EXPECT_EQ(log.DescribedLine(1), "no row (2 件)");
    EXPECT_EQ(log.DescribedLine(2), "値が大きすぎます (12 行目ほか 3,999 件)");
    EXPECT_EQ(log.DescribedLine(3), "once (4,012 行目)");
    EXPECT_EQ(log.FirstRow(2), 12);
    EXPECT_EQ(log.Occurrences(2), 4000);
}

TEST(SourceRowMap, MapsStagedRecordsBackToInputRows) {
    SourceRowMap rows;
    // Header on row 1, rows 3-4 skipped: records 1.. came from rows 2, 5, 6, 7.
    for (int64_t row : {2, 5, 6, 7})
        rows.Add("t", row);
    EXPECT_EQ(rows.RowOf("t", 1), 2);
    EXPECT_EQ(rows.RowOf("t", 2), 5);
    EXPECT_EQ(rows.RowOf("t", 4), 7);
    EXPECT_EQ(rows.RowOf("t", 0), 0);
    EXPECT_EQ(rows.RowOf("other", 1), 0);
}

}  // namespace
}  // namespace vantrel
