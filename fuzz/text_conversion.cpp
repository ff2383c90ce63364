// Text from csv files and workbooks becomes typed values: numbers, dates (incl. Japanese eras),
// currency, booleans, GUIDs. Any text must convert or be refused, never crash.
#include <cmath>

#include "FuzzInput.h"
#include "sources/DelimitedText.h"
#include "sources/engine/TextConversion.h"

using namespace vantrel;

namespace {

constexpr FieldType kTypes[] = {
    FieldType::Boolean,  FieldType::Byte,    FieldType::Integer,    FieldType::Long,
    FieldType::Currency, FieldType::Single,  FieldType::Double,     FieldType::Date,
    FieldType::Binary,   FieldType::Text,    FieldType::LongBinary, FieldType::Memo,
    FieldType::Guid,     FieldType::Decimal, FieldType::BigInt,
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    fuzz::InputCursor in(fuzz::AsView(data, size));
    const FieldType type = kTypes[in.Byte() % std::size(kTypes)];
    const FieldType second = kTypes[in.Byte() % std::size(kTypes)];
    const std::string_view text = in.Rest();

    Value value;
    if (ConvertTextToValue(type, text, value)) {
        // A converted value converts on to any other type or is refused.
        Value other;
        (void)ConvertValueToType(second, value, other);
        Value again;
        (void)ConvertValueToType(FieldType::Text, value, again);
    }
    (void)Utf16Length(text);

    // The rows-to-skip list and row numbers typed into the import method dialog.
    int64_t row = 0;
    (void)ToRowNumber(text, row);
    (void)ParseSkipRows(text);
    return 0;
}
