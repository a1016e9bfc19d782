#include "scriptbuilder/workbooks/xlsx_values.h"

#include <charconv>
#include <cmath>

namespace lumeno::scriptbuilder::xlsx {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }
char ascii_lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool starts_with_folded(std::string_view text, std::size_t at, std::string_view word) {
  if (text.size() - at < word.size()) return false;
  for (std::size_t k = 0; k < word.size(); ++k) {
    if (ascii_lower(text[at + k]) != word[k]) return false;
  }
  return true;
}

// Days from 1970-01-01 of a date of the proleptic Gregorian calendar, and
// back; a day 0 is the last of the month before.
long long days_from_civil(long long y, long long m, long long d) {
  y -= m <= 2 ? 1 : 0;
  const long long era = (y >= 0 ? y : y - 399) / 400;
  const long long yoe = y - era * 400;
  const long long doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
  const long long doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
  return era * 146097 + doe - 719468;
}

void civil_from_days(long long z, int& year, int& month, int& day) {
  z += 719468;
  const long long era = (z >= 0 ? z : z - 146096) / 146097;
  const long long doe = z - era * 146097;
  const long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  const long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  const long long mp = (5 * doy + 2) / 153;
  day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
  month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
  year = static_cast<int>(yoe + era * 400 + (month <= 2 ? 1 : 0));
}

const long long kDay0 = days_from_civil(1899, 12, 30);  // serial 0 counted from here (from 1900-03-01 on)
constexpr double kSerialEnd = 2958466;                  // 10000-01-01

int days_in_month(int year, int month) {
  static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  return month == 2 && leap ? 29 : days[month - 1];
}

// Exactly `count` digits at `at` as a number, stepping past them.
std::optional<int> fixed_digits(std::string_view text, std::size_t& at, std::size_t count) {
  if (text.size() - at < count) return std::nullopt;
  int value = 0;
  for (std::size_t k = 0; k < count; ++k) {
    if (!is_digit(text[at + k])) return std::nullopt;
    value = value * 10 + (text[at + k] - '0');
  }
  at += count;
  return value;
}

void append_utf8(std::string& out, std::uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

int hex_value(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// The code unit of an escape "_xHHHH_" at `at`, or -1.
long escape_at(std::string_view text, std::size_t at) {
  if (text.size() - at < 7 || text[at] != '_' || text[at + 1] != 'x' || text[at + 6] != '_') return -1;
  long unit = 0;
  for (std::size_t k = 2; k < 6; ++k) {
    const int digit = hex_value(text[at + k]);
    if (digit < 0) return -1;
    unit = unit * 16 + digit;
  }
  return unit;
}

}  // namespace

std::string column_name(std::uint32_t column) {
  std::string reversed;
  std::uint64_t n = static_cast<std::uint64_t>(column) + 1;
  while (n > 0) {
    reversed += static_cast<char>('A' + (n - 1) % 26);
    n = (n - 1) / 26;
  }
  return std::string(reversed.rbegin(), reversed.rend());
}

std::string cell_name(std::uint32_t row, std::uint32_t column) {
  return column_name(column) + std::to_string(static_cast<std::uint64_t>(row) + 1);
}

std::optional<CellPosition> parse_cell_name(std::string_view name) {
  std::size_t at = 0;
  std::uint32_t column = 0;
  while (at < name.size() && at < 4) {
    const char c = ascii_lower(name[at]);
    if (c < 'a' || c > 'z') break;
    column = column * 26 + static_cast<std::uint32_t>(c - 'a' + 1);
    ++at;
  }
  if (at == 0 || at > 3 || column > kMaxColumns) return std::nullopt;
  const std::size_t digits = name.size() - at;
  if (digits == 0 || digits > 7 || name[at] == '0') return std::nullopt;
  std::uint32_t row = 0;
  for (; at < name.size(); ++at) {
    if (!is_digit(name[at])) return std::nullopt;
    row = row * 10 + static_cast<std::uint32_t>(name[at] - '0');
  }
  if (row > kMaxRows) return std::nullopt;
  return CellPosition{row - 1, column - 1};
}

double date_serial(const DateTime& date) {
  long long days = 0;
  if (date.year == 1900 && date.month == 2 && date.day == 29) {
    days = 60;
  } else {
    days = days_from_civil(date.year, date.month, date.day) - kDay0;
    if (days <= 60) --days;  // before the 29 February the format counts
  }
  return static_cast<double>(days) + (date.hour * 3600.0 + date.minute * 60.0 + date.second) / 86400.0;
}

std::optional<DateTime> serial_date(double serial) {
  if (!(serial >= 0) || !(serial < kSerialEnd)) return std::nullopt;
  const long long total = std::llround(serial * 86400.0);
  const long long days = total / 86400;
  const long long seconds = total % 86400;
  if (days >= static_cast<long long>(kSerialEnd)) return std::nullopt;
  DateTime out;
  if (days == 0) {
    out = DateTime{1900, 1, 0};
  } else if (days == 60) {
    out = DateTime{1900, 2, 29};
  } else {
    civil_from_days(kDay0 + days + (days < 60 ? 1 : 0), out.year, out.month, out.day);
  }
  out.hour = static_cast<int>(seconds / 3600);
  out.minute = static_cast<int>(seconds / 60 % 60);
  out.second = static_cast<double>(seconds % 60);
  return out;
}

std::optional<double> iso_date_serial(std::string_view text) {
  std::size_t at = 0;
  double serial = 0;
  const bool has_date = text.size() >= 10 && text[4] == '-';
  if (has_date) {
    const auto year = fixed_digits(text, at, 4);
    if (!year || text[at++] != '-') return std::nullopt;
    const auto month = fixed_digits(text, at, 2);
    if (!month || at >= text.size() || text[at++] != '-') return std::nullopt;
    const auto day = fixed_digits(text, at, 2);
    if (!day || *month < 1 || *month > 12 || *day < 1 || *day > days_in_month(*year, *month)) return std::nullopt;
    serial = date_serial({*year, *month, *day});
    if (at == text.size()) return serial;
    if (text[at] != 'T') return std::nullopt;
    ++at;
  }
  const auto hour = fixed_digits(text, at, 2);
  if (!hour || at >= text.size() || text[at++] != ':') return std::nullopt;
  const auto minute = fixed_digits(text, at, 2);
  if (!minute || *hour > 23 || *minute > 59) return std::nullopt;
  double second = 0;
  if (at < text.size() && text[at] == ':') {
    ++at;
    const std::size_t from = at;
    if (!fixed_digits(text, at, 2)) return std::nullopt;
    if (at < text.size() && text[at] == '.') {
      ++at;
      while (at < text.size() && is_digit(text[at])) ++at;
      if (!is_digit(text[at - 1])) return std::nullopt;
    }
    const auto value = parse_number(text.substr(from, at - from));
    if (!value || *value >= 60) return std::nullopt;
    second = *value;
  }
  // The zone, which the format has no place for.
  if (at < text.size() && text[at] == 'Z') {
    ++at;
  } else if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
    ++at;
    if (!fixed_digits(text, at, 2)) return std::nullopt;
    if (at < text.size() && text[at] == ':') ++at;
    if (at < text.size() && !fixed_digits(text, at, 2)) return std::nullopt;
  }
  if (at != text.size()) return std::nullopt;
  return serial + (*hour * 3600.0 + *minute * 60.0 + second) / 86400.0;
}

