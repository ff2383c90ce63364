#include "xlsx/CellText.h"

#include "sources/engine/Value.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <vector>

namespace vantrel::xlsx {

namespace {

char Lower(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWithIgnoringCase(std::string_view text, std::size_t at, std::string_view word) {
    if (text.size() - at < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (Lower(text[at + k]) != word[k]) return false;
    }
    return true;
}

// Tokens of a format section that matter for dates and times: y d g e b a (weekday) h m s as
// written, H M S for the elapsed [h] [m] [s], p for AM/PM.
std::vector<char> DateTimeTokens(std::string_view section) {
    std::vector<char> tokens;
    for (std::size_t i = 0; i < section.size(); ++i) {
        const char c = section[i];
        if (c == '"') {
            const std::size_t close = section.find('"', i + 1);
            if (close == std::string_view::npos) break;
            i = close;
        } else if (c == '\\' || c == '_' || c == '*') {
            ++i;  // the next character is a literal, a width or a fill
        } else if (c == '[') {
            const std::size_t close = section.find(']', i + 1);
            if (close == std::string_view::npos) break;
            const std::string_view inside = section.substr(i + 1, close - i - 1);
            const char first = inside.empty() ? '\0' : Lower(inside[0]);
            const bool elapsed =
                (first == 'h' || first == 'm' || first == 's') &&
                inside.find_first_not_of(first == 'h'   ? "hH"
                                         : first == 'm' ? "mM"
                                                        : "sS") == std::string_view::npos;
            if (elapsed) tokens.push_back(static_cast<char>(first - 'a' + 'A'));
            i = close;
        } else if (StartsWithIgnoringCase(section, i, "general")) {
            i += 6;
        } else if (StartsWithIgnoringCase(section, i, "am/pm")) {
            tokens.push_back('p');
            i += 4;
        } else if (StartsWithIgnoringCase(section, i, "a/p")) {
            tokens.push_back('p');
            i += 2;
        } else {
            const char l = Lower(c);
            if (l == 'e' && i + 1 < section.size() &&
                (section[i + 1] == '+' || section[i + 1] == '-')) {
                ++i;  // the exponent of a scientific format
            } else if (l == 'a') {
                std::size_t run = 1;
                while (i + run < section.size() && Lower(section[i + run]) == 'a')
                    ++run;
                if (run >= 3) tokens.push_back('a');
                i += run - 1;
            } else if (l == 'y' || l == 'd' || l == 'g' || l == 'e' || l == 'b' || l == 'h' ||
                       l == 'm' || l == 's') {
                if (tokens.empty() || tokens.back() != l) tokens.push_back(l);
            }
        }
    }
    return tokens;
}

// The first section of a format code (the one positive numbers use).
std::string_view FirstSection(std::string_view code) {
    for (std::size_t i = 0; i < code.size(); ++i) {
        if (code[i] == '"') {
            const std::size_t close = code.find('"', i + 1);
            if (close == std::string_view::npos) break;
            i = close;
        } else if (code[i] == '\\') {
            ++i;
        } else if (code[i] == ';') {
            return code.substr(0, i);
        }
    }
    return code;
}

constexpr int64_t kSecondsPerDay = 86400;
// Access dates count from 1899-12-30; the 1904 system's day 0 is Access's day 1462.
constexpr int64_t k1904Offset = 1462;
constexpr int64_t kLastAccessDay = 2958465;  // 9999-12-31

// The last serial number a date can show: 9999-12-31.
int64_t LastSerial(bool date1904) {
    return date1904 ? kLastAccessDay - k1904Offset : kLastAccessDay;
}

std::string DateText(int64_t serialDay, bool date1904) {
    if (!date1904 && serialDay == 60)
        return "1900/02/29";  // the day Excel counts though it never was
    // Before that day Excel's 1900 serials run one behind the real calendar.
    const int64_t accessDay = date1904         ? serialDay + k1904Offset
                              : serialDay < 60 ? serialDay + 1
                                               : serialDay;
    DateTimeParts parts;
    OleDateToParts(static_cast<double>(accessDay), parts);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%04d/%02d/%02d", parts.Year, parts.Month, parts.Day);
    return buffer;
}

std::string TimeText(int64_t seconds) {
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", static_cast<int>(seconds / 3600),
                  static_cast<int>(seconds / 60 % 60), static_cast<int>(seconds % 60));
    return buffer;
}

bool ReadNumber(std::string_view& text, std::size_t digits, int& out) {
    if (text.size() < digits) return false;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + digits, out);
    if (ec != std::errc{} || end != text.data() + digits) return false;
    text.remove_prefix(digits);
    return true;
}

bool Expect(std::string_view& text, char c) {
    if (text.empty() || text.front() != c) return false;
    text.remove_prefix(1);
    return true;
}

}  // namespace

