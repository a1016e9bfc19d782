// The stripping pass on generated texts: random bytes, soups of comment and
// command fragments, texts cut off inside a construct or after a lead byte.
// Each result is compared with a plain character-by-character reading of
// the rules over a zero-filled copy of the text.
#include <gtest/gtest.h>

#include <iterator>
#include <random>
#include <vector>

#include "shell/sjis.h"
#include "stripper/strip.h"

namespace lumeno::stripper {
namespace {

std::string reference_strip(std::string_view text, const StripOptions& options, StripCounts& counts) {
  const std::size_t n = text.size();
  std::vector<unsigned char> b(text.begin(), text.end());
  b.resize(n + 2, 0);  // lookahead past the end reads zeros
  auto step = [&](std::size_t p) -> std::size_t { return (is_sjis_lead(b[p]) && p + 1 < n) ? 2 : 1; };
  auto copies = [&](std::int32_t target) { return (options.strip_mode == 0) != (target == 1); };
  std::string out;
  auto put = [&](std::size_t from, std::size_t to) {
    for (std::size_t p = from; p < to && p < n; ++p) out.push_back(static_cast<char>(b[p]));
  };
  std::size_t line_start = 0;
  bool content = false;
  bool removal = false;
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = b[i];
    std::size_t start = i;
    bool copy = false;
    if (c == '\r' || c == '\n') {
      const std::size_t len = (c == '\r' && b[i + 1] == '\n') ? 2 : 1;
      const bool drop = (options.blank_line_mode == 1 && removal && !content) || (options.blank_line_mode == 2 && !content);
      if (drop) {
        out.resize(line_start);
      } else {
        put(i, i + len);
      }
      i += len;
      line_start = out.size();
      content = removal = false;
      continue;
    }
    if (c == '/' && b[i + 1] == '/') {
      ++counts.line_comments;
      copy = copies(options.target_line_comments);
      i += 2;
      while (i < n && b[i] != '\r' && b[i] != '\n') i += step(i);
    } else if (c == '/' && b[i + 1] == '*') {
      ++counts.block_comments;
      copy = copies(options.target_block_comments);
      i += 2;
      while (i < n && !(b[i] == '*' && b[i + 1] == '/')) i += step(i);
      i += 2;
    } else if (c == '\\') {
      ++counts.commands;
      copy = copies(options.target_commands);
      ++i;
      const bool bracket = b[i] == '[';
      if (bracket) ++i;
      while (i < n && (b[i] == ' ' || b[i] == '\t')) ++i;
      bool one_byte_seen = false;
      while (i < n) {
        const unsigned char x = b[i];
        const bool name = (x >= '0' && x <= '9') || (x >= 'A' && x <= 'Z') || (x >= 'a' && x <= 'z') || x == '.' || x == '_';
        if (is_sjis_lead(x) && !one_byte_seen) {
          i += step(i);
        } else if (name) {
          one_byte_seen = true;
          ++i;
        } else {
          break;
        }
      }
      bool stopped = false;
      if (i < n && b[i] == '(') {
        int depth = 0;
        do {
          if (copy && (b[i] == '\r' || b[i] == '\n')) {
            stopped = true;
            break;
          }
          if (b[i] == '(') ++depth;
          if (b[i] == ')') --depth;
          i += step(i);
        } while (i < n && depth != 0);
      }
      if (bracket && !stopped) {
        while (i < n && b[i] != ']') ++i;
        if (i < n) ++i;
      }
    } else {
      const std::size_t len = step(i);
      i += len;
      if (options.strip_mode == 0) {
        put(start, i);
        const bool blank = c == ' ' || c == '\t' || (len == 2 && c == 0x81 && b[start + 1] == 0x40);
        if (!blank) content = true;
      } else {
        removal = true;
      }
      continue;
    }
    if (copy) {
      put(start, i);
      content = true;
    } else {
      removal = true;
    }
  }
  return out;
}

// Line ends made CR LF, one character at a time.
std::string reference_unify(std::string_view text) {
  const std::size_t n = text.size();
  std::string out;
  for (std::size_t i = 0; i < n;) {
    const char c = text[i];
    if (c == '\r' && i + 1 < n && text[i + 1] == '\n') {
      out += "\r\n";
      i += 2;
    } else if (c == '\r' || c == '\n') {
      out += "\r\n";
      i += 1;
    } else if (is_sjis_lead(static_cast<unsigned char>(c)) && i + 1 < n) {
      out.append(text.substr(i, 2));
      i += 2;
    } else {
      out += c;
      i += 1;
    }
  }
  return out;
}

const std::vector<std::string>& fragments() {
  static const std::vector<std::string> list = {
      "//", "/*", "*/", "/", "*", "\\", "\\[", "[", "]", "(", ")", " ", "\t", "　", "\r\n", "\r", "\n",
      "a", "wait", "_x.1", "100", "あ", "ソ", "表", "ゾ", "「", "」", "…", "\x81", "\xE0", "\xFC", std::string(1, '\0'),
      "\x88\x9F\x89\x9E", "\x95", "\x9F\x9F\x9F",
  };
  return list;
}

std::string random_text(std::mt19937& gen) {
  const std::size_t length = gen() % 120;
  std::string text;
  switch (gen() % 4) {
    case 0:  // any bytes
      for (std::size_t k = 0; k < length; ++k) text.push_back(static_cast<char>(gen() & 0xFF));
      break;
    case 1: {  // long lines of two-byte text (trail bytes "\\" among them), now and then something else
      static const char* const wide[] = {"あ", "ソ", "表", "ゾ", "「", "」", "\x9F\x9F", "\x81\x5C"};
      for (std::size_t k = 0; k < length * 3; ++k) {
        text += gen() % 24 == 0 ? fragments()[gen() % fragments().size()] : std::string(wide[gen() % std::size(wide)]);
      }
      break;
    }
    default:  // fragments of comments, commands and Japanese text
      for (std::size_t k = 0; k < length / 2; ++k) text += fragments()[gen() % fragments().size()];
      break;
  }
  // Cut off inside a construct or after a lead byte.
  static const char* const endings[] = {"", "", "/*", "/* x\r\n", "\\f(a", "\\f(a(\r\n", "\\[c", "\\[c(", "//", "\x81", "\\\x81", "a\x83"};
  text += endings[gen() % std::size(endings)];
  return text;
}

StripOptions random_options(std::mt19937& gen) {
  static const std::int32_t flags[] = {0, 1, 1, 2};
  static const std::int32_t blank_modes[] = {0, 1, 2, 3, -1};
  static const std::int32_t strip_modes[] = {0, 0, 1, 5};
  StripOptions options;
  options.target_line_comments = flags[gen() % 4];
  options.target_block_comments = flags[gen() % 4];
  options.target_commands = flags[gen() % 4];
  options.blank_line_mode = blank_modes[gen() % 5];
  options.strip_mode = strip_modes[gen() % 4];
  return options;
}

TEST(PrunaFuzz, GeneratedTextsFollowTheRulesCharacterByCharacter) {
  std::mt19937 gen(20240603);
  for (int round = 0; round < 4000; ++round) {
    std::string text = random_text(gen);
    if (round % 2 == 1) {
      const std::string unified = unify_line_breaks(text);
      ASSERT_EQ(unified, reference_unify(text)) << "round " << round << ", input " << ::testing::PrintToString(text);
      ASSERT_EQ(line_breaks_unified(text), unified == text) << ::testing::PrintToString(text);
      ASSERT_TRUE(line_breaks_unified(unified)) << ::testing::PrintToString(text);
      text = unified;
    }
    const StripOptions options = random_options(gen);
    StripCounts counts;
    StripCounts expected_counts;
    const std::string out = strip_text(text, options, counts);
    const std::string expected = reference_strip(text, options, expected_counts);
    ASSERT_EQ(out, expected) << "round " << round << ", input " << ::testing::PrintToString(text);
    ASSERT_LE(out.size(), text.size());
    ASSERT_EQ(counts.line_comments, expected_counts.line_comments) << "round " << round;
    ASSERT_EQ(counts.block_comments, expected_counts.block_comments) << "round " << round;
    ASSERT_EQ(counts.commands, expected_counts.commands) << "round " << round;
  }
}

TEST(PrunaFuzz, NothingTargetedAndNoLineDroppedCopiesTheText) {
  std::mt19937 gen(7);
  StripOptions options;
  options.target_line_comments = options.target_block_comments = options.target_commands = 0;
  options.blank_line_mode = 0;
  for (int round = 0; round < 1000; ++round) {
    const std::string text = random_text(gen);
    StripCounts counts;
    ASSERT_EQ(strip_text(text, options, counts), text) << ::testing::PrintToString(text);
  }
}

}  // namespace
}  // namespace lumeno::stripper
