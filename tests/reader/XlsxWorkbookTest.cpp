#include "xlsx/Workbook.h"

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "WorkbookSupport.h"

namespace vantrel::xlsx {
namespace {

using test::XlsxContent;
using Rows = std::vector<std::vector<std::string>>;

// Every row of a sheet, Null as "<null>"; the extent in `shape`.
Rows ReadAll(Workbook& book, std::size_t sheet, SheetExtent* shape = nullptr) {
    Rows rows;
    const bool ok = book.ReadSheet(
        sheet,
        [&](const SheetExtent& e) {
            if (shape) *shape = e;
        },
        [&](const std::vector<Cell>& cells) {
            std::vector<std::string> row;
            for (const Cell& c : cells)
                row.push_back(c.Null ? "<null>" : c.Text);
            rows.push_back(std::move(row));
            return true;
        });
    EXPECT_TRUE(ok) << book.Error().Part << ": " << book.Error().Detail;
    return rows;
}

std::unique_ptr<Workbook> Opened(const XlsxContent& content) {
    auto book = std::make_unique<Workbook>();
    EXPECT_TRUE(book->OpenBytes(test::XlsxBytes(content))) << book->Error().Detail;
    return book;
}

Fault OpenFault(const std::string& bytes) {
    Workbook book;
    EXPECT_FALSE(book.OpenBytes(bytes));
    return book.Error().Kind;
}

// The fault reading sheet 0 of a package that opened.
Failure SheetFailure(const std::string& bytes, Limits limits = {}) {
    Workbook book(limits);
    EXPECT_TRUE(book.OpenBytes(bytes)) << book.Error().Detail;
    const bool ok = book.ReadSheet(
        0, [](const SheetExtent&) {}, [](const std::vector<Cell>&) { return true; });
    EXPECT_FALSE(ok);
    return book.Error();
}

TEST(XlsxWorkbook, FixtureSheetsStreamTheirCellsFromFileOrMemory) {
    Workbook fromFile;
    ASSERT_TRUE(fromFile.OpenFile(test::Fixture("excel/mixed_types.xlsx")));
    ASSERT_EQ(fromFile.Sheets().size(), 2u);
    EXPECT_EQ(fromFile.Sheets()[0].Name, "Sheet1");
    EXPECT_EQ(fromFile.Sheets()[1].Name, "売上");
    SheetExtent shape;
    const Rows rows = ReadAll(fromFile, 0, &shape);
    EXPECT_EQ(shape.Rows, 7u);
    EXPECT_EQ(shape.Columns, 9u);
    ASSERT_EQ(rows.size(), 7u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"ID", "氏名", "<null>", "金額", "日付", "日時",
                                                 "時刻", "有効", "メモ"}));
    EXPECT_EQ(rows[1],
              (std::vector<std::string>{"1", "山田太郎", "備考あり", "1234.5", "2024/03/15",
                                        "2024/03/15 09:05:30", "13:45:00", "TRUE", "普通のメモ"}));
    EXPECT_EQ(rows[2][8], "彼は\"はい\"と言った") << "rich-text runs are joined";
    EXPECT_EQ(rows[2][5], "2000/01/01");
    EXPECT_EQ(rows[6][4], "1900/03/01");

    Workbook fromMemory;
    ASSERT_TRUE(fromMemory.OpenBytes(test::ReadBytes(test::Fixture("excel/mixed_types.xlsx"))));
    EXPECT_EQ(ReadAll(fromMemory, 0), rows);

    Workbook large;
    ASSERT_TRUE(large.OpenFile(test::Fixture("excel/empty_and_large.xlsx")));
    EXPECT_TRUE(ReadAll(large, 0, &shape).empty());
    EXPECT_EQ(shape.Rows, 0u);
    EXPECT_EQ(shape.Columns, 0u);
    const Rows big = ReadAll(large, 1);
    ASSERT_EQ(big.size(), 10000u);
    EXPECT_EQ(big[9999],
              (std::vector<std::string>{"9999", "C09999", "4999.5", "2024/04/26", "行9999"}));
}

