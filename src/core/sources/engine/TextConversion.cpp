#include "sources/engine/TextConversion.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <vector>

#include "common/Encoding.h"

namespace vantrel {

namespace {

// Decodes one UTF-8 code point at i (advancing i); invalid bytes come out as themselves.
uint32_t NextCodePoint(std::string_view s, std::size_t& i) {
    const auto b0 = static_cast<uint8_t>(s[i]);
    auto cont = [&](std::size_t k) {
        return static_cast<uint32_t>(static_cast<uint8_t>(s[k]) & 0x3F);
    };
    if (b0 >= 0xF0 && i + 3 < s.size()) {
        const uint32_t cp =
            (uint32_t{b0} & 0x07) << 18 | cont(i + 1) << 12 | cont(i + 2) << 6 | cont(i + 3);
        i += 4;
        return cp;
    }
    if (b0 >= 0xE0 && i + 2 < s.size()) {
        const uint32_t cp = (uint32_t{b0} & 0x0F) << 12 | cont(i + 1) << 6 | cont(i + 2);
        i += 3;
        return cp;
    }
    if (b0 >= 0xC0 && i + 1 < s.size()) {
        const uint32_t cp = (uint32_t{b0} & 0x1F) << 6 | cont(i + 1);
        i += 2;
        return cp;
    }
    ++i;
    return b0;
}

// Full-width letters, digits and signs become ASCII, the ideographic space a blank, ASCII
// letters lower case; blanks at both ends go.
std::string Normalize(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    // Most values are plain ASCII: no code points to decode.
    if (std::all_of(text.begin(), text.end(),
                    [](char c) { return static_cast<uint8_t>(c) < 0x80; })) {
        for (char c : text) {
            if (c == '\t') c = ' ';
            if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 0x20);
            out.push_back(c);
        }
        const auto first = out.find_first_not_of(' ');
        if (first == std::string::npos) return {};
        return out.substr(first, out.find_last_not_of(' ') - first + 1);
    }
    std::size_t i = 0;
    while (i < text.size()) {
        uint32_t cp = NextCodePoint(text, i);
        if (cp >= 0xFF01 && cp <= 0xFF5E) cp -= 0xFEE0;
        if (cp == 0x3000 || cp == '\t') cp = ' ';
        if (cp == 0x2212 || cp == 0x2010 || cp == 0x2015 || cp == 0x30FC) cp = '-';
        if (cp == 0xFFE5) cp = 0xA5;  // full-width yen
        if (cp >= 'A' && cp <= 'Z') cp += 0x20;
        AppendUtf8(out, cp);
    }
    const auto first = out.find_first_not_of(' ');
    if (first == std::string::npos) return {};
    const auto last = out.find_last_not_of(' ');
    return out.substr(first, last - first + 1);
}

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// A decimal number as digits and a power of ten: value = digits x 10^-scale.
struct Decimal {
    bool negative = false;
    std::string digits;  // without leading zeros; empty means zero
    int64_t scale = 0;
};

bool StripPrefix(std::string& s, std::string_view prefix) {
    if (s.compare(0, prefix.size(), prefix) != 0) return false;
    s.erase(0, prefix.size());
    return true;
}

// Parses "[sign][currency]digits[,ddd][.digits][e[sign]digits]", also "(123)" for -123.
bool ParseDecimal(std::string_view text, Decimal& d, bool allowCurrency) {
    std::string s = Normalize(text);
    if (s.empty()) return false;
    bool negative = false;
    if (s.size() >= 2 && s.front() == '(' && s.back() == ')') {
        negative = true;
        s = s.substr(1, s.size() - 2);
    }
    auto takeSign = [&]() {
        if (!s.empty() && (s[0] == '-' || s[0] == '+')) {
            if (s[0] == '-') negative = !negative;
            s.erase(0, 1);
            return true;
        }
        return false;
    };
    auto takeCurrency = [&]() {
        return allowCurrency &&
               (StripPrefix(s, "\xC2\xA5") || StripPrefix(s, "$") || StripPrefix(s, "\\"));
    };
    const bool signFirst = takeSign();
    if (takeCurrency()) {
        if (!signFirst) takeSign();
    }
    if (allowCurrency && (s.ends_with("円"))) s.erase(s.size() - 3);
    while (!s.empty() && s.front() == ' ')
        s.erase(0, 1);

    std::size_t i = 0;
    std::string intDigits, fracDigits;
    bool sawDigit = false;
    while (i < s.size() && (IsDigit(s[i]) || s[i] == ',')) {
        if (s[i] == ',') {
            // A thousands separator stands between digits.
            if (!sawDigit || i + 1 >= s.size() || !IsDigit(s[i + 1])) return false;
        } else {
            intDigits.push_back(s[i]);
            sawDigit = true;
        }
        ++i;
    }
    if (i < s.size() && s[i] == '.') {
        ++i;
        while (i < s.size() && IsDigit(s[i])) {
            fracDigits.push_back(s[i]);
            sawDigit = true;
            ++i;
        }
    }
    if (!sawDigit) return false;
    int64_t exponent = 0;
    if (i < s.size() && s[i] == 'e') {
        ++i;
        bool expNegative = false;
        if (i < s.size() && (s[i] == '+' || s[i] == '-')) expNegative = s[i++] == '-';
        if (i >= s.size() || !IsDigit(s[i])) return false;
        while (i < s.size() && IsDigit(s[i])) {
            exponent = exponent * 10 + (s[i] - '0');
            if (exponent > 100000) return false;
            ++i;
        }
        if (expNegative) exponent = -exponent;
    }
    if (i != s.size()) return false;

    d.negative = negative;
    d.digits = intDigits + fracDigits;
    const auto nonZero = d.digits.find_first_not_of('0');
    d.digits = nonZero == std::string::npos ? std::string{} : d.digits.substr(nonZero);
    d.scale = static_cast<int64_t>(fracDigits.size()) - exponent;
    if (d.digits.empty()) d.negative = false;
    return true;
}

// The number rounded (half to even) to `decimals` places, as an integer count of those units.
bool DecimalToScaledInteger(const Decimal& d, int decimals, int64_t& out) {
    std::string digits = d.digits;
    int64_t shift = decimals - d.scale;  // > 0: append zeros; < 0: cut digits
    bool roundUp = false;
    if (shift < 0) {
        const auto cut = static_cast<std::size_t>(-shift);
        if (cut > digits.size() + 1) {
            digits.clear();
        } else {
            const std::size_t keep = digits.size() >= cut ? digits.size() - cut : 0;
            const std::string dropped = digits.substr(keep);
            digits = digits.substr(0, keep);
            const std::string padded = std::string(cut - dropped.size(), '0') + dropped;
            const char first = padded[0];
            const bool restZero = padded.find_first_not_of('0', 1) == std::string::npos;
            const bool odd = !digits.empty() && ((digits.back() - '0') % 2 == 1);
            roundUp = first > '5' || (first == '5' && (!restZero || odd));
        }
    } else {
        if (digits.size() + static_cast<std::size_t>(shift) > 20 && !digits.empty()) return false;
        if (!digits.empty()) digits.append(static_cast<std::size_t>(shift), '0');
    }
    uint64_t magnitude = 0;
    for (char c : digits) {
        const auto digit = static_cast<uint64_t>(c - '0');
        if (magnitude > (std::numeric_limits<uint64_t>::max() - digit) / 10) return false;
        magnitude = magnitude * 10 + digit;
    }
    if (roundUp) {
        if (magnitude == std::numeric_limits<uint64_t>::max()) return false;
        ++magnitude;
    }
    const uint64_t limit = d.negative ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1;
    if (magnitude > limit) return false;
    out = d.negative ? static_cast<int64_t>(0 - magnitude) : static_cast<int64_t>(magnitude);
    return true;
}

bool ParseInteger(std::string_view text, int64_t min, int64_t max, int64_t& out) {
    Decimal d;
    if (!ParseDecimal(text, d, true) || !DecimalToScaledInteger(d, 0, out)) return false;
    return out >= min && out <= max;
}

bool ParseDouble(std::string_view text, double& out) {
    Decimal d;
    if (!ParseDecimal(text, d, true)) return false;
    std::string canonical = (d.negative ? "-" : "") + (d.digits.empty() ? "0" : d.digits) + "e" +
                            std::to_string(-d.scale);
    char* end = nullptr;
    out = std::strtod(canonical.c_str(), &end);
    return std::isfinite(out);
}

std::string DecimalText(const Decimal& d) {
    std::string digits = d.digits.empty() ? "0" : d.digits;
    int64_t scale = d.scale;
    if (scale < 0) {
        digits.append(static_cast<std::size_t>(-scale), '0');
        scale = 0;
    }
    const auto frac = static_cast<std::size_t>(scale);
    if (digits.size() <= frac) digits.insert(0, frac - digits.size() + 1, '0');
    std::string text = digits.substr(0, digits.size() - frac);
    if (frac > 0) text += "." + digits.substr(digits.size() - frac);
    return (d.negative ? "-" : "") + text;
}

// The nearest Single; values that round to the largest Single (3.40282347E+38 written with nine
// digits lies just above it) are kept, larger ones refused.
bool ToSingle(double v, Value& out) {
    constexpr double kMax = std::numeric_limits<float>::max();
    constexpr double kHalfStepAboveMax = 0x1p103;
    if (!std::isfinite(v) || std::fabs(v) >= kMax + kHalfStepAboveMax) return false;
    const double clamped = std::clamp(v, -kMax, kMax);
    out = Value::Single(static_cast<float>(clamped));
    return true;
}

// Day numbers of 0100-01-01 00:00 (exclusive of the day before) and 10000-01-01.
constexpr double kFirstOleDay = -657435.0;
constexpr double kEndOleDay = 2958466.0;

bool InDateRange(double v) {
    return std::isfinite(v) && v > kFirstOleDay && v < kEndOleDay;
}

// ---- dates -----------------------------------------------------------------------------

struct Token {
    enum Kind { Number, Symbol, Word } kind;
    std::string text;
    int64_t number = 0;
};

std::vector<Token> Tokenize(const std::string& s) {
    std::vector<Token> tokens;
    std::size_t i = 0;
    while (i < s.size()) {
        const char c = s[i];
        if (c == ' ') {
            ++i;
        } else if (IsDigit(c)) {
            Token t{Token::Number, {}, 0};
            while (i < s.size() && IsDigit(s[i])) {
                t.text.push_back(s[i]);
                if (t.number < 100000000) t.number = t.number * 10 + (s[i] - '0');
                ++i;
            }
            tokens.push_back(t);
        } else if (c >= 'a' && c <= 'z') {
            Token t{Token::Word, {}, 0};
            while (i < s.size() && s[i] >= 'a' && s[i] <= 'z')
                t.text.push_back(s[i++]);
            tokens.push_back(t);
        } else if (static_cast<uint8_t>(c) < 0x80) {
            tokens.push_back(Token{Token::Symbol, std::string(1, c), 0});
            ++i;
        } else {
            const std::size_t start = i;
            NextCodePoint(s, i);
            tokens.push_back(Token{Token::Word, s.substr(start, i - start), 0});
        }
    }
    return tokens;
}

class DateParser {
  public:
    explicit DateParser(std::vector<Token> tokens) : t_(std::move(tokens)) {}

