// The command-line contract: exit statuses, config, output streams.
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/wait.h>

#include "divider/divide.h"
#include "programs/tools.h"
#include "shell/console/cli.h"
#include "shell/names.h"
#include "tests/support.h"

namespace lumeno {
namespace {

using testing::FakeConsole;
using testing::read_file;
using testing::run_cli;
using testing::TempDir;
using testing::u8;
using testing::write_file;

TEST(Cli, HelpVersionAndUsageErrors) {
  TempDir dir;
  EXPECT_EQ(run_cli({"--version"}, dir.path()).out, "lumeno 0.405\n");
  const auto help = run_cli({"--help"}, dir.path());
  EXPECT_EQ(help.status, 0);
  EXPECT_NE(help.out.find("bindo"), std::string::npos);
  EXPECT_EQ(run_cli({"bindo", "--help"}, dir.path()).status, 0);
  EXPECT_EQ(run_cli({}, dir.path()).status, 2);
  EXPECT_EQ(run_cli({"nosuchtool", "run", "x"}, dir.path()).status, 2);
  EXPECT_EQ(run_cli({"bindo"}, dir.path()).status, 2);
  EXPECT_EQ(run_cli({"bindo", "pack"}, dir.path()).status, 2);
  EXPECT_EQ(run_cli({"bindo", "run"}, dir.path()).status, 2);
  EXPECT_EQ(run_cli({"bindo", "run", "--frobnicate", "x"}, dir.path()).status, 2);
  EXPECT_EQ(run_cli({"bindo", "run", "missing.txt"}, dir.path()).status, 2);
  EXPECT_EQ(run_cli({"bindo", "config", "--yes"}, dir.path()).status, 2);
  const auto no_home = run_cli({"bindo", "config", "--home", "nowhere"}, dir.path());
  EXPECT_EQ(no_home.status, 2);
  EXPECT_NE(no_home.err.find("nowhere"), std::string::npos);
  // Nothing was created by the refused commands.
  EXPECT_FALSE(std::filesystem::exists(dir / "Bindo.dat"));
}

// Every setting `config` knows has its line in the tool's help, with what it
// means in the options dialog's words.
TEST(Cli, ToolHelpExplainsEverySetting) {
  TempDir dir;
  for (const console::ToolEntry& entry : programs::all_tools()) {
    const ToolInfo& tool = entry.info();
    const std::string help = run_cli({std::string(tool.key), "--help"}, dir.path()).out;
    // All of it the terminal's text, which goes back to CP932 as it came.
    EXPECT_TRUE(names::cp932_from_utf8(help).ok()) << tool.key;
    std::string keys = run_cli({std::string(tool.key), "config"}, dir.path()).out;
    for (std::size_t at = 0; at < keys.size();) {
      const std::size_t eq = keys.find('=', at);
      const std::string key = keys.substr(at, eq - at);
      at = keys.find('\n', at) + 1;
      const std::size_t line = help.find("\n  " + key + "=");
      ASSERT_NE(line, std::string::npos) << tool.key << " " << key;
      const std::string text = help.substr(line + 1, help.find('\n', line + 1) - line - 1);
      EXPECT_NE(text.find("   "), std::string::npos) << text;
      EXPECT_GT(text.size(), text.find_last_of(' ') + 1) << text;
    }
    for (const SettingDef& def : tool.settings) EXPECT_EQ(def.shown, !def.label.empty()) << tool.key << " " << def.key;
  }
  const std::string vocar = run_cli({"vocar", "--help"}, dir.path()).out;
  EXPECT_NE(vocar.find(u8(u8"  reset_per_file=0 (0..1)                 ファイル毎に番号を初期化する\n")), std::string::npos);
  EXPECT_NE(vocar.find(u8(u8"  second_string=A1_                       ボイス名の第２文字列: 指定文字列\n")), std::string::npos);
  // A command's own help names its files in the terminal's characters too.
  EXPECT_NE(vocar.find(u8(u8"book (収録台帳.xlsx)")), std::string::npos);
}

// A tool's own sub-command: the frame parses --home and the options the
// command declares, hands over the rest, lists its usage in the tool's help
// and passes on its exit status.
int echo_command(const console::CommandArgs& args, console::Console& out, FileSystem&, const std::filesystem::path& cwd) {
  std::string text = "home=" + args.home.string() + "\ncwd=" + cwd.string() + "\n";
  for (const auto& [name, value] : args.options) text += name + "=" + value + "\n";
  for (const std::string& arg : args.positional) text += "arg " + arg + "\n";
  text += "twice " + std::to_string(args.has("--twice")) + " output " + args.value("--output") + "\n";
  out.write_out(text);
  return args.positional.empty() ? console::kExitUsage : console::kExitOk;
}

constexpr console::CommandOption kEchoOptions[] = {{"--twice", false}, {"--output", true}};
constexpr console::ToolCommand kEchoCommands[] = {
    {"echo", "echo [--home DIR] [--twice] [--output FILE] PATH...\necho --help-me", kEchoOptions, echo_command}};
const console::ToolEntry kTestTools[] = {{divider::splix_tool, divider::make_splix_run, kEchoCommands}};

testing::CliResult run_test_tools(const std::vector<std::string>& args, const std::filesystem::path& cwd) {
  FakeConsole console;
  RealFileSystem files;
  const int status = console::run_cli(kTestTools, args, console, files, cwd);
  return {status, console.out, console.err};
}

TEST(Cli, AToolsOwnSubCommandGetsItsParsedArguments) {
  TempDir dir;
  const auto r = run_test_tools({"splix", "echo", "--home", "h", "a.txt", "--output=o.txt", "--twice", "--", "--twice"}, dir.path());
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "home=" + (dir.path() / "h").string() + "\ncwd=" + dir.path().string() +
                       "\n--output=o.txt\n--twice=\narg a.txt\narg --twice\ntwice 1 output o.txt\n");
  // The handler's status is the program's; --home defaults to the current folder.
  const auto bare = run_test_tools({"splix", "echo", "--output", "x"}, dir.path());
  EXPECT_EQ(bare.status, 2);
  EXPECT_EQ(bare.out.substr(0, bare.out.find('\n')), "home=" + dir.path().string());

