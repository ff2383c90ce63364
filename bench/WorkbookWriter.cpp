#include "WorkbookWriter.h"

#include <zip.h>

#include <cstdio>
#include <filesystem>
#include <fstream>

namespace vantrel::bench {

namespace {

constexpr const char* kMain = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr const char* kRelations =
    "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr const char* kPackageRelations =
    "http://schemas.openxmlformats.org/package/2006/relationships";

constexpr long kNames = 500;
constexpr long kNotes = 50;
constexpr long kFirstDay = 45292;  // 2024-01-01

// Shared string indexes: the header, then the repeating texts, then one code per row.
long NameIndex(long columns, long r) {
    return columns + r % kNames;
}
long KanaIndex(long columns) {
    return columns + kNames;
}
long NoteIndex(long columns, long r) {
    return columns + kNames + 1 + r % kNotes;
}
long CodeIndex(long columns, long r) {
    return columns + kNames + 1 + kNotes + (r - 1);
}

std::string ColumnLetter(std::size_t c) {
    return std::string(1, static_cast<char>('A' + c));
}

void WriteSharedStrings(const std::string& path, long rows,
                        const std::vector<std::string>& columns) {
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<sst xmlns=\"" << kMain
        << "\">";
    for (const auto& name : columns)
        out << "<si><t>" << name << "</t></si>";
    for (long i = 0; i < kNames; ++i)
        out << "<si><t>山田太郎" << i << "</t></si>";
    out << "<si><t>ヤマダタロウ</t></si>";
    for (long i = 0; i < kNotes; ++i)
        out << "<si><t>東京都千代田区1-2-3, " << i << "F</t></si>";
    for (long r = 1; r <= rows; ++r)
        out << "<si><t>C" << (100000 + r % 90000) << "-" << r << "</t></si>";
    out << "</sst>";
}

void WriteSheet(const std::string& path, long rows, const std::vector<std::string>& columns) {
    std::ofstream out(path, std::ios::binary);
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n<worksheet xmlns=\""
        << kMain << "\"><sheetData><row r=\"1\">";
    for (std::size_t c = 0; c < columns.size(); ++c)
        out << "<c r=\"" << ColumnLetter(c) << "1\" t=\"s\"><v>" << c << "</v></c>";
    out << "</row>";
    const auto n = static_cast<long>(columns.size());
    char rate[32];
    for (long r = 1; r <= rows; ++r) {
        const std::string row = std::to_string(r + 1);
        std::snprintf(rate, sizeof rate, "%.17g", static_cast<double>(r % 97) / 7.0);
        out << "<row r=\"" << row << "\">"
            << "<c r=\"A" << row << "\"><v>" << r << "</v></c>"
            << "<c r=\"B" << row << "\" t=\"s\"><v>" << CodeIndex(n, r) << "</v></c>"
            << "<c r=\"C" << row << "\"><v>" << r % 1000 << "</v></c>"
            << "<c r=\"D" << row << "\"><v>" << r % 100000 << "." << r % 100 << "</v></c>"
            << "<c r=\"E" << row << "\"><v>" << rate << "</v></c>"
            << "<c r=\"F" << row << "\" s=\"1\"><v>" << kFirstDay + r % 366 << "</v></c>"
            << "<c r=\"G" << row << "\" t=\"s\"><v>" << NameIndex(n, r) << "</v></c>"
            << "<c r=\"H" << row << "\" t=\"s\"><v>" << KanaIndex(n) << "</v></c>"
            << "<c r=\"I" << row << "\" t=\"s\"><v>" << NoteIndex(n, r) << "</v></c>"
            << "<c r=\"J" << row << "\" t=\"b\"><v>" << r % 2 << "</v></c></row>";
    }
    out << "</sheetData></worksheet>";
}

bool AddText(zip_t* archive, const char* name, const std::string& text) {
    zip_source_t* source = zip_source_buffer(archive, text.data(), text.size(), 0);
    if (source && zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) >= 0) return true;
    zip_source_free(source);
    return false;
}

bool AddFile(zip_t* archive, const char* name, const std::string& path) {
    zip_source_t* source = zip_source_file(archive, path.c_str(), 0, -1);
    if (source && zip_file_add(archive, name, source, ZIP_FL_OVERWRITE) >= 0) return true;
    zip_source_free(source);
    return false;
}

}  // namespace

bool WriteBenchmarkWorkbook(const std::string& path, long rows,
                            const std::vector<std::string>& columns) {
    const std::string strings = path + ".strings.xml", sheet = path + ".sheet.xml";
    WriteSharedStrings(strings, rows, columns);
    WriteSheet(sheet, rows, columns);
    const std::string types =
        "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/package/2006/"
        "content-types\"><Default Extension=\"xml\" ContentType=\"application/xml\"/></Types>";
    const std::string root = std::string("<?xml version=\"1.0\"?><Relationships xmlns=\"") +
                             kPackageRelations + "\"><Relationship Id=\"rId1\" Type=\"" +
                             kRelations +
                             "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
    const std::string workbook = std::string("<?xml version=\"1.0\"?><workbook xmlns=\"") + kMain +
                                 "\" xmlns:r=\"" + kRelations +
                                 "\"><sheets><sheet name=\"Data\" sheetId=\"1\" r:id=\"rId1\"/>"
                                 "</sheets></workbook>";
    const std::string relations =
        std::string("<?xml version=\"1.0\"?><Relationships xmlns=\"") + kPackageRelations +
        "\"><Relationship Id=\"rId1\" Type=\"" + kRelations +
        "/worksheet\" Target=\"worksheets/sheet1.xml\"/><Relationship Id=\"rId2\" Type=\"" +
        kRelations + "/styles\" Target=\"styles.xml\"/><Relationship Id=\"rId3\" Type=\"" +
        kRelations + "/sharedStrings\" Target=\"sharedStrings.xml\"/></Relationships>";
    const std::string styles = std::string("<?xml version=\"1.0\"?><styleSheet xmlns=\"") + kMain +
                               "\"><cellXfs><xf numFmtId=\"0\"/><xf numFmtId=\"14\" "
                               "applyNumberFormat=\"1\"/></cellXfs></styleSheet>";
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    bool ok = archive != nullptr;
    if (ok) {
        ok = AddText(archive, "[Content_Types].xml", types) &&
             AddText(archive, "_rels/.rels", root) &&
             AddText(archive, "xl/workbook.xml", workbook) &&
             AddText(archive, "xl/_rels/workbook.xml.rels", relations) &&
             AddText(archive, "xl/styles.xml", styles) &&
             AddFile(archive, "xl/sharedStrings.xml", strings) &&
             AddFile(archive, "xl/worksheets/sheet1.xml", sheet);
        if (!ok || zip_close(archive) != 0) {
            zip_discard(archive);
            ok = false;
        }
    }
    std::filesystem::remove(strings);
    std::filesystem::remove(sheet);
    return ok;
}

}  // namespace vantrel::bench