    bool Parse(DateTimeParts& parts, bool& hasDate) {
        hasDate = false;
        const std::size_t start = p_;
        if (DatePart(parts)) {
            hasDate = true;
            if (AtEnd()) return true;
            IsWord("t");  // ISO 8601 joins date and time with T
            return TimePart(parts) && AtEnd();
        }
        p_ = start;
        parts = DateTimeParts{};
        return TimePart(parts) && AtEnd();
    }

  private:
    bool AtEnd() const { return p_ == t_.size(); }
    const Token* Peek(std::size_t k = 0) const {
        return p_ + k < t_.size() ? &t_[p_ + k] : nullptr;
    }

    bool IsWord(std::string_view w) {
        if (Peek() && Peek()->kind == Token::Word && Peek()->text == w) {
            ++p_;
            return true;
        }
        return false;
    }
    bool IsSymbol(std::string_view chars) {
        if (Peek() && Peek()->kind == Token::Symbol &&
            chars.find(Peek()->text[0]) != std::string_view::npos) {
            ++p_;
            return true;
        }
        return false;
    }
    bool TakeNumber(int64_t& n, std::size_t* digits = nullptr) {
        if (!Peek() || Peek()->kind != Token::Number || Peek()->text.size() > 8) return false;
        n = Peek()->number;
        if (digits) *digits = Peek()->text.size();
        ++p_;
        return true;
    }
    // A separator between date parts: a symbol, or the kanji that labels the part before it.
    bool DateSeparator(std::string_view kanji) { return IsSymbol("/-.") || IsWord(kanji); }

