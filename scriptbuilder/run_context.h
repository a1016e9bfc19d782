// What a phase of Vocar's run is given: the run's context (files, settings,
// definitions, numbering, the writer), the names of the output folders, and
// how every output reads a source file. The rooms below scriptbuilder/ make
// the outputs from this; the driver (driver/vocar_run.h), which runs the
// phases in order, stands above them all and nothing includes it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

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

// Where the scripts phase hands a copy of every script it writes, bytes as
// written (the scripts' workbooks, when the run makes them), with the
// further lines of each own line's speech: for each voice row of the script,
// in order, how many lines after its own continue its speech, each written
// as a direction row with its wrapped rows (empty rows the page layout put
// in may stand before and between them).
class ScriptCopies {
 public:
  virtual void add_script(std::string_view voice_prefix, std::string_view display_name, std::string_view relative_name,
                          std::string_view script, std::span<const std::uint32_t> speech_lines) = 0;

 protected:
  ~ScriptCopies() = default;
};

// An output that a phase leaves to a thread of its own, to be finished off
// the run's critical path while the later phases go on (the counts beside
// the staff lists). It writes its files through the FileSystem itself, and
// sets the cancel flag when one fails, as a phase's writer does.
class BackgroundOutput {
 public:
  // Stops what is still being made and waits for it; shows nothing.
  virtual ~BackgroundOutput() = default;
  // Waits until it is written. False when the run must stop: it failed
  // (its message shown, the cancel flag set), or the run was cancelled.
  virtual bool finish() = 0;
  // Stops it and waits; shows a failure it met (and sets the cancel flag).
  // For a run that stops early.
  virtual void stop() = 0;
};

// The background outputs of a run, which waits for them at its end.
class BackgroundOutputs {
 public:
  void add(std::unique_ptr<BackgroundOutput> output) { outputs_.push_back(std::move(output)); }
  // Waits for each in turn; false at the first that fails (the rest are
  // stopped then).
  bool finish();
  // Stops them all (see BackgroundOutput::stop).
  void stop();

 private:
  std::vector<std::unique_ptr<BackgroundOutput>> outputs_;
};

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
  ScriptCopies* workbooks = nullptr;
  // The dialogue marks the matcher was made with.
  const DialogueMarks* marks = nullptr;
  // Where a phase leaves the outputs it finishes in the background; null:
  // the phase waits for them itself.
  BackgroundOutputs* background = nullptr;

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

}  // namespace lumeno::scriptbuilder
