#include "sources/engine/Value.h"

#include <cmath>
#include <cstdio>
#include <utility>

namespace vantrel {

namespace {

// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
int64_t DaysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void CivilFromDays(int64_t z, int32_t& y, int32_t& m, int32_t& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = static_cast<int32_t>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int32_t>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int32_t>(yoe + era * 400 + (m <= 2));
}

const int64_t kOleEpoch = DaysFromCivil(1899, 12, 30);

std::string FormatDouble(double v, int precision) {
    if (std::isnan(v)) return "NaN";
    if (std::isinf(v)) return v > 0 ? "Infinity" : "-Infinity";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*G", precision, v);
    return buffer;
}

}  // namespace

std::string FieldTypeName(FieldType type) {
    switch (type) {
        case FieldType::Boolean:
            return "Yes/No 型";
        case FieldType::Byte:
            return "数値型 (バイト型)";
        case FieldType::Integer:
            return "数値型 (整数型)";
        case FieldType::Long:
            return "数値型 (長整数型)";
        case FieldType::Currency:
            return "通貨型";
        case FieldType::Single:
            return "数値型 (単精度浮動小数点型)";
        case FieldType::Double:
            return "数値型 (倍精度浮動小数点型)";
        case FieldType::Date:
            return "日付/時刻型";
        case FieldType::Binary:
            return "バイナリ型";
        case FieldType::Text:
            return "テキスト型";
        case FieldType::LongBinary:
            return "OLE オブジェクト型";
        case FieldType::Memo:
            return "メモ型";
        case FieldType::Guid:
            return "数値型 (レプリケーション ID 型)";
        case FieldType::BigInt:
            return "大きい数値型";
        case FieldType::Decimal:
            return "数値型 (十進型)";
        case FieldType::Unsupported:
            break;
    }
    return "未対応の型";
}

Value Value::Text(std::string text) {
    Value v;
    v.kind_ = Kind::Text;
    v.text_ = std::move(text);
    return v;
}

Value Value::Integer(int64_t value) {
    Value v;
    v.kind_ = Kind::Integer;
    v.int_ = value;
    return v;
}

Value Value::Double(double value) {
    Value v;
    v.kind_ = Kind::Double;
    v.double_ = value;
    return v;
}

Value Value::Single(float value) {
    Value v;
    v.kind_ = Kind::Single;
    v.double_ = static_cast<double>(value);
    return v;
}

Value Value::Currency(int64_t tenThousandths) {
    Value v;
    v.kind_ = Kind::Currency;
    v.int_ = tenThousandths;
    return v;
}

Value Value::DateTime(double oleDate) {
    Value v;
    v.kind_ = Kind::DateTime;
    v.double_ = oleDate;
    return v;
}

Value Value::Boolean(bool value) {
    Value v;
    v.kind_ = Kind::Boolean;
    v.int_ = value ? 1 : 0;
    return v;
}

Value Value::Bytes(std::string bytes) {
    Value v;
    v.kind_ = Kind::Bytes;
    v.text_ = std::move(bytes);
    return v;
}

Value Value::Guid(std::string text) {
    Value v;
    v.kind_ = Kind::Guid;
    v.text_ = std::move(text);
    return v;
}

Value Value::Decimal(std::string text) {
    Value v;
    v.kind_ = Kind::Decimal;
    v.text_ = std::move(text);
    return v;
}

bool Value::operator==(const Value& other) const {
    if (kind_ != other.kind_) return false;
    switch (kind_) {
        case Kind::Null:
            return true;
        case Kind::Integer:
        case Kind::Currency:
        case Kind::Boolean:
            return int_ == other.int_;
        case Kind::Double:
        case Kind::Single:
        case Kind::DateTime:
            return double_ == other.double_ || (std::isnan(double_) && std::isnan(other.double_));
        default:
            return text_ == other.text_;
    }
}

std::string Value::ToText() const {
    switch (kind_) {
        case Kind::Null:
            return {};
        case Kind::Integer:
            return std::to_string(int_);
        case Kind::Double:
            return FormatDouble(double_, 15);
        case Kind::Single:
            return FormatDouble(double_, 7);
        case Kind::Currency: {
            const bool negative = int_ < 0;
            const uint64_t magnitude =
                negative ? 0 - static_cast<uint64_t>(int_) : static_cast<uint64_t>(int_);
            std::string text = (negative ? "-" : "") + std::to_string(magnitude / 10000);
            std::string fraction = std::to_string(magnitude % 10000 + 10000).substr(1);
            while (!fraction.empty() && fraction.back() == '0')
                fraction.pop_back();
            if (!fraction.empty()) text += "." + fraction;
            return text;
        }
        case Kind::DateTime: {
            DateTimeParts p;
            if (!OleDateToParts(double_, p)) return FormatDouble(double_, 15);
            char buffer[48];
            const bool hasTime = p.Hour != 0 || p.Minute != 0 || p.Second != 0;
            const bool dayZero = p.Year == 1899 && p.Month == 12 && p.Day == 30;
            if (dayZero && hasTime) {
                std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", p.Hour, p.Minute, p.Second);
            } else if (hasTime) {
                std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d %02d:%02d:%02d", p.Year,
                              p.Month, p.Day, p.Hour, p.Minute, p.Second);
            } else {
                std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", p.Year, p.Month, p.Day);
            }
            return buffer;
        }
        case Kind::Boolean:
            return int_ ? "True" : "False";
        default:
            return text_;
    }
}

bool OleDateToParts(double oleDate, DateTimeParts& parts) {
    // Years 100 to 9999, the range Access accepts.
    if (!std::isfinite(oleDate) || oleDate < -657435.0 || oleDate >= 2958466.0) return false;
    double whole = std::trunc(oleDate);
    int64_t seconds = std::llround(std::fabs(oleDate - whole) * 86400.0);
    if (seconds >= 86400) {
        seconds -= 86400;
        whole += 1;
    }
    int32_t y = 0, m = 0, d = 0;
    CivilFromDays(kOleEpoch + static_cast<int64_t>(whole), y, m, d);
    parts.Year = y;
    parts.Month = m;
    parts.Day = d;
    parts.Hour = static_cast<int32_t>(seconds / 3600);
    parts.Minute = static_cast<int32_t>(seconds / 60 % 60);
    parts.Second = static_cast<int32_t>(seconds % 60);
    return true;
}

bool PartsToOleDate(const DateTimeParts& p, double& oleDate) {
    if (p.Year < 100 || p.Year > 9999 || p.Month < 1 || p.Month > 12 || p.Day < 1) return false;
    static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (p.Year % 4 == 0 && p.Year % 100 != 0) || p.Year % 400 == 0;
    const int maxDay = kDays[p.Month - 1] + (p.Month == 2 && leap ? 1 : 0);
    if (p.Day > maxDay) return false;
    if (p.Hour < 0 || p.Hour > 23 || p.Minute < 0 || p.Minute > 59 || p.Second < 0 || p.Second > 59)
        return false;
    const auto day = static_cast<double>(DaysFromCivil(p.Year, p.Month, p.Day) - kOleEpoch);
    const double time = (p.Hour * 3600.0 + p.Minute * 60.0 + p.Second) / 86400.0;
    oleDate = day >= 0 ? day + time : day - time;
    return true;
}

}  // namespace vantrel
