// Stripping the targets and keeping only the targets are two halves of one
// text: on the same input both count the same constructs, and (with no
// lines dropped) every byte that is not a line end goes to exactly one of
// the two outputs.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "stripper/strip.h"

namespace lumeno::stripper {
namespace {

std::string random_scenario(std::mt19937& rng) {
  // Argument lists and bracket tails close within their piece: where one
  // runs across a line, copying it stops at the line end by design, and the
  // two halves then part ways.
  static const std::vector<std::string> pieces = {"//", "/*", "*/", "\\cmd(1)", "\\f(a(b)c)", "\\[x y]", "\\wait",
                                                  "エリ「", "」", "text", "あ", "　", " ", "\t", "\r\n", "\n", "\r", "*", "/"};
  std::string text;
  const int n = std::uniform_int_distribution<int>(0, 30)(rng);
  for (int i = 0; i < n; ++i) text += pieces[std::uniform_int_distribution<std::size_t>(0, pieces.size() - 1)(rng)];
  return text;
}

std::string without_line_ends(std::string s) {
  s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == '\r' || c == '\n'; }), s.end());
  std::sort(s.begin(), s.end());
  return s;
}

TEST(PrunaProperty, KeepingAndRemovingTheTargetsAccountForEveryConstruct) {
  std::mt19937 rng(20261208);
  for (int round = 0; round < 3000; ++round) {
    const std::string text = unify_line_breaks(random_scenario(rng));
    StripOptions options;
    options.target_line_comments = round & 1;
    options.target_block_comments = (round >> 1) & 1;
    options.target_commands = (round >> 2) & 1;
    options.blank_line_mode = 0;
    StripCounts removed_counts;
    StripCounts kept_counts;
    options.strip_mode = 0;
    const std::string removed = strip_text(text, options, removed_counts);
    options.strip_mode = 1;
    const std::string kept = strip_text(text, options, kept_counts);
    SCOPED_TRACE(text);
    EXPECT_EQ(removed_counts.line_comments, kept_counts.line_comments);
    EXPECT_EQ(removed_counts.block_comments, kept_counts.block_comments);
    EXPECT_EQ(removed_counts.commands, kept_counts.commands);
    EXPECT_EQ(without_line_ends(removed + kept), without_line_ends(text));
  }
}

}  // namespace
}  // namespace lumeno::stripper
