#include "access/RowCodec.h"

#include <algorithm>
#include <array>
#include <cstring>

#include "access/Bytes.h"

namespace vantrel::access {

namespace {

template <typename T>
std::string RawBytes(T value) {
    std::string out(sizeof(T), '\0');
    std::memcpy(out.data(), &value, sizeof(T));
    return out;
}

template <typename T>
T FromBytes(const std::string& bytes) {
    T value{};
    std::memcpy(&value, bytes.data(), std::min(sizeof(T), bytes.size()));
    return value;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}": the first three groups are stored little-endian.
bool EncodeGuid(const std::string& text, std::string& out) {
    std::string hex;
    for (char c : text) {
        if (HexDigit(c) >= 0) hex.push_back(c);
    }
    if (hex.size() != 32) return false;
    std::string bytes(16, '\0');
    for (std::size_t i = 0; i < 16; ++i)
        bytes[i] = static_cast<char>(HexDigit(hex[2 * i]) << 4 | HexDigit(hex[2 * i + 1]));
    std::reverse(bytes.begin(), bytes.begin() + 4);
    std::reverse(bytes.begin() + 4, bytes.begin() + 6);
    std::reverse(bytes.begin() + 6, bytes.begin() + 8);
    out = bytes;
    return true;
}

std::string DecodeGuid(std::string bytes) {
    bytes.resize(16);
    std::reverse(bytes.begin(), bytes.begin() + 4);
    std::reverse(bytes.begin() + 4, bytes.begin() + 6);
    std::reverse(bytes.begin() + 6, bytes.begin() + 8);
    static const char* kHex = "0123456789ABCDEF";
    std::string text = "{";
    for (std::size_t i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) text += '-';
        text += kHex[static_cast<uint8_t>(bytes[i]) >> 4];
        text += kHex[static_cast<uint8_t>(bytes[i]) & 15];
    }
    return text + "}";
}

// Decimal text ("-12.3400") to the column's scale as a sign and a 128-bit magnitude; false when
// the digits exceed the column's precision.
bool EncodeDecimal(const JetColumn& column, const std::string& text, std::string& out) {
    bool negative = false;
    std::string whole, fraction;
    bool afterPoint = false;
    for (char c : text) {
        if (c == '-') {
            negative = true;
        } else if (c == '.') {
            afterPoint = true;
        } else if (c >= '0' && c <= '9') {
            (afterPoint ? fraction : whole).push_back(c);
        }
    }
    bool roundUp = fraction.size() > column.Scale && fraction[column.Scale] >= '5';
    fraction.resize(column.Scale, '0');
    std::string digits = whole + fraction;
    digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size()));
    // Magnitude in four 32-bit words, least significant first while building.
    uint32_t words[4] = {0, 0, 0, 0};
    auto addScaled = [&](uint32_t multiplier, uint32_t add) {
        uint64_t carry = add;
        for (uint32_t& w : words) {
            const uint64_t v = uint64_t{w} * multiplier + carry;
            w = static_cast<uint32_t>(v);
            carry = v >> 32;
        }
        return carry == 0;
    };
    for (char c : digits) {
        if (!addScaled(10, static_cast<uint32_t>(c - '0'))) return false;
    }
    if (roundUp && !addScaled(1, 1)) return false;
    // Count the digits of the stored magnitude against the precision.
    const std::size_t precision = column.Precision ? column.Precision : 18;
    const std::size_t shownDigits = digits.empty() ? 0 : digits.size() + (roundUp ? 1 : 0);
    if (shownDigits > precision) {
        // Rounding 99.99 up may add a digit; recount exactly only then.
        if (!(roundUp && digits.size() <= precision)) return false;
    }
    out.assign(17, '\0');
    const bool zero = !words[0] && !words[1] && !words[2] && !words[3];
    out[0] = static_cast<char>(negative && !zero ? 0x80 : 0x00);
    for (int k = 0; k < 4; ++k)
        Put32(out.data() + 1 + 4 * k, words[3 - k]);
    return true;
}

