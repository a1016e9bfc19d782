#include "shell/console/cli.h"

#include <thread>  // clocks; <chrono> itself holds a literal CP932 cannot encode
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string_view>

#include "shell/app_state.h"
#include "shell/batch_run.h"
#include "shell/console/console_host.h"
#include "shell/names.h"
#include "shell/sjis.h"

namespace lumeno::console {

namespace fs = std::filesystem;

namespace {

void write_err_line(Console& console, std::string_view utf8) {
  console.write_err(utf8);
  console.write_err("\n");
}

// The PATHs of a command, made absolute; a usage error (shown) when there
// is none or one does not exist.
std::optional<int> path_arguments(Console& console, FileSystem& files, const fs::path& cwd, const std::string& command,
                                  const std::vector<std::string>& args, std::vector<fs::path>& paths) {
  if (args.empty()) return usage_error(console, "'" + command + "' needs at least one PATH");
  for (const std::string& arg : args) {
    fs::path p = path_argument(arg, cwd);
    if (files.kind(p) == EntryKind::missing) return usage_error(console, "no such file or folder: " + arg);
    paths.push_back(std::move(p));
  }
  return std::nullopt;
}

// The paths as one drop onto the list; false (each refused one named) when
// a name cannot be converted.
bool drop_paths(Console& console, FileSystem& files, AppState& app, const std::vector<fs::path>& paths) {
  std::vector<fs::path> refused;
  app.list.add_dropped_paths(files, app.texts, paths, &refused);
  for (const fs::path& p : refused) write_err_line(console, names::utf8_from_cp932_lossy(names::unconvertible_message(names::display_name(p))));
  return refused.empty();
}

constexpr std::string_view kProgramUsage =
    "usage: lumeno TOOL run    [--home DIR] [--yes] [--no-progress] [--verbose] PATH...\n"
    "       lumeno TOOL config [--home DIR] [--defaults] [KEY=VALUE...]\n"
    "       lumeno TOOL config [--home DIR] KEY\n"
    "       lumeno TOOL --help\n"
    "       lumeno --help | --version\n";

struct Options {
  std::optional<std::string> home;
  bool yes = false;
  bool no_progress = false;
  bool verbose = false;
  bool defaults = false;
  std::vector<std::string> positional;
};

class Cli {
 public:
  Cli(const Program& program, Console& console, FileSystem& files, fs::path cwd)
      : tools_(program.tools), languages_(program.languages), console_(console), fs_(files), cwd_(std::move(cwd)) {}

  int main(const std::vector<std::string>& args);

 private:
  int usage_error(std::string_view what) { return console::usage_error(console_, what); }
  void err_line(std::string_view utf8) { write_err_line(console_, utf8); }
  void err_cp932(std::string_view cp932) { err_line(names::utf8_from_cp932_lossy(cp932)); }

  int program_help();
  int tool_help(const ToolEntry& tool);
  std::optional<int> parse_options(const std::vector<std::string>& args, std::size_t first, bool is_run, Options& options);
  fs::path absolute(const std::string& utf8) const;
  Result<AppState> start(const ToolInfo& tool, const Options& options);
  int run(const ToolEntry& tool, const Options& options);
  int config(const ToolEntry& tool, const Options& options);
  int tool_command(const ToolEntry& tool, const ToolCommand& command, const std::vector<std::string>& args);
  std::vector<std::string> shipped_languages(const ToolInfo& tool);
  bool offer_language(const AppState& app, const std::string& name);