TEST(XlsxWorkbook, EveryKindOfCellShowsAsExcelShowsIt) {
    XlsxContent content;
    content.SharedStrings = {
        "<t>plain</t>",
        "<r><rPr><b/></rPr><t>rich </t></r><r><t xml:space=\"preserve\">runs </t></r>",
        "<t>山田</t><rPh sb=\"0\" eb=\"2\"><t>ヤマダ</t></rPh><phoneticPr fontId=\"1\"/>",
        "<t>line_x000D_end</t>",
        "<t></t>",
    };
    content.NumFmts =
        "<numFmt numFmtId=\"164\" formatCode=\"yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;\"/>"
        "<numFmt numFmtId=\"165\" formatCode=\"0.00&quot;h&quot;\"/>";
    content.CellFormats = {0, 14, 22, 20, 164, 165, 31};
    content.Sheets.push_back({"Cells",
                              "<row r=\"1\">"
                              "<c r=\"A1\" t=\"s\"><v>0</v></c><c r=\"B1\" t=\"s\"><v>1</v></c>"
                              "<c r=\"C1\" t=\"s\"><v>2</v></c><c r=\"D1\" t=\"s\"><v>3</v></c>"
                              "<c r=\"E1\" t=\"s\"><v>4</v></c></row>"
                              "<row r=\"2\">"
                              "<c r=\"A2\" t=\"inlineStr\"><is><t>inline</t></is></c>"
                              "<c r=\"B2\" t=\"inlineStr\"><is><r><t>in</t></r><r><t>runs</t></r>"
                              "<rPh><t>ルビ</t></rPh></is></c>"
                              "<c r=\"C2\" t=\"str\"><f>A1&amp;\"!\"</f><v>plain!</v></c>"
                              "<c r=\"D2\"><f>1/3</f><v>0.33333333333333331</v></c>"
                              "<c r=\"E2\"><f>NOW()</f></c></row>"
                              "<row r=\"3\">"
                              "<c r=\"A3\" t=\"b\"><v>1</v></c><c r=\"B3\" t=\"b\"><v>0</v></c>"
                              "<c r=\"C3\" t=\"e\"><v>#DIV/0!</v></c>"
                              "<c r=\"D3\" t=\"e\"><f>NA()</f><v>#N/A</v></c>"
                              "<c r=\"E3\" t=\"d\" s=\"1\"><v>2024-03-15T00:00:00</v></c></row>"
                              "<row r=\"4\">"
                              "<c r=\"A4\" s=\"1\"><v>45366</v></c>"
                              "<c r=\"B4\" s=\"2\"><v>45366.5</v></c>"
                              "<c r=\"C4\" s=\"3\"><v>0.25</v></c>"
                              "<c r=\"D4\" s=\"4\"><v>45366</v></c>"
                              "<c r=\"E4\" s=\"5\"><v>45366</v></c></row>"
                              "<row r=\"5\">"
                              "<c r=\"A5\" s=\"6\"><v>45366</v></c>"
                              "<c r=\"B5\"><v>0.10000000000000001</v></c>"
                              "<c r=\"C5\"><v>1E+20</v></c><c r=\"D5\" s=\"99\"><v>12</v></c>"
                              "<c r=\"E5\"><v>not a number</v></c></row>"});
    const auto book = Opened(content);
    const Rows rows = ReadAll(*book, 0);
    ASSERT_EQ(rows.size(), 5u);
    EXPECT_EQ(rows[0], (std::vector<std::string>{"plain", "rich runs ", "山田", "line\rend", ""}))
        << "runs joined, furigana left out, escapes decoded, an empty string stays a string";
    EXPECT_EQ(rows[1], (std::vector<std::string>{"inline", "inruns", "plain!", "0.333333333333333",
                                                 "<null>"}))
        << "formulas show their cached value; one without a value is Null";
    EXPECT_EQ(rows[2],
              (std::vector<std::string>{"TRUE", "FALSE", "#DIV/0!", "#N/A", "2024/03/15"}));
    EXPECT_EQ(rows[3], (std::vector<std::string>{"2024/03/15", "2024/03/15 12:00:00", "06:00:00",
                                                 "2024/03/15", "45366"}))
        << "built-in date, date-time and time formats, a custom date format, a custom number";
    EXPECT_EQ(rows[4],
              (std::vector<std::string>{"2024/03/15", "0.1", "1E+20", "12", "not a number"}))
        << "a Japanese built-in date, general numbers, an unknown style, text kept as written";

    content.Date1904 = true;
    const auto book1904 = Opened(content);
    EXPECT_EQ(ReadAll(*book1904, 0)[3][0], "2028/03/16") << "the same serial in the 1904 system";
}

