// `lumeno pruna`: runs end to end, their outputs and log, failures, and the
// settings.
#include "stripper/pruna.h"

#include <gtest/gtest.h>

#include "programs/tools.h"
#include "shell/app_state.h"
#include "shell/console/cli.h"
#include "tests/support.h"

namespace lumeno::stripper {
namespace {

using namespace lumeno::testing;

// Reads or deletions fail for files of one name; everything else is the
// real thing.
class FaultyFileSystem final : public FileSystem {
 public:
  std::string unreadable;
  std::string undeletable;

  EntryKind kind(const fs::path& p) override { return real_.kind(p); }
  bool list(const fs::path& p, std::vector<DirEntry>& out) override { return real_.list(p, out); }
  std::optional<std::uint64_t> size(const fs::path& p) override { return real_.size(p); }
  bool can_open(const fs::path& p) override { return real_.can_open(p); }
  ReadStatus read(const fs::path& p, std::string& out) override {
    return p.filename() == unreadable ? ReadStatus::short_read : real_.read(p, out);
  }
  bool write(const fs::path& p, std::string_view bytes) override { return real_.write(p, bytes); }
  bool append(const fs::path& p, std::string_view bytes) override { return real_.append(p, bytes); }
  bool create_directory(const fs::path& p) override { return real_.create_directory(p); }
  bool remove_file(const fs::path& p) override { return p.filename() != undeletable && real_.remove_file(p); }
  bool remove_directory(const fs::path& p) override { return real_.remove_directory(p); }
  bool same_entry(const fs::path& a, const fs::path& b) override { return real_.same_entry(a, b); }
  std::optional<std::uint64_t> free_space(const fs::path& p) override { return real_.free_space(p); }

 private:
  RealFileSystem real_;
};

class PrunaRunTest : public ::testing::Test {
 protected:
  PrunaRunTest() { fs::create_directories(home()); }

  fs::path home() const { return dir_ / "home"; }
  // The output folder, or a file below it.
  fs::path out(std::u8string_view name = u8"") const {
    const fs::path folder = home() / u8path(u8"出力テキスト");
    return name.empty() ? folder : folder / u8path(name);
  }
  fs::path src(const std::string& name) const { return dir_ / "src" / name; }

  CliResult run(const std::vector<std::string>& paths, FakeConsole console = FakeConsole()) {
    std::vector<std::string> args = {"pruna", "run", "--home", home().string(), "--no-progress"};
    args.insert(args.end(), paths.begin(), paths.end());
    return run_cli(args, dir_.path(), std::move(console));
  }
  CliResult config_cli(const std::vector<std::string>& settings) {
    std::vector<std::string> args = {"pruna", "config", "--home", home().string()};
    args.insert(args.end(), settings.begin(), settings.end());
    return run_cli(args, dir_.path());
  }
  void config(const std::string& setting) { ASSERT_EQ(config_cli({setting}).status, 0) << setting; }

  TempDir dir_;
};

const std::string kDoneLine = utf8("処理が完了しました。\n");

TEST_F(PrunaRunTest, EachFileIsWrittenUnderItsRelativeNameAndTheLogCountsTheRun) {
  write_file(src("a.txt"), "a // one\n/* two */\nb\n");
  write_file(src("scen/sub/b.TXT"), "\\wait(1)x /* y */ // z\r\n");
  write_file(src("scen/c.csv"), "// not collected");
  const CliResult r = run({"src/a.txt", "src/scen"});
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, kDoneLine);
  EXPECT_EQ(r.err, "");

