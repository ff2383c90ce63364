#include "SheetTables.h"

#include <algorithm>

#include "common/TextCase.h"

namespace vantrel::reader {

void PutSheetTable(Writer& out, const std::string& sheetName) {
    out.Put(Tag::Table);
    out.PutString(sheetName + "$");
    out.PutInt32(0);
}

bool NamesSheet(const std::string& table, const std::string& sheetName) {
    const std::string wanted = LowerCase(table);
    const std::string name = LowerCase(sheetName);
    return name + "$" == wanted || name == wanted;
}

std::size_t PutSheetShape(Writer& out, std::size_t columns, int64_t rows) {
    const std::size_t fields = std::max<std::size_t>(columns, 1);
    for (std::size_t c = 0; c < fields; ++c) {
        FieldInfo f;
        f.Name = "F" + std::to_string(c + 1);
        f.Type = FieldType::Text;
        f.Size = 255;
        out.PutField(f);
    }
    out.Put(Tag::RowCount);
    out.PutInt64(rows);
    return fields;
}

}  // namespace vantrel::reader
