#include "divider/divide.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/support.h"

namespace lumeno {
namespace {

using testing::read_file;
using testing::run_cli;
using testing::TempDir;
using testing::u8;
using testing::u8path;
using testing::write_file;

const std::string kMarker = "////≪≪■■";

std::vector<std::pair<std::string, std::string>> pieces_of(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> out;
  for (const auto& p : divider::split_pack(text)) out.emplace_back(p.name, text.substr(p.begin, p.end - p.begin));
  return out;
}

using Pieces = std::vector<std::pair<std::string, std::string>>;

TEST(Split, MarkersAnywhereSplitTheText) {
  EXPECT_EQ(pieces_of("no marker at all\r\n"), Pieces{});
  // Empty lines at the head of a piece are dropped.
  EXPECT_EQ(pieces_of(kMarker + "a.txt\r\n\r\n\r\nx\r\n"), (Pieces{{"a.txt", "x\r\n"}}));
  // A marker inside a line ends the previous piece there.
  EXPECT_EQ(pieces_of(kMarker + "a\r\nxy" + kMarker + "b\r\nz"), (Pieces{{"a", "xy"}, {"b", "z"}}));
  // Text before the first marker, and after a marker without a name, is never written.
  EXPECT_EQ(pieces_of("head\r\n" + kMarker + "\r\nlost\r\n" + kMarker + "c\nkept"), (Pieces{{"c", "kept"}}));
  // Same name twice: both pieces are given, the later one is written last.
  EXPECT_EQ(pieces_of(kMarker + "d\r\n1" + kMarker + "d\r\n2"), (Pieces{{"d", "1"}, {"d", "2"}}));
  // A marker at the very end gives its name and an empty piece.
  EXPECT_EQ(pieces_of(kMarker + "e"), (Pieces{{"e", ""}}));
  // A marker found at a trail byte position still counts (the scan is byte-wise).
  EXPECT_EQ(pieces_of("\x81" + kMarker + "f\r\nz"), (Pieces{{"f", "z"}}));
  // Double-byte characters in a name are taken whole.
  EXPECT_EQ(pieces_of(kMarker + "表.txt\r\nq"), (Pieces{{"表.txt", "q"}}));
}

TEST(Split, SafePieceNames) {
  EXPECT_TRUE(divider::is_safe_piece_name("a.txt"));
  EXPECT_TRUE(divider::is_safe_piece_name("sub\\b.txt"));
  EXPECT_TRUE(divider::is_safe_piece_name("図表\\ソ.txt"));
  EXPECT_TRUE(divider::is_safe_piece_name("..a.txt"));
  EXPECT_FALSE(divider::is_safe_piece_name(""));
  EXPECT_FALSE(divider::is_safe_piece_name("\\abs.txt"));
  EXPECT_FALSE(divider::is_safe_piece_name("/abs.txt"));
  EXPECT_FALSE(divider::is_safe_piece_name("C:\\x.txt"));
  EXPECT_FALSE(divider::is_safe_piece_name("C:x.txt"));
  EXPECT_FALSE(divider::is_safe_piece_name("..\\x.txt"));
  EXPECT_FALSE(divider::is_safe_piece_name("a\\..\\..\\x.txt"));
  EXPECT_FALSE(divider::is_safe_piece_name("a/.."));
  EXPECT_FALSE(divider::is_safe_piece_name(std::string(1024, 'n')));
  EXPECT_TRUE(divider::is_safe_piece_name(std::string(1023, 'n')));
}

class SplixRunTest : public ::testing::Test {
 protected:
  void SetUp() override { std::filesystem::create_directories(dir / "home"); }
  testing::CliResult splix(std::vector<std::string> paths) {
    std::vector<std::string> args = {"splix", "run", "--home", (dir / "home").string(), "--no-progress"};
    args.insert(args.end(), paths.begin(), paths.end());
    return run_cli(args, dir.path());
  }
  TempDir dir;
};

TEST_F(SplixRunTest, WritesPiecesIntoAFolderNamedAfterTheInput) {
  write_file(dir / "ch1.txt", kMarker + "a.txt\r\n\r\n\r\nx\r\n" + kMarker + "sub\\b.txt\r\ny" + kMarker + "a.txt\r\nz");
  const auto result = splix({"ch1.txt"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(read_file(dir / "ch1" / "a.txt"), "z");
  EXPECT_EQ(read_file(dir / "ch1" / "sub" / "b.txt"), "y");
  EXPECT_FALSE(std::filesystem::exists(dir / "ch1.txt"));
}

TEST_F(SplixRunTest, AnInputWithoutPiecesIsKept) {
  write_file(dir / "plain.txt", "no marker\r\n");
  EXPECT_EQ(splix({"plain.txt"}).status, 0);
  EXPECT_TRUE(std::filesystem::exists(dir / "plain.txt"));
  EXPECT_FALSE(std::filesystem::exists(dir / "plain"));
}

TEST_F(SplixRunTest, UnsafeOrUnwritablePiecesAreRefusedAndTheInputKept) {
  write_file(dir / "outside.txt", "keep");
  write_file(dir / "evil.txt", kMarker + "ok.txt\r\nfine\r\n" + kMarker + "..\\outside.txt\r\nowned\r\n" + kMarker + "last.txt\r\nend");
  const auto result = splix({"evil.txt"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find(u8(u8"..\\outside.txt ファイルを開けませんでした。")), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(u8(u8"処理を中断しました。")), std::string::npos);
  EXPECT_EQ(result.out, "");
  // The other pieces are still written; nothing left the output folder; the input stays.
  EXPECT_EQ(read_file(dir / "evil" / "ok.txt"), "fine\r\n");
  EXPECT_EQ(read_file(dir / "evil" / "last.txt"), "end");
  EXPECT_EQ(read_file(dir / "outside.txt"), "keep");
  EXPECT_TRUE(std::filesystem::exists(dir / "evil.txt"));
}

TEST_F(SplixRunTest, PiecesNamedUpToTheFileSystemsLimitAreWritten) {
  // Names of 251 and 255 bytes in UTF-8 (the longest a name can be), of
  // 168 and 170 in the pack.
  std::string near = "ab";
  std::u8string near_name = u8"ab";
  for (int k = 0; k < 83; ++k) {
    near += "あ";
    near_name += u8"あ";
  }
  std::string longest;
  std::u8string longest_name;
  for (int k = 0; k < 85; ++k) {
    longest += "あ";
    longest_name += u8"あ";
  }
  write_file(dir / "long.txt", kMarker + near + "\r\nnear\r\n" + kMarker + longest + "\r\nlongest\r\n");
  const auto result = splix({"long.txt"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(read_file(dir / "long" / u8path(near_name)), "near\r\n");
  EXPECT_EQ(read_file(dir / "long" / u8path(longest_name)), "longest\r\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / "long"), std::filesystem::directory_iterator()), 2);
}

TEST_F(SplixRunTest, ADividedPieceHoldsNoMarkersAndIsKept) {
  write_file(dir / "a.txt", kMarker + "x.txt\r\nx");
  const auto result = splix({"a.txt"});
  EXPECT_EQ(result.status, 0);
  // Dividing the output folder again: its piece has no markers, gives nothing and stays.
  EXPECT_EQ(splix({"a"}).status, 0);
  EXPECT_EQ(read_file(dir / "a" / "x.txt"), "x");
  EXPECT_FALSE(std::filesystem::exists(dir / "a" / "x"));
}

TEST(PackAndDivide, RoundTripOnATreeWithJapaneseNamesAndMixedLineEnds) {
  TempDir dir;
  std::filesystem::create_directories(dir / "home");
  const std::map<std::string, std::string> files = {
      {u8(u8"シナリオ/第1章/冒頭.txt"), "エリ「おはよう」\r\n\r\n地の文\r\n"},
      {u8(u8"シナリオ/第1章/lf.txt"), "\n\nline1\nline2"},
      {u8(u8"シナリオ/表/cr.txt"), "a\rb\r"},
      {u8(u8"シナリオ/empty.txt"), ""},
  };
  for (const auto& [name, text] : files) write_file(dir / testing::u8path(std::u8string(name.begin(), name.end())), text);
  const std::string home = (dir / "home").string();
  ASSERT_EQ(run_cli({"bindo", "run", "--home", home, "--no-progress", u8(u8"シナリオ")}, dir.path()).status, 0);
  ASSERT_EQ(run_cli({"splix", "run", "--home", home, "--no-progress", u8(u8"シナリオ")}, dir.path()).status, 0);
  auto back = [&](std::u8string_view rel) { return read_file(dir / testing::u8path(rel)); };
  // CR LF line ends, no leading empty lines, one extra CR LF.
  EXPECT_EQ(back(u8"シナリオ/第1章/第1章/冒頭.txt"), "エリ「おはよう」\r\n\r\n地の文\r\n\r\n");
  EXPECT_EQ(back(u8"シナリオ/第1章/第1章/lf.txt"), "line1\r\nline2\r\n");
  EXPECT_EQ(back(u8"シナリオ/表/表/cr.txt"), "a\r\nb\r\n\r\n");
  EXPECT_EQ(back(u8"シナリオ/シナリオ/empty.txt"), "");
}

}  // namespace
}  // namespace lumeno
