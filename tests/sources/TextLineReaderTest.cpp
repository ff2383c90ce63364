#include "sources/TextLineReader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <tuple>

#include "TestSupport.h"
#include "common/Encoding.h"
#include "sources/DelimitedText.h"

namespace vantrel {
namespace {

using Pieces = std::vector<std::string>;
using test::Fixture;

struct FileLines {
    TextFileLayout layout;
    std::vector<std::string> lines;
    int64_t firstInvalidLine = 0;
    ErrorLog log;
};

FileLines ReadAll(const std::string& path) {
    FileLines result;
    TextLineReader reader;
    ErrorState error;
    EXPECT_TRUE(reader.Open(path, error, &result.log)) << error.Description;
    std::string line;
    while (reader.ReadLine(line))
        result.lines.push_back(line);
    EXPECT_EQ(reader.LineNumber(), static_cast<int64_t>(result.lines.size()));
    result.layout = reader.Layout();
    result.firstInvalidLine = reader.FirstInvalidLine();
    return result;
}

TEST(TextLineReader, ExcelCsvInEveryEncodingGivesTheSameRecords) {
    const FileLines sjis = ReadAll(Fixture("text/excel_sjis.csv"));
    EXPECT_EQ(sjis.layout.Encoding, TextEncoding::Cp932);
    EXPECT_FALSE(sjis.layout.LfEndsLines);
    ASSERT_EQ(sjis.lines.size(), 6u);
    EXPECT_EQ(SplitLine(sjis.lines[0], ","),
              (Pieces{"番号", "氏名", "住所", "金額", "日付", "備考"}));
    EXPECT_EQ(SplitLine(sjis.lines[1], ","),
              (Pieces{"1", "山田太郎", "東京都千代田区1-2-3, 4F", "1234.5", "2024/03/15", "普通"}));
    EXPECT_EQ(SplitLine(sjis.lines[2], ","), (Pieces{"2", "Smith, John", "Line1\nLine2", "-0.25",
                                                     "1999/12/31", "彼ははいと言った"}));
    EXPECT_EQ(SplitLine(sjis.lines[3], ","),
              (Pieces{"3", "髙橋①", "大阪府", "1000000", "2024/02/29", ""}));
    EXPECT_EQ(SplitLine(sjis.lines[4], ","),
              (Pieces{"4", "", "カンマ,と\n改行", "0", "", "全体が引用"}));
    EXPECT_EQ(SplitLine(sjis.lines[5], ","),
              (Pieces{"5", "ｶﾀｶﾅ", "札幌市", "3.14159", "2000/01/01", "最終行"}));
    EXPECT_TRUE(sjis.log.Empty());

    const FileLines bom = ReadAll(Fixture("text/excel_utf8_bom.csv"));
    EXPECT_EQ(bom.layout.Encoding, TextEncoding::Utf8Bom);
    EXPECT_EQ(bom.lines, sjis.lines) << "the byte order mark is not part of the first line";
    const FileLines utf8 = ReadAll(Fixture("text/excel_utf8.csv"));
    EXPECT_EQ(utf8.layout.Encoding, TextEncoding::Utf8);
    EXPECT_EQ(utf8.lines, sjis.lines);
}

TEST(TextLineReader, LineEndsFollowTheFile) {
    // No CR anywhere: LF ends lines, so quoted line breaks split records.
    const FileLines lf = ReadAll(Fixture("text/excel_utf8_lf.csv"));
    EXPECT_TRUE(lf.layout.LfEndsLines);
    ASSERT_EQ(lf.lines.size(), 8u);
    EXPECT_EQ(SplitLine(lf.lines[2], ","), (Pieces{"2", "Smith, John", "Line1"}));
    EXPECT_EQ(SplitLine(lf.lines[3], ","), (Pieces{"Line2,-0.25,1999/12/31,彼ははいと言った"}));
    EXPECT_EQ(SplitLine(lf.lines[5], ","), (Pieces{"4", "", "カンマ", "と"}));
    EXPECT_EQ(SplitLine(lf.lines[6], ","), (Pieces{"改行,0,,全体が引用"}));

    const FileLines cr = ReadAll(Fixture("text/mac_cr.csv"));
    EXPECT_EQ(cr.lines, (std::vector<std::string>{"名前,値", "北,1", "南,2"}));

    EXPECT_TRUE(ReadAll(Fixture("text/empty.csv")).lines.empty());

    const FileLines tab = ReadAll(Fixture("text/tab_delimited.txt"));
    ASSERT_EQ(tab.lines.size(), 5u);
    EXPECT_EQ(SplitLine(tab.lines[2], "\t"),
              (Pieces{"T-02", "タブ", "入り", "20", "引用内のタブ"}));
    EXPECT_EQ(SplitLine(tab.lines[3], "\t"), (Pieces{"T-03", "", "0", ""}));
    const FileLines semi = ReadAll(Fixture("text/semicolon.txt"));
    ASSERT_EQ(semi.lines.size(), 4u);
    EXPECT_EQ(SplitLine(semi.lines[2], ";"), (Pieces{"2", "みかん, 箱", "80", ""}));

    const FileLines longLine = ReadAll(Fixture("text/long_line.csv"));
    ASSERT_EQ(longLine.lines.size(), 3u);
    EXPECT_EQ(longLine.lines[1].size(), 200000u);
    EXPECT_EQ(SplitLine(longLine.lines[1], ",").size(), 5u);
    EXPECT_EQ(longLine.lines[2], "2,x,y,z,end");
}

TEST(TextLineReader, GeneratedFilesAcrossBufferBoundaries) {
    test::TempDir dir;
    // CR LF cut exactly at the 64 KiB buffer edge, a final line without terminator.
    std::string text = std::string(65535, 'a') + "\r\nb\r\nlast";
    test::WriteBytes(dir.File("edge.csv"), text);
    FileLines edge = ReadAll(dir.File("edge.csv"));
    ASSERT_EQ(edge.lines.size(), 3u);
    EXPECT_EQ(edge.lines[0].size(), 65535u);
    EXPECT_EQ(edge.lines[1], "b");
    EXPECT_EQ(edge.lines[2], "last");

    // UTF-16 LE with BOM and a CR LF; a Shift-JIS character cut by the buffer edge.
    test::WriteBytes(dir.File("u16.txt"), std::string("\xFF\xFE"
                                                      "a\0,\0\x42\x30\r\0\n\0z\0",
                                                      14));
    FileLines u16 = ReadAll(dir.File("u16.txt"));
    EXPECT_EQ(u16.layout.Encoding, TextEncoding::Utf16LE);
    EXPECT_EQ(u16.lines, (std::vector<std::string>{"a,あ", "z"}));

    std::string sjis = std::string(65535, 'x') + "\x82\xa0\r\n";
    test::WriteBytes(dir.File("cut.csv"), sjis);
    FileLines cut = ReadAll(dir.File("cut.csv"));
    ASSERT_EQ(cut.lines.size(), 1u);
    EXPECT_EQ(cut.lines[0].substr(65535), "あ");
    EXPECT_EQ(cut.firstInvalidLine, 0);
}

TEST(TextLineReader, InvalidBytesAreReplacedAndReportedOnce) {
    test::TempDir dir;
    // Valid Shift-JIS on line 1, an impossible byte on line 3 and again on line 4.
    test::WriteBytes(dir.File("bad.csv"), "\x82\xa0,1\r\nok\r\nx\xFF\r\n\xFF\r\n");
    FileLines bad = ReadAll(dir.File("bad.csv"));
    EXPECT_EQ(bad.layout.Encoding, TextEncoding::Cp932);
    ASSERT_EQ(bad.lines.size(), 4u);
    EXPECT_EQ(bad.lines[0], "あ,1");
    EXPECT_EQ(bad.lines[2], "x\xEF\xBF\xBD");
    EXPECT_EQ(bad.firstInvalidLine, 3);
    ASSERT_EQ(bad.log.ErrorCount(), 1);
    EXPECT_NE(bad.log.Line(1).find("bad.csv の 3 行目"), std::string::npos) << bad.log.Line(1);

    // Broken UTF-8 after a BOM stays UTF-8, with the bad byte replaced.
    test::WriteBytes(dir.File("bom.csv"),
                     "\xEF\xBB\xBF"
                     "a\r\n\xC3(\r\n");
    FileLines bom = ReadAll(dir.File("bom.csv"));
    EXPECT_EQ(bom.lines[1], "\xEF\xBF\xBD(");
    EXPECT_EQ(bom.firstInvalidLine, 2);
}

// Bytes this process has read so far (every read call, cached or not).
int64_t BytesReadByThisProcess() {
    std::ifstream io("/proc/self/io");
    std::string key;
    int64_t value = 0;
    while (io >> key >> value)
        if (key == "rchar:") return value;
    return -1;
}

TEST(TextLineReader, HalfWidthKanaFilesAreReadAsShiftJis) {
    test::TempDir dir;
    std::string sjis;
    ASSERT_TRUE(Utf8ToCp932("ﾒｰ,ﾏｲﾅｽ\r\nﾏｲﾅｽ,ﾒｰ\r\n", sjis));
    ASSERT_TRUE(IsValidUtf8(sjis));
    test::WriteBytes(dir.File("kana.csv"), sjis);
    const FileLines kana = ReadAll(dir.File("kana.csv"));
    EXPECT_EQ(kana.layout.Encoding, TextEncoding::Cp932);
    EXPECT_EQ(kana.lines, (std::vector<std::string>{"ﾒｰ,ﾏｲﾅｽ", "ﾏｲﾅｽ,ﾒｰ"}));

    // The same names written in UTF-8 stay UTF-8.
    test::WriteBytes(dir.File("utf8.csv"), "ﾒｰ,ﾏｲﾅｽ\r\n");
    EXPECT_EQ(ReadAll(dir.File("utf8.csv")).lines, (std::vector<std::string>{"ﾒｰ,ﾏｲﾅｽ"}));
}

TEST(TextLineReader, EncodingIsSettledWhereTheFirstNonAsciiTextIs) {
    // Far more plain ASCII than the sample before the first Japanese text: the reader decides
    // where that text is, in either encoding.
    std::string ascii;
    for (int i = 0; ascii.size() < 600000; ++i)
        ascii += "code" + std::to_string(i) + ",plain\r\n";
    test::TempDir dir;
    std::string kana;
    ASSERT_TRUE(Utf8ToCp932("ﾏｲﾅｽ,ﾒｰ\r\n", kana));
    for (const auto& [name, tail, encoding] :
         {std::tuple{"late_sjis.csv", kana, TextEncoding::Cp932},
          std::tuple{"late_utf8.csv", std::string("ﾏｲﾅｽ,ﾒｰ\r\n"), TextEncoding::Utf8}}) {
        test::WriteBytes(dir.File(name), ascii + tail);
        const FileLines late = ReadAll(dir.File(name));
        EXPECT_EQ(late.layout.Encoding, encoding) << name;
        EXPECT_TRUE(late.layout.EncodingSettled);
        ASSERT_FALSE(late.lines.empty());
        EXPECT_EQ(late.lines.back(), "ﾏｲﾅｽ,ﾒｰ") << name;
        EXPECT_EQ(late.lines.front(), "code0,plain");
        EXPECT_TRUE(late.log.Empty()) << late.log.Text();
    }
}

TEST(TextLineReader, ALateContradictionLosesNoLine) {
    // UTF-8 in the sample, then one line of Shift-JIS: that line is still returned, its bytes
    // replaced and reported; the lines after it read as before.
    std::string text;
    int lines = 0;
    for (; text.size() < 400000; ++lines)
        text += std::to_string(lines) + ",山田太郎\r\n";
    text += "sjis,\x82\xa0\r\nlast,東京\r\n";
    test::TempDir dir;
    test::WriteBytes(dir.File("mixed.csv"), text);
    const FileLines mixed = ReadAll(dir.File("mixed.csv"));
    EXPECT_EQ(mixed.layout.Encoding, TextEncoding::Utf8);
    ASSERT_EQ(mixed.lines.size(), static_cast<std::size_t>(lines + 2));
    EXPECT_EQ(mixed.lines[static_cast<std::size_t>(lines)], "sjis,\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(mixed.lines.back(), "last,東京");
    EXPECT_EQ(mixed.firstInvalidLine, lines + 1);
    ASSERT_EQ(mixed.log.ErrorCount(), 1);
    EXPECT_NE(mixed.log.Line(1).find(" の " + std::to_string(lines + 1) + " 行目に UTF-8 として"),
              std::string::npos)
        << mixed.log.Line(1);

    // LF line ends at the start, CR LF later: the CR is not part of the line.
    std::string lf;
    for (int i = 0; i < 4000; ++i)
        lf += std::string(99, 'x') + "\n";
    test::WriteBytes(dir.File("ends.csv"), lf + "a\r\nb\n");
    const FileLines ends = ReadAll(dir.File("ends.csv"));
    EXPECT_TRUE(ends.layout.LfEndsLines);
    ASSERT_EQ(ends.lines.size(), 4002u);
    EXPECT_EQ(ends.lines[3999], std::string(99, 'x'));
    EXPECT_EQ(ends.lines[4000], "a");
    EXPECT_EQ(ends.lines[4001], "b");
}

TEST(TextLineReader, TheLayoutOfAHugeFileIsDecidedFromItsStart) {
    // A 64 MiB file (sparse: its hole costs no disk) whose header is its only text.
    test::TempDir dir;
    const std::string path = dir.File("huge.csv");
    std::string header;
    ASSERT_TRUE(Utf8ToCp932("番号,ﾒｰ\r\n", header));
    test::WriteBytes(path, header);
    std::filesystem::resize_file(path, uint64_t{64} << 20);

    const int64_t before = BytesReadByThisProcess();
    ASSERT_GE(before, 0);
    TextFileLayout layout;
    ErrorState error;
    ASSERT_TRUE(DetectTextFileLayout(path, layout, error));
    TextLineReader reader;
    ASSERT_TRUE(reader.Open(path, error));
    std::string line;
    ASSERT_TRUE(reader.ReadLine(line));
    EXPECT_EQ(line, "番号,ﾒｰ");
    EXPECT_EQ(layout.Encoding, TextEncoding::Cp932);
    EXPECT_FALSE(layout.LfEndsLines);
    EXPECT_LT(BytesReadByThisProcess() - before, 2 << 20) << "read a few samples, not the file";
}

TEST(TextLineReader, OpenFailuresSetRuntimeErrors) {
    TextLineReader reader;
    ErrorState error;
    EXPECT_FALSE(reader.Open("/nonexistent/x.csv", error));
    EXPECT_EQ(error.Number, RuntimeError::FileNotFound);
    test::TempDir dir;
    EXPECT_FALSE(reader.Open(dir.Path(), error));
    EXPECT_EQ(error.Number, RuntimeError::PathFileAccessError);
    std::string line;
    EXPECT_FALSE(reader.ReadLine(line));
}

}  // namespace
}  // namespace vantrel
