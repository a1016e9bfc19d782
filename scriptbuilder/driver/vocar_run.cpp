#include "scriptbuilder/driver/vocar_run.h"

#include <new>
#include <optional>
#include <vector>

#include "scriptbuilder/lists/staff_lists.h"
#include "scriptbuilder/recording/run_voices.h"
#include "scriptbuilder/recording/take_book_run.h"
#include "scriptbuilder/recording/voice_ledger.h"
#include "scriptbuilder/run_order.h"
#include "scriptbuilder/scripts/voice_scripts.h"
#include "scriptbuilder/text/voice_text.h"
#include "scriptbuilder/workbooks/script_workbooks.h"
#include "shell/dialogue_marks.h"
#include "shell/files.h"
#include "shell/names.h"

namespace lumeno::scriptbuilder {

namespace fs = std::filesystem;

namespace {

constexpr Phase kPhases[] = {
    {kOutputScripts, "声優用台本 を生成しています。", write_voice_actor_scripts},
    {kOutputStaffLists, "スタッフ用リスト を生成しています。", write_staff_lists},
    {kOutputVoiceText, "ボイス命令埋込済テキスト を生成しています。", write_voice_texts},
};

constexpr std::string_view kOwnNames[] = {kCharacterFile, kScriptFolder,  kStaffListFolder, kVoiceTextFolder,
                                           kLedgerFile,    kTakeBookFile, kTakeBookBackup};

const ToolInfo kTool{
    .key = "vocar",
    .program = "Vocar",
    .caption = "Lumeno Scenify Tool",
    .settings_file = "Vocar.dat",
    .int_count = kIntCount,
    .string_count = kStringCount,
    .completion_text = "台本化処理が完了しました。",
    .options_group = "セリフとして認識させる記号",
    .summary = "voice script builder: numbers dialogue per character, writes voice-embedded text, scripts and staff lists",
    .settings = builder_setting_defs(),
    .own_names = kOwnNames,
};

class VocarRun final : public ToolRun {
 public:
  bool prepare_run(AppState& app, std::string& why) override;
  std::string_view confirmation() const override { return kConfirmation; }
  int collect_files(RunContext& ctx) override;
  int run_files(RunContext& ctx) override;
  void show_completion(RunContext& ctx, int count) override;

 private:
  int run_phases(RunContext& ctx);

