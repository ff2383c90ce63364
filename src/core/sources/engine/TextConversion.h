#pragma once

#include <string_view>

#include "sources/engine/Value.h"

namespace vantrel {

// Converts typed-in or exported text to a field type the way Access converts text: numbers with
// sign, thousands separators, exponents and full-width digits; currency with ¥ or $; dates in
// the forms Japanese users type and Excel exports (2024/1/5, 2024-01-05, 2024年1月5日, H31.4.1,
// 令和6年1月5日, with an optional time); booleans (True/False, Yes/No, はい/いいえ, On/Off,
// numbers). Returns false when the text cannot become that type: the caller reports error 3421
// rather than storing a silent 0.
bool ConvertTextToValue(FieldType type, std::string_view text, Value& out);

// Converts any value to a field type (numbers to text, text to numbers, dates to text, ...).
// False when it cannot be represented (out of range, not convertible).
bool ConvertValueToType(FieldType type, const Value& value, Value& out);

// Number of UTF-16 code units of a UTF-8 text: how Access measures a Text field's length.
std::size_t Utf16Length(std::string_view utf8);

}  // namespace vantrel
