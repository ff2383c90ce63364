// The file layer under the Access writer: changes reach the file only through a copy renamed over
// it, memory stays within the page cache, free pages are used again, links stay links.
#include "access/JetWriteFile.h"

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <random>

#include "TestSupport.h"
#include "access/LockFile.h"
#include "access/TableWriter.h"
#include "access/UsageMap.h"
#include "access/WriterSupport.h"
#include "sources/engine/JetErrors.h"

namespace vantrel {
namespace {

using test_writer::Copy;
using test_writer::Export;
using test_writer::KillAfterSteps;
using test_writer::OpenForChanges;
using test_writer::Problems;

using access::JetWriteFile;

// The copies a run leaves beside `path` while it writes (none once it has finished).
std::vector<std::string> CopiesBeside(const std::string& path) {
    std::vector<std::string> copies;
    const std::filesystem::path file(path);
    for (const auto& entry : std::filesystem::directory_iterator(file.parent_path())) {
        const std::string name = entry.path().filename().string();
        if (name.rfind(file.filename().string() + ".vantrel-", 0) == 0) copies.push_back(name);
    }
    return copies;
}

// A table of a file opened for changes without the engine, to reach the file layer's settings.
struct DirectTable {
    JetWriteFile File;
    std::unique_ptr<access::TableWriter> Writer;

