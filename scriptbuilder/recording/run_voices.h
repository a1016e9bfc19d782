// The run's voice names when the voice ledger keeps the numbers
// (keep_voice_numbers): the run's files are read once and every dialogue
// line of a voiced character is given its voice name, measured against the
// ledger (voice_ledger.h); every output then takes its lines' names from the
// result, and the ledger and the change report are written from it.
//
// Numbering spaces. Without the ledger one counter a character numbers the
// run's files (one a character and file with reset_per_file), whatever
// middle the names have. The ledger keeps that: a space is a voice prefix (characters
// sharing a prefix share it, so that two of them never get one name), and
// with reset_per_file a prefix and a file. A space gives new numbers above
// the highest it has ever given (retired ones included), never below the
// start number. A kept line keeps its whole name as the ledger has it
// (prefix, middle and number), whatever the settings make of new names.
//
// Per space, the lines of the run and the ledger's rows in use are matched
// in these steps, each over what the steps before left unmatched:
//
//   1. per file, the lines are aligned with the file's rows by their text, in
//      order (voice_diff.h): a pair of equal texts keeps the row's name;
//   2. per file, a line whose text equals a row's is paired with it (lines
//      that swapped or moved within the file, which one alignment cannot
//      pair): the line kept its text, so it keeps its name;
//   3. a line whose text equals a row of another file (a file renamed, or
//      lines moved between files) takes that row's name: moved. The rows
//      are taken in ledger order, the lines in run order; a name the file
//      holds already (left by settings changed between runs) stays out. With
//      reset_per_file a space has one file, so nothing moves: a line that
//      goes to another file is new there and retired where it was;
//   4. per file, the lines and rows that are left between two pairs of step
//      1 (or the file's start or end) are paired one for one, in order, when
//      they are as many: a changed line keeps the name of the line it took
//      the place of;
//   5. every other line is new, with the next number of its space; a row
//      left over is retired (欠番) and its name never comes back.
//
// Steps 2 and 3 come before 4 so that a line whose text is unchanged never
// loses its name to a changed neighbour; a file's lines keep their names
// before other files' lines may take them. With no ledger every line is new
// and the numbers are those of a run without the ledger.
//
// The ledger speaks of the files by their relative names, so the scenario
// must be dropped the same way each run. Rows of files outside every list
// entry that took part (another folder, or entries not selected) are left as
// they are: a run over part of the scenario retires nothing of the rest.
// With reset_per_file and a fixed second string the names of different
// files are the same by the settings' design: no name names two lines of
// one space.
//
// The room "recording" keeps the recording records: the voice ledger
// (voice_ledger.h) and its alignment (voice_diff.h), the run's voice names
// (here), the take book (take_book.h, take_book_run.h), the pick-up scripts
// (pickups.h) and the recordings audit (voice_audit.h). It may use the lists,
// the workbooks, the scripts, the text and the root; not the checks.
#pragma once

#include <cstddef>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scriptbuilder/background.h"
#include "scriptbuilder/builder_settings.h"
#include "scriptbuilder/characters.h"
#include "scriptbuilder/recording/voice_ledger.h"
#include "scriptbuilder/run_context.h"
#include "scriptbuilder/scanner.h"
#include "scriptbuilder/voice_lines.h"
#include "shell/result.h"

