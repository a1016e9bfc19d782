// The voice-actor script passes: normalising, rows, blank rows and pages,
// for every character of a definitions file and the all-character script:
// options byte, definitions, marks, scenario text.
#include "fuzz/vocar_fuzz.h"
#include "scriptbuilder/scripts/voice_scripts.h"

LUMENO_FUZZ_TARGET(scripts) {
  using namespace lumeno;
  using namespace lumeno::scriptbuilder;
  fuzz::Parts parts(data, size);
  const unsigned char options = parts.byte();
  const fuzz::VocarCast cast(parts);
  const std::string_view text = parts.rest();
  const PageOptions pages{(options & 1) != 0, (options & 2) != 0, (options & 4) != 0};
  // The page layout alone, over any bytes.
  lay_out_script_rows(text, pages);
  if (!cast.usable()) return 0;
  fuzz::VocarRun run(cast, options);
  ScriptSource file;
  file.source = std::string(text);
  prepare_script_source(file, (options & 16) != 0, run.matcher);
  const int count = static_cast<int>(cast.table->characters.size());
  for (int c = -1; c < count && c < 8; ++c) {
    if (c >= 0 && run.voices.counter(c) < 0) continue;
    std::string out;
    ScriptBody body(out, pages);
    write_script_rows(file, c < 0 ? kAllCharacters : c, (options & 32) != 0, run.voices, body);
  }
  return 0;
}