    DirectTable(const std::string& path, const std::string& table) {
        ErrorState error;
        EXPECT_TRUE(File.Open(path, error)) << error.Description;
        std::string problem;
        const auto catalog = access::ReadCatalog(File, problem);
        for (const auto& entry : catalog) {
            if (entry.Name == table)
                Writer = access::TableWriter::Open(File, entry, catalog, error);
        }
        EXPECT_TRUE(Writer) << error.Description;
    }
};

// Product n for 空の商品マスタ: code, name and category all indexed.
access::TableWriter::Changes Product(const access::TableWriter& writer, int n) {
    access::TableWriter::Changes values(writer.Table().Columns.size());
    for (std::size_t c = 0; c < values.size(); ++c) {
        const std::string& name = writer.Table().Columns[c].Name;
        if (name == "商品コード")
            values[c] = Value::Text("品-" + std::to_string(100000 + n * 7919 % 90000));
        if (name == "商品名") values[c] = Value::Text("静岡の緑茶 " + std::to_string(n));
        if (name == "カテゴリ") values[c] = Value::Text(n % 3 ? "飲料" : "菓子");
        if (name == "備考")
            values[c] = Value::Text(std::string(static_cast<std::size_t>(n % 300), 'x'));
    }
    return values;
}

TEST(JetWriteFile, NothingReachesTheFileBeforeCommitAndAPageCacheOfAnySizeWritesTheSameFile) {
    test::TempDir dir;
    const std::string original = test::ReadBytes(test::Fixture("access/jet4_v2003.mdb"));
    const int rows = VANTREL_SANITIZED ? 1500 : 6000;
    std::vector<std::string> results;
    for (const std::size_t cache : {std::size_t{0}, JetWriteFile::kDefaultCacheBytes}) {
        const std::string path = dir.File("cache" + std::to_string(cache) + ".mdb");
        test::WriteBytes(path, original);
        DirectTable t(path, "空の商品マスタ");
        ASSERT_TRUE(t.Writer);
        t.File.SetCacheBytes(cache);  // the smallest cache there is: pages leave it all the time
        ErrorState error;
        for (int n = 0; n < rows; ++n)
            ASSERT_TRUE(t.Writer->Insert(Product(*t.Writer, n), error)) << n << error.Description;
        EXPECT_TRUE(test::ReadBytes(path) == original) << "written before the commit";
        EXPECT_EQ(CopiesBeside(path).size(), cache == 0 ? 1u : 0u)
            << "a small cache needs the copy early, a large one not before the commit";
        ASSERT_TRUE(t.File.Commit(error)) << error.Description;
        EXPECT_TRUE(CopiesBeside(path).empty());
        EXPECT_EQ(Problems(path), "");
        EXPECT_EQ(Export(path, "空の商品マスタ").size(), static_cast<std::size_t>(rows) + 1);
        results.push_back(test::ReadBytes(path));
    }
    EXPECT_TRUE(results[0] == results[1]);

    // Discarded, the changes leave neither a trace in the file nor a copy beside it.
    const std::string path = dir.File("discarded.mdb");
    test::WriteBytes(path, original);
    DirectTable t(path, "空の商品マスタ");
    t.File.SetCacheBytes(0);
    ErrorState error;
    for (int n = 0; n < rows / 2; ++n)
        ASSERT_TRUE(t.Writer->Insert(Product(*t.Writer, n), error));
    EXPECT_EQ(CopiesBeside(path).size(), 1u);
    t.File.Discard();
    EXPECT_TRUE(CopiesBeside(path).empty());
    EXPECT_TRUE(test::ReadBytes(path) == original);
}

// Pages given back are recorded free in the file's own map, for Access as much as for the next
// run, and the next allocations take them before the file grows.
TEST(JetWriteFile, PagesGivenBackAreFreeInTheFileAndUsedAgain) {
    test::TempDir dir;
    const std::string path = Copy(dir, "ace14_v2010.accdb");
    ErrorState error;
    JetWriteFile file;
    ASSERT_TRUE(file.Open(path, error));
    EXPECT_TRUE(access::FreePagesInFile(file).empty());
    const uint32_t pages = file.PageCount();
    std::vector<uint32_t> taken;
    for (int k = 0; k < 200; ++k) {
        taken.push_back(file.AllocatePage(0, error));
        ASSERT_NE(taken.back(), 0u) << error.Description;
    }
    EXPECT_EQ(file.PageCount(), pages + 200);
    // Given back out of order, one before the window the map moved to: the map must become a
    // list of bitmap pages.
    for (uint32_t page : {taken[3], taken[180], taken[100]})
        file.ReleasePage(page, 0);
    ASSERT_TRUE(file.Commit(error)) << error.Description;
    {
        access::JetFile check;
        ASSERT_TRUE(check.Open(path, error));
        const auto free = access::FreePagesInFile(check);
        EXPECT_EQ(free, (std::vector<uint32_t>{taken[3], taken[100], taken[180]}));
    }
    EXPECT_EQ(Problems(path), "");

    ASSERT_TRUE(file.Open(path, error));
    const uint32_t grown = file.PageCount();
    EXPECT_TRUE(file.HasRoomFor(3));
    EXPECT_EQ(file.AllocatePage(0, error), taken[3]);
    EXPECT_EQ(file.AllocatePage(0, error), taken[100]);
    EXPECT_EQ(file.AllocatePage(0, error), taken[180]);
    EXPECT_EQ(file.PageCount(), grown);
    EXPECT_EQ(file.AllocatePage(0, error), grown) << "then the file grows";
    ASSERT_TRUE(file.Commit(error));
    access::JetFile check;
    ASSERT_TRUE(check.Open(path, error));
    EXPECT_TRUE(access::FreePagesInFile(check).empty());
}

// The limit is Access's 2 GB unless lowered; a lowered limit refuses the page past it.
TEST(JetWriteFile, PagesStopAtTheLimit) {
    EXPECT_EQ(uint64_t{JetWriteFile::kAccessPageLimit} * JetWriteFile::kPageSize,
              uint64_t{2} * 1024 * 1024 * 1024);
    test::TempDir dir;
    const std::string path = Copy(dir, "jet4_v2000.mdb");
    ErrorState error;
    JetWriteFile file;
    ASSERT_TRUE(file.Open(path, error));
    EXPECT_EQ(file.PageLimit(), JetWriteFile::kAccessPageLimit);
    file.SetPageLimit(file.PageCount() + 2);
    EXPECT_TRUE(file.HasRoomFor(2));
    EXPECT_FALSE(file.HasRoomFor(3));
    EXPECT_NE(file.AllocatePage(0, error), 0u);
    EXPECT_NE(file.AllocatePage(0, error), 0u);
    EXPECT_EQ(file.AllocatePage(0, error), 0u);
    EXPECT_EQ(error.Number, JetError::DatabaseTooLarge);
    EXPECT_NE(error.Description.find("2 GB"), std::string::npos) << error.Description;
}

// An output reached through a symbolic link is written where the link points; the link stays a
// link, the lock file and the copy sit beside the real file, and the file keeps its permissions.
TEST(AccessWriterPaths, ASymbolicLinkStaysALinkAndTheRealFileGetsTheRows) {
    test::TempDir dir;
    std::filesystem::create_directory(dir.File("real"));
    std::filesystem::create_directory(dir.File("links"));
    const std::string real = dir.File("real/data.accdb");
    std::filesystem::copy_file(test::Fixture("access/ace16_v2016.accdb"), real);
    ASSERT_EQ(::chmod(real.c_str(), 0640), 0);
    const std::string link = dir.File("links/output.accdb");
    std::filesystem::create_symlink("../real/data.accdb", link);
    ErrorState error;
    Engine engine(error);
    {
        auto db = OpenForChanges(engine, link);
        ASSERT_TRUE(db);
        EXPECT_TRUE(std::filesystem::exists(dir.File("real/data.laccdb")));
        EXPECT_FALSE(std::filesystem::exists(dir.File("links/output.laccdb")));
        auto rs = db->OpenRecordset("EmptyNoIndex");
        ASSERT_TRUE(rs);
        for (int i = 0; i < 20; ++i) {
            rs->AddNew();
            rs->SetValue("B", Value::Integer(i));
            rs->Update();
        }
        db->Close();
        ASSERT_FALSE(error.IsSet()) << error.Description;
    }
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_FALSE(std::filesystem::exists(dir.File("real/data.laccdb")));
    EXPECT_TRUE(CopiesBeside(real).empty());
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.File("links")),
                            std::filesystem::directory_iterator{}),
              1);
    EXPECT_EQ(Export(real, "EmptyNoIndex").size(), 21u);
    struct stat st {};
    ASSERT_EQ(::stat(real.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_uid, ::getuid());
}