    // Era name and the year the era's first year corresponds to, minus one.
    bool Era(int64_t& base) {
        static const struct {
            const char* latin;
            const char* first;
            const char* second;
            int64_t base;
        } kEras[] = {{"m", "明", "治", 1867},
                     {"t", "大", "正", 1911},
                     {"s", "昭", "和", 1925},
                     {"h", "平", "成", 1988},
                     {"r", "令", "和", 2018}};
        for (const auto& era : kEras) {
            if (IsWord(era.latin)) {
                base = era.base;
                return true;
            }
            if (Peek(1) && Peek()->kind == Token::Word && Peek()->text == era.first &&
                Peek(1)->kind == Token::Word && Peek(1)->text == era.second) {
                p_ += 2;
                base = era.base;
                return true;
            }
        }
        return false;
    }

    bool DatePart(DateTimeParts& parts) {
        const std::size_t start = p_;
        int64_t eraBase = 0, y = 0, m = 0, d = 0;
        std::size_t yearDigits = 0, dayDigits = 0;
        if (Era(eraBase)) {
            if (IsWord("元")) {
                y = 1;
            } else if (!TakeNumber(y) || y < 1 || y > 99) {
                p_ = start;
                return false;
            }
            y += eraBase;
            yearDigits = 4;
        } else if (!TakeNumber(y, &yearDigits)) {
            return false;
        }
        if (!DateSeparator("年") || !TakeNumber(m) || !DateSeparator("月") ||
            !TakeNumber(d, &dayDigits)) {
            p_ = start;
            return false;
        }
        IsWord("日");
        if (yearDigits <= 2 && dayDigits == 4) {
            // m/d/yyyy, as English-language exports write it.
            const int64_t month = y, day = m;
            y = d;
            m = month;
            d = day;
        } else if (yearDigits <= 2) {
            y += y < 30 ? 2000 : 1900;  // two-digit years: 00-29 are 2000s
        } else if (yearDigits != 4) {
            p_ = start;
            return false;
        }
        parts.Year = static_cast<int32_t>(y);
        parts.Month = static_cast<int32_t>(m);
        parts.Day = static_cast<int32_t>(d);
        return true;
    }

