// Vocar's checks beside its run, for the voice director and the scenario
// writer: `lumeno vocar audit` and `lumeno vocar check`, and the same two in
// the desktop program's ツール menu. Each reads the tool folder's settings
// and definitions (and the ledger) and the scenario as a run does, and
// writes nothing: no settings, no outputs.
//
// The audit numbers the scenario exactly as a run would (with the ledger
// when keep_voice_numbers is on) and compares the voice names with the
// recordings of a folder, walked to every depth: every file ending in .ogg,
// .wav, .opus, .mp3, .flac or .m4a (any letter case) is the recording of the
// voice its name without the extension names, ASCII letters folded (a
// Windows file system, and so the engine, tells no case apart). Links to
// folders are not followed. Its report, each section only when it has lines:
//
//   ■録音のないボイス (N)                     in run order
//   scenario\a.txt(12): ERI_A1_0001 エリ「おはよう」
//   ■どのボイスにもない録音 (N)               by name, ASCII letters folded
//   ERI\ERI_A1_0099.ogg
//   ■同じボイスの録音が複数 (N)
//   ERI_A1_0002: ERI\ERI_A1_0002.ogg, old\eri_a1_0002.wav
//   ボイス 120 件 / 録音あり 117 / 録音なし 3 / 余分な録音 1 / 重複 1
//
// "Found" (exit status 1) means a voice without recording.
//
// The check reports, one finding a line in the form of the staff lists
// ("relative\name.txt(line): message", which editors jump to), in run order:
//   - a line that seems to begin with a speaker's name and a dialogue mark
//     but whose name no definition has (see below);
//   - a line of dialogue whose brackets 「」『』（） do not balance on the
//     line (the first fault of the line: a bracket never closed, a closing
//     one never opened, or one closed by another's partner);
// then the lines per unknown name (most first), then the definitions,
// "キャラ定義.txt(line): message":
//   - a character who speaks no line of the scenario (a line goes to the
//     first character whose name and mark begin it, as in every output);
//   - a voice prefix that an earlier character has (ASCII letters folded):
//     their voice names and lists collide;
//   - a voice prefix or display name that no Windows file name can hold:
//     one of \ / : * ? " < > |, a control character, or a trailing dot or
//     space (the prefix begins the recordings' and lists' names, the display
//     name names the scripts' folder).
// Commands, comments and blanks in a line are seen as spoken_text.h says.
//
// An unknown speaker: a line that no definition's name and mark begin is
// taken for one only when all of these hold, so that narration and
// quotations are left alone:
//   - it is not within a block comment that an earlier line opened, and
//     does not begin with "//", "/*", a backslash or a blank;
//   - one of the dialogue marks follows 1 to 10 characters from its start,
//     and none of those characters is a blank, "、", "。", "，", "．", a
//     bracket, a backslash or "/";
//   - after the mark the line ends (commands, comments and blanks left out)
//     with the mark's closing partner, or holds no such partner at all (a
//     line whose quotation closes before more narration follows, as in
//     彼は「うん」と言った, is narration).
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "scriptbuilder/builder_settings.h"
#include "scriptbuilder/characters.h"
#include "scriptbuilder/scanner.h"
#include "shell/report_run.h"

namespace lumeno::scriptbuilder {

std::unique_ptr<ReportRun> make_voice_audit(std::filesystem::path recordings);
std::unique_ptr<ReportRun> make_scenario_check();

// The voice name a recording's file name gives (CP932): the name without its
// extension; nothing when the extension is not one of the audio ones.
std::optional<std::string_view> recording_voice_name(std::string_view file_name);

// What one file gives the scenario check.
struct FileFindings {
  std::string findings;                 // its lines of the report (CP932, CR LF), in line order
  std::vector<std::string> unknown;     // the unknown speakers' names, one a line, in order
  std::size_t bracket_lines = 0;
  std::vector<std::uint32_t> speakers;  // the characters who speak in it (table indices)
};
// The scenario check of one file, `characters` the size of the matcher's table.
FileFindings check_scenario_file(std::string_view text, std::string_view relative_name, const DialogueMatcher& matcher,
                                 const DialogueMarks& marks, std::size_t characters);

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
