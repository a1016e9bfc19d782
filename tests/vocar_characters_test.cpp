#include <gtest/gtest.h>

#include "scriptbuilder/characters.h"
#include "tests/support.h"

namespace lumeno::scriptbuilder {
namespace {

using lumeno::testing::utf8;

CharacterTable parse_ok(std::string_view bytes) {
  Result<CharacterTable> table = parse_character_definitions(bytes);
  EXPECT_TRUE(table.ok()) << utf8(table.ok() ? "" : table.error());
  return table.ok() ? *table : CharacterTable{};
}

std::string refusal(std::string_view bytes) {
  Result<CharacterTable> table = parse_character_definitions(bytes);
  return table.ok() ? std::string("(accepted)") : table.error();
}

TEST(VocarCharacters, FieldsNamesAndBlanks) {
  const CharacterTable table = parse_ok(
      "ERI,エリ,エリカ\r\n"
      "ERI ,エリ\r\n"        // a blank before the comma stays
      "\tERI,  エリ,,エリカ\r\n"  // blanks at the start and after commas go; an empty field is skipped
      ",先生\r\n"            // no voice prefix
      "A,B,C,D,E,F,G\r\n"    // fields from the sixth on are ignored
      "LAST,最後");          // no line end
  ASSERT_EQ(table.characters.size(), 6u);
  const Character& eri = table.characters[0];
  EXPECT_EQ(eri.voice_prefix, "ERI");
  EXPECT_EQ(eri.display_name, "エリ");
  EXPECT_EQ(eri.names, (std::vector<std::string>{"エリカ", "エリ"}));
  EXPECT_EQ(table.characters[1].voice_prefix, "ERI ");
  EXPECT_EQ(table.characters[2].voice_prefix, "ERI");
  EXPECT_EQ(table.characters[2].names, (std::vector<std::string>{"エリカ", "エリ"}));
  EXPECT_FALSE(table.characters[3].voiced());
  EXPECT_EQ(table.characters[3].names, std::vector<std::string>{"先生"});
  EXPECT_EQ(table.characters[4].names, (std::vector<std::string>{"C", "D", "E", "B"}));
  EXPECT_EQ(table.characters[5].names, std::vector<std::string>{"最後"});
}

TEST(VocarCharacters, CommentsOnlyAtTheFirstByteWhateverTheLineEnds) {
  for (std::string_view end : {"\r\n", "\r", "\n"}) {
    const std::string file = "//ERI,エリ" + std::string(end) + "A,甲" + std::string(end) + " //ERI,エリ" + std::string(end) +
                             std::string(end) + "\t//B,乙" + std::string(end);
    const CharacterTable table = parse_ok(file);
    ASSERT_EQ(table.characters.size(), 3u) << "line end " << end.size();
    EXPECT_EQ(table.characters[0].voice_prefix, "A");
    EXPECT_EQ(table.characters[1].voice_prefix, "//ERI");
    EXPECT_EQ(table.characters[2].voice_prefix, "//B");
  }
}

TEST(VocarCharacters, ALineWithoutNameIsDroppedWhole) {
  const CharacterTable table = parse_ok("ERI,,エリカ\r\n,\r\n,先生\r\n");
  ASSERT_EQ(table.characters.size(), 1u);
  // Neither ERI nor エリカ passed on to the next character.
  EXPECT_FALSE(table.characters[0].voiced());
  EXPECT_EQ(table.characters[0].names, std::vector<std::string>{"先生"});
  EXPECT_TRUE(parse_ok("").characters.empty());
}

TEST(VocarCharacters, LimitsRefuseTheFileNamingTheLine) {
  const std::string at_limit = std::string(31, 'P') + "," + std::string(31, 'N') + "," + std::string(255, 'x') + "\r\n";
  EXPECT_EQ(parse_ok(at_limit).characters.size(), 1u);
  // An unvoiced character keeps no display name: its name may be a full field.
  EXPECT_EQ(parse_ok("," + std::string(255, 'n')).characters.size(), 1u);

  EXPECT_EQ(refusal("A,B\r\n\r\n" + std::string(32, 'P') + ",N\r\n"),
            "キャラ定義.txt の 3 行目: ボイス名の接頭辞が長すぎます。31 バイト以内に抑えてください。");
  EXPECT_EQ(refusal("P," + std::string(32, 'N')), "キャラ定義.txt の 1 行目: キャラ名が長すぎます。31 バイト以内に抑えてください。");
  EXPECT_EQ(refusal("//c\nP,N,,,," + std::string(256, 'x')), "キャラ定義.txt の 2 行目: 項目が長すぎます。255 バイト以内に抑えてください。");

  std::string many;
  for (int k = 0; k < 1024; ++k) many += "P,N" + std::to_string(k) + "\r\n";
  EXPECT_EQ(parse_ok(many).characters.size(), 1024u);
  EXPECT_EQ(refusal(many + ",\r\nP,last\r\n"), "キャラ定義.txt の 1026 行目: キャラの数が多すぎます。1024 人以内に抑えてください。");
}

}  // namespace
}  // namespace lumeno::scriptbuilder
