#include <gtest/gtest.h>

#include "xlsx/CellText.h"
#include "xlsx/PackageParts.h"

namespace vantrel::xlsx {
namespace {

TEST(XlsxCellText, FormatCodesAreDatesTimesOrNeither) {
    struct Case {
        const char* code;
        NumberKind kind;
    };
    const Case cases[] = {
        {"yyyy/mm/dd", NumberKind::Date},
        {"yyyy/mm/dd\\ hh:mm:ss", NumberKind::DateTime},
        {"hh:mm:ss", NumberKind::Time},
        {"mm:ss", NumberKind::Time},            // m before s: minutes
        {"mmm-yy", NumberKind::Date},           // m alone: month
        {"m/d/yy h:mm", NumberKind::DateTime},  // the month, then minutes after h
        {"[h]:mm:ss", NumberKind::Time},
        {"h:mm AM/PM", NumberKind::Time},
        {"[$-411]ggge\"年\"m\"月\"d\"日\"", NumberKind::Date},
        {"yyyy\"年\"m\"月\"d\"日\" aaa", NumberKind::Date},
        {"General", NumberKind::General},
        {"[DBNum1][$-411]General", NumberKind::General},
        {"0.00E+00", NumberKind::General},
        {"#,##0.00_);[Red](#,##0.00)", NumberKind::General},
        {"\"TRUE\";\"TRUE\";\"FALSE\"", NumberKind::General},
        {"\"days\" 0", NumberKind::General},  // letters inside quotes are literal
        {"0\\d", NumberKind::General},        // and so is an escaped one
        {"@", NumberKind::General},
        {"0;[Red]yyyy", NumberKind::General},  // only the first section decides
    };
    for (const Case& c : cases)
        EXPECT_EQ(ClassifyFormatCode(c.code), c.kind) << c.code;

    EXPECT_EQ(BuiltInFormatKind(0), NumberKind::General);
    EXPECT_EQ(BuiltInFormatKind(14), NumberKind::Date);
    EXPECT_EQ(BuiltInFormatKind(20), NumberKind::Time);
    EXPECT_EQ(BuiltInFormatKind(22), NumberKind::DateTime);
    EXPECT_EQ(BuiltInFormatKind(46), NumberKind::Time);
    EXPECT_EQ(BuiltInFormatKind(31), NumberKind::Date) << "Japanese yyyy年m月d日";
    EXPECT_EQ(BuiltInFormatKind(32), NumberKind::Time) << "Japanese h時mm分";
    EXPECT_EQ(BuiltInFormatKind(57), NumberKind::Date);
    EXPECT_EQ(BuiltInFormatKind(49), NumberKind::General);
    EXPECT_EQ(BuiltInFormatKind(164), NumberKind::General);
}

TEST(XlsxCellText, NumbersShowInTheGeneralFormat) {
    EXPECT_EQ(GeneralNumberText(3), "3");
    EXPECT_EQ(GeneralNumberText(0.1), "0.1");
    EXPECT_EQ(GeneralNumberText(0.10000000000000001), "0.1");
    EXPECT_EQ(GeneralNumberText(12345678901), "12345678901");
    EXPECT_EQ(GeneralNumberText(1234.5), "1234.5");
    EXPECT_EQ(GeneralNumberText(-0.25), "-0.25");
    EXPECT_EQ(GeneralNumberText(1e20), "1E+20");
    EXPECT_EQ(GeneralNumberText(-0.0), "0");
    EXPECT_EQ(NumberText(45366, NumberKind::General, false), "45366");

    // Numbers already written as the general format shows them are taken as they are.
    for (const char* same : {"0", "3", "-0.25", "1234.5", "12345678901", "0.0001",
                             "999999999999999", "0.123456789012345"}) {
        EXPECT_TRUE(IsGeneralForm(same)) << same;
        EXPECT_EQ(GeneralNumberText(std::stod(same)), same);
    }
    for (const char* other : {"-0", "0.10000000000000001", "1.50", "007", "1E+20", "0.00001",
                              "1234567890123456", "1.", ".5", "", "-", "1e5", "12a"})
        EXPECT_FALSE(IsGeneralForm(other)) << other;
}

TEST(XlsxCellText, SerialNumbersBecomeDatesAndTimes) {
    EXPECT_EQ(NumberText(45366, NumberKind::Date, false), "2024/03/15");
    EXPECT_EQ(NumberText(45366.3788194444, NumberKind::DateTime, false), "2024/03/15 09:05:30");
    EXPECT_EQ(NumberText(36526, NumberKind::DateTime, false), "2000/01/01") << "midnight: a date";
    EXPECT_EQ(NumberText(0.572916666666667, NumberKind::Time, false), "13:45:00");
    EXPECT_EQ(NumberText(45351.9999884259, NumberKind::DateTime, false), "2024/02/29 23:59:59");
    EXPECT_EQ(NumberText(45351.99999999, NumberKind::DateTime, false), "2024/03/01")
        << "a value that rounds to midnight belongs to the next day";
    EXPECT_EQ(NumberText(45351.99999999, NumberKind::Date, false), "2024/02/29");
    EXPECT_EQ(NumberText(45366.75, NumberKind::Time, false), "18:00:00") << "the day is dropped";
    EXPECT_EQ(NumberText(0.99999999, NumberKind::Time, false), "00:00:00");

    // Excel's 1900 calendar counts 29 February 1900; from 1 March on it is the real calendar.
    EXPECT_EQ(NumberText(1, NumberKind::Date, false), "1900/01/01");
    EXPECT_EQ(NumberText(59, NumberKind::Date, false), "1900/02/28");
    EXPECT_EQ(NumberText(60, NumberKind::Date, false), "1900/02/29");
    EXPECT_EQ(NumberText(61, NumberKind::Date, false), "1900/03/01");
    EXPECT_EQ(NumberText(73109, NumberKind::Date, false), "2100/02/28");
    EXPECT_EQ(NumberText(73110, NumberKind::Date, false), "2100/03/01") << "2100 is no leap year";
    EXPECT_EQ(NumberText(2958465, NumberKind::Date, false), "9999/12/31");

    // The 1904 system counts from 1 January 1904.
    EXPECT_EQ(NumberText(0, NumberKind::Date, true), "1904/01/01");
    EXPECT_EQ(NumberText(43904, NumberKind::Date, true), "2024/03/15");
    EXPECT_EQ(NumberText(43904.5, NumberKind::DateTime, true), "2024/03/15 12:00:00");

    // What no date can show stays a number.
    EXPECT_EQ(NumberText(-1, NumberKind::Date, false), "-1");
    EXPECT_EQ(NumberText(2958466, NumberKind::Date, false), "2958466");
    EXPECT_EQ(NumberText(2957004, NumberKind::Date, true), "2957004");
}

TEST(XlsxCellText, IsoDatesBecomeSerialNumbers) {
    double serial = 0;
    ASSERT_TRUE(IsoDateToSerial("2024-03-15", false, serial));
    EXPECT_EQ(serial, 45366);
    ASSERT_TRUE(IsoDateToSerial("2024-03-15T09:05:30Z", false, serial));
    EXPECT_EQ(NumberText(serial, NumberKind::DateTime, false), "2024/03/15 09:05:30");
    ASSERT_TRUE(IsoDateToSerial("1900-01-01", false, serial));
    EXPECT_EQ(serial, 1);
    ASSERT_TRUE(IsoDateToSerial("1900-03-01T12:00:00.6", false, serial));
    EXPECT_EQ(NumberText(serial, NumberKind::DateTime, false), "1900/03/01 12:00:01");
    ASSERT_TRUE(IsoDateToSerial("2024-03-15", true, serial));
    EXPECT_EQ(serial, 43904);
    EXPECT_FALSE(IsoDateToSerial("15.03.2024", false, serial));
    EXPECT_FALSE(IsoDateToSerial("2024-13-01", false, serial));
    EXPECT_FALSE(IsoDateToSerial("2024-03-15T9", false, serial));
}

TEST(XlsxCellText, EscapesAndPartPaths) {
    std::string out;
    AppendUnescaped(out, "a_x000D_b_x005F_x0041_c");
    EXPECT_EQ(out, "a\rb_x0041_c");
    out.clear();
    AppendUnescaped(out, "_xD83D__xDE00_ _xD83D_ _x00_ _x0000_");
    EXPECT_EQ(out, "😀 _xD83D_ _x00_ _x0000_") << "only whole, valid escapes are decoded";

    EXPECT_EQ(ResolveTarget("xl/workbook.xml", "worksheets/sheet1.xml"),
              "xl/worksheets/sheet1.xml");
    EXPECT_EQ(ResolveTarget("xl/workbook.xml", "/xl/worksheets/s.xml"), "xl/worksheets/s.xml");
    EXPECT_EQ(ResolveTarget("xl/workbook.xml", "../other/./s.xml"), "other/s.xml");
    EXPECT_EQ(ResolveTarget("", "xl/workbook.xml"), "xl/workbook.xml");
    EXPECT_EQ(RelationshipsPartOf("xl/workbook.xml"), "xl/_rels/workbook.xml.rels");
    EXPECT_EQ(RelationshipsPartOf("book.xml"), "_rels/book.xml.rels");
}

}  // namespace
}  // namespace vantrel::xlsx