  std::span<const ToolEntry> tools_;
  fs::path languages_;
  Console& console_;
  FileSystem& fs_;
  fs::path cwd_;
};

int Cli::program_help() {
  std::string text = "lumeno - the Lumeno scenario tools for Shift_JIS visual-novel scenarios\n\n";
  text += kProgramUsage;
  text += "\ntools:\n";
  for (const ToolEntry& entry : tools_) {
    const ToolInfo& info = entry.info();
    std::string key(info.key);
    key.resize(8, ' ');
    text += "  " + key + std::string(info.summary) + "\n";
  }
  text +=
      "\nrun: the PATHs (files and folders) are dropped onto the tool's list in the order given,\n"
      "     then every .txt file they name is converted; folders are walked to every depth.\n"
      "config: without KEY shows every setting; KEY shows one; KEY=VALUE stores values.\n"
      "--home DIR: the tool's own folder (settings file, languages/, definitions, outputs);\n"
      "     default: the current folder.\n"
      "\nexit status: 0 completed, 1 stopped early, 2 usage error, 3 start refused, 130 interrupted\n";
  console_.write_out(text);
  return kExitOk;
}

// The shell's two settings, before every tool's own.
constexpr SettingDef kLanguageSetting{.key = "language_name", .kind = SettingDef::Kind::text, .index = -1,
                                      .default_text = "Japanese.lng", .label = "言語ファイル（languages フォルダの中; メニュー 表示 - 言語）"};
constexpr SettingDef kAlwaysOnTopSetting{.key = "always_on_top", .kind = SettingDef::Kind::integer, .index = 0,
                                         .default_value = 0, .label = "常に手前に表示"};

// "  KEY=default (range)", then what it means, in columns. Built in CP932,
// whose bytes are the columns a terminal gives its characters.
std::string help_line(const SettingDef& def) {
  std::string line = "  " + std::string(def.key) + "=";
  if (def.kind == SettingDef::Kind::integer) {
    line += std::to_string(def.default_value) + " (" + std::to_string(def.min_value) + ".." + std::to_string(def.max_value) + ")";
  } else {
    line += def.default_text;
  }
  if (!def.label.empty()) {
    constexpr std::size_t kColumn = 42;
    line.append(line.size() < kColumn ? kColumn - line.size() : 1, ' ');
    line += def.label;
  }
  return names::utf8_from_cp932_lossy(line) + "\n";
}

int Cli::tool_help(const ToolEntry& entry) {
  const ToolInfo& info = entry.info();
  std::string text = "lumeno " + std::string(info.key) + " - " + std::string(info.program) + ", " + std::string(info.summary) + "\n\n";
  text += "usage: lumeno " + std::string(info.key) + " run    [--home DIR] [--yes] [--no-progress] [--verbose] PATH...\n";
  text += "       lumeno " + std::string(info.key) + " config [--home DIR] [--defaults] [KEY=VALUE...]\n";
  text += "       lumeno " + std::string(info.key) + " config [--home DIR] KEY\n";
  for (const ToolCommand& command : entry.commands) {
    for (std::size_t at = 0; at < command.usage.size();) {
      const std::size_t end = std::min(command.usage.find('\n', at), command.usage.size());
      text += "       lumeno " + std::string(info.key) + " " + std::string(command.usage.substr(at, end - at)) + "\n";
      at = end + 1;
    }
  }
  text += "\nsettings (KEY=default (range), what it means):\n";
  text += help_line(kLanguageSetting);
  text += help_line(kAlwaysOnTopSetting);
  for (const SettingDef& def : info.settings) {
    if (def.shown) text += help_line(def);
  }
  text += "\nsettings file: " + std::string(info.settings_file) + " in the tool folder\n";
  for (const ToolCommand& command : entry.commands) {
    // Written, as every literal here, in CP932.
    if (!command.help.empty()) text += "\n" + names::utf8_from_cp932_lossy(command.help);
  }
  const std::vector<std::string> shipped = shipped_languages(info);
  if (!shipped.empty()) {
    text += "language files installed with lumeno:";
    for (const std::string& name : shipped) text += " " + names::utf8_from_cp932_lossy(name);
    text += "\n     (config language_name=NAME copies one into the tool folder's languages/)\n";
  }
  console_.write_out(text);
  return kExitOk;
}

std::optional<int> Cli::parse_options(const std::vector<std::string>& args, std::size_t first, bool is_run, Options& options) {
  bool options_done = false;
  for (std::size_t i = first; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.empty() || arg[0] != '-' || arg == "-") {
      options.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
    } else if (arg == "--home") {
      if (i + 1 >= args.size()) return usage_error("--home needs a folder");
      options.home = args[++i];
    } else if (arg.rfind("--home=", 0) == 0) {
      options.home = arg.substr(7);
    } else if (is_run && arg == "--yes") {
      options.yes = true;
    } else if (is_run && arg == "--no-progress") {
      options.no_progress = true;
    } else if (is_run && arg == "--verbose") {
      options.verbose = true;
    } else if (!is_run && arg == "--defaults") {
      options.defaults = true;
    } else {
      return usage_error("unknown option '" + arg + "'");
    }
  }
  return std::nullopt;
}

fs::path Cli::absolute(const std::string& utf8) const { return path_argument(utf8, cwd_); }

Result<AppState> Cli::start(const ToolInfo& tool, const Options& options) {
  const fs::path home = options.home ? absolute(*options.home) : cwd_;
  return start_tool(tool, home, fs_);
}

int Cli::run(const ToolEntry& entry, const Options& options) {
  const ToolInfo& tool = entry.info();
  std::vector<fs::path> paths;
  if (auto status = path_arguments(console_, fs_, cwd_, std::string(tool.key) + " run", options.positional, paths)) return *status;
  auto started = start(tool, options);
  if (!started) {
    err_cp932(started.error());
    return kExitUsage;
  }
  AppState& app = *started;

  // One run at a time per tool folder and tool: a second one stops at once.
  const fs::path lock_file = app.home_path(std::string(tool.program) + ".lock");
  const auto lock = console_.try_lock(lock_file);
  if (!lock) {
    err_line("lumeno: another " + std::string(tool.key) + " run is using the tool folder " +
             names::utf8_from_cp932_lossy(names::display_name(app.home)) + "; start again when it has finished");
    return kExitRefused;
  }

  std::unique_ptr<ToolRun> hooks = entry.make_run();
  std::string why;
  if (!hooks->prepare_run(app, why)) {
    err_line("lumeno: the run was not started: " + why);
    return kExitRefused;
  }
  ConsoleHost host(console_, !options.no_progress, options.yes);
  const std::string_view question = hooks->confirmation();
  if (!question.empty() && !host.confirm(question, app.texts[kUiConfirmCaption])) {
    err_line(console_.stdin_is_terminal() || options.yes ? "lumeno: the run was not confirmed"
                                                         : "lumeno: the run needs a confirmation: answer it on a terminal, or give --yes");
    return kExitRefused;
  }

  if (!drop_paths(console_, fs_, app, paths)) return kExitUsage;

  RunContext ctx(app, host, fs_);
  ctx.selected_only = false;
  RunOutcome outcome;
  bool interrupted = false;
  const auto started_at = std::chrono::steady_clock::now();
  console_.run_interruptible([&] { outcome = worker_main(ctx, *hooks); },
                             [&] {
                               interrupted = true;
                               host.request_cancel();
                             });
  host.clear_progress();
  if (options.verbose) {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started_at).count();
    err_line("lumeno: " + std::string(tool.key) + " run took " + std::to_string(ms) + " ms");
  }
  if (outcome.completed) return kExitOk;
  return interrupted ? kExitInterrupted : kExitStopped;
}

