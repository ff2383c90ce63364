#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <random>

#include "TestSupport.h"
#include "WorkbookSupport.h"
#include "sources/engine/Engine.h"
#include "sources/engine/JetErrors.h"

namespace vantrel {
namespace {

using test::Fixture;
using test::TempDir;

constexpr const char* kExcel = "Excel 8.0;HDR=NO;IMEX=1;";

int32_t OpenError(const std::string& path, const std::string& connect = {}, bool readOnly = true) {
    ErrorState error;
    Engine engine(error);
    auto db = engine.OpenDatabase(path, 0, readOnly, connect);
    EXPECT_FALSE(db) << path;
    EXPECT_FALSE(error.Description.empty());
    return error.Number;
}

// Reads every table of a database that opened; returns the first error met (0 for none).
int32_t ReadEverything(const std::string& path, const std::string& connect = {}) {
    ErrorState error;
    Engine engine(error);
    auto db = engine.OpenDatabase(path, 0, true, connect);
    if (!db) return error.Number;
    for (const auto& t : db->TableDefs()) {
        auto rs = db->OpenRecordset(t.Name);
        if (!rs) return error.Number;
        while (!rs->Eof()) {
            for (int i = 0; i < rs->FieldCount(); ++i)
                rs->GetValue(i);
            rs->MoveNext();
        }
        if (error.IsSet()) return error.Number;
    }
    return 0;
}

std::string Truncated(const TempDir& dir, const std::string& source, std::size_t bytes,
                      const char* name) {
    const std::string data = test::ReadBytes(source);
    test::WriteBytes(dir.File(name), data.substr(0, std::min(bytes, data.size())));
    return dir.File(name);
}

TEST(EngineErrors, MissingWrongAndForeignFilesGiveTheirErrors) {
    TempDir dir;
    EXPECT_EQ(OpenError(dir.File("none.mdb")), JetError::FileNotFound);
    EXPECT_EQ(OpenError(dir.File("no/folder/x.mdb")), JetError::InvalidPath);
    EXPECT_EQ(OpenError(dir.Path()), JetError::InvalidPath);
    EXPECT_EQ(OpenError(""), JetError::InvalidPath);

    test::WriteBytes(dir.File("text.mdb"), "ID,Name\r\n1,abc\r\n");
    EXPECT_EQ(OpenError(dir.File("text.mdb")), JetError::UnrecognizedFormat);
    test::WriteBytes(dir.File("empty.accdb"), "");
    EXPECT_EQ(OpenError(dir.File("empty.accdb")), JetError::UnrecognizedFormat);
    std::filesystem::copy_file(Fixture("excel/mixed_types.xls"), dir.File("book.mdb"));
    EXPECT_EQ(OpenError(dir.File("book.mdb")), JetError::UnrecognizedFormat);

    // Workbooks: only a real workbook opens with the Excel connect string, whatever its name.
    std::filesystem::copy_file(Fixture("excel/mixed_types.xlsx"), dir.File("new.xls"));
    EXPECT_EQ(ReadEverything(dir.File("new.xls"), kExcel), 0) << "read as the package it is";
    EXPECT_EQ(OpenError(dir.File("new.xls")), JetError::UnrecognizedFormat) << "no database";
    EXPECT_EQ(OpenError(dir.File("text.mdb"), kExcel), JetError::ExternalTableFormat);
    EXPECT_EQ(OpenError(Fixture("access/jet4_v2000.mdb"), kExcel), JetError::ExternalTableFormat);
    const std::string cut = Truncated(dir, Fixture("excel/empty_and_large.xls"), 600000, "cut.xls");
    EXPECT_EQ(OpenError(cut, kExcel), JetError::ExternalTableFormat);

    // Access 97 files are never written; damaged Access files are refused before any change.
    std::filesystem::copy_file(Fixture("access-made/V1997/testV1997.mdb"), dir.File("97.mdb"));
    EXPECT_EQ(OpenError(dir.File("97.mdb"), ";DATABASE=x", false), JetError::ReadOnly);
    const std::string cutAccess =
        Truncated(dir, Fixture("access/ace12_v2007.accdb"), 4096 * 3 + 100, "cut.accdb");
    const std::string cutBytes = test::ReadBytes(cutAccess);
    EXPECT_NE(OpenError(cutAccess, ";DATABASE=x", false), 0);
    EXPECT_TRUE(test::ReadBytes(cutAccess) == cutBytes);
}

TEST(EngineErrors, TruncatedDatabasesReportDamageInsteadOfLosingRows) {
    TempDir dir;
    const std::string source = Fixture("access/jet4_v2000.mdb");
    int index = 0;
    for (std::size_t bytes : {std::size_t{100}, std::size_t{5000}, std::size_t{12288},
                              std::size_t{65536}, std::size_t{1} << 20, std::size_t{2} << 20}) {
        const std::string path =
            Truncated(dir, source, bytes, ("cut" + std::to_string(index++) + ".mdb").c_str());
        const int32_t error = ReadEverything(path);
        EXPECT_TRUE(error == JetError::CannotOpenDatabase || error == JetError::UnrecognizedFormat)
            << bytes << " bytes gave " << error;
    }
    EXPECT_EQ(ReadEverything(source), 0);
}

TEST(EngineErrors, DamagedFilesNeverCrashOrHangTheProgram) {
    ::setenv("VANTREL_READER_TIMEOUT_MS", "5000", 1);
    TempDir dir;
    std::mt19937 random(20261208);
    const std::string mdb = test::ReadBytes(Fixture("access-made/adox_jet4.mdb"));
    const std::string xls = test::ReadBytes(Fixture("excel/header_row3.xls"));
    const std::string xlsx = test::ReadBytes(Fixture("excel/header_row3.xlsx"));
    for (int i = 0; i < 12; ++i) {
        for (const auto& [original, name, connect] :
             {std::tuple{&mdb, "f.mdb", ""}, std::tuple{&xls, "f.xls", kExcel},
              std::tuple{&xlsx, "f.xlsx", kExcel}}) {
            std::string damaged = *original;
            for (int k = 0; k < 40; ++k) {
                const std::size_t at = 512 + random() % (damaged.size() - 512);
                damaged[at] = static_cast<char>(random() & 0xFF);
            }
            const std::string path = dir.File(std::to_string(i) + name);
            test::WriteBytes(path, damaged);
            // Whatever the damage, the answer is the data or an error users can read.
            const int32_t error = ReadEverything(path, connect);
            EXPECT_TRUE(error == 0 || error == JetError::CannotOpenDatabase ||
                        error == JetError::UnrecognizedFormat ||
                        error == JetError::ExternalTableFormat ||
                        error == JetError::TableNotFound || error == JetError::InvalidPassword)
                << path << " gave " << error;
        }
    }
    ::unsetenv("VANTREL_READER_TIMEOUT_MS");
}

// The error reading the first sheet of a workbook, with its message.
ErrorState XlsxError(const std::string& path) {
    ErrorState error;
    Engine engine(error);
    auto db = engine.OpenDatabase(path, 0, true, kExcel);
    if (db) {
        auto rs = db->OpenRecordset("S$");
        while (rs && !rs->Eof())
            rs->MoveNext();
    }
    EXPECT_TRUE(error.IsSet()) << path;
    EXPECT_NE(error.Description.find(path), std::string::npos) << error.Description;
    return error;
}

TEST(EngineErrors, BrokenXlsxWorkbooksGiveAMessageNamingTheFileAndTheReason) {
    TempDir dir;
    test::XlsxContent content;
    content.SharedStrings = {"<t>a</t>"};
    content.Sheets.push_back({"S", "<row r=\"1\"><c t=\"s\"><v>0</v></c></row>"});
    const test::ZipEntries good = test::XlsxEntries(content);
    const auto write = [&](const char* name, const std::string& bytes) {
        test::WriteBytes(dir.File(name), bytes);
        return dir.File(name);
    };
    const auto reason = [](const ErrorState& e, const char* text) {
        return e.Description.find(text) != std::string::npos;
    };

    EXPECT_EQ(XlsxError(write("text.xlsx", "ID,Name\r\n")).Number, JetError::ExternalTableFormat);
    const ErrorState cut = XlsxError(write("cut.xlsx", test::ZipBytes(good).substr(0, 300)));
    EXPECT_EQ(cut.Number, JetError::CannotOpenDatabase);
    EXPECT_TRUE(reason(cut, "ZIP 形式")) << cut.Description;
    const ErrorState empty = XlsxError(write("empty.xlsx", test::ZipBytes({{"a.txt", "a"}})));
    EXPECT_EQ(empty.Number, JetError::ExternalTableFormat);
    EXPECT_TRUE(reason(empty, "ブックの本体")) << empty.Description;

    const ErrorState missing = XlsxError(
        write("missing.xlsx",
              test::ZipBytes(test::WithEntry(good, "xl/worksheets/sheet1.xml", nullptr))));
    EXPECT_EQ(missing.Number, JetError::CannotOpenDatabase);
    EXPECT_TRUE(reason(missing, "'xl/worksheets/sheet1.xml' がありません")) << missing.Description;

    const std::string broken = "<worksheet><sheetData><row><c><v>1</c></row>";
    const ErrorState malformed = XlsxError(
        write("malformed.xlsx",
              test::ZipBytes(test::WithEntry(good, "xl/worksheets/sheet1.xml", &broken))));
    EXPECT_EQ(malformed.Number, JetError::CannotOpenDatabase);
    EXPECT_TRUE(reason(malformed, "XML が正しくありません（line 1: mismatched tag）"))
        << malformed.Description;

    // Shared strings that say they inflate to nearly 4 GB are refused before any inflating.
    std::string bomb = test::ZipBytes(good);
    const std::string part = "xl/sharedStrings.xml";
    for (std::size_t at = bomb.find(part); at != std::string::npos; at = bomb.find(part, at + 1)) {
        const bool central = at >= 46 && bomb.compare(at - 46, 4, "PK\x01\x02") == 0;
        const bool local = at >= 30 && bomb.compare(at - 30, 4, "PK\x03\x04") == 0;
        if (central || local) bomb.replace(at - (central ? 22 : 8), 4, "\x00\x00\x00\xF0", 4);
    }
    const ErrorState tooLarge = XlsxError(write("bomb.xlsx", bomb));
    EXPECT_EQ(tooLarge.Number, JetError::CannotOpenDatabase);
    EXPECT_TRUE(reason(tooLarge, "圧縮爆弾")) << tooLarge.Description;

    const ErrorState locked = XlsxError(write("locked.xlsx", test::EncryptedPackageBytes()));
    EXPECT_EQ(locked.Number, JetError::InvalidPassword);
    EXPECT_TRUE(reason(locked, "パスワード")) << locked.Description;
}

TEST(EngineErrors, AReaderThatDiesOrStallsIsReportedAsDamage) {
    TempDir dir;
    test::WriteBytes(dir.File("dies.sh"), "#!/bin/sh\nprintf T\nkill -9 $$\n");
    test::WriteBytes(dir.File("stalls.sh"), "#!/bin/sh\nexec sleep 30\n");
    std::filesystem::permissions(dir.File("dies.sh"), std::filesystem::perms::owner_all);
    std::filesystem::permissions(dir.File("stalls.sh"), std::filesystem::perms::owner_all);
    ::setenv("VANTREL_READER_TIMEOUT_MS", "300", 1);
    for (const char* script : {"dies.sh", "stalls.sh"}) {
        ::setenv("VANTREL_READER", dir.File(script).c_str(), 1);
        ErrorState error;
        Engine engine(error);
        EXPECT_FALSE(engine.OpenDatabase(Fixture("access/jet4_v2000.mdb"), 0, true));
        EXPECT_EQ(error.Number, JetError::CannotOpenDatabase) << script;
    }
    ::unsetenv("VANTREL_READER");
    ::unsetenv("VANTREL_READER_TIMEOUT_MS");
}

}  // namespace
}  // namespace vantrel
