#include "programs/vocar_commands.h"

#include "scriptbuilder/checks/scenario_check.h"
#include "scriptbuilder/recording/voice_audit.h"
#include "scriptbuilder/driver/vocar_run.h"
#include "shell/console/cli.h"

namespace lumeno::programs {

namespace {

namespace fs = std::filesystem;

constexpr console::CommandOption kAuditOptions[] = {{"--voices", true}, {"--output", true}, {"--pickups", true}};

int audit(const console::CommandArgs& args, console::Console& console, FileSystem& files, const fs::path& cwd) {
  if (!args.has("--voices")) return console::usage_error(console, "'vocar audit' needs --voices DIR, the folder of the recordings");
  const fs::path voices = console::path_argument(args.value("--voices"), cwd);
  if (files.kind(voices) != EntryKind::directory) return console::usage_error(console, "no such folder: " + args.value("--voices"));
  std::optional<fs::path> pickups;
  if (args.has("--pickups")) pickups = console::path_argument(args.value("--pickups"), cwd);
  const auto run = scriptbuilder::make_voice_audit(voices, pickups);
  return console::run_report_command(scriptbuilder::vocar_tool(), "vocar audit", args, *run, args.value("--output"), console, files, cwd);
}

int check(const console::CommandArgs& args, console::Console& console, FileSystem& files, const fs::path& cwd) {
  const auto run = scriptbuilder::make_scenario_check();
  return console::run_report_command(scriptbuilder::vocar_tool(), "vocar check", args, *run, {}, console, files, cwd);
}

constexpr std::string_view kAuditHelp =
    "audit: numbers the scenario as a run would (with the voice ledger when keep_voice_numbers=1)\n"
    "     and compares the voice names with the recordings below --voices DIR (files ending in .ogg,\n"
    "     .wav, .opus, .mp3, .flac or .m4a, at any depth, names in any letter case): the voices\n"
    "     without a recording (file, line, voice, speaker and text), the recordings no line names,\n"
    "     the voices recorded twice, then a summary line. Nothing is written; --output FILE puts\n"
    "     the report in FILE as Shift_JIS text instead. With track_takes=1 it also reads the take\n"
    "     book (収録台帳.xlsx) and reports the voices marked OK without a recording, the\n"
    "     recordings made before their speech changed, and the recordings not marked OK;\n"
    "     --pickups DIR writes the pick-up scripts of what is owed (the book's and the\n"
    "     recordings' view) into DIR. Exit status 0 when no voice is owed a recording, 1 when\n"
    "     one has none (or, with the take book, only one made before its speech changed).\n"
    "     example: lumeno vocar audit --home vocar-home --voices recordings scenario\n";
constexpr std::string_view kCheckHelp =
    "check: reads the definitions and the scenario (nothing is written) and reports, as\n"
    "     \"relative\\name.txt(line): message\" in run order: lines that begin with a speaker's name\n"
    "     and a dialogue mark but whose name no definition has, and lines of dialogue whose\n"
    "     brackets do not balance; then the lines per unknown speaker, and the definitions: a\n"
    "     character no line uses, a voice prefix two characters share, a prefix or name no Windows\n"
    "     file name can hold. Exit status 0 when nothing was found, 1 when something was.\n"
    "     example: lumeno vocar check --home vocar-home scenario\n";

constexpr console::ToolCommand kCommands[] = {
    {"audit", "audit  [--home DIR] --voices DIR [--output FILE] [--pickups DIR] PATH...", kAuditOptions, audit, kAuditHelp},
    {"check", "check  [--home DIR] PATH...", {}, check, kCheckHelp},
};

std::unique_ptr<ReportRun> make_audit(const fs::path& folder) { return scriptbuilder::make_voice_audit(folder); }
std::unique_ptr<ReportRun> make_check(const fs::path&) { return scriptbuilder::make_scenario_check(); }

constexpr console::ToolMenuCommand kMenuCommands[] = {
    {"録音と照合...", "ボイスの録音があるフォルダを選んでください。", make_audit},
    {"シナリオチェック", {}, make_check},
};

}  // namespace

std::span<const console::ToolCommand> vocar_commands() { return kCommands; }
std::span<const console::ToolMenuCommand> vocar_menu_commands() { return kMenuCommands; }

}  // namespace lumeno::programs