// The value of a setting as `config` prints it (UTF-8).
std::string shown_value(const AppState& app, const SettingDef& def) {
  if (def.kind == SettingDef::Kind::integer) return std::to_string(app.settings.get_int(def.index));
  return names::utf8_from_cp932_lossy(app.settings.get_string(def.index));
}

std::optional<std::int32_t> parse_int(std::string_view text) {
  if (text.empty()) return std::nullopt;
  std::size_t i = 0;
  bool negative = false;
  if (text[0] == '-' || text[0] == '+') {
    negative = text[0] == '-';
    i = 1;
  }
  if (i >= text.size()) return std::nullopt;
  long long value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > 2147483648LL) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > 2147483647LL || value < -2147483648LL) return std::nullopt;
  return static_cast<std::int32_t>(value);
}

int Cli::config(const ToolEntry& entry, const Options& options) {
  const ToolInfo& tool = entry.info();
  auto started = start(tool, options);
  if (!started) {
    err_cp932(started.error());
    return kExitUsage;
  }
  AppState& app = *started;

  // The settings `config` knows: the shell's two, then the tool's table.
  std::vector<const SettingDef*> defs = {&kLanguageSetting, &kAlwaysOnTopSetting};
  for (const SettingDef& def : tool.settings) {
    if (def.shown) defs.push_back(&def);
  }
  auto find = [&](std::string_view key) -> const SettingDef* {
    for (const SettingDef* def : defs) {
      if (def->key == key) return def;
    }
    return nullptr;
  };
  auto value_of = [&](const SettingDef& def) {
    return def.index < 0 ? names::utf8_from_cp932_lossy(app.settings.language_name()) : shown_value(app, def);
  };

  std::vector<std::string> keys;
  std::vector<std::pair<std::string, std::string>> pairs;
  for (const std::string& arg : options.positional) {
    const std::size_t eq = arg.find('=');
    if (eq == std::string::npos) {
      keys.push_back(arg);
    } else {
      pairs.emplace_back(arg.substr(0, eq), arg.substr(eq + 1));
    }
  }
  if (!keys.empty() && (!pairs.empty() || options.defaults || keys.size() > 1)) {
    return usage_error("give one KEY to show, or KEY=VALUE pairs to store");
  }
  if (keys.size() == 1) {
    const SettingDef* def = find(keys[0]);
    if (!def) return usage_error("unknown key '" + keys[0] + "' for " + std::string(tool.key));
    console_.write_out(value_of(*def) + "\n");
    return kExitOk;
  }
  if (pairs.empty() && !options.defaults) {
    std::string text;
    for (const SettingDef* def : defs) text += std::string(def->key) + "=" + value_of(*def) + "\n";
    console_.write_out(text);
    return kExitOk;
  }

  // Checked as the options dialog checks on OK, then stored all at once.
  Settings next = app.settings;
  if (options.defaults) reset_tool_settings(next, tool);
  for (const auto& [key, value] : pairs) {
    const SettingDef* def = find(key);
    if (!def) return usage_error("unknown key '" + key + "' for " + std::string(tool.key));
    if (def->kind == SettingDef::Kind::integer) {
      const auto number = parse_int(value);
      if (!number || *number < def->min_value || *number > def->max_value) {
        return usage_error("bad value '" + value + "' for " + key + " (" + std::to_string(def->min_value) + " to " +
                           std::to_string(def->max_value) + ")");
      }
      next.set_int(def->index, *number);
      continue;
    }
    auto text = names::cp932_from_utf8(value);
    if (!text) return usage_error("bad value for " + key + ": " + names::utf8_from_cp932_lossy(text.error()));
    if (text->size() >= Settings::kFieldSize) return usage_error("value of " + key + " is longer than 263 bytes in Shift_JIS");
    if (text->find('\0') != std::string::npos) return usage_error("value of " + key + " holds a zero byte");
    if (def->check) {
      const std::string message = def->check(*text);
      if (!message.empty()) {
        err_cp932(message);
        return kExitUsage;
      }
    }
    if (def->index < 0) {
      next.set_language_name(*text);
    } else {
      next.set_string(def->index, *text);
    }
  }
  if (next.language_name() != app.settings.language_name() && !offer_language(app, next.language_name())) return kExitStopped;
  if (!save_settings(fs_, app.settings_path(), next)) {
    err_line("lumeno: cannot write the settings file " + names::utf8_from_cp932_lossy(names::display_name(app.settings_path())));
    return kExitStopped;
  }
  return kExitOk;
}

