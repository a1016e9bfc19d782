// The `lumeno` command line:
//
//   lumeno TOOL run    [--home DIR] [--yes] [--no-progress] [--verbose] PATH...
//   lumeno TOOL config [--home DIR] [--defaults] [KEY=VALUE...]
//   lumeno TOOL config [--home DIR] KEY
//   lumeno --help | --version          lumeno TOOL --help
//   lumeno TOOL COMMAND ...            a tool's own sub-commands (ToolEntry::commands)
#pragma once

#include <filesystem>
#include <span>
#include <string>
#include <vector>

#include "shell/console/console.h"
#include "shell/console/tools.h"
#include "shell/file_system.h"

namespace lumeno::console {

enum ExitStatus : int {
  kExitOk = 0,            // the run completed (completion message shown)
  kExitStopped = 1,       // the run stopped early (its messages shown)
  kExitUsage = 2,         // unknown tool, option or key, bad value, missing PATH or home
  kExitRefused = 3,       // the start was refused (not confirmed, marks do not parse)
  kExitInterrupted = 130  // interrupted by the user
};

// What a program hands the frame: its tools, and the folder of the language
// files installed with it (one folder per tool inside, named after the
// tool's program: "Bindo/English.lng"), empty when it has none. `config
// language_name=NAME` copies the tool's NAME from there into the tool
// folder's languages/ when that has no NAME of its own.
struct Program {
  std::span<const ToolEntry> tools;
  std::filesystem::path languages;
};

// Runs one command of one of the program's tools. `args` are the arguments
// after the program name, in UTF-8; relative paths are taken from `cwd`.
int run_cli(const Program& program, const std::vector<std::string>& args, Console& console, FileSystem& fs,
            const std::filesystem::path& cwd);
// The same for a program without language files of its own.
int run_cli(std::span<const ToolEntry> tools, const std::vector<std::string>& args, Console& console, FileSystem& fs,
            const std::filesystem::path& cwd);

// "lumeno: WHAT" and the pointer to the help on stderr; the usage error's
// exit status (for a tool's own commands).
int usage_error(Console& console, std::string_view what);

// A tool's own command that checks files and ends in a report (ReportRun):
// the tool folder `args.home` is read and nothing is written there; the
// PATHs (`args.positional`, at least one, each existing) are dropped onto
// the list as `run` drops them; the run goes through the worker (a progress
// line on a terminal, Ctrl-C as Cancel, its messages on stderr). Then the
// report goes to stdout in the terminal's encoding, or, when `output` (UTF-8)
// is not empty, to that file as CP932 text while stdout gets its summary
// line. `command` names the command in messages ("vocar check").
// Exit status: 0 nothing found, 1 something found or the run stopped (its
// messages shown), 2 usage error, 3 refused (as `run`), 130 interrupted.
int run_report_command(const ToolInfo& tool, std::string_view command, const CommandArgs& args, ReportRun& run,
                       const std::string& output, Console& console, FileSystem& fs, const std::filesystem::path& cwd);

// A path given on the command line (UTF-8), made absolute against `cwd`
// and normal, without a trailing separator ("dir/" names the folder "dir").
std::filesystem::path path_argument(const std::string& utf8, const std::filesystem::path& cwd);

}  // namespace lumeno::console
