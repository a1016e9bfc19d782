// The voice-actor scripts (声優用台本): for every voiced character and file
// in which it speaks, a script of tab-separated rows (voice name, speaker,
// text) laid out on pages; and, when asked for, one script a file with the
// lines of all characters.
//
// Script file: three header lines (voice prefix, display name, "1" when the
// dialogue is to be framed, else "0"; "全キャラ" twice for the all-character
// script), then the body. Rows of the body:
//   own dialogue       voice name TAB speaker TAB text   (after an empty row)
//   other dialogue     TAB speaker TAB text              (after an empty row)
//   anything else      TAB space TAB text
//   continuation       TAB TAB text                      (a wrapped row)
// Own dialogue wraps at 52 bytes of text, other rows at 68; an own line is
// followed by an empty row. The text cell begins with the dialogue mark.
//
// The room "scripts" makes the scripts: their source (voice_script_source.h),
// their page layout (voice_script_layout.h) and their rows (here). It may
// use the voice-embedded text's room and the root; a copy of each script
// goes to whoever the run's context names (the workbooks), never by name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "scriptbuilder/run_context.h"
#include "scriptbuilder/scanner.h"
#include "scriptbuilder/scripts/voice_script_layout.h"
#include "scriptbuilder/scripts/voice_script_source.h"

namespace lumeno::scriptbuilder {

inline constexpr int kAllCharacters = -1;
inline constexpr std::string_view kAllCharactersFolder = "全キャラ一括台本";
inline constexpr std::string_view kAllCharactersHeading = "全キャラ";

// Writes the rows of one script of `file` into `body` and finishes it.
// `character` is the script's voiced character, whose lines are its own and
// numbered; or kAllCharacters, for which every voiced character's lines are
// own, and with `dialogue_only` nothing else is written. Voice numbers come
// from `voices` (wider numbers than its digits set its overflow flag).
// With `speech_lines`, each own line written adds how many further lines of
// its speech follow it in the script (the rows count_speech_rows counted on
// the file; none where only the numbered lines are written).
// Returns how many numbers the script used.
std::size_t write_script_rows(const ScriptSource& file, int character, bool dialogue_only, VoiceNumbering& voices,
                              ScriptBody& body, std::vector<std::uint32_t>* speech_lines = nullptr);

// The text cell of a row, its wraps [wrap, wraps_end) of file.wraps (the
// own-width or the other-width ones), each continued on a new row.
void write_row_text(const ScriptSource& file, const ScriptRow& row, std::uint32_t wrap, std::uint32_t wraps_end,
                    ScriptBody& body);

// "%s\r\n%s\r\n%d\r\n": voice prefix, display name, framing (the setting's value modulo 2).
void append_script_header(std::string& out, std::string_view voice_prefix, std::string_view display_name, int frame);

// The script's name below the tool folder, or (with ".xls") the name the
// progress shows: 声優用台本\[voice prefix]display name\ + the folder part
// of the relative name + its base name + extension. The all-character
// script: 声優用台本\[全キャラ一括台本]\...
// The phase: writes 声優用台本, handing a copy of each script to the run's
// workbooks when it makes them, with the further lines of each own line's
// speech (write_script_rows). 0, or nonzero when the run must stop (its
// messages shown).
int write_voice_actor_scripts(BuilderRun& run);

std::string script_file_name(std::string_view voice_prefix, std::string_view display_name, std::string_view relative_name,
                             std::string_view extension);

}  // namespace lumeno::scriptbuilder