// The names of the tool's installed language files, in name order.
std::vector<std::string> Cli::shipped_languages(const ToolInfo& tool) {
  if (languages_.empty()) return {};
  return language_files(fs_, languages_ / std::string(tool.program));
}

// Before `language_name` names a file the tool folder does not have: the
// installed file of that name, copied into its languages/. False when the
// copy failed (said so); true when there was nothing to copy or it is done.
bool Cli::offer_language(const AppState& app, const std::string& name) {
  auto file = names::to_path(name);
  if (languages_.empty() || !file || *file != file->filename() || name == "." || name == "..") return true;
  const fs::path target = app.home_path("languages") / *file;
  const fs::path source = languages_ / std::string(app.tool.program) / *file;
  if (fs_.kind(target) != EntryKind::missing || fs_.kind(source) != EntryKind::file) return true;
  std::string bytes;
  const fs::path folder = target.parent_path();
  const bool copied = fs_.read(source, bytes) == ReadStatus::ok &&
                      (fs_.kind(folder) == EntryKind::directory || fs_.create_directory(folder)) && fs_.write(target, bytes);
  const std::string shown = names::utf8_from_cp932_lossy(names::display_name(target));
  if (!copied) {
    err_line("lumeno: cannot copy the installed language file " + names::utf8_from_cp932_lossy(names::display_name(source)) + " to " + shown);
    return false;
  }
  err_line("lumeno: copied the installed language file " + names::utf8_from_cp932_lossy(name) + " to " + shown);
  return true;
}

