// The small pieces of a workbook's cells, for the .xlsx reader and for what
// writes a book back: cell names ("B12"), date serials, which number formats
// show dates, the "_xHHHH_" escapes of cell text, and numbers as cells hold
// them. Pure functions; nothing here allocates beyond its result.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumeno::scriptbuilder::xlsx {

// A sheet's size in the workbook format: rows 1 to 1,048,576, columns A to XFD.
inline constexpr std::uint32_t kMaxRows = 1048576;
inline constexpr std::uint32_t kMaxColumns = 16384;

// A cell's place, both from 0.
struct CellPosition {
  std::uint32_t row = 0;
  std::uint32_t column = 0;
  friend bool operator==(const CellPosition&, const CellPosition&) = default;
};

// "A", "Z", "AA", ... for a column from 0.
std::string column_name(std::uint32_t column);
// "A1" for row 0, column 0.
std::string cell_name(std::uint32_t row, std::uint32_t column);
// The place a cell name such as "B12" stands for: one to three letters
// (either case) and a row number without leading zeros, within the sheet's
// size. Anything else ("$B$12", "B0", "XFE1", "A1048577", "R1C1") is none.
std::optional<CellPosition> parse_cell_name(std::string_view name);

// A date and time of day as a workbook shows it.
struct DateTime {
  int year = 1900;
  int month = 1;
  int day = 0;
  int hour = 0;
  int minute = 0;
  double second = 0;
  friend bool operator==(const DateTime&, const DateTime&) = default;
};

// Dates are numbers: the days since the turn of 1900 (1 is 1900-01-01),
// the time of day the fraction. The format counts a 29 February 1900 that
// the calendar lacks (serial 60), so serials from 61 (1900-03-01) on are the
// days since 1899-12-30; 0 is "1900-01-00", the day before the first, which
// a time of day alone has. Books in the 1904 system count from 1904-01-01
// (serial 0): add kSerial1904 for the same day in the 1900 system.
inline constexpr double kSerial1904 = 1462;

// The serial of a date and time (1900 system). Dates before 1900-01-00 get
// negative serials, which no workbook shows as dates.
double date_serial(const DateTime& date);
// The date and time of a serial, to the second (rounded); none for a
// serial below 0 or from 10000-01-01 on, or for one that is no number.
std::optional<DateTime> serial_date(double serial);
// The serial of a date written the ISO 8601 way, as cells of type "d" hold
// them: "2024-05-01", "2024-05-01T10:20:30.5", "10:20" (a time of day), an
// ending "Z" or "+09:00" ignored (the format holds local times only).
std::optional<double> iso_date_serial(std::string_view text);

// What a number format shows: a number, a date (with or without its time),
// or a time of day or span alone.
enum class FormatKind { number, date, time };
// The built-in formats by their number: 14-17 and 22 dates, 18-21 and 45-47
// times; of the East Asian ones (as the Japanese edition shows them) 27-31,
// 34-36 and 50-58 dates, 32 and 33 times.
FormatKind builtin_format_kind(std::uint32_t id);
// A format code's kind, from the letters it shows outside quoted text,
// escaped characters, fill and space characters and [..] sections (colours,
// conditions, locales; but [h], [mm], [ss] are elapsed times): y, d, e, g,
// b, a (day names) or a month m make a date; h, s, AM/PM, A/P or a minute m
// alone a time. "General" and the exponent of "0.00E+00" are no letters.
FormatKind format_code_kind(std::string_view code);

// Cell text as written, with its "_xHHHH_" escapes (a UTF-16 code unit in
// four hex digits, how the format keeps control characters) decoded into
// UTF-8, surrogate pairs joined; an unpaired surrogate becomes U+FFFD.
// "_x005F_" is an underscore, so "_x005F_x0041_" reads "_x0041_".
std::string decode_escapes(std::string_view text);
// Text to be written as a cell's, with what would read as an escape kept
// as it is: the underscore that begins "_xHHHH_" written "_x005F_".
// (libxlsxwriter writes control characters as escapes itself, but leaves
// such text alone, which would then read back changed.)
std::string protect_escapes(std::string_view text);

// A number as a cell holds it: an xsd:double ("12", "-1.5", "1E-3",
// "+.5e+10") between XML spaces. None for anything else, and for infinities
// and NaN, which no cell holds.
std::optional<double> parse_number(std::string_view text);

}  // namespace lumeno::scriptbuilder::xlsx
