#include <gtest/gtest.h>

#include "tests/support.h"

namespace lumeno::testing {
namespace {

const std::string kFooterLine = "\r\n//" + std::string(68, '-') + "\r\n";

class NamexRunTest : public ::testing::Test {
 protected:
  fs::path home() const { return dir_ / "home"; }
  fs::path scenario() const { return dir_ / "scn"; }
  void SetUp() override { fs::create_directories(home()); }

  CliResult namex(const std::string& command, const std::vector<std::string>& rest = {}) {
    std::vector<std::string> args = {"namex", command, "--home", home().string()};
    args.insert(args.end(), rest.begin(), rest.end());
    return run_cli(args, dir_.path());
  }
  CliResult run(const fs::path& path) { return namex("run", {"--no-progress", path.string()}); }
  std::string report() const { return read_file(home() / "output.txt"); }

  TempDir dir_;
};

TEST_F(NamexRunTest, JoinsTheFilesInRunOrderWithNothingBetween) {
  // b.txt's last line has no line break: it runs into c.txt's first line.
  write_file(scenario() / "a.txt", "太郎「あ」\r\n");
  write_file(scenario() / "sub" / "c.txt", "「い」\r\n花子「う」\r\n");
  write_file(scenario() / "b.txt", "次郎");
  write_file(scenario() / "skip.csv", "三郎「え」\r\n");
  const CliResult r = run(scenario());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find(u8(u8"3 個のファイルを変換しました。")), std::string::npos) << r.out;
  // By name: 花子 (0x89 0xD4), 次郎 (0x8E 0x9F), 太郎 (0x91 0xBE).
  EXPECT_EQ(report(), "[    1個] ,花子\r\n[    1個] ,次郎\r\n[    1個] ,太郎\r\n" + kFooterLine + "// 3 件のキャラ名候補が見つかりました。\r\n");
  EXPECT_FALSE(fs::exists(home() / "output.tmp"));
}

TEST_F(NamexRunTest, UsesTheExclusionListAndNeverReadsItsOwnFiles) {
  write_file(home() / u8path(u8"除外リスト.txt"), "太郎\r\n");
  write_file(home() / "output.txt", "古い「報告」\r\n");
  write_file(home() / "a.txt", "太郎「あ」\r\n花子「い」\r\n");
  // The home folder itself is dropped: its list and report are no input.
  const CliResult r = run(home());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(report(), "[    1個] ,花子\r\n" + kFooterLine + "// 1 件のキャラ名候補が見つかりました。\r\n");
}

TEST_F(NamexRunTest, AWorkFileLeftBehindIsNeverCounted) {
  write_file(home() / "output.tmp", "幽霊「ばあ」\r\n");
  write_file(scenario() / "a.txt", "太郎「あ」\r\n");
  const CliResult r = run(scenario());
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(report(), "[    1個] ,太郎\r\n" + kFooterLine + "// 1 件のキャラ名候補が見つかりました。\r\n");
  EXPECT_FALSE(fs::exists(home() / "output.tmp"));
}

TEST_F(NamexRunTest, ARunWithoutFilesWritesNoReport) {
  write_file(home() / "output.tmp", "幽霊「ばあ」\r\n");
  write_file(scenario() / "notes.csv", "太郎「あ」\r\n");
  const CliResult r = run(scenario());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(u8(u8"ファイルが存在しません")), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(home() / "output.txt"));
  EXPECT_FALSE(fs::exists(home() / "output.tmp"));
}

TEST_F(NamexRunTest, AReportThatCannotBeWrittenStopsTheRun) {
  fs::create_directories(home() / "output.txt");
  write_file(scenario() / "a.txt", "太郎「あ」\r\n");
  const CliResult r = run(scenario());
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find(u8(u8"output.txt ファイルを開けませんでした。")), std::string::npos) << r.err;
  EXPECT_NE(r.err.find(u8(u8"処理を中断しました。")), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_FALSE(fs::exists(home() / "output.tmp"));
}

TEST_F(NamexRunTest, MarksThatDoNotParseRefuseTheStart) {
  write_file(scenario() / "a.txt", "太郎「あ」\r\n");
  ASSERT_EQ(namex("config", {u8(u8"dialogue_marks=「/123456789")}).status, 0);
  const CliResult r = run(scenario());
  EXPECT_EQ(r.status, 3);
  EXPECT_NE(r.err.find("longer than 8 bytes"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(home() / "output.txt"));
}

TEST_F(NamexRunTest, SettingsShapeTheScanAndTheOrder) {
  write_file(scenario() / "a.txt", "【A】:x\r\nB:y\r\n【A】:z\r\n【CCC】:w\r\n【B】:v\r\n");
  ASSERT_EQ(namex("config", {"dialogue_marks=:", u8(u8"name_start_mark=【"), "max_name_length=2", "list_order=1", "list_reverse=1"}).status, 0);
  const CliResult r = run(scenario());
  ASSERT_EQ(r.status, 0) << r.err;
  // 【CCC】 is 7 bytes: more than 2 x 2 + 1.
  EXPECT_EQ(report(), "[    1個] ,【B】\r\n[    2個] ,【A】\r\n" + kFooterLine + "// 2 件のキャラ名候補が見つかりました。\r\n");
}

TEST_F(NamexRunTest, ConfigShowsChecksAndStoresTheSettings) {
  CliResult r = namex("config");
  ASSERT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find(u8(u8"always_on_top=0\nmax_name_length=16\nlist_order=0\nlist_reverse=0\ndialogue_marks=「/『/（\nname_start_mark=\n")),
            std::string::npos)
      << r.out;
  EXPECT_EQ(fs::file_size(home() / "Namex.dat"), 856u);

  r = namex("config", {"dialogue_marks="});
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find(u8(u8"セリフ認識記号の指定がありません。")), std::string::npos) << r.err;
  EXPECT_EQ(namex("config", {"max_name_length=25"}).status, 2);
  EXPECT_EQ(namex("config", {"max_name_length=0"}).status, 2);
  EXPECT_EQ(namex("config", {"list_order=2"}).status, 2);
  EXPECT_EQ(namex("config", {"spare_4=1"}).status, 2);

  ASSERT_EQ(namex("config", {"max_name_length=24", u8(u8"dialogue_marks=「")}).status, 0);
  EXPECT_EQ(namex("config", {"max_name_length"}).out, "24\n");
  ASSERT_EQ(namex("config", {"--defaults"}).status, 0);
  EXPECT_EQ(namex("config", {"max_name_length"}).out, "16\n");
  EXPECT_EQ(namex("config", {"dialogue_marks"}).out, u8(u8"「/『/（\n"));
}

}  // namespace
}  // namespace lumeno::testing
