#include "scriptbuilder/speech.h"

#include <algorithm>

#include "shell/sjis.h"

namespace lumeno::scriptbuilder {

namespace {

struct BracketPair {
  std::string_view open;
  std::string_view close;
};

constexpr BracketPair kBrackets[] = {
    {"「", "」"}, {"『", "』"}, {"（", "）"}, {"【", "】"}, {"〔", "〕"}, {"［", "］"}, {"｛", "｝"},
    {"〈", "〉"}, {"《", "》"}, {"＜", "＞"}, {"(", ")"},   {"[", "]"},   {"{", "}"},   {"<", ">"},
    {"\xA2", "\xA3"},  // the half-width corner brackets
};

bool is_blank(char c) { return c == ' ' || c == '\t'; }

bool is_command_name_byte(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_';
}

// A blank of a line: space, TAB, or the full-width space (its length, or 0).
std::size_t blank_at(std::string_view text, std::size_t i) {
  if (is_blank(text[i])) return 1;
  if (text[i] == '\x81' && i + 1 < text.size() && text[i + 1] == '\x40') return 2;
  return 0;
}

}  // namespace

std::size_t backslash_command_end(std::string_view s, std::size_t i) {
  const std::size_t n = s.size();
  ++i;
  const bool bracket = i < n && s[i] == '[';
  if (bracket) ++i;
  while (i < n && is_blank(s[i])) ++i;
  // The name: double-byte characters may open it; after a single-byte one
  // it holds single bytes only.
  while (i < n && is_sjis_lead(static_cast<unsigned char>(s[i]))) i = std::min(i + 2, n);
  while (i < n && is_command_name_byte(static_cast<unsigned char>(s[i]))) ++i;
  if (i < n && s[i] == '(') {
    int depth = 0;
    while (i < n) {
      const auto c = static_cast<unsigned char>(s[i]);
      if (is_sjis_lead(c)) {
        i = std::min(i + 2, n);
        continue;
      }
      ++i;
      if (c == '(') {
        ++depth;
      } else if (c == ')' && --depth == 0) {
        break;
      }
    }
  }
  if (bracket) {
    while (i < n && is_blank(s[i])) ++i;
    if (i < n) {
      const std::size_t close = s.find(']', i);
      i = close == std::string_view::npos ? n : close + 1;
    }
  }
  return i;
}

std::string_view last_character(std::string_view text) {
  std::size_t last = 0;
  for (std::size_t i = 0; i < text.size(); i += sjis_char_length(text, i)) last = i;
  return text.substr(last);
}

std::string_view closing_bracket(std::string_view opening) {
  for (const BracketPair& pair : kBrackets) {
    if (pair.open == opening) return pair.close;
  }
  return {};
}

std::string_view mark_at(std::string_view text, std::size_t at, const DialogueMarks& marks) {
  for (const std::string& mark : marks) {
    if (at <= text.size() && text.substr(at).starts_with(mark)) return mark;
  }
  return {};
}

Speech find_dialogue_speech(std::string_view text, std::size_t begin, const DialogueMatch& match,
                            const DialogueMarks& marks, const DialogueMatcher& matcher) {
  const std::size_t at = begin + match.name_length;
  const std::string_view mark = mark_at(text, at, marks);
  return find_speech(text, at + mark.size(), mark, [&](std::size_t pos) { return matcher.match(text, pos).has_value(); });
}

namespace speech_detail {

std::size_t line_end(std::string_view text, std::size_t pos) { return find_line_end(text, pos); }

std::size_t next_line(std::string_view text, std::size_t end) {
  if (end >= text.size()) return text.size();
  return end + line_break_length(text, end);
}

bool blank_line(std::string_view text, std::size_t begin, std::size_t end) {
  for (std::size_t i = begin; i < end;) {
    const std::size_t blank = blank_at(text, i);
    if (blank == 0) return false;
    i += blank;
  }
  return true;
}

bool command_line(std::string_view text, std::size_t begin, std::size_t end) {
  std::size_t i = begin;
  while (i < end) {
    const std::size_t blank = blank_at(text, i);
    if (blank == 0) break;
    i += blank;
  }
  return i < end && text[i] == '\\';
}

bool scan_line(std::string_view text, std::size_t begin, std::size_t end, BracketScan& scan) {
  // The line alone, so that nothing (a command left open) runs past it.
  const std::string_view line = text.substr(0, end);
  std::size_t i = begin;
  while (i < end) {
    if (scan.in_block_comment) {
      const std::size_t close = line.find("*/", i);
      if (close == std::string_view::npos) return false;
      scan.in_block_comment = false;
      i = close + 2;
      continue;
    }
    const char c = line[i];
    if (c == '\\') {
      i = backslash_command_end(line, i);
      continue;
    }
    if (c == '/' && i + 1 < end && line[i + 1] == '/') {
      if (line.find(scan.close, i + 2) != std::string_view::npos) scan.cut_by_comment = true;
      return false;
    }
    if (c == '/' && i + 1 < end && line[i + 1] == '*') {
      scan.in_block_comment = true;
      i += 2;
      continue;
    }
    const std::size_t length = sjis_char_length(line, i);
    // Compared byte by byte: the brackets are one or two bytes.
    auto is = [&](std::string_view bracket) {
      return bracket.size() == length && line[i] == bracket[0] && (length == 1 || line[i + 1] == bracket[1]);
    };
    if (is(scan.close)) {
      if (--scan.depth == 0) return true;
    } else if (is(scan.open)) {
      ++scan.depth;
    }
    i += length;
  }
  return false;
}

}  // namespace speech_detail

std::string speech_text(std::string_view text, std::size_t from, const Speech& speech) {
  std::string out;
  bool in_block_comment = false;
  std::size_t begin = from;
  for (std::uint32_t k = 0; k < speech.lines; ++k) {
    const std::size_t end = speech_detail::line_end(text, begin);
    const std::string_view line = text.substr(0, end);
    if (k > 0) out += '\n';
    const std::size_t line_start = out.size();
    std::size_t i = begin;
    while (i < end) {
      if (in_block_comment) {
        const std::size_t close = line.find("*/", i);
        if (close == std::string_view::npos) break;
        in_block_comment = false;
        i = close + 2;
        continue;
      }
      const char c = line[i];
      if (c == '\\') {
        i = backslash_command_end(line, i);
        continue;
      }
      if (c == '/' && i + 1 < end && line[i + 1] == '/') break;
      if (c == '/' && i + 1 < end && line[i + 1] == '*') {
        in_block_comment = true;
        i += 2;
        continue;
      }
      const std::size_t length = sjis_char_length(line, i);
      out.append(line.substr(i, length));
      i += length;
    }
    // Blanks at the end of the line go.
    std::size_t keep = line_start;
    for (std::size_t j = line_start; j < out.size();) {
      const std::size_t blank = blank_at(out, j);
      if (blank == 0) {
        j += sjis_char_length(out, j);
        keep = j;
      } else {
        j += blank;
      }
    }
    out.resize(keep);
    begin = speech_detail::next_line(text, end);
  }
  return out;
}

}  // namespace lumeno::scriptbuilder
