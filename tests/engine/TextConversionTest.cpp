#include "sources/engine/TextConversion.h"

#include <gtest/gtest.h>

#include <limits>

namespace vantrel {
namespace {

Value Convert(FieldType type, std::string_view text) {
    Value v;
    EXPECT_TRUE(ConvertTextToValue(type, text, v)) << text;
    return v;
}

bool Fails(FieldType type, std::string_view text) {
    Value v;
    return !ConvertTextToValue(type, text, v);
}

std::string DateText(std::string_view text) {
    return Convert(FieldType::Date, text).ToText();
}

TEST(TextConversion, NumbersWithSignsSeparatorsWidthsAndExponents) {
    EXPECT_EQ(Convert(FieldType::Long, "1,234,567").Int(), 1234567);
    EXPECT_EQ(Convert(FieldType::Long, " -42 ").Int(), -42);
    EXPECT_EQ(Convert(FieldType::Long, "＋１２３").Int(), 123) << "full-width digits";
    EXPECT_EQ(Convert(FieldType::Long, "1.5e3").Int(), 1500);
    EXPECT_EQ(Convert(FieldType::Long, "2.5").Int(), 2) << "halves round to even";
    EXPECT_EQ(Convert(FieldType::Long, "3.5").Int(), 4);
    EXPECT_EQ(Convert(FieldType::Long, "-2147483648").Int(), INT32_MIN);
    EXPECT_TRUE(Fails(FieldType::Long, "2147483648"));
    EXPECT_TRUE(Fails(FieldType::Integer, "32768"));
    EXPECT_TRUE(Fails(FieldType::Byte, "-1"));
    EXPECT_EQ(Convert(FieldType::Byte, "255").Int(), 255);
    EXPECT_EQ(Convert(FieldType::BigInt, "9223372036854775807").Int(), INT64_MAX);
    EXPECT_TRUE(Fails(FieldType::Long, "abc"));
    EXPECT_TRUE(Fails(FieldType::Long, "")) << "empty text is not silently 0";
    EXPECT_TRUE(Fails(FieldType::Long, "1,,2"));
    EXPECT_TRUE(Fails(FieldType::Long, "12abc"));
    EXPECT_EQ(Convert(FieldType::Double, "-0.25").Dbl(), -0.25);
    EXPECT_EQ(Convert(FieldType::Double, "1E+300").Dbl(), 1e300);
    EXPECT_EQ(Convert(FieldType::Double, "(1,000.5)").Dbl(), -1000.5);
    EXPECT_TRUE(Fails(FieldType::Single, "1e39"));
    EXPECT_EQ(Convert(FieldType::Decimal, "-99999999999999.9999").Str(), "-99999999999999.9999");
    EXPECT_EQ(Convert(FieldType::Decimal, "1.5e2").Str(), "150");
}

TEST(TextConversion, CurrencyIsExact) {
    EXPECT_EQ(Convert(FieldType::Currency, "¥1,500").Int(), 15000000);
    EXPECT_EQ(Convert(FieldType::Currency, "￥1,500").Int(), 15000000);
    EXPECT_EQ(Convert(FieldType::Currency, "$-3.25").Int(), -32500);
    EXPECT_EQ(Convert(FieldType::Currency, "-$3.25").Int(), -32500);
    EXPECT_EQ(Convert(FieldType::Currency, "1500円").Int(), 15000000);
    EXPECT_EQ(Convert(FieldType::Currency, "922337203685477.5807").Int(), INT64_MAX);
    EXPECT_EQ(Convert(FieldType::Currency, "-922337203685477.5808").Int(), INT64_MIN);
    EXPECT_TRUE(Fails(FieldType::Currency, "922337203685477.5808"));
    EXPECT_EQ(Convert(FieldType::Currency, "0.00005").Int(), 0) << "half to even at 4 places";
    EXPECT_EQ(Convert(FieldType::Currency, "0.00015").Int(), 2);
    EXPECT_EQ(Convert(FieldType::Currency, "1.23456").ToText(), "1.2346");
}

TEST(TextConversion, DatesInJapaneseAndExportedForms) {
    EXPECT_EQ(DateText("2024/1/5"), "2024/01/05");
    EXPECT_EQ(DateText("2024-01-05"), "2024/01/05");
    EXPECT_EQ(DateText("2024年1月5日"), "2024/01/05");
    EXPECT_EQ(DateText("２０２４年１月５日"), "2024/01/05");
    EXPECT_EQ(DateText("2024/03/15 09:05:30"), "2024/03/15 09:05:30");
    EXPECT_EQ(DateText("2024-03-15T21:05"), "2024/03/15 21:05:00");
    EXPECT_EQ(DateText("2024/3/15 午後1:05"), "2024/03/15 13:05:00");
    EXPECT_EQ(DateText("2024/3/15 12:00:00 AM"), "2024/03/15");
    EXPECT_EQ(DateText("2024年3月15日 9時5分"), "2024/03/15 09:05:00");
    EXPECT_EQ(DateText("H31.4.1"), "2019/04/01");
    EXPECT_EQ(DateText("R6.1.5"), "2024/01/05");
    EXPECT_EQ(DateText("令和元年5月1日"), "2019/05/01");
    EXPECT_EQ(DateText("平成31年4月30日"), "2019/04/30");
    EXPECT_EQ(DateText("S64.1.7"), "1989/01/07");
    EXPECT_EQ(DateText("13:45:00"), "13:45:00");
    EXPECT_EQ(DateText("1/5/2024"), "2024/01/05");
    EXPECT_EQ(DateText("24/1/5"), "2024/01/05");
    EXPECT_EQ(DateText("0100/1/1"), "0100/01/01");
    EXPECT_EQ(DateText("1800-06-15 18:30"), "1800/06/15 18:30:00");
    EXPECT_EQ(DateText("1899/12/29 06:00"), "1899/12/29 06:00:00");
    EXPECT_DOUBLE_EQ(Convert(FieldType::Date, "1899/12/29 06:00").Dbl(), -1.25);
    EXPECT_EQ(DateText("9999/12/31 23:59:59"), "9999/12/31 23:59:59");
    EXPECT_EQ(DateText("45000"), "2023/03/15") << "a number is a date serial";
    EXPECT_TRUE(Fails(FieldType::Date, "2023/2/29"));
    EXPECT_TRUE(Fails(FieldType::Date, "2024/13/1"));
    EXPECT_TRUE(Fails(FieldType::Date, "25:00"));
    EXPECT_TRUE(Fails(FieldType::Date, "昨日"));
    EXPECT_TRUE(Fails(FieldType::Date, "2024/1/5 extra"));
}

TEST(TextConversion, BooleansGuidsAndTexts) {
    for (const char* t : {"True", "yes", "ON", "はい", "-1", "1", "2.5", "ＴＲＵＥ"}) {
        EXPECT_TRUE(Convert(FieldType::Boolean, t).Bool()) << t;
    }
    for (const char* t : {"False", "No", "off", "いいえ", "0"}) {
        EXPECT_FALSE(Convert(FieldType::Boolean, t).Bool()) << t;
    }
    EXPECT_TRUE(Fails(FieldType::Boolean, "maybe"));
    EXPECT_EQ(Convert(FieldType::Guid, "6f9619ff-8b86-d011-b42d-00c04fc964ff").Str(),
              "{6F9619FF-8B86-D011-B42D-00C04FC964FF}");
    EXPECT_TRUE(Fails(FieldType::Guid, "{1234}"));
    EXPECT_EQ(Convert(FieldType::Text, "  spaced  ").Str(), "  spaced  ")
        << "text is kept as it is";
    EXPECT_EQ(Utf16Length("a😀あ"), 4u);
}

TEST(TextConversion, ValuesBetweenTypes) {
    Value out;
    ASSERT_TRUE(ConvertValueToType(FieldType::Text, Value::Currency(12345), out));
    EXPECT_EQ(out.Str(), "1.2345");
    ASSERT_TRUE(ConvertValueToType(FieldType::Long, Value::Boolean(true), out));
    EXPECT_EQ(out.Int(), -1) << "True is -1 as a number";
    ASSERT_TRUE(ConvertValueToType(FieldType::Integer, Value::Double(2.5), out));
    EXPECT_EQ(out.Int(), 2);
    EXPECT_FALSE(ConvertValueToType(FieldType::Byte, Value::Integer(256), out));
    ASSERT_TRUE(ConvertValueToType(FieldType::Currency, Value::Double(0.1), out));
    EXPECT_EQ(out.Int(), 1000);
    ASSERT_TRUE(ConvertValueToType(FieldType::Text, Value::DateTime(45366.37881944444), out));
    EXPECT_EQ(out.Str(), "2024/03/15 09:05:30");
    ASSERT_TRUE(ConvertValueToType(FieldType::Long, Value::Null(), out));
    EXPECT_TRUE(out.IsNull());
    EXPECT_FALSE(ConvertValueToType(FieldType::Long, Value::Text("x"), out));
}

TEST(TextConversion, FractionsAtTheEdgesOfWholeNumberTypes) {
    Value out;
    // 2^63 is the double just above the largest BigInt: refused, not cast out of range.
    EXPECT_FALSE(ConvertValueToType(FieldType::BigInt, Value::Double(9223372036854775808.0), out));
    ASSERT_TRUE(ConvertValueToType(FieldType::BigInt, Value::Double(-9223372036854775808.0), out));
    EXPECT_EQ(out.Int(), INT64_MIN);
    ASSERT_TRUE(ConvertValueToType(FieldType::Long, Value::Double(2147483647.4), out));
    EXPECT_EQ(out.Int(), INT32_MAX);
    EXPECT_FALSE(ConvertValueToType(FieldType::Long, Value::Double(2147483647.5), out))
        << "rounds to 2147483648";
    EXPECT_FALSE(ConvertValueToType(FieldType::BigInt, Value::Double(1e300), out));
}

TEST(TextConversion, SinglesAndTheFirstDayStayExact) {
    constexpr float kMax = std::numeric_limits<float>::max();
    // Nine digits name every Single; the largest one written so lies just above it as a double.
    EXPECT_EQ(Convert(FieldType::Single, "3.40282347e+38"), Value::Single(kMax));
    EXPECT_EQ(Convert(FieldType::Single, "-3.40282347e+38"), Value::Single(-kMax));
    EXPECT_EQ(Convert(FieldType::Single, "2.71828175"), Value::Single(2.71828175f));
    EXPECT_TRUE(Fails(FieldType::Single, "3.4028236e+38"));
    Value out;
    ASSERT_TRUE(ConvertValueToType(FieldType::Single, Value::Double(1e-30), out));
    EXPECT_EQ(out, Value::Single(1e-30f));
    ASSERT_TRUE(ConvertValueToType(FieldType::Double, Value::Single(1.1f), out));
    EXPECT_EQ(out.Dbl(), static_cast<double>(1.1f)) << "a Single widens exactly";
    EXPECT_EQ(Value::Single(2.71828175f).ToText(), "2.718282") << "seven digits, as Access shows";
    EXPECT_EQ(Value::Single(1e-30f).ToText(), "1E-30");
    // 0100-01-01 12:00 lies before the day number of 0100-01-01 itself.
    ASSERT_TRUE(ConvertValueToType(FieldType::Date, Value::DateTime(-657434.5), out));
    EXPECT_EQ(out.ToText(), "0100/01/01 12:00:00");
    EXPECT_EQ(DateText("0100/01/01 23:59:59"), "0100/01/01 23:59:59");
    EXPECT_FALSE(ConvertValueToType(FieldType::Date, Value::Double(-657435.0), out));
    EXPECT_FALSE(ConvertValueToType(FieldType::Date, Value::Double(2958466.0), out));
}

TEST(Value, TextFormsAsAccessShowsThem) {
    EXPECT_EQ(Value::Double(3.0).ToText(), "3");
    EXPECT_EQ(Value::Double(0.1).ToText(), "0.1");
    EXPECT_EQ(Value::Double(1234.5).ToText(), "1234.5");
    EXPECT_EQ(Value::Double(1000000).ToText(), "1000000");
    EXPECT_EQ(Value::Double(12345678901.0).ToText(), "12345678901");
    EXPECT_EQ(Value::Currency(-9223372036854775807LL - 1).ToText(), "-922337203685477.5808");
    EXPECT_EQ(Value::Currency(10000).ToText(), "1");
    EXPECT_EQ(Value::Boolean(false).ToText(), "False");
    EXPECT_EQ(Value::DateTime(0).ToText(), "1899/12/30");
    EXPECT_EQ(Value::DateTime(0.5).ToText(), "12:00:00");
    EXPECT_EQ(Value::Null().ToText(), "");
    DateTimeParts p;
    ASSERT_TRUE(OleDateToParts(-1.25, p));
    EXPECT_EQ(p.Day, 29);
    EXPECT_EQ(p.Hour, 6);
    EXPECT_FALSE(OleDateToParts(1e10, p));
}

}  // namespace
}  // namespace vantrel