namespace lumeno::scriptbuilder {

// The change report, in the staff-list folder.
inline constexpr std::string_view kVoiceChangeReport = "ボイス番号変更リスト.txt";

// A list entry that took part in the run: the ledger's rows of files below
// it (or of it, for a file) are the run's to match and retire.
struct LedgerScope {
  std::string name;  // its list name, CP932
  bool folder = false;
};

// One file of the run, by the names the ledger and the voice names use.
struct VoiceFileName {
  std::string relative_name;
  std::string full_name;
};

struct VoiceCounts {
  std::size_t added = 0;
  std::size_t changed = 0;
  std::size_t moved = 0;
  std::size_t retired = 0;
};

struct RunVoices {
  std::vector<FileVoices> files;     // by position in the run order
  std::vector<VoiceFileName> names;  // likewise
  Ledger previous;                   // the ledger the run started from
  // By row of `previous`: true when this run retired it.
  std::vector<bool> retired_now;
  VoiceCounts counts;
};

// Appends every dialogue line of a voiced character of `text` (the common
// line scan: the first character in table order whose name and mark begin
// the line) with its line number, speaker and source line. No names yet.
// With `speech_marks` (the run's dialogue marks), also each line's speech.
void scan_voice_lines(std::string_view text, const DialogueMatcher& matcher, const CharacterTable& table, FileVoices& out,
                      const DialogueMarks* speech_marks = nullptr);

struct LedgerNumbering {
  const CharacterTable& characters;
  const BuilderSettings& settings;  // reset_per_file, the second string, the start number
  std::span<const LedgerScope> scope;
};

// Names the scanned lines of the run's files (files[k] is named names[k])
// against the ledger, in the steps above. Refused, with the message, when a
// name to be kept in the ledger would hold a TAB, CR or LF (a file name, or
// a new voice name).
Result<RunVoices> name_run_voices(std::vector<FileVoices> files, std::vector<VoiceFileName> names, Ledger previous,
                                  const LedgerNumbering& numbering);

// The ledger after the run: the rows it left as they were, the rows it
// retired, the rows its lines kept (at their new places and texts) and its
// new lines, in ledger order.
std::string ledger_text(const RunVoices& voices, const CharacterTable& table);

// The report for the voice director: heading, the four counts, then per
// character (in table order; prefixes no longer defined after them) its new,
// changed, moved and retired voices, each with its name, file, line number
// and text; a changed voice with the text it had, a moved one with its old
// place. Nothing but the heading and the counts when the run changed nothing.
std::string voice_change_report(const RunVoices& voices, const CharacterTable& table);

// The completion message's line: "ボイス番号台帳: 新規 N / 変更 N / 移動 N / 欠番 N".
std::string voice_counts_line(const VoiceCounts& counts);

// The list entries that take part in the run: the ledger's scope.
std::vector<LedgerScope> ledger_scope(const RunContext& ctx);

// True, with the message shown, when two of the run's files share one
// relative name: the ledger knows a file by its name, so such a run is refused.
bool refuse_shared_file_names(RunContext& ctx);

// The ledger file as read: the reader's message when it could not be read,
// else what it holds or why it is refused.
struct LedgerRead {
  std::string_view read_failure;
  Result<Ledger> ledger = Ledger{};
};
LedgerRead read_ledger_file(FileSystem& fs, const std::filesystem::path& path);
// The ledger, or nothing with the messages shown: the reader's and
// "ボイス番号台帳.txt を読み込めませんでした。", or the refusal.
std::optional<Ledger> take_ledger(Host& host, LedgerRead read);

// The ledger's part of one run, in the order the run takes its steps. The
// work that does not depend on the run's order (reading the ledger, writing
// the new one out as text) is done on a thread of its own meanwhile.
class VoiceLedgerRun {
 public:
  // With `speech_marks`, the scan also finds each line's speech (the take book's).
  explicit VoiceLedgerRun(RunContext& ctx, const DialogueMarks* speech_marks = nullptr);
  ~VoiceLedgerRun();
  VoiceLedgerRun(const VoiceLedgerRun&) = delete;
  VoiceLedgerRun& operator=(const VoiceLedgerRun&) = delete;

  // First of all: refuses a run in which two files share one relative name
  // (the ledger knows a file by its name), and starts reading the ledger of
  // the tool folder (none is an empty ledger). False when the run must stop
  // (its message shown).
  bool start();
  // Reads every file of the run once and finds its dialogue lines, then
  // waits for the ledger's rows. False when the run must stop (messages
  // shown, or cancelled); until this answers true nothing may be deleted.
  bool scan(BuilderRun& run);
  // Names the lines against the ledger and hands the names to run.voices;
  // the new ledger's text is then made while the outputs are written.
  // False when the run must stop (its message shown).
  bool name(BuilderRun& run);
  // After the last phase: writes the report, then the ledger, last of all
  // the run's files (the writer drops it when anything before it failed),
  // unless the run was cancelled; waits for them. 0, or -1 when the run
  // must stop (its message shown).
  int finish(BuilderRun& run);

  const RunVoices& voices() const { return *voices_; }

 private:
  RunContext& ctx_;
  const DialogueMarks* speech_marks_;
  // The ledger as read on its thread.
  std::unique_ptr<Background<LedgerRead>> reading_;
  std::vector<FileVoices> files_;
  std::vector<VoiceFileName> names_;
  std::optional<Ledger> previous_;
  std::optional<RunVoices> voices_;
  std::unique_ptr<Background<std::string>> ledger_text_;
};

}  // namespace lumeno::scriptbuilder
