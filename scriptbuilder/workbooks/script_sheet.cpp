#include "scriptbuilder/workbooks/script_sheet.h"

#include <algorithm>

#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

// The first TAB at or after `from` that starts a character, or npos.
std::size_t find_tab(std::string_view s, std::size_t from) {
  const std::size_t at = find_char_of<'\t'>(reinterpret_cast<const unsigned char*>(s.data()), from, s.size());
  return at == s.size() ? std::string_view::npos : at;
}

SheetRow make_row(std::string_view bytes) {
  SheetRow row;
  row.bytes = bytes;
  const std::size_t first = find_tab(bytes, 0);
  if (first == std::string_view::npos) {
    row.voice = bytes;
    return row;
  }
  row.voice = bytes.substr(0, first);
  const std::size_t second = find_tab(bytes, first + 1);
  if (second == std::string_view::npos) {
    row.speaker = bytes.substr(first + 1);
    return row;
  }
  row.speaker = bytes.substr(first + 1, second - first - 1);
  row.text = bytes.substr(second + 1);
  return row;
}

// One header line: the bytes up to the next CR LF (the header is written
// byte for byte as "%s\r\n%s\r\n%d\r\n").
std::string_view header_line(std::string_view& rest) {
  const std::size_t end = rest.find("\r\n");
  const std::string_view line = rest.substr(0, end);
  rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 2);
  return line;
}

// Code points of UTF-8 text, as [begin, end) byte ranges.
template <class F>
void for_each_code_point(std::string_view s, F&& f) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t len = c < 0x80 ? 1 : (c & 0xE0) == 0xC0 ? 2 : (c & 0xF0) == 0xE0 ? 3 : (c & 0xF8) == 0xF0 ? 4 : 1;
    if (i + len > s.size()) len = s.size() - i;
    f(s.substr(i, len));
    i += len;
  }
}

char32_t code_point(std::string_view c) {
  const auto b = [&](std::size_t k) { return static_cast<char32_t>(static_cast<unsigned char>(c[k])); };
  switch (c.size()) {
    case 1: return b(0);
    case 2: return (b(0) & 0x1F) << 6 | (b(1) & 0x3F);
    case 3: return (b(0) & 0x0F) << 12 | (b(1) & 0x3F) << 6 | (b(2) & 0x3F);
    default: return (b(0) & 0x07) << 18 | (b(1) & 0x3F) << 12 | (b(2) & 0x3F) << 6 | (b(3) & 0x3F);
  }
}

void append_code_point(char32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

char32_t fold(char32_t c) {
  if (c >= 0xFF01 && c <= 0xFF5E) c -= 0xFF01 - 0x21;  // full-width ASCII
  if (c >= 'A' && c <= 'Z') return c + 0x20;
  if ((c >= 0x391 && c <= 0x3A9) || (c >= 0x410 && c <= 0x42F)) return c + 0x20;  // Greek, Cyrillic
  if (c == 0x401) return 0x451;
  if (c >= 0x2160 && c <= 0x216F) return c + 0x10;  // Roman numerals
  return c;
}

// The first `count` code points of `s`.
std::string_view first_code_points(std::string_view s, std::size_t count) {
  std::size_t bytes = 0;
  std::size_t seen = 0;
  for_each_code_point(s, [&](std::string_view c) {
    if (seen++ < count) bytes += c.size();
  });
  return s.substr(0, bytes);
}

}  // namespace

ScriptSheet read_script_sheet(std::string_view script) {
  ScriptSheet sheet;
  std::string_view body = script;
  sheet.voice_prefix = header_line(body);
  sheet.display_name = header_line(body);
  sheet.framed = header_line(body) == "1";

  // The rows as the layout counted them.
  std::string_view text;
  split_at_line_ends(
      body, [&](std::string_view part) { text = part; },
      [&](std::string_view) {
        sheet.rows.push_back(make_row(text));
        text = {};
      });
  if (!text.empty()) sheet.rows.push_back(make_row(text));
  while (!sheet.rows.empty() && sheet.rows.back().bytes.empty()) sheet.rows.pop_back();

  for (const SheetRow& row : sheet.rows) {
    if (!row.own()) continue;
    if (sheet.own_lines++ == 0) sheet.first_voice = row.voice;
    sheet.last_voice = row.voice;
  }
  sheet.pages = sheet.rows.empty() ? 1 : page_of_row(sheet.rows.size() - 1);
  return sheet;
}