  // Options it does not declare, a value missing or given to a flag: usage errors before the handler runs.
  for (const std::vector<std::string>& args : {std::vector<std::string>{"splix", "echo", "--yes", "a"}, {"splix", "echo", "a", "--output"},
                                              {"splix", "echo", "--twice=1", "a"}}) {
    const auto refused = run_test_tools(args, dir.path());
    EXPECT_EQ(refused.status, 2) << args[2];
    EXPECT_TRUE(refused.out.empty()) << args[2];
    EXPECT_NE(refused.err.find("see 'lumeno --help'"), std::string::npos);
  }

  // The help shows its usage lines; the usage errors name the commands and the tools of the list given.
  const std::string help = run_test_tools({"splix", "--help"}, dir.path()).out;
  EXPECT_NE(help.find("\n       lumeno splix echo [--home DIR] [--twice] [--output FILE] PATH...\n       lumeno splix echo --help-me\n"),
            std::string::npos)
      << help;
  EXPECT_NE(run_test_tools({"splix", "frob"}, dir.path()).err.find("(run, config, echo)"), std::string::npos);
  EXPECT_NE(run_test_tools({"bindo", "run", "x"}, dir.path()).err.find("unknown tool 'bindo' (one of: splix)"), std::string::npos);
  // The tools without commands of their own offer none.
  EXPECT_EQ(run_cli({"bindo", "echo", "x"}, dir.path()).status, 2);
}

TEST(Cli, ConfigShowsAndStoresSettings) {
  TempDir dir;
  const auto shown = run_cli({"splix", "config"}, dir.path());
  EXPECT_EQ(shown.status, 0);
  EXPECT_EQ(shown.out, "language_name=\nalways_on_top=0\ndelete_source=1\n");
  EXPECT_EQ(read_file(dir / "Splix.dat").size(), 328u);
  EXPECT_EQ(read_file(dir / "Splix.dat").substr(0, 12), "Japanese.lng");

  EXPECT_EQ(run_cli({"splix", "config", "delete_source=0", "always_on_top=1"}, dir.path()).status, 0);
  EXPECT_EQ(run_cli({"splix", "config", "delete_source"}, dir.path()).out, "0\n");
  EXPECT_EQ(run_cli({"splix", "config", "always_on_top"}, dir.path()).out, "1\n");
  const std::string bytes = read_file(dir / "Splix.dat");
  ASSERT_EQ(bytes.size(), 328u);
  EXPECT_EQ(bytes.substr(264, 8), std::string("\x01\0\0\0\0\0\0\0", 8));

  // A bad value stores nothing, not even the good pairs before it.
  EXPECT_EQ(run_cli({"splix", "config", "always_on_top=0", "delete_source=2"}, dir.path()).status, 2);
  EXPECT_EQ(run_cli({"splix", "config", "delete_source=yes"}, dir.path()).status, 2);
  EXPECT_EQ(run_cli({"splix", "config", "nosuchkey=1"}, dir.path()).status, 2);
  EXPECT_EQ(run_cli({"splix", "config", "nosuchkey"}, dir.path()).status, 2);
  EXPECT_EQ(read_file(dir / "Splix.dat"), bytes);

  // --defaults sets the tool's defaults (not the shell's), then the pairs.
  EXPECT_EQ(run_cli({"splix", "config", "--defaults"}, dir.path()).status, 0);
  EXPECT_EQ(run_cli({"splix", "config"}, dir.path()).out, "language_name=\nalways_on_top=1\ndelete_source=1\n");
}

TEST(Cli, ConfigKeepsTheLanguageNameWhenTheLanguageFileIsThere) {
  TempDir dir;
  write_file(dir / "home" / "languages" / "Japanese.lng", "ファイル(&F)\r\n");
  const std::string home = (dir / "home").string();
  EXPECT_EQ(run_cli({"bindo", "config", "--home", home, "delete_source=0"}, dir.path()).status, 0);
  const std::string bytes = read_file(dir / "home" / "Bindo.dat");
  EXPECT_EQ(bytes.size(), 328u);
  EXPECT_EQ(bytes.substr(0, 13), std::string("Japanese.lng\0", 13));
  EXPECT_EQ(run_cli({"bindo", "config", "--home", home, "language_name"}, dir.path()).out, "Japanese.lng\n");
  // Japanese values are given in the terminal's encoding and stored as CP932.
  EXPECT_EQ(run_cli({"bindo", "config", "--home", home, u8(u8"language_name=日本語.lng")}, dir.path()).status, 0);
  EXPECT_EQ(read_file(dir / "home" / "Bindo.dat").substr(0, 11), std::string("日本語.lng\0", 11));
  EXPECT_EQ(run_cli({"bindo", "config", "--home", home, "language_name=" + std::string(264, 'x')}, dir.path()).status, 2);
}

TEST(Cli, AnInterruptEndsTheRunWith130AndTheAbortMessage) {
  TempDir dir;
  write_file(dir / "scn" / "a.txt", "a");
  FakeConsole console;
  console.interrupt_first = true;
  const auto result = run_cli({"bindo", "run", "--no-progress", "scn"}, dir.path(), console);
  EXPECT_EQ(result.status, 130);
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, u8(u8"処理を中断しました。\n"));
}

