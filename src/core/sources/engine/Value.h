#pragma once

#include <cstdint>
#include <string>

namespace vantrel {

// Field types, numbered as Access numbers them, so that type numbers in messages and logs mean
// the same to users of Access.
enum class FieldType : int32_t {
    Boolean = 1,
    Byte = 2,
    Integer = 3,  // 16-bit
    Long = 4,     // 32-bit
    Currency = 5,
    Single = 6,
    Double = 7,
    Date = 8,
    Binary = 9,
    Text = 10,
    LongBinary = 11,  // OLE object
    Memo = 12,
    Guid = 15,
    BigInt = 16,
    Decimal = 20,
    Unsupported = 0,  // complex (attachment, multi-value) and unknown columns
};

// Japanese name of a field type as Access shows it ("テキスト型", "数値型 (長整数型)", ...).
std::string FieldTypeName(FieldType type);

// One field value as the engine reads and writes it.
class Value {
  public:
    enum class Kind {
        Null,
        Text,
        Integer,
        Double,
        Currency,
        DateTime,
        Boolean,
        Bytes,
        Guid,
        Decimal,
        Single
    };

    Value() = default;
    static Value Null() { return {}; }
    static Value Text(std::string text);
    static Value Integer(int64_t value);
    static Value Double(double value);
    // A Single keeps its exact 32-bit value; it reads as a Double but shows 7 digits as Access
    // does.
    static Value Single(float value);
    // Currency as a count of ten-thousandths (exact, four decimal places).
    static Value Currency(int64_t tenThousandths);
    // Date/time as Access stores it: days since 1899-12-30, the fraction the time of day. Before
    // that day the whole part counts back while the fraction still counts forward in the day
    // (1899-12-29 06:00 is -1.25).
    static Value DateTime(double oleDate);
    static Value Boolean(bool value);
    static Value Bytes(std::string bytes);
    // GUID in its text form, "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" with upper-case hex.
    static Value Guid(std::string text);
    // Decimal in plain text with its digits after the point, such as "-12.3400".
    static Value Decimal(std::string text);

    // Makes this value the text, reusing its storage (rows read in bulk).
    void AssignText(const char* data, std::size_t size) {
        kind_ = Kind::Text;
        text_.assign(data, size);
    }

    Kind kind() const { return kind_; }
    bool IsNull() const { return kind_ == Kind::Null; }

    // Text, Bytes, Guid and Decimal values.
    const std::string& Str() const { return text_; }
    int64_t Int() const { return int_; }    // Integer, Currency; Boolean as 0/1
    double Dbl() const { return double_; }  // Double, Single, DateTime
    bool Bool() const { return int_ != 0; }

    // The value as text the way Access shows it: numbers without trailing zeros, dates as
    // yyyy/mm/dd with hh:nn:ss when there is a time, booleans as True/False. Null gives "".
    std::string ToText() const;

    bool operator==(const Value& other) const;

  private:
    Kind kind_ = Kind::Null;
    int64_t int_ = 0;
    double double_ = 0;
    std::string text_;
};

// Calendar parts of a date/time value.
struct DateTimeParts {
    int32_t Year = 1899, Month = 12, Day = 30;
    int32_t Hour = 0, Minute = 0, Second = 0;
};

// Splits an Access date/time value; false for values outside years 100..9999.
bool OleDateToParts(double oleDate, DateTimeParts& parts);
// Builds an Access date/time value; false for an impossible date or time.
bool PartsToOleDate(const DateTimeParts& parts, double& oleDate);

}  // namespace vantrel
