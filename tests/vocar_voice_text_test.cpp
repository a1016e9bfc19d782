#include <gtest/gtest.h>

#include <random>

#include "scriptbuilder/text/voice_text.h"
#include "shell/sjis.h"

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

// The voice-embedded text the plain way: one character at a time, every
// character, name and mark tried at each line start.
std::string literal_embed(std::string_view text, const CharacterTable& table, const DialogueMarks& marks,
                          const BuilderSettings& s) {
  VoiceNumbering voices(table, s);
  const std::string guarded = std::string(text) + "\r\n";
  std::string out;
  std::size_t i = 0;
  const std::size_t n = text.size();
  while (i < n) {
    if (text[i] != '\r' && text[i] != '\n') {
      bool matched = false;
      for (std::size_t c = 0; c < table.characters.size() && !matched; ++c) {
        for (const std::string& name : table.characters[c].names) {
          for (const std::string& mark : marks) {
            if (matched || guarded.compare(i, name.size() + mark.size(), name + mark) != 0) continue;
            matched = true;
            const std::int64_t number = voices.take_voice_number(static_cast<int>(c));
            if (number >= 0) {
              out += s.command_prefix + voices.format_voice_name(static_cast<int>(c), number) + s.command_suffix;
              if (s.voice_cr_lf) out += "\r\n";
            }
            out += name;
            i += name.size();
          }
        }
      }
      while (i < n && text[i] != '\r' && text[i] != '\n') {
        const std::size_t len = sjis_char_length(text, i);
        out.append(text.substr(i, len));
        i += len;
      }
    }
    if (i >= n) break;
    i += (text[i] == '\r' && i + 1 < n && text[i + 1] == '\n') ? 2 : 1;
    out += "\r\n";
  }
  return out;
}

TEST(VocarVoiceText, AgreesWithTheLiteralProcedureOnRandomScenarios) {
  const std::vector<std::string> units = {"エ", "リ", "「", "（", "a", "\r", "\n", "\r\n", "\x81", " "};
  std::mt19937 gen(5);
  auto pick = [&](std::size_t hi) { return std::uniform_int_distribution<std::size_t>(0, hi)(gen); };
  for (int round = 0; round < 2000; ++round) {
    CharacterTable table;
    for (std::size_t c = pick(4); c > 0; --c) {
      Character ch;
      if (pick(2) != 0) ch.voice_prefix = "C" + std::to_string(c);
      for (std::size_t k = pick(2) + 1; k > 0; --k) ch.names.push_back(units[pick(4)] + (pick(1) ? units[pick(4)] : ""));
      table.characters.push_back(ch);
    }
    DialogueMarks marks = {"「", "（"};
    if (pick(3) == 0) marks = {"リ「"};
    BuilderSettings s = default_settings();
    s.voice_cr_lf = pick(1) == 0;
    std::string text;
    for (std::size_t k = pick(30); k > 0; --k) text += units[pick(units.size() - 1)];

    std::string out;
    const DialogueMatcher matcher(table, marks);
    VoiceNumbering voices(table, s);
    embed_voice_commands(text, matcher, voices, {s.command_prefix, s.command_suffix, s.voice_cr_lf}, out);
    ASSERT_EQ(out, literal_embed(text, table, marks, s)) << "round " << round;
  }
}

}  // namespace
}  // namespace lumeno::scriptbuilder
