// Vocar's run: what every output phase is given, the phases themselves, and
// the tool (settings table, hooks) that the shell runs.
//
// A run saves the settings, collects the files with their relative names,
// wipes the three output folders, loads "キャラ定義.txt", puts the files in
// the run order, then runs the enabled phases one after another; each starts
// from fresh voice counters, so a line has the same number in every output.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "scriptbuilder/builder_settings.h"
#include "scriptbuilder/characters.h"
#include "scriptbuilder/scanner.h"
#include "shell/batch_run.h"
#include "shell/tool.h"
#include "shell/write_behind.h"

namespace lumeno::scriptbuilder {

// The output folders, in the tool folder, in the order a run wipes them.
inline constexpr std::string_view kScriptFolder = "声優用台本";
inline constexpr std::string_view kStaffListFolder = "スタッフ用リスト";
inline constexpr std::string_view kVoiceTextFolder = "ボイス命令埋込済テキスト";

class ScriptWorkbooks;

// The largest source file an output takes (three times it must stay within 30 MiB).
inline constexpr std::uint64_t kMaxSourceBytes = 10485760;

// Everything a phase works with. Phases take the files in `file(0)` ...
// `file(file_count() - 1)` order, test `cancelled()` between files, and read
// and scan each file once.
struct BuilderRun {
  RunContext& ctx;
  const BuilderSettings& settings;
  const CharacterTable& characters;
  const DialogueMatcher& matcher;
  VoiceNumbering& voices;
  // The output files go out through this, while the phase goes on.
  WriteBehind& writes;
  // The scripts' workbooks, when the run makes them; else null.
  ScriptWorkbooks* workbooks = nullptr;
  // The dialogue marks the matcher was made with.
  const DialogueMarks* marks = nullptr;

  std::size_t file_count() const { return ctx.order.size(); }
  const RunFile& file(std::size_t k) const { return ctx.files[ctx.order[k]]; }
  bool cancelled() const { return ctx.cancelled(); }
  Host& host() const { return ctx.host; }

  enum class SourceStatus { ok, unreadable, too_large };
  // Reads a source file whole into `text` (its memory is reused). unreadable: the reader's message is shown;
  // too_large (over kMaxSourceBytes): "元ファイルサイズが大きすぎます。" is shown
  // and the cancel flag set.
  SourceStatus read_source(const RunFile& file, std::string& text) const;

  // Queues an output file named (CP932, "\" separators) below the tool
  // folder, to be written with its folders, replacing an old file. False
  // when it or an earlier one cannot be written: "%s ファイルを開けませんでした。"
  // is shown with the failed file's path and the cancel flag set.
  bool write_output(std::string_view name, std::string bytes);
  // Waits for the queued output files; false (shown as above) when one
  // could not be written.
  bool finish_writes();
};

// A run's dialogue marks, parsed from the settings at the start command;
// nothing, with the reason for a terminal in `why`, when the marks or the
// start number (a settings file edited by hand) would refuse the start.
std::optional<DialogueMarks> run_dialogue_marks(const AppState& app, std::string& why);

// Reads a run's source file as every output reads it (BuilderRun::read_source).
BuilderRun::SourceStatus read_run_source(RunContext& ctx, const RunFile& file, std::string& text);
// What read_run_source makes of a read that gave `status` and `size` bytes:
// the messages shown, the cancel flag set for a file too large.
BuilderRun::SourceStatus accept_run_source(RunContext& ctx, ReadStatus status, std::uint64_t size);

// A phase: 0 when done, nonzero when the run must stop (its messages shown).
using PhaseFunction = int (*)(BuilderRun& run);

// The phases, each switched by its output setting; they run in this order.
struct Phase {
  int setting_slot;
  std::string_view progress_text;  // the progress dialog's upper line while it runs
  PhaseFunction run;
};

int write_voice_actor_scripts(BuilderRun& run);  // 声優用台本
int write_staff_lists(BuilderRun& run);          // スタッフ用リスト
int write_voice_texts(BuilderRun& run);          // ボイス命令埋込済テキスト

inline constexpr Phase kPhases[] = {
    {kOutputScripts, "声優用台本 を生成しています。", write_voice_actor_scripts},
    {kOutputStaffLists, "スタッフ用リスト を生成しています。", write_staff_lists},
    {kOutputVoiceText, "ボイス命令埋込済テキスト を生成しています。", write_voice_texts},
};

inline constexpr std::string_view kConfirmation =
    "変換開始してよろしいですか？\r\n\r\n【注意】\r\n・「ボイス命令埋込済テキスト」 フォルダ\r\n・「スタッフ用リスト」 フォルダ\r\n"
    "・「声優用台本」 フォルダ\r\nこの３つのフォルダがすでに存在している場合、一度フォルダごと消去されます。";
inline constexpr std::string_view kMsgVoiceOverflow =
    "ボイス番号の桁あふれが発生しました。\r\n桁数またはボイス開始番号を修正してください。";

const ToolInfo& vocar_tool();
std::unique_ptr<ToolRun> make_vocar_run();

}  // namespace lumeno::scriptbuilder