NumberKind ClassifyFormatCode(std::string_view code) {
    const std::vector<char> tokens = DateTimeTokens(FirstSection(code));
    bool date = false, time = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        switch (tokens[i]) {
            case 'm': {
                // Minutes right after hours or right before seconds; otherwise the month.
                const bool afterHours = i > 0 && (tokens[i - 1] == 'h' || tokens[i - 1] == 'H');
                const bool beforeSeconds =
                    i + 1 < tokens.size() && (tokens[i + 1] == 's' || tokens[i + 1] == 'S');
                (afterHours || beforeSeconds ? time : date) = true;
                break;
            }
            case 'h':
            case 's':
            case 'H':
            case 'M':
            case 'S':
            case 'p':
                time = true;
                break;
            default:
                date = true;
                break;
        }
    }
    if (date && time) return NumberKind::DateTime;
    if (date) return NumberKind::Date;
    if (time) return NumberKind::Time;
    return NumberKind::General;
}

NumberKind BuiltInFormatKind(uint32_t id) {
    if ((id >= 14 && id <= 17) || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) ||
        (id >= 50 && id <= 58))
        return NumberKind::Date;
    if ((id >= 18 && id <= 21) || id == 32 || id == 33 || (id >= 45 && id <= 47))
        return NumberKind::Time;
    if (id == 22) return NumberKind::DateTime;
    return NumberKind::General;
}

std::string GeneralNumberText(double value) {
    if (value == 0) return "0";  // also for -0
    char buffer[40];
    std::snprintf(buffer, sizeof buffer, "%.15G", value);
    return buffer;
}

bool IsGeneralForm(std::string_view number) {
    const bool negative = !number.empty() && number.front() == '-';
    if (negative) number.remove_prefix(1);
    const std::size_t point = number.find('.');
    const std::string_view whole = number.substr(0, point);
    const std::string_view fraction =
        point == std::string_view::npos ? std::string_view{} : number.substr(point + 1);
    const auto digits = [](std::string_view part) {
        return part.find_first_not_of("0123456789") == std::string_view::npos;
    };
    if (whole.empty() || !digits(whole) || !digits(fraction)) return false;
    if (whole.size() > 1 && whole.front() == '0') return false;  // leading zeros
    if (point != std::string_view::npos && (fraction.empty() || fraction.back() == '0'))
        return false;  // trailing zeros
    if (whole != "0") return whole.size() + fraction.size() <= 15;
    if (fraction.empty()) return !negative;  // "-0" shows as 0
    const std::size_t zeros = fraction.find_first_not_of('0');
    return zeros <= 3 && fraction.size() - zeros <= 15;  // 0.00001 shows as 1E-05
}

std::string NumberText(double value, NumberKind kind, bool date1904) {
    if (kind == NumberKind::General || !std::isfinite(value) || value < 0 ||
        value >= static_cast<double>(LastSerial(date1904) + 1)) {
        return GeneralNumberText(value);
    }
    if (kind == NumberKind::Date)
        return DateText(static_cast<int64_t>(std::floor(value)), date1904);
    if (kind == NumberKind::Time) {
        const int64_t seconds = std::llround((value - std::floor(value)) * kSecondsPerDay);
        return TimeText(seconds % kSecondsPerDay);
    }
    const int64_t total = std::llround(value * kSecondsPerDay);
    const int64_t days = total / kSecondsPerDay;
    const int64_t seconds = total % kSecondsPerDay;
    if (days > LastSerial(date1904)) return GeneralNumberText(value);
    if (seconds == 0) return DateText(days, date1904);
    return DateText(days, date1904) + " " + TimeText(seconds);
}

bool IsoDateToSerial(std::string_view text, bool date1904, double& serial) {
    DateTimeParts parts;
    if (!ReadNumber(text, 4, parts.Year) || !Expect(text, '-') ||
        !ReadNumber(text, 2, parts.Month) || !Expect(text, '-') || !ReadNumber(text, 2, parts.Day))
        return false;
    double fraction = 0;
    if (Expect(text, 'T')) {
        if (!ReadNumber(text, 2, parts.Hour) || !Expect(text, ':') ||
            !ReadNumber(text, 2, parts.Minute))
            return false;
        if (Expect(text, ':') && !ReadNumber(text, 2, parts.Second)) return false;
        if (Expect(text, '.')) {
            const std::string_view digits = text.substr(0, text.find_first_not_of("0123456789"));
            double scale = 1;
            for (const char c : digits) {
                scale /= 10;
                fraction += (c - '0') * scale;
            }
        }
    }
    // A zone or offset after the time is ignored: Excel keeps wall-clock times.
    double accessDate = 0;
    if (!PartsToOleDate(parts, accessDate)) return false;
    if (date1904) {
        serial = accessDate - k1904Offset;
    } else {
        serial = accessDate < 61 ? accessDate - 1 : accessDate;
    }
    serial += fraction / kSecondsPerDay;
    return true;
}

}  // namespace vantrel::xlsx