TEST(XlsxWorkbook, CellsArePlacedByTheirReferences) {
    XlsxContent content;
    content.Sheets.push_back({"Sparse",
                              "<row r=\"2\"><c r=\"C2\"><v>1</v></c><c><v>2</v></c></row>"
                              "<row><c r=\"B3\"><v>3</v></c></row>"
                              "<row r=\"5\" ht=\"20\"/>"
                              "<row r=\"6\"><c r=\"E6\" s=\"0\"/></row>"
                              "<row r=\"9\" ht=\"20\"/>"});
    const auto book = Opened(content);
    SheetExtent shape;
    const Rows rows = ReadAll(*book, 0, &shape);
    EXPECT_EQ(shape.Rows, 6u) << "rows after the last cell do not count";
    EXPECT_EQ(shape.Columns, 5u) << "an empty styled cell counts, as in .xls";
    const std::string n = "<null>";
    EXPECT_EQ(rows, (Rows{{n, n, n, n, n},
                          {n, n, "1", "2", n},
                          {n, "3", n, n, n},
                          {n, n, n, n, n},
                          {n, n, n, n, n},
                          {n, n, n, n, n}}));
}

TEST(XlsxWorkbook, SheetsAreListedInWorkbookOrderHiddenOnesToo) {
    XlsxContent content;
    content.Sheets = {{"B", "", "visible"}, {"隠し", "", "hidden"}, {"A", "", "veryHidden"}};
    test::ZipEntries entries = test::XlsxEntries(content);
    // A chart sheet has no cells and no table; a target may be absolute.
    const std::string rels =
        "<Relationships xmlns=\"http://schemas.openxmlformats.org/package/2006/relationships\">"
        "<Relationship Id=\"rIdS1\" Type=\"x/worksheet\" Target=\"/xl/worksheets/sheet1.xml\"/>"
        "<Relationship Id=\"rIdS2\" Type=\"x/worksheet\" Target=\"worksheets/sheet2.xml\"/>"
        "<Relationship Id=\"rIdS3\" Type=\"x/worksheet\" Target=\"worksheets/sheet3.xml\"/>"
        "<Relationship Id=\"rIdC\" Type=\"x/chartsheet\" Target=\"chartsheets/sheet1.xml\"/>"
        "</Relationships>";
    entries = test::WithEntry(entries, "xl/_rels/workbook.xml.rels", &rels);
    std::string& workbook = std::find_if(entries.begin(), entries.end(), [](const auto& e) {
                                return e.first == "xl/workbook.xml";
                            })->second;
    workbook.replace(workbook.find("</sheets>"), 0, "<sheet name=\"Chart\" r:id=\"rIdC\"/>");
    Workbook book;
    ASSERT_TRUE(book.OpenBytes(test::ZipBytes(entries)));
    std::vector<std::string> names;
    for (const auto& s : book.Sheets())
        names.push_back(s.Name);
    EXPECT_EQ(names, (std::vector<std::string>{"B", "隠し", "A"}));
    EXPECT_EQ(book.Sheets()[0].Part, "xl/worksheets/sheet1.xml");
}

