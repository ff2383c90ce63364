#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// How Excel shows a number cell, as the program reads workbooks: numbers in the general format,
// dates and times by the kind of the cell's number format.
namespace vantrel::xlsx {

enum class NumberKind { General, Date, Time, DateTime };

// The kind of a number format code: date tokens (y, d, month m, era g/e, weekday aaa), time tokens
// (h, s, minute m, [h], AM/PM) or neither. Literals, escapes, colours and locales do not count.
NumberKind ClassifyFormatCode(std::string_view code);

// The kind of a built-in format id (those a workbook uses without writing their code out),
// with the Japanese-locale date formats among them.
NumberKind BuiltInFormatKind(uint32_t id);

// Excel's general format: up to 15 significant digits, no trailing zeros.
std::string GeneralNumberText(double value);

// Whether a number as written ("1234.5") is already in the general format, so that it can be
// shown without converting it twice.
bool IsGeneralForm(std::string_view number);

// A cell value of the given kind: dates as yyyy/mm/dd, date-times as yyyy/mm/dd hh:nn:ss (a
// date-time on midnight shows as its date), times as hh:nn:ss. Serial numbers count days from
// 1900 (with Excel's 29 February 1900) or, with `date1904`, from 1904. A value no date can show
// (negative, past 9999) is shown as a general number.
std::string NumberText(double value, NumberKind kind, bool date1904);

// An ISO 8601 date and time ("2024-03-15", "2024-03-15T09:05:30Z") as the serial number of the
// given date system; false when the text is no such date.
bool IsoDateToSerial(std::string_view text, bool date1904, double& serial);

}  // namespace vantrel::xlsx