std::vector<RowFrame> speech_frames(const ScriptSheet& sheet, std::span<const std::uint32_t> speech_lines) {
  const std::vector<SheetRow>& rows = sheet.rows;
  const std::size_t n = rows.size();
  std::vector<RowFrame> frames(n);
  // Rows [end, ...) that continue the row before `end`.
  auto continued = [&](std::size_t end) {
    while (end < n && rows[end].continuation()) ++end;
    return end;
  };
  // Frames rows [first, last] of one speech (both rows with text), a frame
  // a page.
  auto frame = [&](std::size_t first, std::size_t last) {
    for (std::size_t r = first; r <= last;) {
      // The speech's rows on this page: from its first row with text to its last.
      const std::size_t page_end = std::min(last + 1, rows_before_page(page_of_row(r) + 1));
      std::size_t top = r;
      while (top < page_end && rows[top].bytes.empty()) ++top;
      std::size_t bottom = page_end;
      while (bottom > top && rows[bottom - 1].bytes.empty()) --bottom;
      for (std::size_t k = top; k < bottom; ++k) frames[k].inside = true;
      if (top < bottom) {
        frames[top].top = true;
        frames[bottom - 1].bottom = true;
      }
      r = page_end;
    }
  };

  std::size_t voice = 0;
  for (std::size_t r = 0; r < n;) {
    if (!rows[r].own()) {
      ++r;
      continue;
    }
    std::uint32_t further = voice < speech_lines.size() ? speech_lines[voice] : 0;
    ++voice;
    std::size_t end = continued(r + 1);
    for (; further > 0; --further) {
      std::size_t next = end;
      while (next < n && rows[next].bytes.empty()) ++next;
      if (next == n || !rows[next].direction()) break;
      end = continued(next + 1);
    }
    frame(r, end - 1);
    r = end;
  }
  return frames;
}

int page_of_row(std::size_t row) {
  if (row < static_cast<std::size_t>(kFirstPageRows)) return 1;
  return 2 + static_cast<int>((row - kFirstPageRows) / kPageRows);
}

std::size_t rows_before_page(int page) {
  if (page <= 1) return 0;
  return static_cast<std::size_t>(kFirstPageRows) + static_cast<std::size_t>(page - 2) * kPageRows;
}

std::string fold_sheet_name(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  for_each_code_point(utf8, [&](std::string_view c) { append_code_point(fold(code_point(c)), out); });
  return out;
}

bool reference_like_sheet_name(std::string_view name) {
  auto letter = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); };
  auto digit = [](char c) { return c >= '0' && c <= '9'; };
  // The library quotes every name with another character than these.
  for (char c : name) {
    if (!letter(c) && !digit(c) && c != '_' && c != '.') return false;
  }
  if (name.empty() || digit(name[0])) return true;
  // A1 style: letters, then digits.
  std::size_t i = 0;
  while (i < name.size() && letter(name[i])) ++i;
  const std::size_t letters = i;
  while (i < name.size() && digit(name[i])) ++i;
  if (i == name.size() && letters <= 3 && letters < name.size()) return true;
  // R1C1 style: R, C, R<n>, C<n>, R<n>C<n>.
  i = 0;
  auto number = [&] {
    while (i < name.size() && digit(name[i])) ++i;
  };
  if (i < name.size() && (name[i] == 'R' || name[i] == 'r')) {
    ++i;
    number();
  }
  if (i < name.size() && (name[i] == 'C' || name[i] == 'c')) {
    ++i;
    number();
  }
  return i == name.size();
}

void SheetNames::reserve(std::string_view name) { keys_.insert(fold_sheet_name(name)); }

bool SheetNames::taken(std::string_view name) const { return keys_.count(fold_sheet_name(name)) != 0; }

std::string SheetNames::add(std::string_view base) {
  std::string clean;
  clean.reserve(base.size());
  for_each_code_point(base, [&](std::string_view c) {
    const char32_t cp = code_point(c);
    const bool bad = cp < 0x20 || cp == 0x7F || std::u32string_view(U"[]:*?/\\").find(cp) != std::u32string_view::npos;
    if (bad) {
      clean += '_';
    } else {
      clean.append(c);
    }
  });
  if (clean.empty()) clean = "_";
  // An apostrophe may stand neither first nor last.
  auto mend_ends = [](std::string& name) {
    if (name.front() == '\'') name.front() = '_';
    if (name.back() == '\'') name.back() = '_';
  };
  std::string name(first_code_points(clean, kMaxLength));
  mend_ends(name);
  if (taken(name)) {
    // Numbers go on from the last one this name was given.
    int& next = next_number_[fold_sheet_name(clean)];
    for (next = std::max(next, 2);; ++next) {
      const std::string number = "(" + std::to_string(next) + ")";
      name = std::string(first_code_points(clean, kMaxLength - number.size()));
      if (name.front() == '\'') name.front() = '_';
      name += number;
      if (!taken(name)) break;
    }
    ++next;
  }
  keys_.insert(fold_sheet_name(name));
  return name;
}

}  // namespace lumeno::scriptbuilder
