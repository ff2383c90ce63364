#include "access/IndexKey.h"

#include "access/Bytes.h"
#include "access/TextKey.h"

namespace vantrel::access {

namespace {

constexpr int kJet4 = 1;
constexpr char kAscendingFlag = 0x7F;
constexpr char kNullFlag = 0x00;

void FlipBytes(std::string& bytes, std::size_t from) {
    for (std::size_t i = from; i < bytes.size(); ++i)
        bytes[i] = static_cast<char>(~bytes[i]);
}

// Stored little-endian, keyed big-endian so that bytes compare as numbers.
std::string BigEndian(std::string_view value, std::size_t width) {
    std::string out(width, '\0');
    for (std::size_t i = 0; i < width; ++i)
        out[i] = static_cast<char>(U8(value, width - 1 - i));
    return out;
}

std::string SignedIntegerKey(std::string_view value, std::size_t width) {
    std::string out = BigEndian(value, width);
    out[0] = static_cast<char>(out[0] ^ 0x80);
    return out;
}

// IEEE values: a negative one compares backwards, so all of its bits turn.
std::string FloatKey(std::string_view value, std::size_t width) {
    std::string out = BigEndian(value, width);
    if (static_cast<uint8_t>(out[0]) & 0x80)
        FlipBytes(out, 0);
    else
        out[0] = static_cast<char>(out[0] ^ 0x80);
    return out;
}

// Binary values go in groups of eight bytes, each followed by 9 when more follows, the last
// (zero padded) by the count of bytes it holds. A descending key turns the data and the final
// count but keeps the 9s. An empty value is the flag alone.
void AppendGroupedBytes(std::string& key, std::string_view data, bool descending) {
    std::size_t at = 0;
    while (at < data.size()) {
        const std::size_t take = std::min<std::size_t>(8, data.size() - at);
        std::string group(data.substr(at, take));
        group.resize(8, '\0');
        at += take;
        const bool more = at < data.size();
        group.push_back(static_cast<char>(more ? 9 : take));
        if (descending) FlipBytes(group, 0);
        if (descending && more) group.back() = 9;
        key += group;
    }
}

// GUIDs are stored with their first three fields little-endian; keys use the written order.
std::string GuidBytes(std::string_view value) {
    std::string out(16, '\0');
    static constexpr std::size_t kOrder[16] = {3, 2, 1,  0,  5,  4,  7,  6,
                                               8, 9, 10, 11, 12, 13, 14, 15};
    for (std::size_t i = 0; i < 16; ++i)
        out[i] = static_cast<char>(U8(value, kOrder[i]));
    return out;
}

// Sign byte (0x80 negative) and four 32-bit little-endian words, most significant first.
std::string DecimalKey(std::string_view value) {
    const bool negative = (U8(value, 0) & 0x80) != 0;
    std::string out(1, negative ? '\0' : '\xFF');
    for (std::size_t word = 0; word < 4; ++word)
        out += BigEndian(value.substr(std::min(value.size(), 1 + 4 * word)), 4);
    if (negative) FlipBytes(out, 1);
    return out;
}

bool KeyableType(uint8_t type) {
    switch (type) {
        case JetType::Boolean:
        case JetType::Byte:
        case JetType::Integer:
        case JetType::Long:
        case JetType::Currency:
        case JetType::Single:
        case JetType::Double:
        case JetType::DateTime:
        case JetType::Binary:
        case JetType::Guid:
        case JetType::Decimal:
        case JetType::BigInt:
        case JetType::ExtendedDate:
            return true;
        default:
            return false;
    }
}

// The key value of one column, ascending (the caller turns it for a descending column).
std::string ValueKey(const JetColumn& column, std::string_view value) {
    switch (column.Type) {
        case JetType::Byte:
            return std::string(1, static_cast<char>(U8(value, 0)));
        case JetType::Integer:
            return SignedIntegerKey(value, 2);
        case JetType::Long:
            return SignedIntegerKey(value, 4);
        case JetType::Currency:
        case JetType::BigInt:
            return SignedIntegerKey(value, 8);
        case JetType::Single:
            return FloatKey(value, 4);
        case JetType::Double:
        case JetType::DateTime:
            return FloatKey(value, 8);
        case JetType::Decimal:
            return DecimalKey(value);
        default:
            return {};
    }
}

bool IsText(const JetColumn& column) {
    return column.Type == JetType::Text || column.Type == JetType::Memo;
}

// The characters of a stored Text value, or of a Memo's field or data; none when unreadable.
std::optional<std::u16string> TextOf(const PageSource& file, const JetColumn& column,
                                     std::string_view stored, bool memoIsData) {
    if (column.Type == JetType::Text || memoIsData) return JetTextUnits(stored);
    const auto data = ReadLongValue(file, stored);
    if (!data) return std::nullopt;
    return JetTextUnits(*data);
}

bool SameValue(const PageSource& file, const JetColumn& column,
               const std::optional<std::string>& before, const std::optional<std::string>& after,
               bool afterIsData) {
    if (!before || !after) return before.has_value() == after.has_value();
    if (*before == *after && !afterIsData) return true;
    if (!IsText(column)) return false;
    const auto old = TextOf(file, column, *before, false);
    return old && old == TextOf(file, column, *after, afterIsData);
}

}  // namespace

bool IndexSupportsKeys(const JetTable& table, const JetRealIndex& index, int version) {
    if (index.Columns.empty()) return false;
    for (const auto& indexColumn : index.Columns) {
        const JetColumn* column = table.ColumnByNumber(indexColumn.ColumnNumber);
        if (!column) return false;
        if (IsText(*column)) {
            if (!TextSortOrderSupported(column->SortOrder, column->SortVersion)) return false;
            continue;
        }
        if (!KeyableType(column->Type)) return false;
        if (column->Type == JetType::Decimal && !indexColumn.Ascending && version == kJet4)
            return false;
    }
    return true;
}

std::vector<std::optional<std::string_view>> KeyValuesOfRow(const JetTable& table,
                                                            std::string_view row) {
    static constexpr std::string_view kYes("\x01", 1), kNo("\x00", 1);
    auto values = SplitRow(table, row);
    const uint16_t stored = U16(row, 0);
    const std::size_t maskBytes = (stored + 7u) / 8u;
    for (std::size_t c = 0; c < table.Columns.size(); ++c) {
        const JetColumn& column = table.Columns[c];
        if (column.Type != JetType::Boolean) continue;
        // Yes/No values live only in the null-mask bit.
        const unsigned mask = U8(row, row.size() - maskBytes + column.Number / 8u);
        const bool yes = column.Number < stored && maskBytes <= row.size() &&
                         (mask >> (column.Number % 8u) & 1u) != 0;
        values[c] = yes ? kYes : kNo;
    }
    return values;
}

std::optional<std::vector<std::optional<std::string_view>>> KeyValuesOfRow(
    const PageSource& file, const JetTable& table, const JetRealIndex& index, std::string_view row,
    std::vector<std::string>& memoData) {
    auto values = KeyValuesOfRow(table, row);
    // One slot a column, never resized, so the views stay valid.
    memoData.assign(table.Columns.size(), {});
    for (std::size_t c = 0; c < table.Columns.size(); ++c) {
        if (table.Columns[c].Type != JetType::Memo || !values[c]) continue;
        bool keyed = false;
        for (const auto& indexColumn : index.Columns)
            keyed |= indexColumn.ColumnNumber == table.Columns[c].Number;
        if (!keyed) continue;
        auto data = ReadLongValue(file, *values[c]);
        if (!data) return std::nullopt;
        memoData[c] = std::move(*data);
        values[c] = memoData[c];
    }
    return values;
}

std::vector<bool> IndexesTouched(const PageSource& file, const JetTable& table,
                                 const std::vector<std::optional<std::string>>& before,
                                 const std::vector<std::optional<std::string>>& after,
                                 const std::vector<bool>& afterMemoIsData) {
    std::vector<bool> changed(table.Columns.size());
    for (std::size_t c = 0; c < table.Columns.size(); ++c) {
        const bool data = c < afterMemoIsData.size() && afterMemoIsData[c];
        changed[c] = c >= before.size() || c >= after.size() ||
                     !SameValue(file, table.Columns[c], before[c], after[c], data);
    }
    std::vector<bool> touched;
    for (const auto& index : table.RealIndexes) {
        bool any = false;
        for (const auto& key : index.Columns) {
            for (std::size_t c = 0; c < table.Columns.size(); ++c)
                any |= table.Columns[c].Number == key.ColumnNumber && changed[c];
        }
        touched.push_back(any);
    }
    return touched;
}

std::optional<std::string> IndexKey(const JetTable& table, const JetRealIndex& index,
                                    const std::vector<std::optional<std::string_view>>& values) {
    return IndexKey(table, index, values, KeyOptions{}, nullptr);
}

std::optional<std::string> IndexKey(const JetTable& table, const JetRealIndex& index,
                                    const std::vector<std::optional<std::string_view>>& values,
                                    const KeyOptions& options, KeyProblem* problem) {
    std::string key;
    bool anyValue = false;
    for (const auto& indexColumn : index.Columns) {
        std::optional<std::string_view> value;
        const JetColumn* column = nullptr;
        for (std::size_t c = 0; c < table.Columns.size(); ++c) {
            if (table.Columns[c].Number != indexColumn.ColumnNumber) continue;
            column = &table.Columns[c];
            if (c < values.size()) value = values[c];
        }
        const bool descending = !indexColumn.Ascending;
        if (!column || !value) {
            key.push_back(descending ? static_cast<char>(~kNullFlag) : kNullFlag);
            continue;
        }
        anyValue = true;
        if (IsText(*column)) {
            const auto order = TextSortOrderOf(column->SortOrder, column->SortVersion);
            TextKeyResult text;
            text.Status = TextKeyResult::Status::UnsupportedCharacter;
            if (order) {
                text = TextColumnKey(std::u16string_view(JetTextUnits(*value)), *order, !descending,
                                     options.AllowUnverifiedKeys);
            }
            if (text.Status != TextKeyResult::Status::Ok) {
                if (problem) {
                    problem->Column = column->Name;
                    problem->Character = text.Character;
                    problem->Unverified = text.Status == TextKeyResult::Status::UnverifiedCharacter;
                }
                return std::nullopt;
            }
            key += text.Bytes;
            continue;
        }
        const std::size_t start = key.size();
        key.push_back(kAscendingFlag);
        if (column->Type == JetType::Boolean) {
            key.push_back(U8(*value, 0) != 0 ? '\x00' : '\xFF');
        } else if (column->Type == JetType::Guid) {
            AppendGroupedBytes(key, GuidBytes(*value), descending);
        } else if (column->Type == JetType::Binary || column->Type == JetType::ExtendedDate) {
            AppendGroupedBytes(key, *value, descending);
        } else {
            key += ValueKey(*column, *value);
        }
        // Grouped bytes turn themselves; everything else turns whole, flag included.
        if (descending) {
            const bool grouped = column->Type == JetType::Guid || column->Type == JetType::Binary ||
                                 column->Type == JetType::ExtendedDate;
            if (grouped)
                key[start] = static_cast<char>(~kAscendingFlag);
            else
                FlipBytes(key, start);
        }
    }
    if (!anyValue && index.IgnoresNulls()) return std::nullopt;
    return key;
}

}  // namespace vantrel::access
