#include "stripper/strip.h"

#include <gtest/gtest.h>

#include "tests/support.h"

namespace lumeno::stripper {
namespace {

using lumeno::testing::utf8;

StripOptions with_commands() {
  StripOptions options;
  options.target_commands = 1;
  return options;
}

StripOptions keep_only(StripOptions options = {}) {
  options.strip_mode = 1;
  return options;
}

StripOptions blank_lines(int mode, StripOptions options = {}) {
  options.blank_line_mode = mode;
  return options;
}

std::string strip(std::string_view text, const StripOptions& options = {}) {
  StripCounts counts;
  return strip_text(text, options, counts);
}

// Compares CP932 results, printing them readably on failure.
#define EXPECT_STRIPS(text, options, expected) \
  EXPECT_EQ(utf8(strip(text, options)), utf8(expected)) << "input: " << utf8(text)

TEST(PrunaStrip, BlankLineModesDecideWhichEmptyLinesGo) {
  const std::string text = "abc // x\r\n   // y\r\ndef\r\n\r\n";
  // The line emptied by a removal goes with its blanks; the line that was
  // empty in the source stays unless every empty line goes.
  EXPECT_STRIPS(text, StripOptions{}, "abc \r\ndef\r\n\r\n");
  EXPECT_STRIPS(text, blank_lines(0), "abc \r\n   \r\ndef\r\n\r\n");
  EXPECT_STRIPS(text, blank_lines(2), "abc \r\ndef\r\n");
  // Values without a meaning drop nothing.
  EXPECT_STRIPS(text, blank_lines(3), "abc \r\n   \r\ndef\r\n\r\n");
  EXPECT_STRIPS(text, blank_lines(-1), "abc \r\n   \r\ndef\r\n\r\n");
}

TEST(PrunaStrip, BlockCommentsJoinTheLinesAroundThem) {
  EXPECT_STRIPS("a /* b\r\nc */ d\r\n", StripOptions{}, "a  d\r\n");
  // Comments do not nest: the first "*/" ends the comment.
  EXPECT_STRIPS("a/* /* b */c */\r\n", StripOptions{}, "ac */\r\n");
  // "/*/" does not close itself.
  EXPECT_STRIPS("a/*/b*/c", StripOptions{}, "ac");
  // An unterminated comment runs to the end of the text.
  EXPECT_STRIPS("a /* b\r\nc", StripOptions{}, "a ");
  EXPECT_STRIPS("a /* b\r\nc", keep_only(), "/* b\r\nc");
}

TEST(PrunaStrip, ConstructsInsideOthersAreNeitherActedOnNorCounted) {
  StripCounts counts;
  EXPECT_EQ(strip_text("a /* // b */ // c\r\n", StripOptions{}, counts), "a  \r\n");
  EXPECT_EQ(counts.line_comments, 1);
  EXPECT_EQ(counts.block_comments, 1);

  counts = {};
  EXPECT_EQ(strip_text("x // \\cmd /* y\r\n\\f(a /* b)d // c\r\n", with_commands(), counts), "x \r\nd \r\n");
  EXPECT_EQ(counts.line_comments, 2);
  EXPECT_EQ(counts.block_comments, 0);
  EXPECT_EQ(counts.commands, 1);
}

TEST(PrunaStrip, CountsKindsThatAreNotTargets) {
  StripCounts counts;
  // Commands are copied by default, and still counted.
  EXPECT_EQ(strip_text("\\cmd // x\r\n\\a\\b\r\n", StripOptions{}, counts), "\\cmd \r\n\\a\\b\r\n");
  EXPECT_EQ(counts.commands, 3);
  EXPECT_EQ(counts.line_comments, 1);
  // Counters add up over texts.
  strip_text("/**/", StripOptions{}, counts);
  EXPECT_EQ(counts.block_comments, 1);
  EXPECT_EQ(counts.commands, 3);
}

TEST(PrunaStrip, DoubleByteCharactersAreContentUnlessIdeographicSpaces) {
  // 「……」: every character has lead byte 0x81.
  EXPECT_STRIPS("「……」\r\n　　\r\nx", blank_lines(2), "「……」\r\nx");
  // A line of ideographic spaces emptied by a removal is blank.
  EXPECT_STRIPS("a\r\n　 　// c\r\nb", StripOptions{}, "a\r\nb");
  EXPECT_STRIPS("a\r\n　 　// c\r\nb", blank_lines(0), "a\r\n　 　\r\nb");
}

TEST(PrunaStrip, TrailBytesNeverStartAConstruct) {
  // ソ and 表 end in 0x5C, ゾ ends in 0x5D; "／" is not "/".
  StripCounts counts;
  EXPECT_EQ(strip_text("ソ表ゾ／／x\r\n", with_commands(), counts), "ソ表ゾ／／x\r\n");
  EXPECT_EQ(counts.commands + counts.line_comments + counts.block_comments, 0);
  // Inside a comment, a lead byte takes the byte after it along: the "*"
  // of "\x81*" does not close the comment.
  EXPECT_STRIPS(std::string("a/*\x81*/b*/c"), StripOptions{}, "ac");
}

TEST(PrunaStrip, LineCommentsRunToTheLineEndWhereverTheyStart) {
  EXPECT_STRIPS("「a//b」\r\n", StripOptions{}, "「a\r\n");
  // A last line without a line break keeps what was written for it.
  EXPECT_STRIPS("a\r\n   // y", StripOptions{}, "a\r\n   ");
  // A lone "/" is text.
  EXPECT_STRIPS("1/2 / 3\r\n", StripOptions{}, "1/2 / 3\r\n");
  EXPECT_EQ(strip(""), "");
}

TEST(PrunaStrip, RemovedCommandsTakeNameArgumentsAndBracketTail) {
  const StripOptions options = with_commands();
  EXPECT_STRIPS("\\wait(100)「あ」", options, "「あ」");
  EXPECT_STRIPS("\\cmd 100", options, " 100");
  EXPECT_STRIPS("\\[cmd arg]x", options, "x");
  EXPECT_STRIPS("\\f(a(b)c)d", options, "d");
  EXPECT_STRIPS("\\f(a\r\nb)c\r\n", options, "c\r\n");
  EXPECT_STRIPS("x\\abcあ", options, "xあ");
  EXPECT_STRIPS("x\\あいabc(1)", options, "x");
  // Blanks before the name belong to the command; a byte outside the name
  // class ends an empty name.
  EXPECT_STRIPS("\\ \t wait(1)x", options, "x");
  EXPECT_STRIPS("a\\-b", options, "a-b");
  // The bracket tail is searched byte by byte, across lines.
  EXPECT_STRIPS("\\[cmd\r\narg] x\r\n", options, " x\r\n");
  EXPECT_STRIPS("\\[cmd(a]b)c]d", options, "d");
  // Unterminated parts run to the end of the text.
  EXPECT_STRIPS("a\\f(b(c)\r\nd", options, "a");
  EXPECT_STRIPS("a\\[f\r\nd", options, "a");
}

TEST(PrunaStrip, CopiedCommandsStopTheirArgumentsAtALineBreak) {
  // Commands are not a target: the argument list ends at the line break,
  // and the rest of the list is text of the next line.
  StripCounts counts;
  EXPECT_EQ(strip_text("\\f(a\r\nb) // c\r\n", StripOptions{}, counts), "\\f(a\r\nb) \r\n");
  EXPECT_EQ(counts.line_comments, 1);
  // Kept as targets, the same: no bracket tail is looked for either.
  EXPECT_STRIPS("\\[f(a\r\nb]c)\r\n", keep_only(with_commands()), "\\[f(a\r\n");
  // The bracket tail itself crosses lines when copied.
  EXPECT_STRIPS("\\[cmd\r\narg] x\r\n", keep_only(with_commands()), "\\[cmd\r\narg]\r\n");
}

TEST(PrunaStrip, KeepingOnlyTheTargets) {
  EXPECT_STRIPS("text // c\r\n\r\nplain\r\n/* b */\r\n", keep_only(), "// c\r\n\r\n/* b */\r\n");
  // The command goes with its line break, "c" goes as text: nothing is left.
  EXPECT_STRIPS("\\f(a\r\nb)c\r\n", keep_only(), "");
  EXPECT_STRIPS("a \\w(1) b\r\n", keep_only(with_commands()), "\\w(1)\r\n");
  // Any nonzero mode keeps only the targets; a target value other than 1
  // is no target.
  StripOptions options = keep_only();
  options.strip_mode = 7;
  options.target_line_comments = 2;
  EXPECT_STRIPS("a // b\r\n/*c*/\r\n", options, "/*c*/\r\n");
}

TEST(PrunaStrip, ALeadByteThatEndsTheTextIsCopiedAlone) {
  EXPECT_STRIPS(std::string("ab\x81"), StripOptions{}, std::string("ab\x81"));
  EXPECT_STRIPS(std::string("ab\x81"), keep_only(), "");
  EXPECT_STRIPS(std::string("ab//\x81"), StripOptions{}, "ab");
  EXPECT_STRIPS(std::string("a\\\x81"), with_commands(), "a");
  EXPECT_STRIPS(std::string("a\\\x81"), StripOptions{}, std::string("a\\\x81"));
}

TEST(PrunaUnify, EveryLineBreakBecomesCrLf) {
  EXPECT_EQ(unify_line_breaks("a\nb\rc\r\n"), "a\r\nb\r\nc\r\n");
  EXPECT_EQ(unify_line_breaks("\r\r\n\n\r"), "\r\n\r\n\r\n\r\n");
  EXPECT_EQ(unify_line_breaks("no break"), "no break");
  EXPECT_EQ(unify_line_breaks(""), "");
  // A CR or LF after a lead byte is its trail byte; a final lead byte stays.
  EXPECT_EQ(unify_line_breaks(std::string("\x81\n\x81\r\n\x81")), std::string("\x81\n\x81\r\r\n\x81"));
  // Stripped after unifying, mixed line ends come out as CR LF.
  EXPECT_EQ(strip(unify_line_breaks("a\nb\rc\r\n")), "a\r\nb\r\nc\r\n");
}

}  // namespace
}  // namespace lumeno::stripper
