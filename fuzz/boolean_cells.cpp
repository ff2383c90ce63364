// The reader process walks a workbook's own records to find TRUE/FALSE cells; any bytes must end
// that walk, with or without cells.
#include "BooleanCells.h"
#include "FuzzInput.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    const std::string path =
        vantrel::fuzz::WriteInput("book.xls", vantrel::fuzz::AsView(data, size));
    (void)vantrel::reader::FindBooleanCells(path);
    return 0;
}
