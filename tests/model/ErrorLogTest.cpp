#include "model/ErrorLog.h"

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

}  // namespace
}  // namespace vantrel
