#include "common/SafeFile.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace vantrel {
namespace {

TEST(SafeFile, ReadErrorsCarryRuntimeNumbers) {
    test::TempDir dir;
    std::string bytes;
    ErrorState error;
    EXPECT_FALSE(ReadWholeFile(dir.File("missing"), bytes, error));
    EXPECT_EQ(error.Number, RuntimeError::FileNotFound);
    EXPECT_FALSE(ReadWholeFile(dir.Path(), bytes, error)) << "a folder is not a file";
    EXPECT_EQ(error.Number, RuntimeError::PathFileAccessError);

    test::WriteBytes(dir.File("f"), std::string(100, 'x'));
    EXPECT_FALSE(ReadWholeFile(dir.File("f"), bytes, error, 99));
    EXPECT_EQ(error.Number, RuntimeError::OutOfMemory);
    error.Clear();
    EXPECT_TRUE(ReadWholeFile(dir.File("f"), bytes, error, 100));
    EXPECT_EQ(bytes.size(), 100u);

    EXPECT_FALSE(WriteFileAtomically(dir.File("no/such/folder"), "x", error));
    EXPECT_EQ(error.Number, RuntimeError::FileNotFound);
}

}  // namespace
}  // namespace vantrel