  DialogueMarks marks_;
  bool overflow_ = false;
  std::string ledger_line_;  // the completion message's line when the ledger keeps the numbers
  std::string takes_lines_;  // ... and the take book's
};

bool VocarRun::prepare_run(AppState& app, std::string& why) {
  std::optional<DialogueMarks> marks = run_dialogue_marks(app, why);
  if (!marks) return false;
  marks_ = std::move(*marks);
  return true;
}

int VocarRun::collect_files(RunContext& ctx) {
  save_settings(ctx.fs, ctx.app.settings_path(), ctx.app.settings);
  return collect_run_files(ctx, *this) != 0 ? -1 : 0;
}

int VocarRun::run_files(RunContext& ctx) {
  try {
    return run_phases(ctx);
  } catch (const std::bad_alloc&) {
    ctx.host.message(kMsgNoMemory);
    return -1;
  }
}

int VocarRun::run_phases(RunContext& ctx) {
  Host& host = ctx.host;
  host.progress_set_range(1024);
  const BuilderSettings settings = read_builder_settings(ctx.app.settings);
  ledger_line_.clear();
  takes_lines_.clear();
  std::optional<VoiceLedgerRun> ledger;
  if (settings.keep_voice_numbers && !ledger.emplace(ctx, settings.track_takes ? &marks_ : nullptr).start()) return -1;
  std::optional<TakeBookRun> takes;
  if (settings.track_takes && !takes.emplace(ctx).start()) return -1;
  // The three output folders of the tool folder go first, whichever outputs
  // are on, while the phases read and convert: the writer removes them
  // before it writes anything. Only real folders: a link of the same name is
  // left alone, and so is whatever it points to. A folder that cannot be
  // emptied stops the run, so no output mixes with an earlier run's. With
  // the ledger, not before it has been read whole.
  WriteBehind writes(ctx.fs);
  auto remove_old_outputs = [&] {
    for (std::string_view folder : {kScriptFolder, kStaffListFolder, kVoiceTextFolder}) {
      writes.submit_folder_removal(ctx.app.home_path(folder));
    }
  };
  if (!ledger) remove_old_outputs();
  // A failed load ends the run: going on would report success over it.
  const std::optional<CharacterTable> characters = load_character_definitions(ctx.app, ctx.fs, host);
  if (!characters) return -1;
  ctx.order = builder_run_order(ctx.files);

  const DialogueMatcher matcher(*characters, marks_);
  VoiceNumbering voices(*characters, settings);
  // The scripts' workbooks are made once the scripts are written, beside
  // the later phases; they are the run's last step but the ledger.
  std::optional<ScriptWorkbooks> workbooks;
  if (settings.output_scripts && settings.script_spreadsheets) workbooks.emplace(ctx.app, ctx.fs, host);
  // What a phase leaves to finish in the background (the counts beside the
  // staff lists) is waited for at the end, before the scripts' workbooks.
  BackgroundOutputs background;
  BuilderRun run{ctx, settings, *characters, matcher, voices, writes, workbooks ? &*workbooks : nullptr, &marks_, &background};
  if (ledger) {
    if (!ledger->scan(run)) return -1;
    // The take book and the marks typed into the scripts are read whole
    // before the scripts go.
    if (takes && !takes->take(run)) return -1;
    remove_old_outputs();
    if (!ledger->name(run)) return -1;
    if (takes) {
      if (!takes->merge(run, ledger->voices())) return -1;
      if (workbooks) workbooks->show_marks(&takes->session_marks());
    }
  }

  auto enabled = [&](const Phase& phase) { return ctx.app.settings.get_int(phase.setting_slot) == 1; };
  int total = workbooks ? 1 : 0;
  for (const Phase& phase : kPhases) total += enabled(phase) ? 1 : 0;
  int done = 0;
  for (const Phase& phase : kPhases) {
    if (!enabled(phase)) continue;
    host.progress_set_count_text(phase.progress_text);
    voices.reset_voice_counters();
    int status = phase.run(run);
    // The pick-up scripts follow the scripts, their workbooks with theirs.
    if (status == 0 && takes && phase.setting_slot == kOutputScripts &&
        (!run.finish_writes() || !takes->write_pickups(run, workbooks ? &*workbooks : nullptr))) {
      status = -1;
    }
    // Every output of the phase is on disk before it counts as done.
    if (!run.finish_writes() || status != 0) {
      background.stop();
      if (workbooks) workbooks->stop();
      return -1;
    }
    if (workbooks) workbooks->start();
    ++done;
    host.progress_set_position(done * 1024 / total);
    host.pause_ms(20);
  }
  if (!background.finish()) {
    if (workbooks) workbooks->stop();
    return -1;
  }
  if (workbooks) {
    if (!workbooks->finish(done * 1024 / total, 1024)) return -1;
    host.pause_ms(20);
  }
  overflow_ = voices.overflow;
  if (!ledger) return ctx.cancelled() ? -1 : 0;
  // The ledger, then the take book, are replaced last, each only when all
  // before it is written; from then on the run has done its work. (A book
  // left as it was after the ledger was replaced loses nothing: the next
  // run merges it with the names the ledger keeps.)
  if (ledger->finish(run) != 0) return -1;
  if (takes && takes->finish(run) != 0) return -1;
  ledger_line_ = voice_counts_line(ledger->voices().counts);
  if (takes) takes_lines_ = takes->completion_lines();
  return 0;
}

void VocarRun::show_completion(RunContext& ctx, int) {
  if (overflow_) {
    overflow_ = false;
    ctx.host.message(kMsgVoiceOverflow);
  }
  std::string text = ctx.app.texts[kUiCompletion];
  if (!ledger_line_.empty()) text += "\n" + ledger_line_;
  if (!takes_lines_.empty()) text += "\n" + takes_lines_;
  ctx.host.completion(text, ctx.app.tool.caption);
}

}  // namespace

const ToolInfo& vocar_tool() { return kTool; }
std::unique_ptr<ToolRun> make_vocar_run() { return std::make_unique<VocarRun>(); }

}  // namespace lumeno::scriptbuilder