std::string DecodeDecimal(const JetColumn& column, const std::string& bytes) {
    if (bytes.size() < 17) return "0";
    uint32_t words[4];
    for (int k = 0; k < 4; ++k)
        words[3 - k] = U32(bytes, 1 + 4 * static_cast<std::size_t>(k));
    std::string digits;
    while (words[0] || words[1] || words[2] || words[3]) {
        uint64_t rem = 0;
        for (int k = 3; k >= 0; --k) {
            const uint64_t v = rem << 32 | words[k];
            words[k] = static_cast<uint32_t>(v / 10);
            rem = v % 10;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + rem));
    }
    if (digits.size() <= column.Scale) digits.insert(0, column.Scale + 1 - digits.size(), '0');
    if (column.Scale) digits.insert(digits.size() - column.Scale, ".");
    return (static_cast<uint8_t>(bytes[0]) & 0x80 ? "-" : "") + digits;
}

// UTF-8 to UTF-16LE; a malformed sequence becomes U+FFFD.
std::string Utf16Of(std::string_view utf8) {
    // Never more units than bytes: write into room made once, then cut it to size.
    std::string out(utf8.size() * 2, '\0');
    std::size_t at = 0;
    auto put = [&](uint32_t unit) {
        out[at++] = static_cast<char>(unit & 0xFF);
        out[at++] = static_cast<char>(unit >> 8 & 0xFF);
    };
    for (std::size_t i = 0; i < utf8.size();) {
        const auto lead = static_cast<uint8_t>(utf8[i]);
        if (lead < 0x80) {
            put(lead);
            ++i;
            continue;
        }
        const std::size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
        uint32_t cp = lead & (0x3Fu >> (length - 1));
        bool ok = lead >= 0xC2 && lead <= 0xF4 && i + length <= utf8.size();
        for (std::size_t k = 1; ok && k < length; ++k) {
            const auto next = static_cast<uint8_t>(utf8[i + k]);
            ok = (next & 0xC0) == 0x80;
            cp = cp << 6 | (next & 0x3Fu);
        }
        if (!ok || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            put(0xFFFD);
            ++i;
            continue;
        }
        i += length;
        if (cp >= 0x10000) {
            cp -= 0x10000;
            put(0xD800 | cp >> 10);
            put(0xDC00 | (cp & 0x3FF));
        } else {
            put(cp);
        }
    }
    out.resize(at);
    return out;
}

}  // namespace

FieldType FieldTypeOf(const JetColumn& column) {
    switch (column.Type) {
        case JetType::Boolean:
            return FieldType::Boolean;
        case JetType::Byte:
            return FieldType::Byte;
        case JetType::Integer:
            return FieldType::Integer;
        case JetType::Long:
            return FieldType::Long;
        case JetType::Currency:
            return FieldType::Currency;
        case JetType::Single:
            return FieldType::Single;
        case JetType::Double:
            return FieldType::Double;
        case JetType::DateTime:
            return FieldType::Date;
        case JetType::Binary:
            return FieldType::Binary;
        case JetType::Text:
            return FieldType::Text;
        case JetType::Ole:
            return FieldType::LongBinary;
        case JetType::Memo:
            return FieldType::Memo;
        case JetType::Guid:
            return FieldType::Guid;
        case JetType::Decimal:
            return FieldType::Decimal;
        case JetType::BigInt:
            return FieldType::BigInt;
        default:
            return FieldType::Unsupported;
    }
}

