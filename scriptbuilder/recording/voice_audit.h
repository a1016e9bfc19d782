// The recordings audit, for the voice director: `lumeno vocar audit` and
// the ツール menu's audit. It reads as every check does (check_run.h).
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
// With the take book (track_takes) the audit also reads 収録台帳.xlsx (none
// is an empty book) and merges it in memory with the voices as the next run
// would (take_book.h: a speech edited since it was marked OK is 要再収録
// already), and adds, each in run order and each only when it has lines:
//
//   ■OK なのに録音がないボイス (N)            marked OK, no recording
//   scenario\a.txt(14): ERI_A1_0003 エリ「またね」
//   ■録音後に本文が変わったボイス (N)        a recording, and 要再収録
//   scenario\a.txt(13): ERI_A1_0002
//       収録時: 「ただいま」
//       現在:   「ただいま！」
//   ■OK になっていない録音 (N)                a recording, its status (shown)
//                                             neither OK nor 要再収録
//   scenario\a.txt(15): ERI_A1_0004 ［空欄］ エリ「行こう」
//   ボイス 120 件 / ... / 重複 1 / OK で録音なし 1 / 録音後の本文変更 1 / OK でない録音 1
//
// The texts of the book come in CP932, "?" where the code page lacks a
// character; a speech over several lines goes on on lines indented under
// its first. Marks typed into the script workbooks count once a run has
// carried them into the book. A book that cannot be taken stops the audit
// with the run's message; one open in another program is read all the same,
// since the audit writes nothing, the book included.
//
// "Found" (exit status 1) means a voice without recording, or, with the
// take book, one whose recording was made before its speech changed.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

#include "scriptbuilder/recording/run_voices.h"
#include "scriptbuilder/recording/take_book.h"
#include "shell/cp932_decoder.h"
#include "shell/report_run.h"

namespace lumeno::scriptbuilder {

// With `pickups` (and the take book on), the audit also writes the pick-up
// scripts of its view into that folder (pickups.h): the voices the book
// says are owed, and those marked OK whose recording is missing.
std::unique_ptr<ReportRun> make_voice_audit(std::filesystem::path recordings,
                                            std::optional<std::filesystem::path> pickups = std::nullopt);

// The voice name a recording's file name gives (CP932): the name without its
// extension; nothing when the extension is not one of the audio ones.
std::optional<std::string_view> recording_voice_name(std::string_view file_name);

// The status of a take-book row, as the book counts it (count_status):
// empty, OK, NG, 保留, 要再収録, or a studio's own word.
enum class TakeState : std::uint8_t { open, ok, ng, hold, redo, other };
TakeState take_state(const CellValue& status);

// A voice of the run as the take book and the recordings show it.
struct VoiceStanding {
  std::uint32_t voice = 0;  // its index among the run's voices (merged.row_of_voice)
  TakeState state = TakeState::open;
  bool recorded = false;  // a recording of its name was found
  // Owed a recording: it has none (why: its state, OK among them), or the
  // one it has was made before its speech changed (要再収録).
  bool owed() const { return !recorded || state == TakeState::redo; }
};

// Every voice of the run that is owed a recording or holds one the book
// does not count as done (every voice but those marked OK with a
// recording), in run order. `recorded[k]` tells whether the k-th voice has a
// recording; voices beyond it have none.
std::vector<VoiceStanding> voice_standings(const MergedBook& merged, const std::vector<bool>& recorded);

}  // namespace lumeno::scriptbuilder
