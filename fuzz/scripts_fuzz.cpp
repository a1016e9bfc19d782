// The voice-actor script passes: normalising, rows, blank rows and pages,
// for every character of a definitions file and the all-character script:
// options byte, definitions, marks, scenario text.
#include "fuzz/fuzz_target.h"
#include "scriptbuilder/characters.h"
#include "scriptbuilder/voice_scripts.h"
#include "shell/dialogue_marks.h"

LUMENO_FUZZ_TARGET(scripts) {
  using namespace lumeno;
  using namespace lumeno::scriptbuilder;
  fuzz::Parts parts(data, size);
  const unsigned char options = parts.byte();
  auto table = parse_character_definitions(parts.next());
  auto marks = parse_dialogue_marks(parts.next());
  const std::string_view text = parts.rest();
  const PageOptions pages{(options & 1) != 0, (options & 2) != 0, (options & 4) != 0};
  // The page layout alone, over any bytes.
  lay_out_script_rows(text, pages);
  if (!table || !marks) return 0;
  BuilderSettings settings;
  settings.start_number = (options & 8) ? "8" : "0001";
  settings.second_string = "A1_";
  const DialogueMatcher matcher(*table, *marks);
  VoiceNumbering voices(*table, settings);
  voices.reset_voice_counters();
  ScriptSource file;
  file.source = std::string(text);
  prepare_script_source(file, (options & 16) != 0, matcher);
  const int count = static_cast<int>(table->characters.size());
  for (int c = -1; c < count && c < 8; ++c) {
    if (c >= 0 && voices.counter(c) < 0) continue;
    std::string out;
    ScriptBody body(out, pages);
    write_script_rows(file, c < 0 ? kAllCharacters : c, (options & 32) != 0, voices, body);
  }
  return 0;
}