TEST(XlsxWorkbook, BrokenPackagesAreRefusedWithTheirReason) {
    XlsxContent content;
    content.Sheets.push_back({"S", "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>"});
    const test::ZipEntries good = test::XlsxEntries(content);

    EXPECT_EQ(OpenFault("not a zip at all"), Fault::NotZip);
    EXPECT_EQ(OpenFault(test::EncryptedPackageBytes()), Fault::NotZip);
    EXPECT_EQ(OpenFault(test::ZipBytes({{"readme.txt", "hello"}})), Fault::NoWorkbook);
    const std::string cut = test::XlsxBytes(content);
    EXPECT_EQ(OpenFault(cut.substr(0, cut.size() / 2)), Fault::NotZip) << "no central directory";

    const std::string brokenWorkbook = "<workbook><sheets><sheet name=\"S\"</sheets>";
    Workbook malformed;
    EXPECT_FALSE(malformed.OpenBytes(
        test::ZipBytes(test::WithEntry(good, "xl/workbook.xml", &brokenWorkbook))));
    EXPECT_EQ(malformed.Error().Kind, Fault::Malformed);
    EXPECT_EQ(malformed.Error().Part, "xl/workbook.xml");
    EXPECT_NE(malformed.Error().Detail.find("line 1"), std::string::npos)
        << malformed.Error().Detail;

    // Entity expansion (a "billion laughs" document) is refused at its DTD.
    const std::string laughs =
        "<?xml version=\"1.0\"?><!DOCTYPE w [<!ENTITY a \"aaaaaaaaaa\"><!ENTITY b "
        "\"&a;&a;&a;&a;&a;&a;&a;&a;&a;&a;\">]><workbook><sheets><sheet name=\"&b;\"/></sheets>"
        "</workbook>";
    EXPECT_EQ(OpenFault(test::ZipBytes(test::WithEntry(good, "xl/workbook.xml", &laughs))),
              Fault::Malformed);

    const Failure missing =
        SheetFailure(test::ZipBytes(test::WithEntry(good, "xl/worksheets/sheet1.xml", nullptr)));
    EXPECT_EQ(missing.Kind, Fault::MissingPart);
    EXPECT_EQ(missing.Part, "xl/worksheets/sheet1.xml");
    EXPECT_EQ(
        SheetFailure(test::ZipBytes(test::WithEntry(good, "xl/sharedStrings.xml", nullptr))).Kind,
        Fault::MissingPart);
    // Without the workbook's relationships the sheets are still listed, but cannot be read.
    const Failure unrelated =
        SheetFailure(test::ZipBytes(test::WithEntry(good, "xl/_rels/workbook.xml.rels", nullptr)));
    EXPECT_EQ(unrelated.Kind, Fault::MissingPart);
    EXPECT_EQ(unrelated.Part, "xl/_rels/workbook.xml.rels");
}

TEST(XlsxWorkbook, SheetsWithImpossibleContentAreRefused) {
    const auto failure = [](const std::string& data, Limits limits = {}) {
        XlsxContent content;
        content.SharedStrings = {"<t>only</t>"};
        content.Sheets.push_back({"S", data});
        return SheetFailure(test::XlsxBytes(content), limits);
    };
    const std::string one = "<row r=\"1\"><c r=\"A1\"><v>1</v></c></row>";
    EXPECT_EQ(failure(one + "<row r=\"2\"><c r=\"A2\"><v>1</c></row>").Kind, Fault::Malformed);
    EXPECT_EQ(failure(one + "<row r=\"2\"><c r=\"A2\"><v>1</v></c>").Kind, Fault::Malformed)
        << "a sheet that just ends";
    const Failure backwards = failure(one + one);
    EXPECT_EQ(backwards.Kind, Fault::Malformed);
    EXPECT_NE(backwards.Detail.find("row 1 comes after row 1"), std::string::npos);
    EXPECT_EQ(failure("<row r=\"1048577\"><c><v>1</v></c></row>").Kind, Fault::Malformed);
    EXPECT_EQ(failure("<row r=\"2\"><row r=\"3\"><c><v>1</v></c></row></row>").Kind,
              Fault::Malformed);
    EXPECT_EQ(failure("<row><c><c><v>1</v></c></c></row>").Kind, Fault::Malformed);
    EXPECT_EQ(failure("<row r=\"1\"><c r=\"XFE1\"><v>1</v></c></row>").Kind, Fault::Malformed);
    EXPECT_EQ(failure("<row r=\"1\"><c r=\"11\"><v>1</v></c></row>").Kind, Fault::Malformed);
    EXPECT_EQ(failure("<row r=\"1\"><c t=\"s\"><v>1</v></c></row>").Kind, Fault::Malformed)
        << "shared string 1 of 1";
    Limits small;
    small.CellTextBytes = 8;
    EXPECT_EQ(failure("<row><c t=\"inlineStr\"><is><t>123456789</t></is></c></row>", small).Kind,
              Fault::Malformed);
}

