// The voice-actor scripts end to end through `lumeno vocar run`.
#include <gtest/gtest.h>

#include "tests/support.h"

namespace lumeno {
namespace {

using testing::read_file;
using testing::run_cli;
using testing::TempDir;
using testing::u8path;
using testing::write_file;

class VocarScriptsRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(home() / u8path(u8"キャラ定義.txt"), "ERI,エリ\r\nYUU,ユウ\r\n");
    write_file(tmp / "scn" / "a.txt", "エリ「おはよう」\r\n（地の文）\r\nユウ「やあ」\r\n");
    write_file(tmp / "scn" / "b.txt", "\\wait(100)エリ「待って」\r\nエリ「行こう」\r\n");
    write_file(tmp / "scn" / "sub" / "c.txt", "ユウ「うん」\r\nエリ「じゃあね」");
  }
  std::filesystem::path home() const { return tmp / "home"; }
  std::string script(std::u8string_view name) const { return read_file(home() / u8path(u8"声優用台本") / u8path(name)); }
  std::string voice_text(std::string_view name) const {
    return read_file(home() / u8path(u8"ボイス命令埋込済テキスト") / "scn" / name);
  }

  TempDir tmp;
};

TEST_F(VocarScriptsRunTest, TwoCharactersThreeFiles) {
  const auto r = run_cli({"vocar", "run", "--home", home().string(), "--yes", "--no-progress", "scn"}, tmp.path());
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string eri = "ERI\r\nエリ\r\n1\r\n";
  const std::string yuu = "YUU\r\nユウ\r\n1\r\n";
  const std::string all = "全キャラ\r\n全キャラ\r\n1\r\n";
  EXPECT_EQ(script(u8"[ERI]エリ/scn/a.zd"),
            eri + "\r\nERI_A1_0001\tエリ\t「おはよう」\r\n\r\n\t \t（地の文）\r\n\r\n\tユウ\t「やあ」\r\n");
  // A line that begins with a command is a direction, here as everywhere.
  EXPECT_EQ(script(u8"[ERI]エリ/scn/b.zd"), eri + "\t \tエリ「待って」\r\n\r\nERI_A1_0002\tエリ\t「行こう」\r\n\r\n");
  EXPECT_EQ(script(u8"[ERI]エリ/scn/sub/c.zd"), eri + "\r\n\tユウ\t「うん」\r\n\r\nERI_A1_0003\tエリ\t「じゃあね」");
  EXPECT_EQ(script(u8"[YUU]ユウ/scn/a.zd"),
            yuu + "\r\n\tエリ\t「おはよう」\r\n\t \t（地の文）\r\n\r\nYUU_A1_0001\tユウ\t「やあ」\r\n\r\n");
  // No line of ユウ in b.txt: no script.
  EXPECT_FALSE(std::filesystem::exists(home() / u8path(u8"声優用台本/[YUU]ユウ/scn/b.zd")));
  EXPECT_EQ(script(u8"[YUU]ユウ/scn/sub/c.zd"), yuu + "\r\nYUU_A1_0002\tユウ\t「うん」\r\n\r\n\tエリ\t「じゃあね」");
  EXPECT_EQ(script(u8"[全キャラ一括台本]/scn/a.zd"),
            all + "\r\nERI_A1_0001\tエリ\t「おはよう」\r\n\r\n\t \t（地の文）\r\n\r\nYUU_A1_0001\tユウ\t「やあ」\r\n\r\n");
  EXPECT_EQ(script(u8"[全キャラ一括台本]/scn/sub/c.zd"),
            all + "\r\nYUU_A1_0002\tユウ\t「うん」\r\n\r\nERI_A1_0003\tエリ\t「じゃあね」");
  // The same numbers in the voice-embedded text.
  EXPECT_EQ(voice_text("a.txt"), "\\VO(ERI_A1_0001)\r\nエリ「おはよう」\r\n（地の文）\r\n\\VO(YUU_A1_0001)\r\nユウ「やあ」\r\n");
  EXPECT_EQ(voice_text("b.txt"), "\\wait(100)エリ「待って」\r\n\\VO(ERI_A1_0002)\r\nエリ「行こう」\r\n");
  EXPECT_EQ(voice_text("sub/c.txt"), "\\VO(YUU_A1_0002)\r\nユウ「うん」\r\n\\VO(ERI_A1_0003)\r\nエリ「じゃあね」");
}

TEST_F(VocarScriptsRunTest, DialogueOnlyAllCharacterScriptAndOverflow) {
  ASSERT_EQ(run_cli({"vocar", "config", "--home", home().string(), "all_characters_dialogue_only=1", "start_number=8",
                     "script_frame_dialogue=0"},
                    tmp.path())
                .status,
            0);
  const auto r = run_cli({"vocar", "run", "--home", home().string(), "--yes", "--no-progress", "scn"}, tmp.path());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(script(u8"[全キャラ一括台本]/scn/a.zd"),
            "全キャラ\r\n全キャラ\r\n0\r\n\r\nERI_A1_8\tエリ\t「おはよう」\r\n\r\nYUU_A1_8\tユウ\t「やあ」\r\n\r\n");
  EXPECT_EQ(script(u8"[ERI]エリ/scn/sub/c.zd").substr(0, 14), "ERI\r\nエリ\r\n0\r\n");
  // ERI reaches 10 in c.txt: wider than the one digit of the start number.
  EXPECT_NE(script(u8"[ERI]エリ/scn/sub/c.zd").find("ERI_A1_10\t"), std::string::npos);
  EXPECT_NE(r.err.find(testing::u8(u8"ボイス番号の桁あふれが発生しました。")), std::string::npos) << r.err;
}

}  // namespace
}  // namespace lumeno
