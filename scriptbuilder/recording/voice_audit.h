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
// "Found" (exit status 1) means a voice without recording.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <string_view>

#include "shell/report_run.h"

namespace lumeno::scriptbuilder {

std::unique_ptr<ReportRun> make_voice_audit(std::filesystem::path recordings);

// The voice name a recording's file name gives (CP932): the name without its
// extension; nothing when the extension is not one of the audio ones.
std::optional<std::string_view> recording_voice_name(std::string_view file_name);

}  // namespace lumeno::scriptbuilder
