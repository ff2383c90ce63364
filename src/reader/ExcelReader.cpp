// Excel 97-2003 workbooks through FreeXL, presented as the Excel driver does with HDR=NO;IMEX=1:
// every sheet a table named sheet + "$", every row a record, columns F1..Fn, cells as text.
#include <freexl.h>

#include <cstdio>
#include <string>

#include "BooleanCells.h"
#include "Output.h"
#include "common/TextCase.h"
#include "sources/engine/JetErrors.h"

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
        if (rc != FREEXL_OK) return JetError::ExternalTableFormat;
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

// Excel's general format: up to 15 significant digits, no trailing zeros.
std::string GeneralNumber(double v) {
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", v);
    return buffer;
}

// "YYYY-MM-DD[ HH:MM:SS]" as yyyy/mm/dd, with the time only when there is one.
std::string ExcelDate(std::string text) {
    for (std::size_t i = 0; i < text.size() && i < 10; ++i) {
        if (text[i] == '-') text[i] = '/';
    }
    if (text.size() > 10 && text.compare(10, std::string::npos, " 00:00:00") == 0) text.resize(10);
    return text;
}

Value CellValue(const FreeXL_CellValue& cell, bool boolean) {
    switch (cell.type) {
        case FREEXL_CELL_INT:
            if (boolean) return Value::Text(cell.value.int_value ? "TRUE" : "FALSE");
            return Value::Text(std::to_string(cell.value.int_value));
        case FREEXL_CELL_DOUBLE:
            return Value::Text(GeneralNumber(cell.value.double_value));
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

}  // namespace

int ReadExcel(const std::string& command, const std::string& path, const std::string& table,
              Output& out) {
    Workbook book;
    if (const int32_t error = book.Open(path)) {
        out.End(error, path);
        return 1;
    }
    const unsigned int sheets = book.SheetCount();
    if (command == "catalog") {
        for (unsigned int i = 0; i < sheets; ++i) {
            out.Out().Put(Tag::Table);
            out.Out().PutString(book.SheetName(static_cast<unsigned short>(i)) + "$");
            out.Out().PutInt32(0);
        }
        out.End(0);
        return 0;
    }
    // The driver accepts a sheet with or without its "$".
    const std::string wanted = LowerCase(table);
    int found = -1;
    for (unsigned int i = 0; i < sheets && found < 0; ++i) {
        const std::string name = LowerCase(book.SheetName(static_cast<unsigned short>(i)));
        if (name + "$" == wanted || name == wanted) found = static_cast<int>(i);
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
    // An empty sheet still has one column, as the driver shows it.
    const unsigned short fieldCount = columns > 0 ? columns : 1;
    for (unsigned short c = 0; c < fieldCount; ++c) {
        FieldInfo f;
        f.Name = "F" + std::to_string(c + 1);
        f.Type = FieldType::Text;
        f.Size = 255;
        out.Out().PutField(f);
    }
    out.Out().Put(Tag::RowCount);
    out.Out().PutInt64(rows);
    const BooleanCells booleans = FindBooleanCells(path);
    const auto sheetBooleans = booleans.find(book.SheetName(static_cast<unsigned short>(found)));
    auto isBoolean = [&](unsigned int r, unsigned short c) {
        return sheetBooleans != booleans.end() && sheetBooleans->second.count({r, c}) > 0;
    };
    for (unsigned int r = 0; r < rows; ++r) {
        out.Out().Put(Tag::Row);
        for (unsigned short c = 0; c < fieldCount; ++c) {
            FreeXL_CellValue cell{};
            if (c >= columns || freexl_get_cell_value(book.Handle(), r, c, &cell) != FREEXL_OK) {
                cell.type = FREEXL_CELL_NULL;
            }
            out.Out().PutValue(CellValue(cell, isBoolean(r, c)));
        }
        out.FlushIfLarge();
    }
    out.End(0);
    return 0;
}

}  // namespace vantrel::reader