int Cli::tool_command(const ToolEntry& entry, const ToolCommand& command, const std::vector<std::string>& args) {
  const std::string name = std::string(entry.info().key) + " " + std::string(command.name);
  CommandArgs parsed;
  parsed.home = cwd_;
  bool options_done = false;
  for (std::size_t i = 2; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_done || arg.size() < 2 || arg[0] != '-') {
      parsed.positional.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_done = true;
      continue;
    }
    const std::size_t eq = arg.find('=');
    const std::string option = arg.substr(0, eq);
    bool takes_value = option == "--home";
    bool known = takes_value;
    for (const CommandOption& o : command.options) {
      if (o.name == option) {
        known = true;
        takes_value = o.takes_value;
      }
    }
    if (!known) return usage_error("unknown option '" + arg + "' for '" + name + "'");
    std::string value;
    if (takes_value && eq != std::string::npos) {
      value = arg.substr(eq + 1);
    } else if (takes_value) {
      if (i + 1 >= args.size()) return usage_error(option + " needs a value");
      value = args[++i];
    } else if (eq != std::string::npos) {
      return usage_error(option + " takes no value");
    }
    if (option == "--home") {
      parsed.home = absolute(value);
    } else {
      parsed.options.emplace_back(option, std::move(value));
    }
  }
  return command.handler(parsed, console_, fs_, cwd_);
}

int Cli::main(const std::vector<std::string>& args) {
  if (args.empty()) {
    console_.write_err(kProgramUsage);
    return kExitUsage;
  }
  if (args[0] == "--help" || args[0] == "-h" || args[0] == "help") return program_help();
  if (args[0] == "--version") {
    console_.write_out(format("lumeno %0.3f\n", kVersion));
    return kExitOk;
  }
  const ToolEntry* entry = find_tool(tools_, args[0]);
  if (!entry) {
    std::string keys;
    for (const ToolEntry& tool : tools_) keys += (keys.empty() ? "" : " ") + std::string(tool.info().key);
    return usage_error("unknown tool '" + args[0] + "' (one of: " + keys + ")");
  }
  std::string commands = "run, config";
  for (const ToolCommand& command : entry->commands) commands += ", " + std::string(command.name);
  if (args.size() < 2) return usage_error("'" + args[0] + "' needs a command: " + commands);
  if (args[1] == "--help" || args[1] == "-h" || args[1] == "help") return tool_help(*entry);
  for (const ToolCommand& command : entry->commands) {
    if (args[1] == command.name) return tool_command(*entry, command, args);
  }
  const bool is_run = args[1] == "run";
  if (!is_run && args[1] != "config") return usage_error("unknown command '" + args[1] + "' (" + commands + ")");
  Options options;
  if (auto status = parse_options(args, 2, is_run, options)) return *status;
  return is_run ? run(*entry, options) : config(*entry, options);
}

}  // namespace

