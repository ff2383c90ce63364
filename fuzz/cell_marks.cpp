// The reader process walks an .xls workbook's own records to find TRUE/FALSE and error cells;
// any bytes must end that walk, with or without marks.
#include "CellMarks.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path =
        vantrel::fuzz::WriteInput("book.xls", vantrel::fuzz::AsView(data, size));
    (void)vantrel::reader::FindCellMarks(path);
    return 0;
}
