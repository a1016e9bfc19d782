#include "namefinder/scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "shell/sjis.h"
#include "tests/support.h"

namespace lumeno::namefinder {
namespace {

using Names = std::vector<std::string>;

ScanOptions default_options() {
  ScanOptions options;
  options.marks = {"「", "『", "（"};
  return options;
}

Names scan(std::string_view text, const ScanOptions& options = default_options()) {
  Names names;
  scan_candidates(text, options, [&](std::string_view name) { names.emplace_back(name); });
  return names;
}

TEST(NamexScan, TakesTheTextInFrontOfTheFirstMark) {
  EXPECT_EQ(scan("太郎「おはよう」"), Names{"太郎"});
  EXPECT_EQ(scan("太郎（小声で）……"), Names{"太郎"});
  EXPECT_EQ(scan("太郎『A』花子「B」"), Names{"太郎"});
  // Nothing is trimmed; the scan knows nothing of commands.
  EXPECT_EQ(scan(" \t太郎「あ」"), Names{" \t太郎"});
  EXPECT_EQ(scan("\\cmd(1)太郎「あ」"), Names{"\\cmd(1)太郎"});
  // A "、" after the mark does not matter.
  EXPECT_EQ(scan("太郎「はい、そう。」"), Names{"太郎"});
}

TEST(NamexScan, RejectsWhatCannotBeAName) {
  EXPECT_EQ(scan("「おはよう」"), Names{});
  EXPECT_EQ(scan("太郎、花子「行こう」"), Names{});
  EXPECT_EQ(scan("太郎。「行こう」"), Names{});
  EXPECT_EQ(scan("// 太郎「テスト」"), Names{});
  EXPECT_EQ(scan("#太郎「テスト」"), Names{});
  EXPECT_EQ(scan("　太郎「テスト」"), Names{});
  // The mark's own first character is tested too.
  ScanOptions comma = default_options();
  comma.marks = {"、"};
  EXPECT_EQ(scan("太郎、はい", comma), Names{});
  // Only the first mark decides: a rejected candidate leaves the line empty.
  EXPECT_EQ(scan("「A」太郎「B」"), Names{});
}

TEST(NamexScan, LimitsTheLengthInFrontOfTheMark) {
  const std::string sixteen = "あいうえおかきくけこさしすせそた";
  ASSERT_EQ(sixteen.size(), 32u);
  EXPECT_EQ(scan(sixteen + "x「A」"), Names{sixteen + "x"});  // 33 bytes
  EXPECT_EQ(scan(sixteen + "ち「A」"), Names{});              // 34 bytes
  // Too long for the first mark is too long for every later one.
  EXPECT_EQ(scan(sixteen + "ち「A」B「C」"), Names{});

  ScanOptions one = default_options();
  one.max_name_length = 1;
  EXPECT_EQ(scan("abc「", one), Names{"abc"});
  EXPECT_EQ(scan("abcd「", one), Names{});
  one.max_name_length = 0;
  EXPECT_EQ(scan("a「\nab「", one), Names{"a"});
}

TEST(NamexScan, NameStartMarkIsRequiredAndKept) {
  ScanOptions options = default_options();
  options.name_start_mark = "【";
  EXPECT_EQ(scan("太郎「あ」\r\n【太郎】「あ」\r\n", options), Names{"【太郎】"});
  // A start mark longer than what is left of the text never matches.
  options.name_start_mark = "【【【";
  EXPECT_EQ(scan("【「", options), Names{});
}

TEST(NamexScan, LinesEndAtCrAtLfAndAtCrLf) {
  EXPECT_EQ(scan("太郎「a」\r花子「b」\n次郎「c」\r\n三郎「d」"), (Names{"太郎", "花子", "次郎", "三郎"}));
  // A line never reaches across a line end to a mark on the next one.
  EXPECT_EQ(scan("太郎\r\n「a」"), Names{});
  EXPECT_EQ(scan(""), Names{});
  EXPECT_EQ(scan("\r\n\r\n"), Names{});
}

TEST(NamexScan, MovesOnByTheMarksOwnLength) {
  ScanOptions colon = default_options();
  colon.marks = {":"};
  // The line end right after a one-byte mark still ends the line.
  EXPECT_EQ(scan("A:\nB:x\nC:", colon), (Names{"A", "B", "C"}));
  ScanOptions pair = default_options();
  pair.marks = {"「「"};
  EXPECT_EQ(scan("A「「\nB「「", pair), (Names{"A", "B"}));
}

TEST(NamexScan, FindsMarksAtCharacterBoundariesOnly) {
  // 「 is 0x81 0x75: its trail byte is no "u" mark.
  ScanOptions u = default_options();
  u.marks = {"u"};
  EXPECT_EQ(scan("名「x", u), Names{});
  EXPECT_EQ(scan("名u", u), Names{"名"});
  // 0x88 0x81 is one character; the 0x81 0x75 after its lead byte is no 「.
  EXPECT_EQ(scan("\x88\x81\x75x"), Names{});
  // A lead byte that ends the text, or that stands before a line end.
  EXPECT_EQ(scan("太郎\x81"), Names{});
  EXPECT_EQ(scan("A「\x81\nB「"), Names{"A"});
}

// The scan step by step as first written: every byte of a line looked at,
// every mark tried until one passes.
Names literal_scan(std::string_view text, const ScanOptions& options) {
  Names names;
  const std::size_t size = text.size();
  std::size_t i = 0;
  std::size_t line_start = 0;
  std::size_t mark_pos = 0;
  bool pending = false;
  auto accept = [&] {
    if (accept_candidate(text, line_start, mark_pos)) names.emplace_back(text.substr(line_start, mark_pos - line_start));
  };
  while (i < size) {
    const char c = text[i];
    if (c == '\r' || c == '\n') {
      if (pending) accept();
      pending = false;
      line_start = ++i;
      continue;
    }
    const std::size_t step = is_sjis_lead(static_cast<unsigned char>(c)) ? 2 : 1;
    if (pending) {
      i += step;
      continue;
    }
    const std::string* matched = nullptr;
    for (const std::string& mark : options.marks) {
      if (text.substr(i).starts_with(mark)) {
        matched = &mark;
        break;
      }
    }
    const bool fits = static_cast<long long>(i - line_start) - 1 <= 2LL * options.max_name_length;
    const bool starts = options.name_start_mark.empty() || text.substr(line_start).starts_with(options.name_start_mark);
    if (matched && fits && starts) {
      mark_pos = i;
      pending = true;
      i += matched->size();
    } else {
      i += step;
    }
  }
  if (pending) accept();
  return names;
}

// The text fed to a scanner in pieces cut at the given offsets.
Names scan_in_pieces(std::string_view text, const ScanOptions& options, std::vector<std::size_t> cuts) {
  Names names;
  CandidateScanner scanner(options, [&](std::string_view name) { names.emplace_back(name); });
  std::sort(cuts.begin(), cuts.end());
  std::size_t from = 0;
  for (std::size_t cut : cuts) {
    scanner.feed(text.substr(from, cut - from));
    from = cut;
  }
  scanner.feed(text.substr(from));
  scanner.finish();
  return names;
}

TEST(NamexScan, PiecesScanLikeTheJoinedText) {
  // A file whose last line has no break runs on into the next file.
  EXPECT_EQ(scan_in_pieces("太郎\r\n次郎「あ」", default_options(), {6, 6, 10}), Names{"次郎"});
  // Marks, double-byte characters and the name start mark cut in two.
  EXPECT_EQ(scan_in_pieces("太郎「あ」\r\n花子『い』", default_options(), {1, 5, 13}), (Names{"太郎", "花子"}));
  ScanOptions start = default_options();
  start.name_start_mark = "【【";
  EXPECT_EQ(scan_in_pieces("【【A「", start, {1, 2, 3}), Names{"【【A"});
  // A lead byte that ends a piece takes the next piece's first byte.
  EXPECT_EQ(scan_in_pieces("A「\x81\nB「\nC「", default_options(), {3}), (Names{"A", "C"}));
  // The scanner is ready for a new text after finish().
  Names names;
  CandidateScanner scanner(default_options(), [&](std::string_view name) { names.emplace_back(name); });
  scanner.feed("太郎");
  scanner.finish();
  scanner.feed("「");
  scanner.finish();
  EXPECT_EQ(names, Names{});
}

TEST(NamexScan, AgreesWithTheLiteralScanOnRandomText) {
  std::mt19937 rng(4);
  const std::vector<std::string> pieces = {"太郎", "花子", "「", "『", "（", "」", "、", "。", "\r", "\n", "\r\n", "a", "#",
                                           "//", "　", "【", "\x81", "\x88\x81", ":", "u", "x", "ソ", "!"};
  for (int round = 0; round < 5000; ++round) {
    ScanOptions options = default_options();
    if (round % 3 == 1) options.marks = {":", "「", "u"};
    if (round % 5 == 2) options.name_start_mark = "【";
    // Marks and start marks that reach over a line end.
    if (round % 7 == 3) options.marks = {"a\r\n", "「"};
    if (round % 11 == 4) options.name_start_mark = "#\n";
    options.max_name_length = static_cast<std::int32_t>(rng() % 6);
    std::string text;
    const std::size_t n = rng() % 40;
    for (std::size_t k = 0; k < n; ++k) text += pieces[rng() % pieces.size()];
    const Names expected = literal_scan(text, options);
    ASSERT_EQ(scan(text, options), expected) << testing::utf8(text);
    std::vector<std::size_t> cuts(rng() % 6);
    for (std::size_t& cut : cuts) cut = text.empty() ? 0 : rng() % (text.size() + 1);
    ASSERT_EQ(scan_in_pieces(text, options, cuts), expected) << testing::utf8(text);
  }
}

}  // namespace
}  // namespace lumeno::namefinder
