// Speeches: the line of dialogue that carries a voice and the lines that
// continue it up to its closing bracket, as the take book, the pick-ups, the
// scripts' frames and the scenario check read them.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "scriptbuilder/scanner.h"
#include "scriptbuilder/speech.h"
#include "shell/dialogue_marks.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

// The speech of the line starting at the text's start, whose mark follows a
// name of `name_bytes` bytes; a line is dialogue when it begins with "エリ「"
// or "ケン「".
Speech speech_of(std::string_view text, std::string_view mark = "「", std::size_t name_bytes = 4) {
  return find_speech(text, name_bytes + mark.size(), mark, [&](std::size_t pos) {
    const std::string_view rest = text.substr(pos);
    return rest.starts_with("エリ「") || rest.starts_with("ケン「");
  });
}

TEST(Speech, ClosesOnItsLineOrOnALaterOne) {
  const Speech one = speech_of("エリ「おはよう」\r\nケン「やあ」");
  EXPECT_EQ(one.how, SpeechEnd::closed);
  EXPECT_EQ(one.lines, 1u);
  EXPECT_EQ(one.end, std::string_view("エリ「おはよう」").size());

  const std::string_view three = "エリ「長い話だけど\r\n聞いてくれる？\nきっと驚くよ」\r地の文\r\n";
  const Speech s = speech_of(three);
  EXPECT_EQ(s.how, SpeechEnd::closed);
  EXPECT_EQ(s.lines, 3u);
  EXPECT_EQ(three.substr(0, s.end), "エリ「長い話だけど\r\n聞いてくれる？\nきっと驚くよ」");
  EXPECT_FALSE(s.unclosed());
  EXPECT_EQ(speech_text(three, 4, s), "「長い話だけど\n聞いてくれる？\nきっと驚くよ」");
}

TEST(Speech, CountsOnlyItsOwnBracketAndNestsIt) {
  // Another kind of bracket neither opens nor closes it; its own kind nests.
  EXPECT_EQ(speech_of("エリ「（小声で）ね」").how, SpeechEnd::closed);
  const Speech nested = speech_of("エリ「彼は「うん」と\r\n言った」");
  EXPECT_EQ(nested.lines, 2u);
  EXPECT_EQ(nested.how, SpeechEnd::closed);
  EXPECT_EQ(speech_of("エリ『あ」\r\nい』", "『").lines, 2u);
  // A mark whose last character opens no bracket: the line alone.
  const Speech plain = speech_of("エリ：あ\r\nい」", "：");
  EXPECT_EQ(plain.how, SpeechEnd::no_bracket);
  EXPECT_EQ(plain.lines, 1u);
  // A mark of several characters is closed by its last one's partner.
  EXPECT_EQ(speech_of("エリ：「あ\r\nい」", "：「").lines, 2u);
}

TEST(Speech, EndsEarlyBeforeABlankACommandOrTheNextDialogue) {
  struct Case {
    std::string_view text;
    SpeechEnd how;
    std::uint32_t lines;
  };
  const Case cases[] = {
      {"エリ「あ\r\nい\r\n\r\nう」", SpeechEnd::blank, 2},
      {"エリ「あ\r\n　 \t\r\nう」", SpeechEnd::blank, 1},
      {"エリ「あ\r\n  \\wait(10)\r\nう」", SpeechEnd::command, 1},
      {"エリ「あ\r\nケン「い」", SpeechEnd::dialogue, 1},
      {"エリ「あ\r\nい", SpeechEnd::text_end, 2},
      {"エリ「あ\r\n", SpeechEnd::text_end, 1},
      {"エリ「あ", SpeechEnd::text_end, 1},
  };
  for (const Case& c : cases) {
    const Speech s = speech_of(c.text);
    EXPECT_EQ(s.how, c.how) << c.text;
    EXPECT_EQ(s.lines, c.lines) << c.text;
    EXPECT_TRUE(s.unclosed()) << c.text;
    EXPECT_FALSE(s.cut_by_comment) << c.text;
  }
  // A narration line that merely holds a command goes on with the speech.
  EXPECT_EQ(speech_of("エリ「あ\r\nい\\wait(10)う」").lines, 2u);
}

