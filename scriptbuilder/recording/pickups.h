// The pick-up scripts (声優用台本\[追加収録]): what is still to be recorded,
// ready to print, one script a voiced character who owes anything.
//
// A voice is owed when the take book says it is not recorded (empty
// status), NG, 保留 or 要再収録; in the audit's view also when it is OK but
// no recording has its name. A character's pick-up script holds its owed
// voices in run order, grouped under a row naming their file, each with one
// cue before it: the nearest earlier line of dialogue in its file, without
// a voice name (another character's line, or its own earlier one). Then the
// owed voice's whole speech (speech.h), framed as the scripts frame their
// own lines (always, whatever script_frame_dialogue says). It is written in the scripts' own format and laid out on pages
// as they are (voice_scripts.h, voice_script_layout.h):
//
//   <voice prefix> / <display name> / <frame flag>     the header
//   TAB space TAB ■<file>                              its file
//   TAB <speaker> TAB <cue text>                       the cue
//   <voice> TAB <speaker> TAB <text>                   the owed voice, and
//   TAB space TAB <text>                               its speech's further lines
//
// The workbooks show the reason in 備考: 新規, 本文変更（収録時：<the recorded
// text>）, NG or 保留 with the director's note, OK（録音なし）.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "scriptbuilder/builder_settings.h"
#include "scriptbuilder/characters.h"
#include "scriptbuilder/recording/take_book.h"
#include "scriptbuilder/scanner.h"
#include "scriptbuilder/voice_lines.h"
#include "scriptbuilder/workbooks/script_workbook.h"
#include "scriptbuilder/workbooks/session_marks.h"

namespace lumeno::scriptbuilder {

// Below 声優用台本.
inline constexpr std::string_view kPickupFolder = "[追加収録]";
inline constexpr std::string_view kPickupAllCharacters = "[全キャラ]";

// Why the voice of `row` is still to be recorded (UTF-8); nothing when it
// is not. `recorded`: whether a recording has its name, when that is known
// (the audit); an OK without one is owed then.
std::optional<std::string> owed_reason(const TakeRow& row, std::optional<bool> recorded = std::nullopt);

struct OwedVoice {
  std::size_t file = 0;    // position in the run order
  std::uint32_t line = 0;  // its first line in the file
  std::int32_t character = -1;
  std::string voice;       // CP932
  std::string reason;      // UTF-8
};

// One character's pick-up script.
struct PickupScript {
  std::int32_t character = -1;
  std::string script;  // the ".zd" bytes: header and body
  std::vector<std::uint32_t> speech_lines;  // by voice row: the further lines of its speech
  SessionMarks reasons;  // by voice: the reason, as its notes
};

// Builds the pick-up scripts file by file, in run order.
class PickupWriter {
 public:
  PickupWriter(const CharacterTable& characters, const BuilderSettings& settings, const DialogueMatcher& matcher,
               const DialogueMarks& marks);
  ~PickupWriter();
  PickupWriter(const PickupWriter&) = delete;
  PickupWriter& operator=(const PickupWriter&) = delete;

  // A file of the run with its owed voices (in line order); `source` as read.
  void add_file(std::string_view relative_name, std::string source, std::span<const OwedVoice> owed);
  // The scripts of the characters who owe anything, in table order.
  std::vector<PickupScript> finish();

 private:
  struct Open;
  const CharacterTable& characters_;
  const BuilderSettings& settings_;
  const DialogueMatcher& matcher_;
  const DialogueMarks& marks_;
  std::vector<std::unique_ptr<Open>> open_;  // by character
};

// The owed voices of the run, file by file in run order: `files` are the
// run's named lines in run order, as merged.row_of_voice counts them;
// `recorded` (the audit's view), by voice, whether a recording has its name.
std::vector<std::vector<OwedVoice>> owed_voices(const MergedBook& merged, std::span<const FileVoices> files,
                                                const std::vector<bool>* recorded = nullptr);

// A pick-up workbook: its file name (below the pick-up folder) and scripts.
struct PickupBook {
  std::string name;
  std::vector<WorkbookScript> scripts;
};
// The workbooks of the scripts: the all-character one, then one a
// character. `reasons` keeps the marks the scripts point to; `heading` is
// the pages' header middle (pickup_heading).
std::vector<PickupBook> pickup_books(const std::vector<PickupScript>& scripts, const CharacterTable& characters,
                                     std::string_view heading, std::deque<SessionMarks>& reasons);

// The name of a character's pick-up file in the pick-up folder, with its
// extension (".zd", ".xlsx"); with an empty prefix and name, the
// all-character workbook's.
std::string pickup_file_name(std::string_view voice_prefix, std::string_view display_name, std::string_view extension);

// "追加収録 yyyy/mm/dd": the middle of the pick-up pages' header (CP932).
std::string pickup_heading(int year, int month, int day);

}  // namespace lumeno::scriptbuilder