    // 0 none, 1 morning, 2 afternoon.
    int Meridiem() {
        if (IsWord("am") || (IsWord("午") && Back("前"))) return 1;
        if (IsWord("pm") || (IsWord("午") && Back("後"))) return 2;
        return 0;
    }
    bool Back(std::string_view second) {
        if (IsWord(second)) return true;
        --p_;
        return false;
    }

    bool TimePart(DateTimeParts& parts) {
        const int before = Meridiem();
        int64_t h = 0, n = 0, s = 0;
        if (!TakeNumber(h)) return false;
        if (IsSymbol(":")) {
            if (!TakeNumber(n)) return false;
            if (IsSymbol(":")) {
                if (!TakeNumber(s)) return false;
                if (IsSymbol(".")) {
                    int64_t fraction = 0;
                    if (!TakeNumber(fraction)) return false;
                }
            }
        } else if (IsWord("時")) {
            if (TakeNumber(n)) {
                if (!IsWord("分")) return false;
                if (TakeNumber(s) && !IsWord("秒")) return false;
            }
        } else {
            return false;
        }
        const int after = Meridiem();
        const int meridiem = before ? before : after;
        if (meridiem) {
            if (h < 1 || h > 12) return false;
            if (meridiem == 1 && h == 12) h = 0;
            if (meridiem == 2 && h != 12) h += 12;
        }
        parts.Hour = static_cast<int32_t>(h);
        parts.Minute = static_cast<int32_t>(n);
        parts.Second = static_cast<int32_t>(s);
        return h <= 23 && n <= 59 && s <= 59;
    }

