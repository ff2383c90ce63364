// Excel 97-2003 workbooks through FreeXL (later workbooks go to the .xlsx reader), presented as the
// Excel driver does with HDR=NO;IMEX=1: every sheet a table named sheet + "$", every row a record,
// columns F1..Fn, cells as text.
#include <freexl.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "CellMarks.h"
#include "CompoundFile.h"
#include "Output.h"
#include "SheetTables.h"
#include "sources/engine/JetErrors.h"
#include "xlsx/CellText.h"

namespace vantrel::reader {

namespace {

class Workbook {
  public:
    ~Workbook() {
        if (handle_) freexl_close(handle_);
    }
    // 0 or the engine error that opening gives.
    int32_t Open(const std::string& path) {
        const int rc = freexl_open(path.c_str(), &handle_);
        if (rc == FREEXL_FILE_NOT_FOUND) return JetError::FileNotFound;
        if (rc != FREEXL_OK) {
            // A password-protected .xlsx is a compound file too, holding only the encrypted
            // package.
            return IsEncryptedPackage(path) ? JetError::InvalidPassword
                                            : JetError::ExternalTableFormat;
        }
        unsigned int info = 0;
        if (freexl_get_info(handle_, FREEXL_BIFF_PASSWORD, &info) == FREEXL_OK &&
            info == FREEXL_BIFF_OBFUSCATED) {
            return JetError::InvalidPassword;
        }
        return 0;
    }
    unsigned int SheetCount() const {
        unsigned int count = 0;
        freexl_get_info(handle_, FREEXL_BIFF_SHEET_COUNT, &count);
        return count;
    }
    std::string SheetName(unsigned short i) const {
        const char* name = nullptr;
        if (freexl_get_worksheet_name(handle_, i, &name) != FREEXL_OK || !name) return {};
        return name;
    }
    const void* Handle() const { return handle_; }

  private:
    const void* handle_ = nullptr;
};

// "YYYY-MM-DD[ HH:MM:SS]" as yyyy/mm/dd, with the time only when there is one.
std::string ExcelDate(std::string text) {
    for (std::size_t i = 0; i < text.size() && i < 10; ++i) {
        if (text[i] == '-') text[i] = '/';
    }
    if (text.size() > 10 && text.compare(10, std::string::npos, " 00:00:00") == 0) text.resize(10);
    return text;
}

// The shown text of a cell; `marks` tells the booleans and errors the library reports as numbers.
Value CellValue(const FreeXL_CellValue& cell, const SheetCellMarks* marks, unsigned int row,
                unsigned short column) {
    if (marks && cell.type == FREEXL_CELL_INT) {
        const CellPosition at{row, column};
        if (const auto error = marks->Errors.find(at); error != marks->Errors.end())
            return Value::Text(ErrorCodeText(error->second));
        if (marks->Booleans.count(at)) return Value::Text(cell.value.int_value ? "TRUE" : "FALSE");
    }
    switch (cell.type) {
        case FREEXL_CELL_INT:
            return Value::Text(std::to_string(cell.value.int_value));
        case FREEXL_CELL_DOUBLE:
            return Value::Text(xlsx::GeneralNumberText(cell.value.double_value));
        case FREEXL_CELL_TEXT:
        case FREEXL_CELL_SST_TEXT:
            return Value::Text(cell.value.text_value ? cell.value.text_value : "");
        case FREEXL_CELL_DATE:
        case FREEXL_CELL_DATETIME:
            return Value::Text(ExcelDate(cell.value.text_value ? cell.value.text_value : ""));
        case FREEXL_CELL_TIME:
            return Value::Text(cell.value.text_value ? cell.value.text_value : "");
        default:
            return Value::Null();
    }
}

// A zip package: an Excel 2007 and later workbook, whatever its name says.
bool IsZipPackage(const std::string& path) {
    char head[4] = {};
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    const std::size_t n = std::fread(head, 1, sizeof head, f);
    std::fclose(f);
    return n == 4 &&
           (std::memcmp(head, "PK\x03\x04", 4) == 0 || std::memcmp(head, "PK\x05\x06", 4) == 0);
}

}  // namespace

int ReadExcel(const std::string& command, const std::string& path, const std::string& table,
              Output& out) {
    if (IsZipPackage(path)) return ReadXlsx(command, path, table, out);
    Workbook book;
    if (const int32_t error = book.Open(path)) {
        out.End(error, path);
        return 1;
    }
    const unsigned int sheets = book.SheetCount();
    if (command == "catalog") {
        for (unsigned int i = 0; i < sheets; ++i)
            PutSheetTable(out.Out(), book.SheetName(static_cast<unsigned short>(i)));
        out.End(0);
        return 0;
    }
    int found = -1;
    for (unsigned int i = 0; i < sheets && found < 0; ++i) {
        if (NamesSheet(table, book.SheetName(static_cast<unsigned short>(i))))
            found = static_cast<int>(i);
    }
    if (found < 0 || freexl_select_active_worksheet(
                         book.Handle(), static_cast<unsigned short>(found)) != FREEXL_OK) {
        out.End(JetError::TableNotFound, table);
        return 1;
    }
    unsigned int rows = 0;
    unsigned short columns = 0;
    if (freexl_worksheet_dimensions(book.Handle(), &rows, &columns) != FREEXL_OK) {
        out.End(JetError::ExternalTableFormat, path);
        return 1;
    }
    const auto fieldCount = static_cast<unsigned short>(PutSheetShape(out.Out(), columns, rows));
    const CellMarks marks = FindCellMarks(path);
    const auto sheetMarks = marks.find(book.SheetName(static_cast<unsigned short>(found)));
    const SheetCellMarks* cellMarks = sheetMarks == marks.end() ? nullptr : &sheetMarks->second;
    for (unsigned int r = 0; r < rows; ++r) {
        out.Out().Put(Tag::Row);
        for (unsigned short c = 0; c < fieldCount; ++c) {
            FreeXL_CellValue cell{};
            if (c >= columns || freexl_get_cell_value(book.Handle(), r, c, &cell) != FREEXL_OK) {
                cell.type = FREEXL_CELL_NULL;
            }
            out.Out().PutValue(CellValue(cell, cellMarks, r, c));
        }
        out.FlushIfLarge();
    }
    out.End(0);
    return 0;
}

}  // namespace vantrel::reader
