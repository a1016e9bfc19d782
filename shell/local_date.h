// Today's date on the machine's clock, in its time zone: what a record a
// person keeps (the take book's 除外日, a pick-up script's header) is dated.
#pragma once

namespace lumeno {

struct LocalDate {
  int year = 1970;
  int month = 1;  // 1 to 12
  int day = 1;    // 1 to 31
};

LocalDate local_date();

// The date as a workbook's serial number (days since 1899-12-30, the 1900
// date system as every spreadsheet program reads it after February 1900).
double date_serial(const LocalDate& date);

}  // namespace lumeno