    std::vector<Token> t_;
    std::size_t p_ = 0;
};

// "2024/3/15", "2024-03-15 09:05:30": the shapes exports write, read without tokenising.
bool PlainDate(std::string_view t, double& oleDate) {
    std::size_t i = 0;
    auto number = [&](std::size_t maxDigits, int32_t& value) {
        const std::size_t start = i;
        value = 0;
        while (i < t.size() && IsDigit(t[i]) && i - start < maxDigits)
            value = value * 10 + (t[i++] - '0');
        return i > start;
    };
    DateTimeParts p;
    if (!number(4, p.Year) || i != 4 || i >= t.size() || (t[i] != '/' && t[i] != '-')) return false;
    const char separator = t[i++];
    if (!number(2, p.Month) || i >= t.size() || t[i++] != separator || !number(2, p.Day))
        return false;
    if (i < t.size()) {
        if (t[i] != ' ' && t[i] != 'T') return false;
        ++i;
        if (!number(2, p.Hour) || i >= t.size() || t[i++] != ':' || !number(2, p.Minute))
            return false;
        if (i < t.size() && (t[i++] != ':' || !number(2, p.Second))) return false;
        if (i != t.size()) return false;
    }
    return PartsToOleDate(p, oleDate);
}

bool ParseDate(std::string_view text, double& oleDate) {
    if (PlainDate(text, oleDate)) return true;
    const std::string s = Normalize(text);
    if (s.empty()) return false;
    DateTimeParts parts;
    bool hasDate = false;
    DateParser parser(Tokenize(s));
    if (parser.Parse(parts, hasDate)) return PartsToOleDate(parts, oleDate);
    // A plain number is a day count, as a date serial.
    double serial = 0;
    if (ParseDouble(text, serial) && InDateRange(serial)) {
        oleDate = serial;
        return true;
    }
    return false;
}

bool ParseBoolean(std::string_view text, bool& out) {
    const std::string s = Normalize(text);
    static const char* kTrue[] = {"true", "yes", "on", "はい", "真", "y"};
    static const char* kFalse[] = {"false", "no", "off", "いいえ", "偽", "n"};
    for (const char* w : kTrue) {
        if (s == w) return out = true, true;
    }
    for (const char* w : kFalse) {
        if (s == w) return out = false, true;
    }
    double number = 0;
    if (ParseDouble(s, number)) {
        out = number != 0;
        return true;
    }
    return false;
}

bool ParseGuid(std::string_view text, std::string& out) {
    std::string s = Normalize(text);
    if (s.size() >= 2 && s.front() == '{' && s.back() == '}') s = s.substr(1, s.size() - 2);
    std::string hex;
    for (char c : s) {
        if (c == '-') continue;
        if (!IsDigit(c) && !(c >= 'a' && c <= 'f')) return false;
        hex.push_back(c >= 'a' ? static_cast<char>(c - 'a' + 'A') : c);
    }
    if (hex.size() != 32) return false;
    out = "{" + hex.substr(0, 8) + "-" + hex.substr(8, 4) + "-" + hex.substr(12, 4) + "-" +
          hex.substr(16, 4) + "-" + hex.substr(20) + "}";
    return true;
}

// Rounds half to even, as Access does when a fraction goes into a whole-number field.
bool DoubleToInteger(double v, int64_t min, int64_t max, int64_t& out) {
    if (!std::isfinite(v)) return false;
    const double r = std::nearbyint(v);
    // max + 1 as a double is exact for every bound (2^63 for BigInt, where max itself is not).
    if (r < static_cast<double>(min) || r >= static_cast<double>(max) + 1.0) return false;
    out = static_cast<int64_t>(r);
    return true;
}

bool IntegerRange(FieldType type, int64_t& min, int64_t& max) {
    switch (type) {
        case FieldType::Byte:
            min = 0, max = 255;
            return true;
        case FieldType::Integer:
            min = INT16_MIN, max = INT16_MAX;
            return true;
        case FieldType::Long:
            min = INT32_MIN, max = INT32_MAX;
            return true;
        case FieldType::BigInt:
            min = INT64_MIN, max = INT64_MAX;
            return true;
        default:
            return false;
    }
}

// "-123" or "42": an optional minus and up to 18 digits.
bool PlainInteger(std::string_view text, int64_t& out) {
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty() || digits.size() > 18) return false;
    int64_t n = 0;
    for (char c : digits) {
        if (!IsDigit(c)) return false;
        n = n * 10 + (c - '0');
    }
    out = negative ? -n : n;
    return true;
}

