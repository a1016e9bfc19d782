#include <gtest/gtest.h>

#include "scriptbuilder/voice_text.h"

namespace lumeno::scriptbuilder {
namespace {

BuilderSettings default_settings() {
  BuilderSettings s;
  s.second_string = "A1_";
  s.start_number = "0001";
  s.command_prefix = "\\VO(";
  s.command_suffix = ")";
  return s;
}

CharacterTable eri_and_teacher() {
  CharacterTable table;
  table.characters.push_back({"ERI", "エリ", {"エリ"}});
  table.characters.push_back({"", "", {"先生"}});  // no voice prefix
  return table;
}

struct Embedder {
  explicit Embedder(BuilderSettings s = default_settings()) : settings(std::move(s)) {}
  std::string operator()(std::string_view text) {
    std::string out;
    embed_voice_commands(text, matcher, voices, {settings.command_prefix, settings.command_suffix, settings.voice_cr_lf}, out);
    return out;
  }
  BuilderSettings settings;
  CharacterTable table = eri_and_teacher();
  DialogueMatcher matcher{table, {"「", "『", "（"}};
  VoiceNumbering voices{table, settings};
};

TEST(VocarVoiceText, CommandOnItsOwnLineBeforeEachNumberedLine) {
  Embedder embed;
  EXPECT_EQ(embed("エリ「おはよう」\r\n（地の文）\r\nエリ『また』\r\n"),
            "\\VO(ERI_A1_0001)\r\nエリ「おはよう」\r\n（地の文）\r\n\\VO(ERI_A1_0002)\r\nエリ『また』\r\n");
  // The counter runs on from file to file.
  EXPECT_EQ(embed("エリ（…）"), "\\VO(ERI_A1_0003)\r\nエリ（…）");
}

TEST(VocarVoiceText, LinesThatAreNotNumberedStayAsTheyAre) {
  Embedder embed;
  // Commented, indented and unvoiced lines; a line inside a block comment is dialogue.
  EXPECT_EQ(embed("//エリ「…」\r\n　エリ「…」\r\n先生「静かに」\r\n/*\r\nエリ「…」\r\n*/"),
            "//エリ「…」\r\n　エリ「…」\r\n先生「静かに」\r\n/*\r\n\\VO(ERI_A1_0001)\r\nエリ「…」\r\n*/");
  EXPECT_EQ(embed(""), "");
}

TEST(VocarVoiceText, LineEndsBecomeCrLfAndNoneIsAdded) {
  Embedder embed;
  EXPECT_EQ(embed("a\nb\rc\r\n\n\r\rd"), "a\r\nb\r\nc\r\n\r\n\r\n\r\nd");
  EXPECT_EQ(embed("エリ「a」\nエリ「b」\r"), "\\VO(ERI_A1_0001)\r\nエリ「a」\r\n\\VO(ERI_A1_0002)\r\nエリ「b」\r\n");
  // A lead byte takes the byte after it whole, a line end included; one
  // that ends the file is copied alone, nothing added.
  EXPECT_EQ(embed("x\x81\ny\x81"), "x\x81\ny\x81");
}

TEST(VocarVoiceText, CommandTextsAreTextNotFormats) {
  BuilderSettings s = default_settings();
  s.voice_cr_lf = false;
  s.command_prefix = "";
  s.command_suffix = "";
  EXPECT_EQ(Embedder(s)("エリ「…」"), "ERI_A1_0001エリ「…」");
  s.command_prefix = "%s[";
  s.command_suffix = "%d]";
  EXPECT_EQ(Embedder(s)("エリ「…」"), "%s[ERI_A1_0001%d]エリ「…」");
}

TEST(VocarVoiceText, WideNumbersAreWrittenInFull) {
  BuilderSettings s = default_settings();
  s.start_number = "8";
  s.voice_cr_lf = false;
  Embedder embed(s);
  std::string text;
  std::string expected;
  for (int k = 8; k <= 17; ++k) {
    text += "エリ「…」\r\n";
    expected += "\\VO(ERI_A1_" + std::to_string(k) + ")エリ「…」\r\n";
  }
  EXPECT_EQ(embed(text), expected);
}

}  // namespace
}  // namespace lumeno::scriptbuilder