TEST(Cli, ProgressIsDrawnOnlyOnATerminal) {
  TempDir dir;
  write_file(dir / "scn" / "a.txt", "a");
  FakeConsole console;
  console.stderr_terminal = true;
  const auto shown = run_cli({"splix", "run", "scn"}, dir.path(), console);
  EXPECT_EQ(shown.status, 0);
  EXPECT_NE(shown.err.find("[ 1 / 1 ]"), std::string::npos);
  const auto quiet = run_cli({"splix", "run", "--no-progress", "scn"}, dir.path(), console);
  EXPECT_EQ(quiet.err, "");
}

// The real program: streams and exit status as a shell sees them.
TEST(Program, CompletionGoesToStdoutAndMessagesToStderr) {
  TempDir dir;
  write_file(dir / "scn" / "a.txt", "a");
  const std::string home = (dir / "home").string();
  std::filesystem::create_directories(home);
  const std::string cmd = std::string("cd '") + dir.path().string() + "' && '" + LUMENO_BINARY +
                          "' bindo run --home '" + home + "' scn 2>err.txt >out.txt";
  const int rc = std::system(cmd.c_str());
  ASSERT_TRUE(WIFEXITED(rc));
  EXPECT_EQ(WEXITSTATUS(rc), 0);
  EXPECT_EQ(read_file(dir / "out.txt"), u8(u8"1 個のファイルを変換しました。\n\n処理時間  0 秒.\n"));
  EXPECT_EQ(read_file(dir / "err.txt"), "");
  const std::string missing = std::string("cd '") + dir.path().string() + "' && '" + LUMENO_BINARY + "' bindo run nothing 2>err.txt";
  const int rc2 = std::system(missing.c_str());
  EXPECT_EQ(WEXITSTATUS(rc2), 2);
  EXPECT_NE(read_file(dir / "err.txt").find("no such file or folder"), std::string::npos);
}

}  // namespace
}  // namespace lumeno

namespace lumeno {
namespace {

TEST(Cli, OneRunAtATimePerToolFolder) {
  testing::TempDir dir;
  testing::write_file(dir / "scn" / "a.txt", "a");
  testing::FakeConsole busy;
  busy.locked = true;
  const auto refused = testing::run_cli({"bindo", "run", "--no-progress", "scn"}, dir.path(), busy);
  EXPECT_EQ(refused.status, 3);
  EXPECT_NE(refused.err.find("another bindo run"), std::string::npos);
  EXPECT_TRUE(std::filesystem::exists(dir / "scn" / "a.txt"));
  testing::FakeConsole free;
  const auto ran = testing::run_cli({"bindo", "run", "--no-progress", "scn"}, dir.path(), free);
  EXPECT_EQ(ran.status, 0);
}

TEST(Program, ASecondRunOnTheSameToolFolderStopsAtOnce) {
  testing::TempDir dir;
  testing::write_file(dir / "scn" / "a.txt", "a");
  // Hold the lock from a shell while the program starts.
  const std::string cmd = "cd '" + dir.path().string() + "' && flock Bindo.lock -c \"'" + std::string(LUMENO_BINARY) +
                          "' bindo run --no-progress scn 2>err.txt\"";
  const int rc = std::system(cmd.c_str());
  EXPECT_EQ(WEXITSTATUS(rc), 3);
  EXPECT_NE(testing::read_file(dir / "err.txt").find("another bindo run"), std::string::npos);
}

}  // namespace
}  // namespace lumeno
