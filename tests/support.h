// Test support: a Host that records what a run shows, a console that
// records what the command line prints, temporary folders and file helpers.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "shell/console/console.h"
#include "shell/file_system.h"
#include "shell/host.h"

namespace lumeno::testing {

namespace fs = std::filesystem;

class RecordingHost : public Host {
 public:
  void message(std::string_view text) override { messages.emplace_back(text); }
  void run_message(std::string_view text, std::string_view caption) override {
    run_messages.emplace_back(text);
    captions.emplace_back(caption);
  }
  void completion(std::string_view text, std::string_view caption) override {
    completions.emplace_back(text);
    captions.emplace_back(caption);
  }
  bool confirm(std::string_view text, std::string_view) override {
    confirmations.emplace_back(text);
    return answer;
  }
  void progress_set_range(int max) override { events.push_back("range " + std::to_string(max)); }
  void progress_set_position(int position) override { events.push_back("position " + std::to_string(position)); }
  void progress_set_count_text(std::string_view text) override { events.push_back("count " + std::string(text)); }
  void progress_set_file_text(std::string_view text) override { events.push_back("file " + std::string(text)); }
  void pause_ms(int ms) override { events.push_back("pause " + std::to_string(ms)); }

  std::vector<std::string> messages;
  std::vector<std::string> run_messages;
  std::vector<std::string> completions;
  std::vector<std::string> confirmations;
  std::vector<std::string> captions;
  std::vector<std::string> events;
  bool answer = true;
};

// A console that records what is printed and answers from a script.
class FakeConsole : public console::Console {
 public:
  void write_out(std::string_view text) override { out += text; }
  void write_err(std::string_view text) override { err += text; }
  bool stdin_is_terminal() override { return stdin_terminal; }
  bool stderr_is_terminal() override { return stderr_terminal; }
  int terminal_width() override { return 80; }
  std::optional<std::string> read_line() override {
    if (input.empty()) return std::nullopt;
    std::string line = input.front();
    input.erase(input.begin());
    return line;
  }
  void run_interruptible(const std::function<void()>& work, const std::function<void()>& on_interrupt) override {
    if (interrupt_first) on_interrupt();
    work();
  }
  std::unique_ptr<Lock> try_lock(const std::filesystem::path& lock_file) override {
    (void)lock_file;
    if (locked) return nullptr;
    return std::make_unique<Lock>();
  }

  std::string out;
  std::string err;
  bool stdin_terminal = false;
  bool stderr_terminal = false;
  bool interrupt_first = false;
  bool locked = false;  // another run holds the tool folder
  std::vector<std::string> input;
};

// A fresh folder below the system's temporary folder, removed at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const fs::path& path() const { return path_; }
  fs::path operator/(const fs::path& p) const { return path_ / p; }

 private:
  fs::path path_;
};

// Test sources are compiled with CP932 narrow literals; UTF-8 comes from
// u8"" literals. A native path, and a UTF-8 std::string, from UTF-8 text:
fs::path u8path(std::u8string_view utf8);
std::string u8(std::u8string_view utf8);
void write_file(const fs::path& path, std::string_view bytes);
std::string read_file(const fs::path& path);
// UTF-8 from CP932 text, for readable failure messages.
std::string utf8(std::string_view cp932);

struct CliResult {
  int status = 0;
  std::string out;  // UTF-8
  std::string err;  // UTF-8
};
// Runs the command line in this process with a FakeConsole.
CliResult run_cli(const std::vector<std::string>& args, const fs::path& cwd, FakeConsole console = FakeConsole());
CliResult run_cli(const std::vector<std::string>& args, const fs::path& cwd, FileSystem& files, FakeConsole console = FakeConsole());
// `lumeno vocar run --home HOME --yes --no-progress PATH...` and
// `lumeno vocar config --home HOME PAIR...`, in `cwd`.
CliResult vocar_run(const fs::path& home, const fs::path& cwd, const std::vector<std::string>& paths = {"scn"});
CliResult vocar_config(const fs::path& home, const fs::path& cwd, const std::vector<std::string>& pairs);

// The files below `folder` (relative paths) that bear a scratch name of
// FileSystem::write ("~" first): what a write left behind.
std::vector<std::string> scratch_files_below(const fs::path& folder);

// Points TMPDIR, where the workbooks' scratch files go, at a folder of a
// test's own, so that a run whose removal of one fails leaves nothing in the
// machine's temporary folder; puts it back when it goes.
class ScratchTmpdir {
 public:
  ScratchTmpdir() : had_(std::getenv("TMPDIR") != nullptr), saved_(had_ ? std::getenv("TMPDIR") : "") {}
  ~ScratchTmpdir() { restore(); }
  ScratchTmpdir(const ScratchTmpdir&) = delete;
  ScratchTmpdir& operator=(const ScratchTmpdir&) = delete;
  // Makes `folder` and points TMPDIR at it.
  void use(const fs::path& folder) const {
    fs::create_directories(folder);
    setenv("TMPDIR", folder.c_str(), 1);
  }
  void restore() const {
    if (had_) {
      setenv("TMPDIR", saved_.c_str(), 1);
    } else {
      unsetenv("TMPDIR");
    }
  }

 private:
  bool had_;
  std::string saved_;
};

}  // namespace lumeno::testing
