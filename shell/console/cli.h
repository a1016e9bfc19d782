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

// A path given on the command line (UTF-8), made absolute against `cwd`
// and normal, without a trailing separator ("dir/" names the folder "dir").
std::filesystem::path path_argument(const std::string& utf8, const std::filesystem::path& cwd);

}  // namespace lumeno::console