  EXPECT_EQ(read_file(out(u8"a.txt")), "a \r\nb\r\n");
  EXPECT_EQ(read_file(out(u8"scen/sub/b.TXT")), "\\wait(1)x  \r\n");
  EXPECT_FALSE(fs::exists(out(u8"scen/c.csv")));
  EXPECT_EQ(utf8(read_file(home() / "log.txt")),
            utf8("■ファイル数\r\n"
                 "  ファイル数 =     2\r\n"
                 "\r\n"
                 "■削除対象\r\n"
                 "　／／\r\n"
                 "　／＊～＊／\r\n"
                 "\r\n"
                 "■削除数\r\n"
                 "  ／／       =     2\r\n"
                 "  ／＊～＊／ =     2\r\n"
                 "\r\n"));
}

TEST_F(PrunaRunTest, TheLogListsOnlyTheTargets) {
  write_file(src("a.txt"), "\\a \\b // c\n");
  config("target_line_comments=0");
  config("target_block_comments=0");
  config("target_commands=1");
  ASSERT_EQ(run({"src/a.txt"}).status, 0);
  EXPECT_EQ(utf8(read_file(home() / "log.txt")),
            utf8("■ファイル数\r\n  ファイル数 =     1\r\n\r\n■削除対象\r\n　￥命令\r\n\r\n■削除数\r\n  ￥命令     =     2\r\n\r\n"));
  EXPECT_EQ(read_file(out(u8"a.txt")), "  // c\r\n");

  // No target: the headings alone, whatever the mode.
  config("target_commands=0");
  config("strip_mode=1");
  ASSERT_EQ(run({"src/a.txt"}).status, 0);
  EXPECT_EQ(utf8(read_file(home() / "log.txt")),
            utf8("■ファイル数\r\n  ファイル数 =     1\r\n\r\n■削除対象\r\n\r\n■削除数\r\n\r\n"));
}

TEST_F(PrunaRunTest, JoinedOutputAppendsTheResultsInRunOrder) {
  write_file(src("B.txt"), "B\n");
  write_file(src("a.txt"), "A // no line break");
  write_file(src("x/s.txt"), "x\n");
  write_file(src("y/s.txt"), "y\n");
  config("single_output=1");
  ASSERT_EQ(run({"src/B.txt", "src/y/s.txt", "src/a.txt", "src/x/s.txt"}).status, 0);
  // Case-insensitive order by full path; a result without a final line
  // break runs on into the next.
  EXPECT_EQ(read_file(out(u8"output.txt")), "A B\r\nx\r\ny\r\n");
  EXPECT_FALSE(fs::exists(out(u8"a.txt")));

  // One file per source: the later of two equal names wins.
  config("single_output=0");
  ASSERT_EQ(run({"src/y/s.txt", "src/x/s.txt"}).status, 0);
  EXPECT_EQ(read_file(out(u8"s.txt")), "y\r\n");
  EXPECT_FALSE(fs::exists(out(u8"output.txt")));
}

TEST_F(PrunaRunTest, AnOutputFolderThatCannotBeWipedStopsTheRun) {
  write_file(src("a.txt"), "a\n");
  write_file(src("b.txt"), "b\n");
  write_file(out(u8"output.txt"), "from an earlier run\r\n");
  config("single_output=1");
  FaultyFileSystem files;
  files.undeletable = "output.txt";
  FakeConsole console;
  const int status = console::run_cli(programs::all_tools(), {"pruna", "run", "--home", home().string(), "--no-progress", "src/a.txt", "src/b.txt"}, console,
                                      files, dir_.path());
  // Earlier outputs must never mix with this run's: nothing is converted.
  EXPECT_EQ(status, 1);
  EXPECT_NE(console.err.find(u8(u8"フォルダを削除できませんでした。")), std::string::npos) << console.err;
  EXPECT_NE(console.err.find(u8(u8"処理を中断しました。")), std::string::npos);
  EXPECT_EQ(console.out, "");
  EXPECT_EQ(read_file(out(u8"output.txt")), "from an earlier run\r\n");
  EXPECT_FALSE(fs::exists(home() / "log.txt"));
}

TEST_F(PrunaRunTest, ASuccessfulCollectionDeletesEarlierOutputsAndOnlyThen) {
  write_file(src("a.txt"), "a\n");
  write_file(src("b.txt"), "b\n");
  ASSERT_EQ(run({"src/a.txt"}).status, 0);
  ASSERT_TRUE(fs::exists(out(u8"a.txt")));

  FakeConsole interrupted;
  interrupted.interrupt_first = true;
  const CliResult r = run({"src/b.txt"}, interrupted);
  EXPECT_EQ(r.status, console::kExitInterrupted);
  EXPECT_EQ(r.err, utf8("処理を中断しました。\n"));
  EXPECT_TRUE(fs::exists(out(u8"a.txt")));

  ASSERT_EQ(run({"src/b.txt"}).status, 0);
  EXPECT_FALSE(fs::exists(out(u8"a.txt")));
  EXPECT_TRUE(fs::exists(out(u8"b.txt")));
}

TEST_F(PrunaRunTest, ARunInsideTheScenarioNeverReadsItsOwnOutputs) {
  write_file(home() / "a.txt", "a // x\n");
  for (int i = 0; i < 2; ++i) {
    config(i == 0 ? "single_output=0" : "single_output=1");
    ASSERT_EQ(run({home().string()}).status, 0);
    EXPECT_NE(read_file(home() / "log.txt").find("=     1\r\n"), std::string::npos);
  }
  EXPECT_EQ(read_file(out(u8"output.txt")), "a \r\n");
  EXPECT_FALSE(fs::exists(out(u8"home")));
}

TEST_F(PrunaRunTest, AnUnreadableFileEndsTheRunWithoutALog) {
  write_file(src("a.txt"), "a\n");
  write_file(src("b.txt"), "b\n");
  write_file(src("c.txt"), "c\n");
  FaultyFileSystem files;
  files.unreadable = "b.txt";
  FakeConsole console;
  const int status = console::run_cli(programs::all_tools(), {"pruna", "run", "--home", home().string(), "--no-progress", "src"}, console, files, dir_.path());
  EXPECT_EQ(status, console::kExitStopped);
  EXPECT_EQ(console.err, utf8("ファイルを読み込めませんでした。\n"));
  EXPECT_EQ(console.out, "");
  EXPECT_TRUE(fs::exists(out(u8"src/a.txt")));
  EXPECT_FALSE(fs::exists(out(u8"src/c.txt")));
  EXPECT_FALSE(fs::exists(home() / "log.txt"));
}

TEST_F(PrunaRunTest, TextsTooLargeAreRefusedBeforeAndAfterUnifyingLineBreaks) {
  write_file(src("fits.txt"), std::string(kMaxUnifiedSize, 'a'));
  ASSERT_EQ(run({"src/fits.txt"}).status, 0);
  EXPECT_EQ(fs::file_size(out(u8"fits.txt")), kMaxUnifiedSize);

  const std::string refused = utf8("元ファイルサイズが大きすぎます。\n処理を中断しました。\n");
  // Each LF becomes CR LF: the text outgrows the limit.
  write_file(src("breaks.txt"), std::string(kMaxUnifiedSize / 2 + 1, '\n'));
  CliResult r = run({"src/breaks.txt"});
  EXPECT_EQ(r.status, console::kExitStopped);
  EXPECT_EQ(r.err, refused);
  EXPECT_FALSE(fs::exists(out(u8"breaks.txt")));

  write_file(src("big.txt"), std::string(kMaxSourceSize + 1, 'a'));
  r = run({"src/big.txt"});
  EXPECT_EQ(r.status, console::kExitStopped);
  EXPECT_EQ(r.err, refused);
}

TEST_F(PrunaRunTest, OutputsThatCannotBeWrittenStopTheRun) {
  write_file(src("a.txt"), "a\n");
  // A file where the output folder belongs is not deleted, and blocks it.
  write_file(out(), "mine");
  CliResult r = run({"src/a.txt"});
  EXPECT_EQ(r.status, console::kExitStopped);
  EXPECT_NE(r.err.find(utf8("a.txt ファイルを開けませんでした。\n処理を中断しました。\n")), std::string::npos) << r.err;
  EXPECT_EQ(read_file(out()), "mine");
  EXPECT_FALSE(fs::exists(home() / "log.txt"));
  fs::remove(out());

  // The log: the outputs stay, the run ends as interrupted.
  fs::create_directory(home() / "log.txt");
  r = run({"src/a.txt"});
  EXPECT_EQ(r.status, console::kExitStopped);
  EXPECT_NE(r.err.find(utf8("log.txt ファイルを開けませんでした。\n処理を中断しました。\n")), std::string::npos) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(read_file(out(u8"a.txt")), "a\r\n");
}

TEST_F(PrunaRunTest, ALinkInPlaceOfTheOutputFolderIsNotFollowedWhenWiping) {
  write_file(dir_ / "elsewhere" / "keep.txt", "keep");
  fs::create_directory_symlink(dir_ / "elsewhere", out());
  write_file(src("a.txt"), "a\n");
  ASSERT_EQ(run({"src/a.txt"}).status, 0);
  EXPECT_EQ(read_file(dir_ / "elsewhere" / "keep.txt"), "keep");
}

TEST_F(PrunaRunTest, TheBarMovesOnlyAroundTheLogAndTheCompletionTextStandsAlone) {
  write_file(src("a.txt"), "a\n");
  write_file(src("b.txt"), "b\n");
  RealFileSystem files;
  auto app = start_tool(pruna_tool(), home(), files);
  ASSERT_TRUE(app.ok());
  app->list.add_dropped_paths(files, app->texts, {dir_ / "src"});
  RecordingHost host;
  RunContext ctx(*app, host, files);
  auto hooks = make_pruna_run();
  const RunOutcome outcome = worker_main(ctx, *hooks);
  EXPECT_TRUE(outcome.completed);
  EXPECT_EQ(host.events, (std::vector<std::string>{"range 1024", "position 512", "pause 20", "position 1024", "pause 20"}));
  EXPECT_EQ(host.completions, std::vector<std::string>{"処理が完了しました。"});
  EXPECT_EQ(host.captions, std::vector<std::string>{"Lumeno Thinout Tool"});
  EXPECT_TRUE(host.messages.empty());
}

TEST_F(PrunaRunTest, SettingsTakeOnlyTheValuesTheOptionsDialogCanGive) {
  CliResult r = config_cli({});
  EXPECT_EQ(r.status, 0);
  // The tool's settings follow the shell's two, in the table's order.
  ASSERT_NE(r.out.find("\nalways_on_top="), std::string::npos);
  EXPECT_EQ(r.out.substr(r.out.find("\nalways_on_top=") + 1),
            "always_on_top=0\ntarget_line_comments=1\ntarget_block_comments=1\n"
            "target_commands=0\nblank_line_mode=1\nstrip_mode=0\nsingle_output=0\n");
  for (const char* bad : {"blank_line_mode=3", "strip_mode=2", "target_commands=-1", "single_output=2", "spare=1"}) {
    EXPECT_EQ(config_cli({bad}).status, console::kExitUsage) << bad;
  }
  config("blank_line_mode=2");
  config("strip_mode=1");
  const std::string file = read_file(home() / "Pruna.dat");
  ASSERT_EQ(file.size(), 328u);
  EXPECT_EQ(file[264 + 4 * kBlankLineMode], 2);
  EXPECT_EQ(file[264 + 4 * kStripMode], 1);
  EXPECT_EQ(file[264 + 4 * kTargetLineComments], 1);
  EXPECT_EQ(config_cli({"--defaults"}).status, 0);
  EXPECT_EQ(config_cli({"blank_line_mode"}).out, "1\n");
}

TEST(PrunaOutputPath, NamesStayBelowTheOutputFolder) {
  const fs::path folder = fs::path("/t") / "out";
  EXPECT_EQ(*output_file_path(folder, "scen\\sub\\b.txt"), folder / "scen" / "sub" / "b.txt");
  // A dropped root folder gives names that start with a separator.
  EXPECT_EQ(*output_file_path(folder, "\\x\\a.txt"), folder / "x" / "a.txt");
  EXPECT_FALSE(output_file_path(folder, "a\\..\\..\\b.txt").ok());
  EXPECT_FALSE(output_file_path(folder, "").ok());
}

}  // namespace
}  // namespace lumeno::stripper