// kill -9 at random moments of an import into an indexed table, the commit included: the file is
// byte for byte the original or wholly the new one, and the copy a killed run leaves is removed
// by the next run.
TEST(AccessWriterPaths, AKillAtAnyMomentLeavesTheOriginalOrTheWholeNewFile) {
    test::TempDir dir;
    const std::string path = Copy(dir, "ace12_v2007.accdb");
    const std::string original = test::ReadBytes(path);
    const int rows = VANTREL_SANITIZED ? 3000 : 20000;
    std::mt19937 random(20261209);
    int whole = 0, copiesLeft = 0;
    for (int round = 0; round < 6; ++round) {
        const auto work = [&](int marks) {
            DirectTable t(path, "空の商品マスタ");
            // A small cache: the copy is made and written to while rows are still being added.
            t.File.SetCacheBytes(0);
            ErrorState error;
            for (int n = 0; n < rows; ++n) {
                if (!t.Writer || !t.Writer->Insert(Product(*t.Writer, n), error)) ::_exit(2);
                if (n % 1000 == 999 && ::write(marks, "r", 1) != 1) ::_exit(4);
            }
            if (::write(marks, "C", 1) != 1) ::_exit(4);
            if (!t.File.Commit(error)) ::_exit(1);
        };
        // Most rounds kill while rows are added, the last ones around the commit.
        const bool aroundCommit = round >= 4;
        const int wanted = aroundCommit
                               ? rows / 1000 + 1
                               : std::uniform_int_distribution<int>(1, rows / 1000)(random);
        KillAfterSteps(work, wanted,
                       aroundCommit ? static_cast<useconds_t>(
                                          std::uniform_int_distribution<int>(0, 20000)(random))
                                    : 0);
        copiesLeft += !CopiesBeside(path).empty();
        const std::string now = test::ReadBytes(path);
        if (now != original) {
            ++whole;
            EXPECT_EQ(Problems(path), "") << "round " << round;
            EXPECT_EQ(Export(path, "空の商品マスタ").size(), static_cast<std::size_t>(rows) + 1);
            test::WriteBytes(path, original);
        }
        EXPECT_TRUE(aroundCommit || now == original) << "round " << round;
        // The lock a killed run leaves is taken over, and its copy removed.
        ErrorState error;
        Engine engine(error);
        auto db = engine.OpenDatabase(path, 2, false);
        ASSERT_TRUE(db) << error.Description;
        EXPECT_TRUE(CopiesBeside(path).empty());
        db->DiscardChanges();
    }
    EXPECT_GT(copiesLeft, 0) << "no kill found a copy to clean up";
    RecordProperty("committed_before_the_kill", whole);
}

}  // namespace
}  // namespace vantrel
