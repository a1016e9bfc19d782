#include "shell/names.h"

#include <gtest/gtest.h>

#include "tests/support.h"

namespace lumeno {
namespace {

using testing::u8path;

TEST(Names, NativePathsBecomeCp932NamesWithBackslashes) {
  auto name = names::to_name(u8path(u8"/シナリオ/第1章/表.txt"));
  ASSERT_TRUE(name) << name.error();
  EXPECT_EQ(*name, "\\シナリオ\\第1章\\表.txt");
  auto back = names::to_path(*name);
  ASSERT_TRUE(back);
  EXPECT_EQ(*back, u8path(u8"/シナリオ/第1章/表.txt"));
}

TEST(Names, TrailBytesAreNotSeparators) {
  // 表 ends in 0x5C; ソ too.
  auto path = names::to_path("図表\\ソース.txt");
  ASSERT_TRUE(path);
  EXPECT_EQ(*path, u8path(u8"図表/ソース.txt"));
  // Either separator, doubled or leading; a lead byte before a separator
  // takes it as its trail byte, and 82 2F is no character.
  auto both = names::to_path("\\表\\\\a/ソ/b");
  ASSERT_TRUE(both);
  EXPECT_EQ(*both, u8path(u8"/表//a/ソ/b"));
  EXPECT_FALSE(names::to_path("a\x82/b"));
}

TEST(Names, NamesThatCannotMakeTheRoundTripAreRefused) {
  // Not in CP932 at all.
  EXPECT_FALSE(names::to_name(u8path(u8"/s/\U0001F600.txt")));
  // The yen sign would come back as a backslash, a separator.
  EXPECT_FALSE(names::to_name(u8path(u8"/s/a\u00a5b.txt")));
  // A backslash inside a POSIX name would become a separator.
  EXPECT_FALSE(names::to_name(u8path(u8"/s/a\\b.txt")));
  // A lone lead byte is not CP932 text.
  EXPECT_FALSE(names::to_path("abc\x82"));
  auto refused = names::to_name(u8path(u8"/s/\U0001F600.txt"));
  EXPECT_NE(refused.error().find("Shift_JIS"), std::string::npos);
}

TEST(Names, TerminalTextConversions) {
  EXPECT_EQ(names::utf8_from_cp932_lossy("エリ"), testing::u8(u8"エリ"));
  EXPECT_EQ(names::utf8_from_cp932_lossy("a\x82"), "a?");
  auto cp = names::cp932_from_utf8(testing::u8(u8"「/『/（"));
  ASSERT_TRUE(cp);
  EXPECT_EQ(*cp, "「/『/（");
}

TEST(Names, AsciiIsItselfInEitherEncodingWithOrWithoutDoubleByteText) {
  std::string ascii;
  for (int c = 1; c < 0x80; ++c) ascii += static_cast<char>(c);
  const std::string table = testing::u8(u8"表");
  // Alone, and beside a double-byte character, which the converter takes.
  for (const auto& [cp932, utf8] : {std::pair{ascii, ascii}, std::pair{ascii + "表", ascii + table}}) {
    EXPECT_EQ(names::utf8_from_cp932_lossy(cp932), utf8);
    auto to_utf8 = names::utf8_from_cp932(cp932);
    ASSERT_TRUE(to_utf8);
    EXPECT_EQ(*to_utf8, utf8);
    auto to_cp932 = names::cp932_from_utf8(utf8);
    ASSERT_TRUE(to_cp932);
    EXPECT_EQ(*to_cp932, cp932);
  }
}

}  // namespace
}  // namespace lumeno
