#include "sources/TextRowFeed.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "common/Encoding.h"

namespace vantrel {
namespace {

using Cells = std::vector<std::string>;

// Shift-JIS lines with quoted commas, one line far longer than a batch and one invalid byte.
std::string MakeFile(const test::TempDir& dir, int lines, int longLine, int badLine) {
    std::string bytes, sjis;
    for (int n = 1; n <= lines; ++n) {
        std::string line = std::to_string(n) + ",名前" + std::to_string(n) + ",\"東京, " +
                           std::to_string(n % 7) + "F\"";
        if (n == longLine) line += "," + std::string(3 << 20, 'x');
        Utf8ToCp932(line, sjis);
        if (n == badLine) sjis += ",\xFF";
        bytes += sjis + "\r\n";
    }
    const std::string path = dir.File("rows.csv");
    test::WriteBytes(path, bytes);
    return path;
}

TEST(TextRowFeed, EveryLineComesOnceInOrderWithItsNotice) {
    test::TempDir dir;
    const std::string path = MakeFile(dir, 5000, 2500, 3000);
    TextRowFeed feed;
    ErrorState error;
    ASSERT_TRUE(feed.Open(path, error)) << error.Description;
    int64_t expected = 0;
    int notices = 0;
    while (const TextRowFeed::Row* row = feed.Next(",")) {
        ++expected;
        ASSERT_EQ(row->Line, expected);
        const std::string n = std::to_string(expected);
        Cells cells = {n, "名前" + n, "東京, " + std::to_string(expected % 7) + "F"};
        if (expected == 2500) cells.push_back(std::string(3 << 20, 'x'));
        if (expected == 3000) cells.push_back("\xEF\xBF\xBD");
        ASSERT_EQ(row->Cells, cells) << "line " << expected;
        if (!row->Notice.empty()) {
            ++notices;
            EXPECT_EQ(expected, 3000);
            EXPECT_NE(row->Notice.find("rows.csv の 3000 行目"), std::string::npos) << row->Notice;
        }
    }
    EXPECT_EQ(expected, 5000);
    EXPECT_EQ(notices, 1);
    EXPECT_EQ(feed.Next(","), nullptr) << "the end stays the end";
    EXPECT_FALSE(feed.ReadError().IsSet());
}

TEST(TextRowFeed, StopsEarlyAndReportsOpenFailures) {
    test::TempDir dir;
    const std::string path = MakeFile(dir, 200000, 0, 0);
    {
        TextRowFeed feed;
        ErrorState error;
        ASSERT_TRUE(feed.Open(path, error));
        ASSERT_NE(feed.Next(","), nullptr);
        EXPECT_EQ(feed.Next(",")->Line, 2);
        // Closed while the second thread waits for room: must neither hang nor crash.
        feed.Close();
        EXPECT_EQ(feed.Next(","), nullptr);
        ASSERT_TRUE(feed.Open(path, error)) << "a closed feed opens again";
        EXPECT_EQ(feed.Next(",")->Cells.front(), "1");
    }  // destroyed mid-file
    TextRowFeed missing;
    ErrorState error;
    EXPECT_FALSE(missing.Open(dir.File("none.csv"), error));
    EXPECT_EQ(error.Number, RuntimeError::FileNotFound);
    EXPECT_EQ(missing.Next(","), nullptr);
}

}  // namespace
}  // namespace vantrel
