#include "shell/sjis.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace lumeno {

namespace {

// Calls f(position) for every single-byte character of s.
template <class F>
void for_each_single_byte(std::string_view s, F&& f) {
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = sjis_char_length(s, i);
    if (len == 1) f(i);
    i += len;
  }
}

bool is_separator(char c) { return c == '\\' || c == '/'; }

// Position just after the last single-byte separator, or 0.
std::size_t after_last_separator(std::string_view path) {
  std::size_t start = 0;
  for_each_single_byte(path, [&](std::size_t i) {
    if (is_separator(path[i])) start = i + 1;
  });
  return start;
}

}  // namespace

void lower_ascii_sjis(std::string& s) {
  for_each_single_byte(s, [&](std::size_t i) {
    if (s[i] >= 'A' && s[i] <= 'Z') s[i] = static_cast<char>(s[i] - 'A' + 'a');
  });
}

void upper_ascii_sjis(std::string& s) {
  for_each_single_byte(s, [&](std::size_t i) {
    if (s[i] >= 'a' && s[i] <= 'z') s[i] = static_cast<char>(s[i] - 'a' + 'A');
  });
}

void replace_byte_sjis(std::string& s, char from, char to) {
  for_each_single_byte(s, [&](std::size_t i) {
    if (s[i] == from) s[i] = to;
  });
}

bool ends_with_byte_sjis(std::string_view s, char c) {
  bool last_matches = false;
  for (std::size_t i = 0; i < s.size();) {
    const std::size_t len = sjis_char_length(s, i);
    last_matches = (len == 1 && s[i] == c);
    i += len;
  }
  return last_matches;
}

bool file_name_part(std::string_view path, std::string& out) {
  out.assign(path.substr(after_last_separator(path)));
  return !out.empty();
}

std::string file_name_part(std::string_view path) {
  return std::string(path.substr(after_last_separator(path)));
}

std::string_view folder_part(std::string_view path) {
  return path.substr(0, after_last_separator(path));
}

bool folder_name_of(std::string_view folder, std::string& out) {
  const std::size_t start = after_last_separator(folder);
  if (start == 0) {
    out.clear();
    return false;
  }
  out.assign(folder.substr(start));
  return !out.empty();
}

std::string_view extension_part(std::string_view path) {
  const std::string_view name = path.substr(after_last_separator(path));
  const std::size_t dot = name.rfind('.');
  return dot == std::string_view::npos ? std::string_view() : name.substr(dot);
}

std::string_view base_name_part(std::string_view path) {
  const std::string_view name = path.substr(after_last_separator(path));
  return name.substr(0, name.size() - extension_part(name).size());
}

bool has_txt_extension(std::string_view path) {
  return compare_folded(extension_part(path), ".txt") == 0;
}

int compare_folded(std::string_view a, std::string_view b) {
  const std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]);
    unsigned char y = static_cast<unsigned char>(b[i]);
    if (x >= 'A' && x <= 'Z') x = static_cast<unsigned char>(x - 'A' + 'a');
    if (y >= 'A' && y <= 'Z') y = static_cast<unsigned char>(y - 'A' + 'a');
    if (x != y) return x < y ? -1 : 1;
  }
  if (a.size() == b.size()) return 0;
  return a.size() < b.size() ? -1 : 1;
}

std::string fold_ascii(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
}

std::string format(const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  va_list copy;
  va_copy(copy, args);
  const int needed = std::vsnprintf(nullptr, 0, fmt, copy);
  va_end(copy);
  std::string out;
  if (needed > 0) {
    std::vector<char> buffer(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), fmt, args);
    out.assign(buffer.data(), static_cast<std::size_t>(needed));
  }
  va_end(args);
  return out;
}

}  // namespace lumeno
