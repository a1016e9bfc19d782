// The pieces of a workbook's cells: cell names, date serials, which number
// formats show dates, "_xHHHH_" escapes, numbers as cells hold them.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "scriptbuilder/workbooks/xlsx_values.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder::xlsx {
namespace {

using testing::u8;

TEST(XlsxCellNames, ColumnsRowsAndTheSheetsEdges) {
  EXPECT_EQ(column_name(0), "A");
  EXPECT_EQ(column_name(25), "Z");
  EXPECT_EQ(column_name(26), "AA");
  EXPECT_EQ(column_name(701), "ZZ");
  EXPECT_EQ(column_name(702), "AAA");
  EXPECT_EQ(cell_name(0, 0), "A1");
  EXPECT_EQ(cell_name(kMaxRows - 1, kMaxColumns - 1), "XFD1048576");
  for (std::uint32_t column = 0; column < kMaxColumns; ++column) {
    ASSERT_EQ(parse_cell_name(cell_name(41, column)), (CellPosition{41, column})) << column;
  }
  EXPECT_EQ(parse_cell_name("b12"), (CellPosition{11, 1}));
  EXPECT_EQ(parse_cell_name("A1048576"), (CellPosition{kMaxRows - 1, 0}));
  for (const char* name : {"", "A", "12", "A0", "A01", "XFE1", "A1048577", "A99999999", "$A$1", "A1:B2", "AAAA1", " A1", "A1 ", "R1C1", "A-1"}) {
    EXPECT_FALSE(parse_cell_name(name)) << name;
  }
}

TEST(XlsxDates, SerialsCountTheLeapDayOf1900ThatNeverWas) {
  EXPECT_EQ(date_serial({1900, 1, 0}), 0);
  EXPECT_EQ(date_serial({1900, 1, 1}), 1);
  EXPECT_EQ(date_serial({1900, 2, 28}), 59);
  EXPECT_EQ(date_serial({1900, 2, 29}), 60);
  EXPECT_EQ(date_serial({1900, 3, 1}), 61);
  EXPECT_EQ(date_serial({1904, 1, 1}), kSerial1904);
  EXPECT_EQ(date_serial({2024, 5, 1}), 45413);
  EXPECT_DOUBLE_EQ(date_serial({2024, 5, 1, 13, 30, 0}), 45413.5625);

  EXPECT_EQ(serial_date(0.25), (DateTime{1900, 1, 0, 6, 0, 0}));
  EXPECT_EQ(serial_date(59), (DateTime{1900, 2, 28}));
  EXPECT_EQ(serial_date(60), (DateTime{1900, 2, 29}));
  EXPECT_EQ(serial_date(61), (DateTime{1900, 3, 1}));
  EXPECT_EQ(serial_date(45413.5625), (DateTime{2024, 5, 1, 13, 30, 0}));
  // To the nearest second, into the next day when it comes to that.
  EXPECT_EQ(serial_date(45413.999999), (DateTime{2024, 5, 2, 0, 0, 0}));
  EXPECT_EQ(serial_date(2958465.99998), (DateTime{9999, 12, 31, 23, 59, 58}));
  EXPECT_FALSE(serial_date(2958466));
  EXPECT_FALSE(serial_date(-0.5));
  EXPECT_FALSE(serial_date(std::numeric_limits<double>::quiet_NaN()));

  // Every day from 1900 to 2200 there and back.
  for (int serial = 0; serial < 110000; ++serial) {
    const auto date = serial_date(serial);
    ASSERT_TRUE(date) << serial;
    ASSERT_EQ(date_serial(*date), serial) << date->year << "-" << date->month << "-" << date->day;
  }
}

TEST(XlsxDates, IsoTextOfDateCells) {
  EXPECT_EQ(iso_date_serial("2024-05-01"), 45413);
  EXPECT_EQ(iso_date_serial("2024-05-01T13:30:00"), 45413.5625);
  EXPECT_EQ(iso_date_serial("2024-05-01T13:30"), 45413.5625);
  EXPECT_EQ(iso_date_serial("2024-05-01T13:30:00Z"), 45413.5625);
  EXPECT_EQ(iso_date_serial("2024-05-01T13:30:00+09:00"), 45413.5625);
  EXPECT_EQ(iso_date_serial("13:30"), 0.5625);
  EXPECT_DOUBLE_EQ(*iso_date_serial("00:00:01.5"), 1.5 / 86400);
  EXPECT_EQ(iso_date_serial("1900-02-28"), 59);
  for (const char* text : {"", "2024-13-01", "2023-02-29", "2024-05-01T24:00", "2024-5-1", "2024-05-01 13:30", "T13:30", "13:3",
                           "13:30:60", "2024-05-01T13:30:00.", "2024-05-01T13:30:00+9", "2024-05-01x", "24:00"}) {
    EXPECT_FALSE(iso_date_serial(text)) << text;
  }
}

TEST(XlsxFormats, WhichNumberFormatsShowDatesAndTimes) {
  for (std::uint32_t id : {14u, 15u, 16u, 17u, 22u, 27u, 31u, 34u, 36u, 50u, 58u}) EXPECT_EQ(builtin_format_kind(id), FormatKind::date) << id;
  for (std::uint32_t id : {18u, 21u, 32u, 33u, 45u, 46u, 47u}) EXPECT_EQ(builtin_format_kind(id), FormatKind::time) << id;
  for (std::uint32_t id : {0u, 1u, 2u, 9u, 10u, 11u, 12u, 13u, 23u, 37u, 44u, 48u, 49u, 59u, 164u}) {
    EXPECT_EQ(builtin_format_kind(id), FormatKind::number) << id;
  }

  const std::pair<std::string, FormatKind> codes[] = {
      {"yyyy/m/d;@", FormatKind::date},
      {"YYYY-MM-DD", FormatKind::date},
      {"m/d", FormatKind::date},
      {"mmm", FormatKind::date},
      {"yyyy-mm-dd h:mm:ss", FormatKind::date},
      {u8(u8"[$-411]ggge\"年\"m\"月\"d\"日\""), FormatKind::date},
      {u8(u8"m/d(aaa)"), FormatKind::date},
      {"[$-F800]dddd, mmmm dd, yyyy", FormatKind::date},
      {"h:mm", FormatKind::time},
      {"hh:mm:ss AM/PM", FormatKind::time},
      {"mm:ss.0", FormatKind::time},
      {"[h]:mm:ss", FormatKind::time},
      {"[mm]", FormatKind::time},
      {"h AM/PM", FormatKind::time},
      {"General", FormatKind::number},
      {"[Red]General", FormatKind::number},
      {"0.00E+00", FormatKind::number},
      {"##0.0e-0", FormatKind::number},
      {"0.00_ ;[Red]\\-0.00\\ ", FormatKind::number},
      {"#,##0 \"days\"", FormatKind::number},
      {"0\\d", FormatKind::number},
      {"* #,##0_-;-* #,##0_-", FormatKind::number},
      {"_-* #,##0_-", FormatKind::number},
      {"[$$-409]#,##0.00", FormatKind::number},
      {"[<=9999999]###-####;(###) ###-####", FormatKind::number},
      {"[DBNum1][$-411]General", FormatKind::number},
      {"\"TRUE\";\"TRUE\";\"FALSE\"", FormatKind::number},
      {"@", FormatKind::number},
      {"", FormatKind::number},
      {"\"unclosed", FormatKind::number},
      {"[unclosed", FormatKind::number},
  };
  for (const auto& [code, kind] : codes) EXPECT_EQ(format_code_kind(code), kind) << code;
}

TEST(XlsxEscapes, ControlCharactersSurrogatePairsAndTheEscapedUnderscore) {
  EXPECT_EQ(decode_escapes("a_x000D_b_x0009_c"), "a\rb\tc");
  // (Texts CP932 lacks stand outside the checks, which spell their arguments out in CP932.)
  const std::string a_e = u8(u8"あé");
  const std::string face = u8(u8"😀");
  EXPECT_EQ(decode_escapes("_x3042__x00e9_"), a_e);
  EXPECT_EQ(decode_escapes("_xD83D__xDE00_"), face);
  EXPECT_EQ(decode_escapes("_x005F_x0041_"), "_x0041_");
  EXPECT_EQ(decode_escapes("_x005F__x0041_"), "_A");
  // Unpaired halves of a pair.
  const std::string replacement = u8(u8"\uFFFD");
  EXPECT_EQ(decode_escapes("_xD83D_x"), replacement + "x");
  EXPECT_EQ(decode_escapes("_xDE00__xD83D_"), replacement + replacement);
  // What is no escape stays.
  for (const char* text : {"_x00D_", "_X000D_", "_x000G_", "_x000D", "x000D_", "__x0041", "_", "", "ERI_x_0001"}) {
    EXPECT_EQ(decode_escapes(text), text) << text;
  }
  EXPECT_EQ(decode_escapes("__x0041_"), "_A");

  // Written back protected, text reads as it was.
  for (const char* text : {"_x0041_", "a_x000D_b", "_x005F_x0041_", "__x0041__", "_x_x0041_", "ERI_0001", ""}) {
    EXPECT_EQ(decode_escapes(protect_escapes(text)), text) << text;
  }
  EXPECT_EQ(protect_escapes("_x0041_"), "_x005F_x0041_");
}

TEST(XlsxNumbers, EveryFormOfADoubleAndNothingElse) {
  const std::pair<const char*, double> numbers[] = {
      {"12", 12},     {"-1.5", -1.5}, {"1E-3", 0.001},     {"1e+3", 1000},     {"+.5", 0.5},
      {"5.", 5},      {" 7 ", 7},     {"\n\t8\r", 8},      {"-0", 0},          {"9.999999999999999e-21", 9.999999999999999e-21},
      {"123456789012345", 123456789012345.0},
  };
  for (const auto& [text, value] : numbers) EXPECT_EQ(parse_number(text), value) << text;
  for (const char* text : {"", " ", "+", "-", "1e", "1e400", "inf", "-INF", "NaN", "0x10", "1,5", "1 2", "++1", "+-1", "12a", "１２"}) {
    EXPECT_FALSE(parse_number(text)) << text;
  }
}

}  // namespace
}  // namespace lumeno::scriptbuilder::xlsx
