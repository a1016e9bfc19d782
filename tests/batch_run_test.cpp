#include "shell/batch_run.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "divider/divide.h"
#include "shell/names.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using testing::RecordingHost;
using testing::TempDir;
using testing::u8path;
using testing::write_file;

// A tool that records the files it is given and can fail or cancel on one.
class RecordingRun : public ToolRun {
 public:
  int convert_file(RunContext& ctx, const RunFile& file) override {
    converted.push_back(file.relative_name);
    if (converted.size() == cancel_at) ctx.host.request_cancel();
    if (converted.size() == fail_at) return 1;
    return ctx.cancelled() ? -1 : 0;
  }
  std::vector<std::string> converted;
  std::size_t fail_at = 0;
  std::size_t cancel_at = 0;
};

class BatchRunTest : public ::testing::Test {
 protected:
  BatchRunTest() : app(*start_tool(divider::splix_tool(), home(), fs)), ctx(app, host, fs) {}

  std::filesystem::path home() {
    std::filesystem::create_directories(dir / "home");
    return dir / "home";
  }
  void drop(std::vector<std::filesystem::path> paths) { app.list.add_dropped_paths(fs, app.texts, paths); }

  TempDir dir;
  RealFileSystem fs;
  RecordingHost host;
  AppState app;
  RunContext ctx;
  RecordingRun run;
};

TEST_F(BatchRunTest, WalksFoldersAndConvertsInFullPathOrder) {
  write_file(dir / "scn" / "a.txt", "a");
  write_file(dir / "scn" / "sub" / "b.TXT", "b");
  write_file(dir / "scn" / "c.csv", "c");
  write_file(dir / "scn" / "B.txt", "B");
  drop({dir / "scn"});
  const RunOutcome outcome = worker_main(ctx, run);
  EXPECT_TRUE(outcome.completed);
  EXPECT_FALSE(outcome.aborted);
  EXPECT_EQ(run.converted, (std::vector<std::string>{"scn\\a.txt", "scn\\B.txt", "scn\\sub\\b.TXT"}));
  ASSERT_EQ(host.completions.size(), 1u);
  EXPECT_EQ(host.completions[0], "3 個のファイルを変換しました。\n\n処理時間  0 秒.");
  EXPECT_EQ(host.captions[0], "Lumeno Text Divide Tool");
}

TEST_F(BatchRunTest, ProgressTextsAndPositions) {
  write_file(dir / "x" / "1.txt", "");
  write_file(dir / "x" / "2.txt", "");
  write_file(dir / "x" / "3.txt", "");
  drop({dir / "x"});
  worker_main(ctx, run);
  EXPECT_EQ(host.events, (std::vector<std::string>{
                             "range 1024", "position 0", "count [ 1 / 3 ]", "file [ 33 %] 1.txt ",  //
                             "position 341", "count [ 2 / 3 ]", "file [ 66 %] 2.txt ",              //
                             "position 682", "count [ 3 / 3 ]", "file [100 %] 3.txt ",              //
                             "position 1024", "count [ 3 / 3 ]"}));
}

TEST_F(BatchRunTest, ARunOfNoFilesEndsAsARunOfZeroFiles) {
  std::filesystem::create_directories(dir / "empty");
  drop({dir / "empty"});
  EXPECT_TRUE(worker_main(ctx, run).completed);
  EXPECT_EQ(host.events, (std::vector<std::string>{"range 1024", "position 1024", "count [ 0 / 0 ]"}));
  EXPECT_EQ(host.completions[0].substr(0, 2), "0 ");
}

TEST_F(BatchRunTest, SelectedEntriesOnly) {
  for (const char* name : {"1.txt", "2.txt", "3.txt", "4.txt", "5.txt"}) write_file(dir / name, "");
  drop({dir / "1.txt", dir / "2.txt", dir / "3.txt", dir / "4.txt", dir / "5.txt"});
  app.list.set_selected(1, true);  // 4.txt
  app.list.set_selected(4, true);  // 1.txt
  ctx.selected_only = true;
  worker_main(ctx, run);
  EXPECT_EQ(run.converted, (std::vector<std::string>{"1.txt", "4.txt"}));
}

TEST_F(BatchRunTest, AFailedFileStopsTheRunWithoutCompletion) {
  write_file(dir / "f" / "1.txt", "");
  write_file(dir / "f" / "2.txt", "");
  drop({dir / "f"});
  run.fail_at = 1;
  const RunOutcome outcome = worker_main(ctx, run);
  EXPECT_FALSE(outcome.completed);
  EXPECT_FALSE(outcome.aborted);
  EXPECT_EQ(run.converted.size(), 1u);
  EXPECT_TRUE(host.completions.empty());
  EXPECT_TRUE(host.run_messages.empty());
}

TEST_F(BatchRunTest, CancelShowsTheAbortMessageAndClearsTheFlag) {
  write_file(dir / "f" / "1.txt", "");
  write_file(dir / "f" / "2.txt", "");
  drop({dir / "f"});
  // A cancel that comes with the last file still ends the run as cancelled.
  run.cancel_at = 2;
  const RunOutcome outcome = worker_main(ctx, run);
  EXPECT_FALSE(outcome.completed);
  EXPECT_TRUE(outcome.aborted);
  EXPECT_EQ(host.run_messages, std::vector<std::string>{"処理を中断しました。"});
  EXPECT_FALSE(host.cancel_requested());
  // The next run starts with the flag clear.
  RecordingRun again;
  EXPECT_TRUE(worker_main(ctx, again).completed);
  EXPECT_EQ(again.converted.size(), 2u);
}