FormatKind builtin_format_kind(std::uint32_t id) {
  if ((id >= 14 && id <= 17) || id == 22 || (id >= 27 && id <= 31) || (id >= 34 && id <= 36) || (id >= 50 && id <= 58)) {
    return FormatKind::date;
  }
  if ((id >= 18 && id <= 21) || (id >= 45 && id <= 47) || id == 32 || id == 33) return FormatKind::time;
  return FormatKind::number;
}

FormatKind format_code_kind(std::string_view code) {
  bool date = false;
  bool time = false;
  bool m = false;
  for (std::size_t i = 0; i < code.size();) {
    const char c = code[i];
    if (c == '"') {
      const std::size_t close = code.find('"', i + 1);
      i = close == std::string_view::npos ? code.size() : close + 1;
    } else if (c == '\\' || c == '_' || c == '*') {
      i += 2;
    } else if (c == '[') {
      const std::size_t close = code.find(']', i + 1);
      const std::string_view inside = code.substr(i + 1, close == std::string_view::npos ? std::string_view::npos : close - i - 1);
      const char first = inside.empty() ? '\0' : ascii_lower(inside[0]);
      if (first == 'h' || first == 'm' || first == 's') {
        bool elapsed = true;
        for (char k : inside) elapsed = elapsed && ascii_lower(k) == first;
        time = time || elapsed;
      }
      i = close == std::string_view::npos ? code.size() : close + 1;
    } else if (starts_with_folded(code, i, "general")) {
      i += 7;
    } else if (starts_with_folded(code, i, "am/pm")) {
      time = true;
      i += 5;
    } else if (starts_with_folded(code, i, "a/p")) {
      time = true;
      i += 3;
    } else {
      const char l = ascii_lower(c);
      if (l == 'e' && i + 1 < code.size() && (code[i + 1] == '+' || code[i + 1] == '-')) {
        i += 2;  // an exponent
        continue;
      }
      if (l == 'y' || l == 'd' || l == 'e' || l == 'g' || l == 'b' || l == 'a') date = true;
      if (l == 'h' || l == 's') time = true;
      if (l == 'm') m = true;
      ++i;
    }
  }
  if (date || (m && !time)) return FormatKind::date;
  return time ? FormatKind::time : FormatKind::number;
}

std::string decode_escapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size();) {
    const long unit = text[i] == '_' ? escape_at(text, i) : -1;
    if (unit < 0) {
      out += text[i++];
      continue;
    }
    i += 7;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const long low = i < text.size() ? escape_at(text, i) : -1;
      if (low >= 0xDC00 && low <= 0xDFFF) {
        append_utf8(out, 0x10000 + ((static_cast<std::uint32_t>(unit) - 0xD800) << 10) + (static_cast<std::uint32_t>(low) - 0xDC00));
        i += 7;
        continue;
      }
      append_utf8(out, 0xFFFD);
    } else if (unit >= 0xDC00 && unit <= 0xDFFF) {
      append_utf8(out, 0xFFFD);
    } else {
      append_utf8(out, static_cast<std::uint32_t>(unit));
    }
  }
  return out;
}

std::string protect_escapes(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '_' && escape_at(text, i) >= 0) {
      out += "_x005F_";
    } else {
      out += text[i];
    }
  }
  return out;
}

std::optional<double> parse_number(std::string_view text) {
  const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && space(text.front())) text.remove_prefix(1);
  while (!text.empty() && space(text.back())) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') {
    text.remove_prefix(1);
    if (!text.empty() && (text.front() == '+' || text.front() == '-')) return std::nullopt;
  }
  if (text.empty()) return std::nullopt;
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::general);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
  return value;
}

}  // namespace lumeno::scriptbuilder::xlsx
