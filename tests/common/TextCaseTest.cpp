#include "common/TextCase.h"

#include <gtest/gtest.h>

namespace vantrel {
namespace {

TEST(TextCase, LowerCasesLettersOfEveryWidthAndKeepsTheRest) {
    EXPECT_EQ(LowerCase("ID Name ÀÉ ΣΑ ДЖ ＡＢＣ"), "id name àé σα дж ａｂｃ");
    EXPECT_EQ(LowerCase("商品コード ｱｲｳ 😀 ×"), "商品コード ｱｲｳ 😀 ×");
    EXPECT_TRUE(EqualIgnoringCase("NAME", "name"));
    EXPECT_FALSE(EqualIgnoringCase("name", "ｎａｍｅ")) << "width differs: not the same name";
}

}  // namespace
}  // namespace vantrel