TEST(Speech, ReadsCommandsAndCommentsAsTheEngineDoes) {
  // "//" comments out the closing bracket, in a URL as anywhere: the speech
  // runs on, and ends unclosed, saying that a comment cut it.
  const Speech url = speech_of("エリ「https://example.org/ を見てね」\r\nケン「うん」");
  EXPECT_EQ(url.how, SpeechEnd::dialogue);
  EXPECT_TRUE(url.cut_by_comment);
  // A bracket inside a command's arguments or a block comment counts not;
  // a block comment goes on over lines.
  EXPECT_EQ(speech_of("エリ「\\say(」)あ\r\nい」").lines, 2u);
  const std::string_view block = "エリ「あ/* 」\r\n」 */い」\r\n";
  const Speech s = speech_of(block);
  EXPECT_EQ(s.lines, 2u);
  EXPECT_EQ(s.how, SpeechEnd::closed);
  EXPECT_EQ(speech_text(block, 4, s), "「あ\nい」");
  // A command left open does not run past its line.
  EXPECT_EQ(speech_of("エリ「\\se(\r\nい」").lines, 2u);
  // Second bytes that read as a backslash or a slash are halves of
  // characters ("ソ" is 83 5C, "表" is 95 5C).
  EXPECT_EQ(speech_of("エリ「ソ表」").how, SpeechEnd::closed);
  EXPECT_EQ(speech_text("エリ「ソ表/」", 4, speech_of("エリ「ソ表/」")), "「ソ表/」");
}

TEST(Speech, TextLeavesOutCommandsCommentsAndTrailingBlanks) {
  const std::string_view text = "エリ「\\wait(10)あ　 // メモ\r\n  い\\se(1) 」\t\r\n";
  const Speech s = speech_of(text);
  ASSERT_EQ(s.lines, 2u);
  EXPECT_EQ(speech_text(text, 4, s), "「あ\n  い 」");
}

// The real scenario: every speech that goes on over further lines closes
// there, but for the one whose closing bracket a URL's "//" comments out.
TEST(Speech, OnTheRealScenario) {
  namespace fs = std::filesystem;
  const fs::path root = fs::path(LUMENO_SOURCE_DIR) / "tests" / "corpus" / "real";
  std::ifstream definitions_file(root / "home" / testing::u8path(u8"キャラ定義.txt"), std::ios::binary);
  ASSERT_TRUE(definitions_file);
  std::stringstream definitions;
  definitions << definitions_file.rdbuf();
  const CharacterTable table = *parse_character_definitions(definitions.str());
  const DialogueMarks marks = *parse_dialogue_marks("「/『/（");
  const DialogueMatcher matcher(table, marks);

  std::size_t speeches = 0, continued = 0, unclosed = 0, cut = 0;
  for (const auto& entry : fs::recursive_directory_iterator(root / "scenario")) {
    if (!entry.is_regular_file()) continue;
    std::ifstream file(entry.path(), std::ios::binary);
    std::stringstream bytes;
    bytes << file.rdbuf();
    const std::string text = bytes.str();
    for_each_dialogue_line(text, matcher, [&](std::uint32_t, std::size_t begin, const DialogueMatch& match, std::size_t) {
      const Speech s = find_dialogue_speech(text, begin, match, marks, matcher);
      ++speeches;
      if (s.lines > 1) ++continued;
      if (s.unclosed()) ++unclosed;
      if (s.cut_by_comment) ++cut;
    });
  }
  EXPECT_EQ(speeches, 2461u);
  EXPECT_EQ(continued, 236u);
  EXPECT_EQ(unclosed, 1u);
  EXPECT_EQ(cut, 1u);
}

}  // namespace
}  // namespace lumeno::scriptbuilder