// "-12.5": an optional minus, digits, at most one point; read without any normalising.
bool IsPlainDecimal(std::string_view text) {
    std::size_t i = !text.empty() && text.front() == '-' ? 1 : 0;
    bool digit = false, point = false;
    for (; i < text.size(); ++i) {
        if (IsDigit(text[i])) {
            digit = true;
        } else if (text[i] == '.' && !point) {
            point = true;
        } else {
            return false;
        }
    }
    return digit && text.size() <= 24;
}

bool PlainDecimal(std::string_view text, double& out) {
    if (!IsPlainDecimal(text)) return false;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), out);
    return ec == std::errc{} && ptr == text.data() + text.size();
}

// A plain decimal with at most four places, as exact ten-thousandths.
bool PlainCurrency(std::string_view text, int64_t& out) {
    if (!IsPlainDecimal(text)) return false;
    const bool negative = text.front() == '-';
    std::string_view digits = negative ? text.substr(1) : text;
    const std::size_t point = digits.find('.');
    const std::string_view whole = digits.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : digits.substr(point + 1);
    if (whole.size() > 14 || fraction.size() > 4) return false;
    int64_t units = 0;
    for (char c : whole)
        units = units * 10 + (c - '0');
    for (std::size_t k = 0; k < 4; ++k)
        units = units * 10 + (k < fraction.size() ? fraction[k] - '0' : 0);
    out = negative ? -units : units;
    return true;
}

}  // namespace

std::size_t Utf16Length(std::string_view utf8) {
    std::size_t units = 0;
    for (char c : utf8) {
        const auto b = static_cast<uint8_t>(c);
        if ((b & 0xC0) != 0x80) units += b >= 0xF0 ? 2 : 1;
    }
    return units;
}