bool CommandArgs::has(std::string_view option) const {
  for (const auto& [name, value] : options) {
    if (name == option) return true;
  }
  return false;
}

std::string CommandArgs::value(std::string_view option) const {
  std::string found;
  for (const auto& [name, value] : options) {
    if (name == option) found = value;
  }
  return found;
}

const ToolEntry* find_tool(std::span<const ToolEntry> tools, std::string_view key) {
  for (const ToolEntry& entry : tools) {
    if (entry.info().key == key) return &entry;
  }
  return nullptr;
}

int usage_error(Console& console, std::string_view what) {
  console.write_err("lumeno: ");
  console.write_err(what);
  console.write_err("\n(see 'lumeno --help')\n");
  return kExitUsage;
}

int run_report_command(const ToolInfo& tool, std::string_view command, const CommandArgs& args, ReportRun& run,
                       const std::string& output, Console& console, FileSystem& files, const fs::path& cwd) {
  std::vector<fs::path> paths;
  if (auto status = path_arguments(console, files, cwd, std::string(command), args.positional, paths)) return *status;
  std::optional<fs::path> output_path;
  if (!output.empty()) {
    output_path = path_argument(output, cwd);
    if (files.kind(*output_path) == EntryKind::directory) return usage_error(console, "--output names a folder: " + output);
  }
  auto opened = open_tool(tool, args.home, files);
  if (!opened) {
    write_err_line(console, names::utf8_from_cp932_lossy(opened.error()));
    return kExitUsage;
  }
  AppState& app = *opened;
  std::string why;
  if (!run.prepare_run(app, why)) {
    write_err_line(console, "lumeno: the " + std::string(command) + " was not started: " + why);
    return kExitRefused;
  }
  if (!drop_paths(console, files, app, paths)) return kExitUsage;

  ConsoleHost host(console, true, false);
  RunContext ctx(app, host, files);
  RunOutcome outcome;
  bool interrupted = false;
  console.run_interruptible([&] { outcome = worker_main(ctx, run); },
                            [&] {
                              interrupted = true;
                              host.request_cancel();
                            });
  host.clear_progress();
  if (!outcome.completed) return interrupted ? kExitInterrupted : kExitStopped;

  const Report& report = run.report();
  if (output_path) {
    if (!files.write(*output_path, report.text)) {
      write_err_line(console, "lumeno: cannot write the report to " + names::utf8_from_cp932_lossy(names::display_name(*output_path)));
      return kExitStopped;
    }
    console.write_out(names::utf8_from_cp932_lossy(report.summary) + "\n");
  } else {
    std::string text = names::utf8_from_cp932_lossy(report.text);
    std::string lines;
    lines.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
      lines += text[i];
    }
    console.write_out(lines);
  }
  return report.found ? kExitStopped : kExitOk;
}

fs::path path_argument(const std::string& utf8, const fs::path& cwd) {
  // The argument is UTF-8 on every platform; a path made from a plain
  // std::string would take the system's code page on Windows.
  fs::path p = fs::path(std::u8string(utf8.begin(), utf8.end()));
  if (p.is_relative()) p = cwd / p;
  p = p.lexically_normal();
  // "dir/" names the folder "dir": drop a trailing separator (not a root's).
  if (!p.has_filename() && p.has_relative_path()) p = p.parent_path();
  return p;
}

int run_cli(const Program& program, const std::vector<std::string>& args, Console& console, FileSystem& fs, const fs::path& cwd) {
  return Cli(program, console, fs, cwd).main(args);
}

int run_cli(std::span<const ToolEntry> tools, const std::vector<std::string>& args, Console& console, FileSystem& fs, const fs::path& cwd) {
  return run_cli(Program{tools, {}}, args, console, fs, cwd);
}

}  // namespace lumeno::console
