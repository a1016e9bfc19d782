// A tool as the front ends take it: its constants and settings table, the
// maker of its run hooks, and any sub-commands of its own that the command
// line offers beside `run` and `config`. The list of the tools is made
// above the tools (programs/tools.h); the frames are handed it.
#pragma once

#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "shell/batch_run.h"
#include "shell/console/console.h"
#include "shell/file_system.h"
#include "shell/report_run.h"
#include "shell/tool.h"

namespace lumeno::console {

// One option a tool's own sub-command takes ("--voices"): a flag, or an
// option followed by its value ("--voices DIR" or "--voices=DIR").
struct CommandOption {
  std::string_view name;
  bool takes_value = false;
};

// The arguments of a tool's own sub-command, parsed by the frame: `--home`
// (which every command takes), the command's declared options in the order
// given, and the other arguments as they stand (UTF-8).
struct CommandArgs {
  std::filesystem::path home;  // --home DIR made absolute; the current folder without it
  std::vector<std::pair<std::string, std::string>> options;  // ("--voices", "DIR"); a flag's value is empty
  std::vector<std::string> positional;

  bool has(std::string_view option) const;
  // The value of the last `option` given; empty when it was not given.
  std::string value(std::string_view option) const;
};

struct ToolCommand {
  std::string_view name;   // `lumeno TOOL name ...`
  std::string_view usage;  // what follows "lumeno TOOL " in the help: one line, or several split by "\n"
  std::span<const CommandOption> options;
  // Runs the command; its exit status (see ExitStatus in cli.h).
  int (*handler)(const CommandArgs& args, Console& console, FileSystem& fs, const std::filesystem::path& cwd);
  // What the command does, with an example, for `lumeno TOOL --help`
  // (UTF-8, lines ended by "\n"; empty for none).
  std::string_view help = {};
};

// A command the desktop program offers in its ツール menu, below オプション:
// a check of every file of the list that ends in a report, which the frame
// shows in a dialog (with a button that copies it to the clipboard).
struct ToolMenuCommand {
  std::string_view label;  // the menu item (CP932)
  // When not empty, the frame first asks for a folder with this prompt
  // (CP932); the run is made for the folder chosen, or not at all.
  std::string_view folder_prompt;
  std::unique_ptr<ReportRun> (*make_run)(const std::filesystem::path& folder);
};

struct ToolEntry {
  const ToolInfo& (*info)();
  std::unique_ptr<ToolRun> (*make_run)();
  std::span<const ToolCommand> commands = {};
  std::span<const ToolMenuCommand> menu_commands = {};
};

// The entry of `tools` whose key is `key`; null when there is none.
const ToolEntry* find_tool(std::span<const ToolEntry> tools, std::string_view key);

}  // namespace lumeno::console