StoredRow UnpackRow(const JetTable& table, std::string_view row) {
    const auto parts = SplitRow(table, row);
    StoredRow values(parts.size());
    const uint16_t stored = U16(row, 0);
    const std::size_t maskAt = row.size() - std::min<std::size_t>(row.size(), (stored + 7u) / 8u);
    for (std::size_t c = 0; c < parts.size(); ++c) {
        const JetColumn& col = table.Columns[c];
        if (col.Type == JetType::Boolean) {
            const bool on = col.Number < stored &&
                            (U8(row, maskAt + col.Number / 8) >> (col.Number % 8) & 1) != 0;
            values[c] = std::string(1, on ? '\1' : '\0');
        } else if (parts[c]) {
            values[c] = std::string(*parts[c]);
        }
    }
    return values;
}

std::string PackRow(const JetTable& table, const StoredRow& values, std::size_t minimumSize) {
    constexpr std::size_t kMaxSlots = 256;
    std::size_t fixedEnd = 0, varSlots = 0, varBytes = 0;
    std::array<const std::string*, kMaxSlots> varData{};
    for (std::size_t c = 0; c < table.Columns.size(); ++c) {
        const JetColumn& col = table.Columns[c];
        if (col.IsFixed()) {
            if (col.Type != JetType::Boolean)
                fixedEnd =
                    std::max<std::size_t>(fixedEnd, std::size_t{col.FixedOffset} + col.Length);
        } else if (col.VarIndex < kMaxSlots) {
            varSlots = std::max<std::size_t>(varSlots, col.VarIndex + 1u);
            if (values[c]) {
                varData[col.VarIndex] = &*values[c];
                varBytes += values[c]->size();
            }
        }
    }
    const std::size_t maskBytes = (table.MaxColumns + 7u) / 8u;
    const bool variable = table.VariableColumns != 0 || varSlots != 0;
    const std::size_t tail = (variable ? 2 + 2 * varSlots + 2 : 0) + maskBytes;
    const std::size_t data = 2 + fixedEnd + varBytes;
    // Padding goes between the data and the offsets, where readers never look.
    std::string row(std::max(data + tail, minimumSize), '\0');
    char* out = row.data();
    Put16(out, table.MaxColumns);
    char* mask = out + row.size() - maskBytes;
    auto markPresent = [&](uint16_t number) {
        if (number / 8u < maskBytes)
            mask[number / 8u] = static_cast<char>(mask[number / 8u] | (1 << (number % 8)));
    };
    for (std::size_t c = 0; c < table.Columns.size(); ++c) {
        const JetColumn& col = table.Columns[c];
        const auto& v = values[c];
        if (col.Type == JetType::Boolean) {
            if (v && !v->empty() && (*v)[0] != 0) markPresent(col.Number);
            continue;
        }
        if (!v) continue;
        markPresent(col.Number);
        if (col.IsFixed())
            std::memcpy(out + 2 + col.FixedOffset, v->data(),
                        std::min<std::size_t>(v->size(), col.Length));
    }
    if (!variable) return row;
    std::size_t at = 2 + fixedEnd;
    // Offsets run backwards from the count, which sits just before the mask.
    char* offsets = mask - 2;
    Put16(offsets, static_cast<uint16_t>(varSlots));
    for (std::size_t k = 0; k < varSlots; ++k) {
        Put16(offsets - 2 * (k + 1), static_cast<uint16_t>(at));
        if (varData[k]) {
            std::memcpy(out + at, varData[k]->data(), varData[k]->size());
            at += varData[k]->size();
        }
    }
    Put16(offsets - 2 * (varSlots + 1), static_cast<uint16_t>(at));
    return row;
}

