// Excel 2007 and later workbooks, presented exactly as the .xls reader presents its workbooks:
// every worksheet a table named sheet + "$", every row a record, columns F1..Fn, cells as text.
#include "Output.h"
#include "SheetTables.h"
#include "sources/engine/JetErrors.h"
#include "xlsx/Workbook.h"

namespace vantrel::reader {

namespace {

std::string Quoted(const std::string& part) {
    return "'" + part + "'";
}

// The closing error for a workbook that cannot be read, with what exactly went wrong.
int Refuse(const xlsx::Failure& failure, const std::string& path, Output& out) {
    int32_t error = JetError::CannotOpenDatabase;
    std::string detail;
    switch (failure.Kind) {
        case xlsx::Fault::None:
        case xlsx::Fault::Stopped:
            out.End(0);
            return 0;
        case xlsx::Fault::NotZip:
            detail = "ZIP 形式のファイルとして読めません。";
            break;
        case xlsx::Fault::Encrypted:
            error = JetError::InvalidPassword;
            break;
        case xlsx::Fault::NoWorkbook:
            error = JetError::ExternalTableFormat;
            detail = "ファイルの中に Excel ブックの本体 (" + failure.Part + ") がありません。";
            break;
        case xlsx::Fault::MissingPart:
            detail = "ファイルの中に " + Quoted(failure.Part) + " がありません。";
            break;
        case xlsx::Fault::TooLarge:
            detail = Quoted(failure.Part) +
                     " は展開すると大きさの上限を超えるため、読み込みを中止しました"
                     "（圧縮爆弾の可能性があります）。";
            break;
        case xlsx::Fault::Damaged:
            detail = Quoted(failure.Part) + " の圧縮データが壊れています。";
            break;
        case xlsx::Fault::Malformed:
            detail =
                Quoted(failure.Part) + " の XML が正しくありません（" + failure.Detail + "）。";
            break;
    }
    out.End(error, path, detail);
    return 1;
}

}  // namespace

int ReadXlsx(const std::string& command, const std::string& path, const std::string& table,
             Output& out) {
    xlsx::Workbook book;
    if (!book.OpenFile(path)) return Refuse(book.Error(), path, out);
    const auto& sheets = book.Sheets();
    if (command == "catalog") {
        for (const auto& sheet : sheets)
            PutSheetTable(out.Out(), sheet.Name);
        out.End(0);
        return 0;
    }
    std::size_t found = 0;
    while (found < sheets.size() && !NamesSheet(table, sheets[found].Name))
        ++found;
    if (found == sheets.size()) {
        out.End(JetError::TableNotFound, table);
        return 1;
    }
    std::size_t columns = 0;
    const auto extent = [&](const xlsx::SheetExtent& shape) {
        columns = PutSheetShape(out.Out(), shape.Columns, shape.Rows);
    };
    const auto row = [&](const std::vector<xlsx::Cell>& cells) {
        out.Out().Put(Tag::Row);
        for (std::size_t c = 0; c < columns; ++c) {
            if (c < cells.size() && !cells[c].Null) {
                out.Out().PutValue(Value::Text(cells[c].Text));
            } else {
                out.Out().PutValue(Value::Null());
            }
        }
        out.FlushIfLarge();
        return true;
    };
    if (!book.ReadSheet(found, extent, row)) return Refuse(book.Error(), path, out);
    out.End(0);
    return 0;
}

}  // namespace vantrel::reader
