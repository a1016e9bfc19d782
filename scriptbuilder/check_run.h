// What Vocar's checks beside its run start from (`lumeno vocar audit` and
// `lumeno vocar check`, and the same two in the desktop program's ツール
// menu): each reads the tool folder's settings and definitions and the
// scenario as a run does, and writes nothing: no settings, no outputs.
#pragma once

#include <optional>
#include <string>

#include "scriptbuilder/builder_settings.h"
#include "scriptbuilder/characters.h"
#include "scriptbuilder/scanner.h"
#include "shell/report_run.h"

namespace lumeno::scriptbuilder {

// What both checks start from: the marks (at the start command, refused as
// a run refuses them), then the definitions, the settings and the files in
// the run's order.
class VocarCheckRun : public ReportRun {
 public:
  bool prepare_run(AppState& app, std::string& why) override;
  // The check; "[エラー]メモリ不足です。" when it runs out of memory.
  int run_files(RunContext& ctx) final;

 protected:
  // The check itself: 0, or -1 when it stopped (its messages shown).
  virtual int check(RunContext& ctx) = 0;
  // Loads the definitions and puts the files in the run's order; false when
  // the run must stop (the messages shown).
  bool start(RunContext& ctx);
  const CharacterTable& characters() const { return *characters_; }
  const DialogueMatcher& matcher() const { return *matcher_; }
  const DialogueMarks& marks() const { return *marks_; }
  const BuilderSettings& settings() const { return settings_; }

 private:
  std::optional<DialogueMarks> marks_;
  std::optional<CharacterTable> characters_;
  std::optional<DialogueMatcher> matcher_;
  BuilderSettings settings_;
};

}  // namespace lumeno::scriptbuilder
