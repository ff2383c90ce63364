// A BIFF record walk over the workbook stream that only looks for boolean and error cells.
#include "CellMarks.h"

#include "CompoundFile.h"
#include "common/Encoding.h"

namespace vantrel::reader {

namespace {

std::string SheetName(const Bytes& b, std::size_t at, std::size_t end) {
    const std::size_t count = b.U8(at);
    const bool wide = (b.U8(at + 1) & 1) != 0;
    std::string raw;
    for (std::size_t k = 0; k < count; ++k) {
        const std::size_t pos = at + 2 + k * (wide ? 2 : 1);
        if (pos + (wide ? 2 : 1) > end) break;
        const uint16_t c = wide ? b.U16(pos) : b.U8(pos);
        raw.push_back(static_cast<char>(c & 0xFF));
        raw.push_back(static_cast<char>(c >> 8));
    }
    std::string name;
    TextDecoder(TextEncoding::Utf16LE).Decode(raw, name, true);
    return name;
}

}  // namespace

std::string ErrorCodeText(uint8_t code) {
    switch (code) {
        case 0x00:
            return "#NULL!";
        case 0x07:
            return "#DIV/0!";
        case 0x0F:
            return "#VALUE!";
        case 0x17:
            return "#REF!";
        case 0x1D:
            return "#NAME?";
        case 0x24:
            return "#NUM!";
        default:
            return "#N/A";
    }
}

CellMarks FindCellMarks(const std::string& path) {
    CellMarks marks;
    const std::string file = ReadWholeFile(path);
    CompoundFile compound(file);
    if (!compound.Open()) return marks;
    const std::string stream = compound.Stream({"Workbook", "Book"});
    const Bytes b(stream);
    // Sheet names by the offset of their first record, from the workbook's sheet list.
    std::map<std::size_t, std::string> sheetAt;
    std::string current;
    for (std::size_t at = 0; b.Has(at, 4);) {
        const uint16_t type = b.U16(at);
        const std::size_t length = b.U16(at + 2);
        const std::size_t data = at + 4;
        if (!b.Has(data, length)) break;
        if (auto it = sheetAt.find(at); it != sheetAt.end()) current = it->second;
        const CellPosition cell{b.U16(data), b.U16(data + 2)};
        if (type == 0x0085 && length >= 8) {
            sheetAt[b.U32(data)] = SheetName(b, data + 6, data + length);
        } else if (type == 0x002F) {
            break;  // encrypted records: nothing more can be read
        } else if (type == 0x0205 && length >= 8 &&
                   !current.empty()) {  // a boolean or error constant
            if (b.U8(data + 7) == 0) {
                marks[current].Booleans.insert(cell);
            } else {
                marks[current].Errors[cell] = b.U8(data + 6);
            }
        } else if (type == 0x0006 && length >= 14 && !current.empty() &&
                   b.U16(data + 12) == 0xFFFF) {
            // A formula whose cached result is a boolean or an error.
            if (b.U8(data + 6) == 1) marks[current].Booleans.insert(cell);
            if (b.U8(data + 6) == 2) marks[current].Errors[cell] = b.U8(data + 8);
        }
        at = data + length;
    }
    return marks;
}

}  // namespace vantrel::reader