TEST(XlsxWorkbook, EntriesInflatingPastTheirBoundAreRefused) {
    XlsxContent content;
    std::string rows;
    for (int r = 1; r <= 2000; ++r)
        rows +=
            "<row r=\"" + std::to_string(r) + "\"><c><v>" + std::to_string(r) + "</v></c></row>";
    content.Sheets.push_back({"S", rows});
    const std::string bytes = test::XlsxBytes(content);
    Limits limits;
    limits.SheetBytes = 10000;
    const Failure bomb = SheetFailure(bytes, limits);
    EXPECT_EQ(bomb.Kind, Fault::TooLarge);
    EXPECT_EQ(bomb.Part, "xl/worksheets/sheet1.xml");
    limits = {};
    limits.PartBytes = 100;
    Workbook small(limits);
    EXPECT_FALSE(small.OpenBytes(bytes));
    EXPECT_EQ(small.Error().Kind, Fault::TooLarge);

    // An entry whose stated size is smaller than what it inflates to lies about itself.
    std::string lying = bytes;
    const std::string name = "xl/worksheets/sheet1.xml";
    std::size_t header = 0;
    int patched = 0;
    // Local header (size at +22) and central directory entry (size at +24), both before the name.
    while ((header = lying.find(name, header + 1)) != std::string::npos) {
        const bool central = header >= 46 && lying.compare(header - 46, 4, "PK\x01\x02") == 0;
        const bool local = header >= 30 && lying.compare(header - 30, 4, "PK\x03\x04") == 0;
        if (!central && !local) continue;
        const std::size_t size = header - (central ? 46 - 24 : 30 - 22);
        lying[size] = 100;
        lying[size + 1] = lying[size + 2] = lying[size + 3] = 0;
        ++patched;
    }
    ASSERT_EQ(patched, 2);
    const Failure liar = SheetFailure(lying);
    EXPECT_TRUE(liar.Kind == Fault::Damaged || liar.Kind == Fault::TooLarge)
        << static_cast<int>(liar.Kind);
}

TEST(XlsxWorkbook, PasswordEntriesAndStoppedReadsEndCleanly) {
    XlsxContent content;
    std::string rows;
    for (int r = 1; r <= 50; ++r)
        rows += "<row><c><v>" + std::to_string(r) + "</v></c></row>";
    content.Sheets.push_back({"S", rows});
    const auto book = Opened(content);
    int delivered = 0;
    EXPECT_FALSE(book->ReadSheet(
        0, [](const SheetExtent&) {}, [&](const std::vector<Cell>&) { return ++delivered < 10; }));
    EXPECT_EQ(book->Error().Kind, Fault::Stopped);
    EXPECT_EQ(delivered, 10) << "nothing is delivered after the consumer stops";

    // A zip whose entries need a password.
    test::TempDir dir;
    const std::string path = dir.File("locked.xlsx");
    test::WriteBytes(path, test::XlsxBytes(content));
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), 0, &error);
    ASSERT_TRUE(archive);
    for (zip_int64_t i = 0; i < zip_get_num_entries(archive, 0); ++i)
        zip_file_set_encryption(archive, static_cast<zip_uint64_t>(i), ZIP_EM_AES_256, "secret");
    ASSERT_EQ(zip_close(archive), 0);
    Workbook locked;
    EXPECT_FALSE(locked.OpenFile(path));
    EXPECT_EQ(locked.Error().Kind, Fault::Encrypted);
}

}  // namespace
}  // namespace vantrel::xlsx