std::string EncodeJetText(std::string_view utf8, bool compress) {
    // Plain ASCII needs no detour through UTF-16.
    const bool ascii = std::all_of(utf8.begin(), utf8.end(),
                                   [](char c) { return c != 0 && static_cast<uint8_t>(c) < 0x80; });
    if (ascii && compress && utf8.size() > 2) {
        std::string out(2 + utf8.size(), '\xFE');
        out[0] = '\xFF';
        std::memcpy(out.data() + 2, utf8.data(), utf8.size());
        return out;
    }
    const std::string utf16 = Utf16Of(utf8);
    // One byte a character only when every character has a one-byte form and there are more
    // than two of them.
    bool oneByte = compress && utf16.size() > 4;
    for (std::size_t i = 0; oneByte && i + 1 < utf16.size(); i += 2)
        oneByte = utf16[i + 1] == 0 && utf16[i] != 0;
    if (!oneByte) return utf16;
    std::string out(2 + utf16.size() / 2, '\0');
    out[0] = '\xFF';
    out[1] = '\xFE';
    for (std::size_t i = 0; i < utf16.size(); i += 2)
        out[2 + i / 2] = utf16[i];
    return out;
}

bool EncodeColumnValue(const JetColumn& column, const Value& value, std::string& out) {
    switch (column.Type) {
        case JetType::Boolean:
            out.assign(1, value.Bool() ? '\1' : '\0');
            return true;
        case JetType::Byte:
            out.assign(1, static_cast<char>(value.Int() & 0xFF));
            return true;
        case JetType::Integer:
            out = RawBytes(static_cast<int16_t>(value.Int()));
            return true;
        case JetType::Long:
            out = RawBytes(static_cast<int32_t>(value.Int()));
            return true;
        case JetType::Currency:
        case JetType::BigInt:
            out = RawBytes(static_cast<int64_t>(value.Int()));
            return true;
        case JetType::Single:
            out = RawBytes(static_cast<float>(value.Dbl()));
            return true;
        case JetType::Double:
        case JetType::DateTime:
            out = RawBytes(value.Dbl());
            return true;
        case JetType::Guid:
            return EncodeGuid(value.Str(), out);
        case JetType::Decimal:
            return EncodeDecimal(column, value.Str(), out);
        case JetType::Text:
            out = EncodeJetText(value.Str(), column.IsCompressed());
            return true;
        case JetType::Binary:
            out = value.Str();
            return true;
        default:
            return false;
    }
}

std::string EncodeLongValueData(const JetColumn& column, const Value& value) {
    if (column.Type == JetType::Memo) {
        // Access compresses memos only up to 1,024 characters.
        const bool compress = column.IsCompressed() && value.Str().size() <= 1024;
        return EncodeJetText(value.Str(), compress);
    }
    return value.Str();
}

Value DecodeColumnValue(const PageSource& file, const JetColumn& column,
                        const std::optional<std::string>& stored) {
    if (!stored) return Value::Null();
    const std::string& b = *stored;
    switch (column.Type) {
        case JetType::Boolean:
            return Value::Boolean(!b.empty() && b[0] != 0);
        case JetType::Byte:
            return Value::Integer(b.empty() ? 0 : static_cast<uint8_t>(b[0]));
        case JetType::Integer:
            return Value::Integer(FromBytes<int16_t>(b));
        case JetType::Long:
            return Value::Integer(FromBytes<int32_t>(b));
        case JetType::Currency:
            return Value::Currency(FromBytes<int64_t>(b));
        case JetType::BigInt:
            return Value::Integer(FromBytes<int64_t>(b));
        case JetType::Single:
            return Value::Single(FromBytes<float>(b));
        case JetType::Double:
            return Value::Double(FromBytes<double>(b));
        case JetType::DateTime:
            return Value::DateTime(FromBytes<double>(b));
        case JetType::Guid:
            return Value::Guid(DecodeGuid(b));
        case JetType::Decimal:
            return Value::Decimal(DecodeDecimal(column, b));
        case JetType::Text:
            return Value::Text(DecodeJetText(b));
        case JetType::Binary:
            return Value::Bytes(b);
        case JetType::Memo:
        case JetType::Ole: {
            const auto data = ReadLongValue(file, b);
            if (!data) return Value::Null();
            return column.Type == JetType::Memo ? Value::Text(DecodeJetText(*data))
                                                : Value::Bytes(*data);
        }
        default:
            return Value::Null();
    }
}

}  // namespace vantrel::access