bool ConvertTextToValue(FieldType type, std::string_view text, Value& out) {
    int64_t min = 0, max = 0;
    if (IntegerRange(type, min, max)) {
        int64_t n = 0;
        // Plain digits, the usual case, need none of the forms below.
        if (PlainInteger(text, n)) {
            if (n < min || n > max) return false;
            out = Value::Integer(n);
            return true;
        }
        if (!ParseInteger(text, min, max, n)) return false;
        out = Value::Integer(n);
        return true;
    }
    switch (type) {
        case FieldType::Text:
        case FieldType::Memo:
            out = Value::Text(std::string(text));
            return true;
        case FieldType::Binary:
        case FieldType::LongBinary:
            out = Value::Bytes(std::string(text));
            return true;
        case FieldType::Double:
        case FieldType::Single: {
            double v = 0;
            if (!PlainDecimal(text, v) && !ParseDouble(text, v)) return false;
            if (type == FieldType::Single) return ToSingle(v, out);
            out = Value::Double(v);
            return true;
        }
        case FieldType::Currency: {
            Decimal d;
            int64_t units = 0;
            if (PlainCurrency(text, units)) {
                out = Value::Currency(units);
                return true;
            }
            if (!ParseDecimal(text, d, true) || !DecimalToScaledInteger(d, 4, units)) return false;
            out = Value::Currency(units);
            return true;
        }
        case FieldType::Decimal: {
            Decimal d;
            if (!ParseDecimal(text, d, true)) return false;
            if (d.digits.size() > 28 + static_cast<std::size_t>(std::max<int64_t>(0, d.scale)))
                return false;
            out = Value::Decimal(DecimalText(d));
            return true;
        }
        case FieldType::Date: {
            double ole = 0;
            if (!ParseDate(text, ole)) return false;
            out = Value::DateTime(ole);
            return true;
        }
        case FieldType::Boolean: {
            bool b = false;
            if (!ParseBoolean(text, b)) return false;
            out = Value::Boolean(b);
            return true;
        }
        case FieldType::Guid: {
            std::string g;
            if (!ParseGuid(text, g)) return false;
            out = Value::Guid(g);
            return true;
        }
        default:
            return false;
    }
}

bool ConvertValueToType(FieldType type, const Value& value, Value& out) {
    using Kind = Value::Kind;
    if (value.IsNull()) {
        out = Value::Null();
        return true;
    }
    if (value.kind() == Kind::Text) return ConvertTextToValue(type, value.Str(), out);
    int64_t min = 0, max = 0;
    switch (type) {
        case FieldType::Text:
        case FieldType::Memo:
            out = Value::Text(value.ToText());
            return true;
        case FieldType::Binary:
        case FieldType::LongBinary:
            out = Value::Bytes(value.kind() == Kind::Bytes ? value.Str() : value.ToText());
            return true;
        default:
            break;
    }
    const bool integerTarget = IntegerRange(type, min, max);
    switch (value.kind()) {
        case Kind::Integer:
        case Kind::Boolean: {
            // True is -1 in Access's numbers.
            const int64_t n = value.kind() == Kind::Boolean ? (value.Bool() ? -1 : 0) : value.Int();
            if (integerTarget) {
                if (n < min || n > max) return false;
                out = Value::Integer(n);
                return true;
            }
            if (type == FieldType::Boolean) return out = Value::Boolean(n != 0), true;
            if (type == FieldType::Double || type == FieldType::Single) {
                return out = Value::Double(static_cast<double>(n)), true;
            }
            if (type == FieldType::Date) {
                if (n < -657434 || n >= 2958466) return false;
                return out = Value::DateTime(static_cast<double>(n)), true;
            }
            return ConvertTextToValue(type, std::to_string(n), out);
        }
        case Kind::Double:
        case Kind::Single:
        case Kind::DateTime: {
            const double v = value.Dbl();
            if (integerTarget) {
                int64_t n = 0;
                if (!DoubleToInteger(v, min, max, n)) return false;
                out = Value::Integer(n);
                return true;
            }
            if (type == FieldType::Double) return out = Value::Double(v), true;
            if (type == FieldType::Single) return ToSingle(v, out);
            if (type == FieldType::Date) {
                if (!InDateRange(v)) return false;
                return out = Value::DateTime(v), true;
            }
            if (type == FieldType::Boolean) return out = Value::Boolean(v != 0), true;
            char buffer[64];
            std::snprintf(buffer, sizeof buffer, "%.17g", v);
            return ConvertTextToValue(type, buffer, out);
        }
        case Kind::Currency:
        case Kind::Decimal:
            return ConvertTextToValue(type, value.ToText(), out);
        case Kind::Guid:
            if (type == FieldType::Guid) return out = value, true;
            return false;
        default:
            return false;
    }
}

}  // namespace vantrel
