#include "packer/pack.h"

#include <gtest/gtest.h>

#include "shell/app_state.h"
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

TEST(Pack, LineEndsBecomeCrLf) {
  EXPECT_EQ(packer::unify_line_ends("a\nb\rc\r\nd"), "a\r\nb\r\nc\r\nd");
  EXPECT_EQ(packer::unify_line_ends("\r\r\n\n"), "\r\n\r\n\r\n");
  // A lead byte takes the byte after it along, even a line end.
  EXPECT_EQ(packer::unify_line_ends("\x81\n"), "\x81\n");
  EXPECT_EQ(packer::unify_line_ends("ソ\n"), "ソ\r\n");
  // A lead byte that ends the file is copied as it stands, nothing added.
  EXPECT_EQ(packer::unify_line_ends("x\x81"), "x\x81");
  EXPECT_EQ(packer::unify_line_ends(""), "");
}

TEST(Pack, EntryAndPackFileName) {
  EXPECT_EQ(packer::pack_entry("a.txt", "x"), kMarker + "a.txt\r\nx\r\n");
  EXPECT_EQ(packer::pack_entry("e.txt", ""), kMarker + "e.txt\r\n\r\n");
  EXPECT_EQ(packer::pack_file_name("D:\\scn\\ch1\\001.txt"), "D:\\scn\\ch1\\ch1.txt");
  EXPECT_EQ(packer::pack_file_name("D:\\001.txt"), "D:\\.txt");
  EXPECT_EQ(packer::pack_file_name("\\data\\図表\\a.txt"), "\\data\\図表\\図表.txt");
}

class BindoRunTest : public ::testing::Test {
 protected:
  testing::CliResult bindo(std::vector<std::string> paths) {
    std::vector<std::string> args = {"bindo", "run", "--home", (dir / "home").string(), "--no-progress"};
    args.insert(args.end(), paths.begin(), paths.end());
    return run_cli(args, dir.path());
  }
  void SetUp() override { std::filesystem::create_directories(dir / "home"); }
  TempDir dir;
};

TEST_F(BindoRunTest, PacksAFolderIntoAFileNamedAfterIt) {
  write_file(dir / "scn" / "a.txt", "x");
  write_file(dir / "scn" / "b.txt", "y\r\n");
  write_file(dir / "scn" / "lf.txt", "1\n2\n");
  const auto result = bindo({"scn"});
  EXPECT_EQ(result.status, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_EQ(result.out, u8(u8"3 個のファイルを変換しました。\n\n処理時間  0 秒.\n"));
  EXPECT_EQ(read_file(dir / "scn" / "scn.txt"),
            kMarker + "a.txt\r\nx\r\n" + kMarker + "b.txt\r\ny\r\n\r\n" + kMarker + "lf.txt\r\n1\r\n2\r\n\r\n");
  // delete_source is on by default: the inputs are gone, the pack stays.
  EXPECT_FALSE(std::filesystem::exists(dir / "scn" / "a.txt"));
  EXPECT_TRUE(std::filesystem::exists(dir / "scn" / "scn.txt"));
}

TEST_F(BindoRunTest, EachFolderGetsItsOwnPackAndASecondRunAppends) {
  ASSERT_EQ(run_cli({"bindo", "config", "--home", (dir / "home").string(), "delete_source=0"}, dir.path()).status, 0);
  write_file(dir / "one" / "a.txt", "a");
  write_file(dir / "one" / u8path(u8"サブ") / "b.txt", "b");
  write_file(dir / "two" / "c.txt", "c");
  ASSERT_EQ(bindo({"one", "two"}).status, 0);
  EXPECT_EQ(read_file(dir / "one" / "one.txt"), kMarker + "a.txt\r\na\r\n");
  EXPECT_EQ(read_file(dir / "one" / u8path(u8"サブ") / u8path(u8"サブ.txt")), kMarker + "b.txt\r\nb\r\n");
  EXPECT_EQ(read_file(dir / "two" / "two.txt"), kMarker + "c.txt\r\nc\r\n");
  // Again: the entries are appended, and the pack file is never packed into itself.
  const auto again = bindo({"one"});
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(again.out.substr(0, 2), "2 ");
  EXPECT_EQ(read_file(dir / "one" / "one.txt"), kMarker + "a.txt\r\na\r\n" + kMarker + "a.txt\r\na\r\n");
  EXPECT_TRUE(std::filesystem::exists(dir / "one" / "a.txt"));
}

TEST_F(BindoRunTest, AnOldPackFileDroppedWithDeleteSourceKeepsItsEntries) {
  write_file(dir / "scn" / "scn.txt", kMarker + "old.txt\r\nold\r\n");
  write_file(dir / "scn" / "new.txt", "new");
  ASSERT_EQ(bindo({"scn"}).status, 0);
  EXPECT_EQ(read_file(dir / "scn" / "scn.txt"), kMarker + "old.txt\r\nold\r\n" + kMarker + "new.txt\r\nnew\r\n");
}

TEST_F(BindoRunTest, APackFileThatCannotBeOpenedStopsTheRunAndKeepsTheInput) {
  write_file(dir / "scn" / "a.txt", "a");
  // The pack file's place is taken by a folder.
  std::filesystem::create_directories(dir / "scn" / "scn.txt");
  const auto result = bindo({"scn/a.txt"});
  EXPECT_EQ(result.status, 1);
  EXPECT_NE(result.err.find(u8(u8"scn.txt ファイルを開けませんでした。")), std::string::npos) << result.err;
  EXPECT_NE(result.err.find(u8(u8"処理を中断しました。")), std::string::npos);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(read_file(dir / "scn" / "a.txt"), "a");
}

TEST(BindoRun, AnInputGoneBeforeItsTurnStopsTheRunWithTheReadersMessage) {
  TempDir dir;
  RealFileSystem fs;
  testing::RecordingHost host;
  auto app = start_tool(packer::bindo_tool(), dir.path(), fs);
  ASSERT_TRUE(app);
  write_file(dir / "scn" / "a.txt", "a");
  write_file(dir / "scn" / "b.txt", "b");
  app->list.add_dropped_paths(fs, app->texts, {dir / "scn" / "a.txt", dir / "scn" / "b.txt"});
  std::filesystem::remove(dir / "scn" / "a.txt");
  RunContext ctx(*app, host, fs);
  auto run = packer::make_bindo_run();
  const RunOutcome outcome = worker_main(ctx, *run);
  EXPECT_FALSE(outcome.completed);
  EXPECT_FALSE(outcome.aborted);
  EXPECT_EQ(host.messages, std::vector<std::string>{"ファイルが存在しません"});
  // The run stopped at the first file: b.txt was not packed.
  EXPECT_FALSE(std::filesystem::exists(dir / "scn" / "scn.txt"));
  EXPECT_EQ(read_file(dir / "scn" / "b.txt"), "b");
}

}  // namespace
}  // namespace lumeno
