#include "shell/local_date.h"

namespace lumeno {

double date_serial(const LocalDate& date) {
  // Days from the civil date (proleptic Gregorian), then from 1899-12-30.
  const int y = date.year - (date.month <= 2 ? 1 : 0);
  const int era = (y >= 0 ? y : y - 399) / 400;
  const int yoe = y - era * 400;
  const int m = date.month;
  const int doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + date.day - 1;
  const int doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  const long long days_from_epoch = static_cast<long long>(era) * 146097 + doe - 719468;  // from 1970-01-01
  return static_cast<double>(days_from_epoch + 25569);
}

}  // namespace lumeno
