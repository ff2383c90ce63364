#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"
#include "ToolSupport.h"
#include "access/Verifier.h"
#include "sources/engine/Engine.h"

namespace vantrel {
namespace {

const char* const kFormats[] = {"jet4_v2000.mdb", "jet4_v2003.mdb", "ace12_v2007.accdb",
                                "ace14_v2010.accdb", "ace16_v2016.accdb"};

std::string Copy(const test::TempDir& dir, const std::string& name) {
    const std::string to = dir.File(name);
    std::filesystem::copy_file(test::Fixture("access/" + name), to);
    return to;
}

std::vector<std::string> Export(const std::string& path, const std::string& table) {
    return test::ToolLines("mdb-export -d '|' -D '%Y-%m-%d %H:%M:%S' '" + path + "' '" + table +
                           "' 2>&1");
}

std::string Problems(const std::string& path) {
    std::string all;
    for (const auto& p : access::VerifyDatabase(path))
        all += p + "\n";
    return all;
}

TEST(AccessWriter, AppendsRowsToTablesWithoutIndexes) {
    for (const char* name : kFormats) {
        SCOPED_TRACE(name);
        test::TempDir dir;
        const std::string path = Copy(dir, name);
        ErrorState error;
        Engine engine(error);
        {
            auto db = engine.OpenDatabase(path, 2, false);
            ASSERT_TRUE(db) << error.Description;
            auto rs = db->OpenRecordset("EmptyNoIndex");
            ASSERT_TRUE(rs) << error.Description;
            for (int i = 0; i < 100; ++i) {
                rs->AddNew();
                if (i % 7 != 3)
                    rs->SetValue("A", Value::Text(i % 2 ? "日本語" + std::to_string(i)
                                                        : "abc" + std::to_string(i)));
                rs->SetValue("B", Value::Text(std::to_string(i * 1000 - 50000)));
                rs->SetValue("C", Value::Boolean(i % 3 == 0));
                if (i % 5 != 0) rs->SetValue("D", Value::Double(i / 4.0));
                rs->Update();
                ASSERT_FALSE(error.IsSet()) << error.Description;
            }
            rs->Close();
            db->Close();
            ASSERT_FALSE(error.IsSet()) << error.Description;
        }
        EXPECT_EQ(Problems(path), "");
        const auto lines = Export(path, "EmptyNoIndex");
        ASSERT_EQ(lines.size(), 101u) << (lines.empty() ? "" : lines[0]);
        EXPECT_EQ(lines[1], "\"abc0\"|-50000|1|");
        EXPECT_EQ(lines[2], "\"日本語1\"|-49000|0|0.25");
        EXPECT_EQ(lines[4], "|-47000|1|0.75");
    }
}

}  // namespace
}  // namespace vantrel
