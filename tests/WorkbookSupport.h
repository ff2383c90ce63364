#pragma once

#include <zip.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "TestSupport.h"

// Small workbooks made by the tests themselves, so that every cell kind and every kind of damage
// has a file without committing binaries.
namespace vantrel::test {

using ZipEntries = std::vector<std::pair<std::string, std::string>>;

// A zip archive of these entries (deflated), as bytes.
inline std::string ZipBytes(const ZipEntries& entries) {
    TempDir dir;
    const std::string path = dir.File("package.zip");
    int error = 0;
    zip_t* archive = zip_open(path.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &error);
    if (!archive) return {};
    for (const auto& [name, content] : entries) {
        zip_source_t* source = zip_source_buffer(archive, content.data(), content.size(), 0);
        if (source && zip_file_add(archive, name.c_str(), source, ZIP_FL_ENC_UTF_8) < 0)
            zip_source_free(source);
    }
    zip_close(archive);
    return ReadBytes(path);
}

// What a generated workbook holds. Sheet contents are the inside of <sheetData>.
struct XlsxContent {
    struct Sheet {
        std::string Name;
        std::string Data;
        std::string State = "visible";
    };
    std::vector<Sheet> Sheets;
    std::vector<std::string> SharedStrings;  // the inside of each <si>
    std::string NumFmts;                     // <numFmt .../> elements
    std::vector<uint32_t> CellFormats{0};    // numFmtId of each cell style
    bool Date1904 = false;
};

inline ZipEntries XlsxEntries(const XlsxContent& content) {
    const std::string main = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
    const std::string rel = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
    std::string sheets, rels;
    ZipEntries entries;
    for (std::size_t i = 0; i < content.Sheets.size(); ++i) {
        const std::string n = std::to_string(i + 1);
        sheets += "<sheet name=\"" + content.Sheets[i].Name + "\" sheetId=\"" + n + "\" state=\"" +
                  content.Sheets[i].State + "\" r:id=\"rIdS" + n + "\"/>";
        rels += "<Relationship Id=\"rIdS" + n + "\" Type=\"" + rel +
                "/worksheet\" Target=\"worksheets/sheet" + n + ".xml\"/>";
        entries.push_back({"xl/worksheets/sheet" + n + ".xml",
                           "<?xml version=\"1.0\" encoding=\"UTF-8\"?><worksheet xmlns=\"" + main +
                               "\"><sheetData>" + content.Sheets[i].Data +
                               "</sheetData></worksheet>"});
    }
    rels += "<Relationship Id=\"rIdStyles\" Type=\"" + rel +
            "/styles\" Target=\"styles.xml\"/><Relationship Id=\"rIdStrings\" Type=\"" + rel +
            "/sharedStrings\" Target=\"sharedStrings.xml\"/>";
    std::string strings;
    for (const auto& s : content.SharedStrings)
        strings += "<si>" + s + "</si>";
    std::string xfs;
    for (const uint32_t id : content.CellFormats)
        xfs += "<xf numFmtId=\"" + std::to_string(id) + "\" fontId=\"0\"/>";
    entries.push_back({"[Content_Types].xml",
                       "<?xml version=\"1.0\"?><Types xmlns=\"http://schemas.openxmlformats.org/"
                       "package/2006/content-types\"/>"});
    entries.push_back(
        {"_rels/.rels",
         "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas.openxmlformats.org/package/"
         "2006/relationships\"><Relationship Id=\"rId1\" Type=\"" +
             rel + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>"});
    entries.push_back({"xl/workbook.xml", "<?xml version=\"1.0\"?><workbook xmlns=\"" + main +
                                              "\" xmlns:r=\"" + rel + "\"><workbookPr date1904=\"" +
                                              (content.Date1904 ? "1" : "0") + "\"/><sheets>" +
                                              sheets + "</sheets></workbook>"});
    entries.push_back({"xl/_rels/workbook.xml.rels",
                       "<?xml version=\"1.0\"?><Relationships xmlns=\"http://schemas."
                       "openxmlformats.org/package/2006/relationships\">" +
                           rels + "</Relationships>"});
    entries.push_back({"xl/styles.xml", "<?xml version=\"1.0\"?><styleSheet xmlns=\"" + main +
                                            "\"><numFmts>" + content.NumFmts +
                                            "</numFmts><cellXfs>" + xfs +
                                            "</cellXfs></styleSheet>"});
    entries.push_back({"xl/sharedStrings.xml",
                       "<?xml version=\"1.0\"?><sst xmlns=\"" + main + "\">" + strings + "</sst>"});
    return entries;
}

inline std::string XlsxBytes(const XlsxContent& content) {
    return ZipBytes(XlsxEntries(content));
}

// The entries with one of them replaced (or added) or, with no content, left out.
inline ZipEntries WithEntry(ZipEntries entries, const std::string& name,
                            const std::string* content) {
    std::erase_if(entries, [&](const auto& e) { return e.first == name; });
    if (content) entries.push_back({name, *content});
    return entries;
}

// A compound file holding only an "EncryptedPackage" stream, as a password-protected .xlsx is.
inline std::string EncryptedPackageBytes() {
    constexpr uint32_t kFree = 0xFFFFFFFF, kEnd = 0xFFFFFFFE, kFatSector = 0xFFFFFFFD;
    std::string file(512 * 3, '\0');
    auto put16 = [&](std::size_t at, uint16_t v) { std::memcpy(&file[at], &v, 2); };
    auto put32 = [&](std::size_t at, uint32_t v) { std::memcpy(&file[at], &v, 4); };
    std::memcpy(file.data(), "\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1", 8);
    put16(0x18, 0x3E);
    put16(0x1A, 3);
    put16(0x1C, 0xFFFE);
    put16(0x1E, 9);
    put16(0x20, 6);
    put32(0x2C, 1);     // one allocation-table sector
    put32(0x30, 1);     // the directory in sector 1
    put32(0x38, 4096);  // mini stream cutoff
    put32(0x3C, kEnd);
    put32(0x44, kEnd);
    for (std::size_t i = 0; i < 109; ++i)
        put32(0x4C + 4 * i, i == 0 ? 0 : kFree);
    const std::size_t fat = 512, directory = 1024;
    for (std::size_t i = 0; i < 128; ++i)
        put32(fat + 4 * i, i == 0 ? kFatSector : i == 1 ? kEnd : kFree);
    auto entry = [&](std::size_t at, const char* name, uint8_t type) {
        std::size_t k = 0;
        for (; name[k]; ++k)
            put16(at + 2 * k, static_cast<uint16_t>(name[k]));
        put16(at + 0x40, static_cast<uint16_t>(2 * (k + 1)));
        file[at + 0x42] = static_cast<char>(type);
        put32(at + 0x44, kFree);
        put32(at + 0x48, kFree);
        put32(at + 0x4C, kFree);
        put32(at + 0x74, kEnd);
    };
    entry(directory, "Root Entry", 5);
    entry(directory + 128, "EncryptedPackage", 2);
    put32(directory + 0x4C, 1);  // the root's child
    return file;
}

// mixed_types.xls with the boolean of H2 turned into the error #DIV/0! (code 7), written to `path`.
inline bool WriteXlsWithErrorCell(const std::string& path) {
    std::string bytes = ReadBytes(Fixture("excel/mixed_types.xls"));
    // The BOOLERR record of row 1, column 7: type 0x0205, 9 bytes.
    const std::size_t record = bytes.find(std::string("\x05\x02\x09\x00\x01\x00\x07\x00", 8));
    if (record == std::string::npos) return false;
    bytes[record + 4 + 6] = 0x07;
    bytes[record + 4 + 7] = 1;
    WriteBytes(path, bytes);
    return true;
}

}  // namespace vantrel::test
