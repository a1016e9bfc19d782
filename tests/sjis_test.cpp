#include "shell/sjis.h"

#include <gtest/gtest.h>

#include <random>

namespace lumeno {
namespace {

// ソ is 0x83 0x5C and 表 is 0x95 0x5C: their trail byte is a backslash.
// The stop search against a walk character by character, on texts full of
// lead bytes, trail bytes that equal a stop ("\\" in ソ) and stops after a
// lead byte, long enough for the sixteen-byte steps.
TEST(Sjis, FindCharOfMatchesAWalkCharacterByCharacter) {
  auto walk = [](std::string_view s, std::size_t from) {
    for (std::size_t i = from; i < s.size(); i += sjis_char_length(s, i)) {
      if (s[i] == '\r' || s[i] == '\n' || s[i] == '\\') return i;
    }
    return s.size();
  };
  static const char* const pieces[] = {"a", " ", "ソ", "表", "あ", "\x83", "\x81", "\xE0", "\r", "\n", "\\", "\r\n", "ーー"};
  std::mt19937 gen(7);
  for (int round = 0; round < 3000; ++round) {
    std::string text;
    const std::size_t count = gen() % 60;
    for (std::size_t k = 0; k < count; ++k) text += pieces[gen() % std::size(pieces)];
    const auto* s = reinterpret_cast<const unsigned char*>(text.data());
    for (std::size_t from = 0; from <= text.size(); from = walk(text, from) + 1) {
      ASSERT_EQ((find_char_of<'\r', '\n', '\\'>(s, from, text.size())), walk(text, from)) << "round " << round;
      if (from == text.size()) break;
    }
  }
}

TEST(Sjis, CaseHelpersLeaveDoubleByteCharactersAlone) {
  std::string s = "ABソcD";
  lower_ascii_sjis(s);
  EXPECT_EQ(s, "abソcd");
  upper_ascii_sjis(s);
  EXPECT_EQ(s, "ABソCD");
  std::string t = "C:\\ソ\\表";
  replace_byte_sjis(t, '\\', ':');
  EXPECT_EQ(t, "C::ソ:表");
  // A lead byte at the very end is stepped over without reading past it.
  std::string lead_at_end = "Ab\x83";
  lower_ascii_sjis(lead_at_end);
  EXPECT_EQ(lead_at_end, "ab\x83");
}

TEST(Sjis, EndsWithByteSeesCharactersNotBytes) {
  EXPECT_TRUE(ends_with_byte_sjis("C:\\scn\\", '\\'));
  EXPECT_FALSE(ends_with_byte_sjis("C:\\表", '\\'));
  EXPECT_FALSE(ends_with_byte_sjis("", '\\'));
}

TEST(Sjis, PathParts) {
  std::string out = "x";
  EXPECT_FALSE(file_name_part("C:\\scn\\", out));
  EXPECT_EQ(out, "");
  EXPECT_TRUE(file_name_part("a.txt", out));
  EXPECT_EQ(out, "a.txt");
  EXPECT_EQ(file_name_part("C:\\表\\ソ.txt"), "ソ.txt");
  EXPECT_EQ(file_name_part("/x/y/b.TXT"), "b.TXT");
  EXPECT_EQ(folder_part("C:\\表\\a.txt"), "C:\\表\\");
  EXPECT_TRUE(folder_name_of("C:\\scn\\ch1", out));
  EXPECT_EQ(out, "ch1");
  EXPECT_FALSE(folder_name_of("C:", out));
  EXPECT_EQ(out, "");
  EXPECT_FALSE(folder_name_of("C:\\", out));
  // The trail byte of 表 is not a separator.
  EXPECT_TRUE(folder_name_of("\\data\\図表", out));
  EXPECT_EQ(out, "図表");
}

TEST(Sjis, Extensions) {
  EXPECT_TRUE(has_txt_extension("a.txt"));
  EXPECT_TRUE(has_txt_extension("b.TXT"));
  EXPECT_TRUE(has_txt_extension("dir.v2\\.txt"));
  EXPECT_FALSE(has_txt_extension("c.doc"));
  EXPECT_FALSE(has_txt_extension("txt"));
  EXPECT_FALSE(has_txt_extension("dir.txt\\readme"));
  EXPECT_EQ(extension_part("a.b.txt"), ".txt");
  EXPECT_EQ(base_name_part("C:\\s\\prologue.txt"), "prologue");
  EXPECT_EQ(base_name_part("noext"), "noext");
}

TEST(Sjis, FoldedComparisonFoldsEveryByteAndPutsPrefixesFirst) {
  EXPECT_LT(compare_folded("C:\\s\\A.txt", "C:\\s\\b.txt"), 0);
  EXPECT_EQ(compare_folded("ABC", "abc"), 0);
  EXPECT_LT(compare_folded("ab", "abc"), 0);
  EXPECT_GT(compare_folded("b", "A"), 0);
  // Bytes above 0x7F compare as unsigned.
  EXPECT_GT(compare_folded("\x82\xa0", "z"), 0);
}

}  // namespace
}  // namespace lumeno
