// What the Vocar fuzz targets share: the character definitions and the
// dialogue marks cut from the input, then the settings, the matcher and the
// fresh voice counters a run builds over them.
#pragma once

#include <optional>

#include "fuzz/fuzz_target.h"
#include "scriptbuilder/builder_settings.h"
#include "scriptbuilder/characters.h"
#include "scriptbuilder/scanner.h"
#include "shell/dialogue_marks.h"
#include "shell/result.h"

namespace lumeno::fuzz {

// The next two parts: definitions, then marks.
struct VocarCast {
  explicit VocarCast(Parts& parts)
      : table(scriptbuilder::parse_character_definitions(parts.next())), marks(parse_dialogue_marks(parts.next())) {}
  bool usable() const { return table && marks; }

  Result<scriptbuilder::CharacterTable> table;
  std::optional<DialogueMarks> marks;
};

// Settings from the options byte: reset per file (1), the second string from
// the file name (2), CR LF after the command (4), start number 8 (8).
inline scriptbuilder::BuilderSettings vocar_settings(unsigned char options) {
  scriptbuilder::BuilderSettings settings;
  settings.reset_per_file = options & 1;
  settings.second_string_from_file_name = options & 2;
  settings.voice_cr_lf = options & 4;
  settings.start_number = (options & 8) ? "8" : "0001";
  settings.second_string = "A1_";
  return settings;
}

// A run over a usable cast: its matcher and counters reset as a phase begins.
struct VocarRun {
  VocarRun(const VocarCast& cast, unsigned char options)
      : settings(vocar_settings(options)), matcher(*cast.table, *cast.marks), voices(*cast.table, settings) {
    voices.reset_voice_counters();
  }

  scriptbuilder::BuilderSettings settings;
  scriptbuilder::DialogueMatcher matcher;
  scriptbuilder::VoiceNumbering voices;
};

}  // namespace lumeno::fuzz