TEST_F(BatchRunTest, FoldersBeyondTheQueueLimitAreLeftOutWithAMessage) {
  for (const char* name : {"a", "b", "c"}) write_file(dir / "top" / name / "x.txt", "");
  drop({dir / "top"});
  ctx.max_pending_folders = 3;
  worker_main(ctx, run);
  EXPECT_EQ(host.messages, std::vector<std::string>{"フォルダの数が多すぎます。"});
  EXPECT_EQ(run.converted, (std::vector<std::string>{"top\\a\\x.txt", "top\\b\\x.txt"}));
}

TEST_F(BatchRunTest, AFolderDeletedBeforeTheWalkIsPassedOver) {
  write_file(dir / "gone" / "x.txt", "");
  write_file(dir / "here" / "y.txt", "");
  drop({dir / "gone", dir / "here"});
  std::filesystem::remove_all(dir / "gone");
  EXPECT_TRUE(worker_main(ctx, run).completed);
  EXPECT_EQ(run.converted, std::vector<std::string>{"here\\y.txt"});
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(BatchRunTest, TheToolsOwnFilesInItsFolderAreNeverCollected) {
  // A tool that owns files in its folder, dropped with the folder that holds it.
  static constexpr std::string_view kOwn[] = {"output.txt", "出力テキスト"};
  ToolInfo info = divider::splix_tool();
  info.own_names = kOwn;
  RealFileSystem files;
  auto owner = start_tool(info, dir / "home", files);
  ASSERT_TRUE(owner);
  write_file(dir / "home" / "output.txt", "report");
  write_file(dir / "home" / u8path(u8"出力テキスト") / "a.txt", "copy");
  write_file(dir / "home" / "scene.txt", "input");
  owner->list.add_dropped_paths(files, owner->texts, {dir / "home"});
  RunContext own_ctx(*owner, host, files);
  worker_main(own_ctx, run);
  EXPECT_EQ(run.converted, std::vector<std::string>{"home\\scene.txt"});
}

// Only folders are walked: an entry that is neither a folder nor a plain
// file is collected like a file, and a tool's read of it stops the run.
TEST_F(BatchRunTest, EntriesThatAreNeitherFolderNorFileAreCollectedAsFiles) {
  namespace fs = std::filesystem;
  write_file(dir / "scn" / "a.txt", "a");
  write_file(dir / "elsewhere" / "d.txt", "d");
  fs::create_symlink(dir / "nothing", dir / "scn" / "b.txt");
  fs::create_directory_symlink(dir / "elsewhere", dir / "scn" / "linked.txt");
  fs::create_symlink(dir / "nothing", dir / "scn" / "c.csv");
  ASSERT_EQ(::mkfifo((dir / "scn" / "pipe.txt").c_str(), 0600), 0);
  drop({dir / "scn"});
  EXPECT_TRUE(worker_main(ctx, run).completed);
  EXPECT_EQ(run.converted, (std::vector<std::string>{"scn\\a.txt", "scn\\b.txt", "scn\\linked.txt", "scn\\pipe.txt"}));

  // A real tool reads them: the run stops at the first with the reader's message.
  host.messages.clear();
  host.completions.clear();
  const std::unique_ptr<ToolRun> splix = divider::make_splix_run();
  const RunOutcome outcome = worker_main(ctx, *splix);
  EXPECT_FALSE(outcome.completed);
  EXPECT_EQ(host.messages, std::vector<std::string>{"ファイルが存在しません"});
  EXPECT_TRUE(host.completions.empty());
}

TEST_F(BatchRunTest, JapaneseRelativeNames) {
  write_file(dir / u8path(u8"シナリオ") / u8path(u8"第1章") / "a.txt", "");
  drop({dir / u8path(u8"シナリオ")});
  worker_main(ctx, run);
  EXPECT_EQ(run.converted, std::vector<std::string>{"シナリオ\\第1章\\a.txt"});
}

TEST(RunOrder, StableAndCaseInsensitive) {
  std::vector<RunFile> files = {{{}, "C:\\s\\b.txt", "1"}, {{}, "C:\\s\\A.txt", "2"}, {{}, "C:\\s\\B.txt", "3"}, {{}, "C:\\s\\a.txt", "4"}};
  EXPECT_EQ(sorted_run_order(files), (std::vector<std::size_t>{1, 3, 0, 2}));
}

TEST(Completion, ElapsedTimeForms) {
  UiTexts texts(divider::splix_tool());
  EXPECT_EQ(elapsed_text(texts, 59), "59 秒.");
  EXPECT_EQ(elapsed_text(texts, 60), "1 分 0 秒.");
  EXPECT_EQ(elapsed_text(texts, 3600), "1 時間 0 分 0 秒.");
  EXPECT_EQ(elapsed_text(texts, 3599), "59 分 59 秒.");
  EXPECT_EQ(completion_text(texts, 12, 3725), "12 個のファイルを変換しました。\n\n処理時間  1 時間 2 分 5 秒.");
}

TEST(Completion, TheClockMayWrap) {
  TempDir dir;
  RealFileSystem fs;
  RecordingHost host;
  auto app = start_tool(divider::splix_tool(), dir.path(), fs);
  ASSERT_TRUE(app);
  RunContext ctx(*app, host, fs);
  std::uint32_t now = 0xFFFFFC18u;  // 1 s before the wrap
  ctx.clock_ms = [&] { return now; };
  RecordingRun run;
  ctx.start_ms = now;
  now += 61000;  // wraps
  run.show_completion(ctx, 1);
  EXPECT_EQ(host.completions[0], "1 個のファイルを変換しました。\n\n処理時間  1 分 1 秒.");
}

}  // namespace
}  // namespace lumeno
